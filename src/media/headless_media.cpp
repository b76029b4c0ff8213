#include "media/headless_media.h"

#include <fstream>
#include <iterator>

#include "imaging/dib.h"
#include "media/media_placement.h"
#include "media/video_events.h"

namespace qv {

namespace {
// The scene closes a finished play-once window after 0.5 s and shows the sprites 1 s later.
constexpr double kRevealPauseMs = 1500;
}  // namespace

bool HeadlessMedia::Open(const CScreenSaverDoc& doc, int sceneWidth, int sceneHeight, std::string& why) {
  const MediaSlot& media = doc.m_MediaFile;
  if (media.name.empty()) return false;
  if (MediaWindowKindFor(media.name) != MediaWindowKind::Animation) {
    why = "only FLIC media are played headless";
    return false;
  }
  if (media.IsEmbedded()) {
    m_bytes.assign(media.bytes.begin(), media.bytes.end());
  } else {
    std::ifstream in(media.name, std::ios::binary);
    m_bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  m_file = MemoryByteSource(m_bytes);
  m_stream = MemoryByteSource(m_bytes);
  if (!m_doc.Load(m_file)) {
    why = "the media file is not a FLIC animation this runtime can load";
    return false;
  }
  m_bPlayOnce = doc.m_bMediaPlayOnce != 0;
  m_play.Start(&m_doc, &m_stream, !m_bPlayOnce);
  MediaPlacement p;
  p.fitMode = doc.m_nMediaFit;
  p.sizeBase = doc.m_nMediaSizeBase;
  p.centreX = doc.m_nMediaCentreX;
  p.centreY = doc.m_nMediaCentreY;
  p.sizeX = doc.m_nMediaSizeX;
  p.sizeY = doc.m_nMediaSizeY;
  p.areaWidth = sceneWidth;
  p.areaHeight = sceneHeight;
  m_rect = PlaceMedia(p, m_doc.m_nWidth, m_doc.m_nHeight);
  m_bOpen = true;
  return true;
}

bool HeadlessMedia::AdvanceTo(double ms) {
  if (!m_bOpen) return true;
  const int64_t due = static_cast<int64_t>(ms / FliPlayback::kTimerMs);
  while (m_nTimerTicks < due && !m_bClosed) {
    ++m_nTimerTicks;
    m_play.OnTick();
    if (m_play.Ended() && m_dEndedAt < 0) m_dEndedAt = static_cast<double>(m_nTimerTicks) * FliPlayback::kTimerMs;
  }
  if (!m_bPlayOnce) return true;
  if (m_dEndedAt >= 0 && ms >= m_dEndedAt + kRevealPauseMs) m_bClosed = true;
  return m_bClosed;
}

void HeadlessMedia::DrawOver(std::vector<uint8_t>& rgb, int width, int height) const {
  if (!WindowShown()) return;
  DibLock lock(m_doc.m_hFrame);
  DibView v;
  if (!lock || !ParseDib(lock.data(), lock.size(), &v) || m_rect.IsEmpty()) return;
  const Rect32 visible = Intersect(m_rect, Rect32{0, 0, width, height});
  const int64_t rw = m_rect.Width(), rh = m_rect.Height();
  for (int y = visible.top; y < visible.bottom; ++y) {
    const int64_t sy = (y - m_rect.top) * v.height / rh;
    const uint8_t* row = v.Row(static_cast<int>(v.height - 1 - sy));
    for (int x = visible.left; x < visible.right; ++x) {
      const uint8_t* entry = v.Entry(row[(x - m_rect.left) * v.width / rw]);
      uint8_t* out = &rgb[(static_cast<size_t>(y) * width + x) * 3];
      out[0] = entry[2], out[1] = entry[1], out[2] = entry[0];
    }
  }
}

}  // namespace qv
