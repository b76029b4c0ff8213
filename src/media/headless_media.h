// The document's FLIC media in a headless run (the renderer, tests), played and placed as the runtime's
// animation window would show it over the scene: one 40 ms timer tick after another in
// nominal time, a frame every 80 ms, the window's rectangle from the fit mode. A
// play-once animation keeps the sprites hidden until it ends and a 1.5 s pause passes.
// Videos are not decoded here.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "document/screen_saver_doc.h"
#include "media/fli_doc.h"
#include "base/geometry.h"

namespace qv {

class HeadlessMedia {
 public:
  // False (with a reason) when the document has no FLIC media this renderer can play.
  bool Open(const CScreenSaverDoc& doc, int sceneWidth, int sceneHeight, std::string& why);
  // Advances to the nominal time; returns whether the sprites are to be shown now.
  bool AdvanceTo(double ms);
  // Draws the current frame into 8-bit RGB rows of the scene's size, while the window is up.
  void DrawOver(std::vector<uint8_t>& rgb, int width, int height) const;
  bool WindowShown() const { return m_bOpen && !m_bClosed; }
  // A play-once animation that has not yet closed its window keeps the sprites hidden.
  bool HoldsSprites() const { return m_bOpen && m_bPlayOnce && !m_bClosed; }
  const Rect32& Placement() const { return m_rect; }

 private:
  std::vector<uint8_t> m_bytes;
  MemoryByteSource m_file{std::span<const uint8_t>()}, m_stream{std::span<const uint8_t>()};
  CFliDoc m_doc;
  FliPlayback m_play;
  Rect32 m_rect;
  bool m_bOpen = false, m_bPlayOnce = false, m_bClosed = false;
  int64_t m_nTimerTicks = 0;
  double m_dEndedAt = -1;
};

}  // namespace qv
