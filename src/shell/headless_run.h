// A saver run without a screen: the run's rules over the portable scene and the
// headless media, for the renderer and the tests. Nothing waits: each Tick is one run
// tick of nominal time (10 ms with fast timing, 50 ms without). There is no splash card
// to draw, no window to activate and no feed; those calls are only logged.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "media/headless_media.h"
#include "shell/saver_run_core.h"

namespace qv {

// The platform calls a run made, for tests of their order.
enum class RunCall : uint8_t {
  ShowSplash,
  DestroySplash,
  StartMedia,
  ShowMediaWindow,
  HideMediaWindow,
  ActivateSaver,
  HideCursor,
  SceneFrame,   // logged only when the frame showed the sprites
  HandOverFeed,
};
struct RunCallRecord {
  RunCall call;
  uint32_t tick;  // the run tick it was made in
  bool operator==(const RunCallRecord&) const = default;
};

class HeadlessRun final : private RunPlatform {
 public:
  HeadlessRun(const RunConfig& config, uint32_t seed);

  SaverRun& Run() { return m_run; }
  // Draws the media window's frame over 8-bit RGB rows of the scene's size while the
  // window is up (from the media's start until a play-once animation closes it).
  void DrawMediaOver(std::vector<uint8_t>& rgb, int width, int height) const {
    if (MediaWindowUp()) m_media.DrawOver(rgb, width, height);
  }
  // Starts the scene over the run's document at the configured size, opens the
  // document's FLIC media and begins the run. mediaNote: why media named by the
  // document are not shown (empty when there are none).
  void Start(std::string& mediaNote);
  // active: whether the saver holds the activation, as a window system would report it.
  void Tick(bool active = true) { m_run.Tick(active); }

  void LogCalls(bool on) { m_bLog = on; }
  const std::vector<RunCallRecord>& Calls() const { return m_calls; }

 private:
  void ShowSplash() override { Log(RunCall::ShowSplash); }
  void DestroySplash() override { Log(RunCall::DestroySplash); }
  void StartMedia(uint32_t runTick) override;
  bool HasMediaWindow() override { return MediaWindowUp(); }
  void ShowMediaWindow(bool show) override;
  bool MediaHoldsSprites() override { return m_media.HoldsSprites(); }
  void ActivateSaver() override { Log(RunCall::ActivateSaver); }
  void HideCursor() override { Log(RunCall::HideCursor); }
  bool SceneFrame(uint32_t runTick) override;
  void HandOverFeed() override { Log(RunCall::HandOverFeed); }
  void Log(RunCall call);
  bool MediaWindowUp() const { return m_bMediaStarted && m_media.WindowShown(); }

  SaverRun m_run;
  HeadlessMedia m_media;
  bool m_bMediaStarted = false;
  uint32_t m_nMediaStartTick = 0;
  bool m_bLog = false;
  std::vector<RunCallRecord> m_calls;
};

}  // namespace qv
