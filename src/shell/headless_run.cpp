#include "shell/headless_run.h"

namespace qv {

HeadlessRun::HeadlessRun(const RunConfig& config, uint32_t seed) : m_run(config, *this, seed) {}

void HeadlessRun::Start(std::string& mediaNote) {
  const Rect32& r = m_run.Config().sceneRect;
  m_run.Scene().Start(&m_run.Document(), r.Width(), r.Height());
  // Opened with the scene, as the runtime knows its media file from the start: a
  // play-once animation holds the sprites back even before it plays.
  m_media.Open(m_run.Document(), r.Width(), r.Height(), mediaNote);
  m_run.Begin();
}

void HeadlessRun::Log(RunCall call) {
  if (m_bLog) m_calls.push_back({call, m_run.RunTicks()});
}

void HeadlessRun::StartMedia(uint32_t runTick) {
  Log(RunCall::StartMedia);
  m_bMediaStarted = true;
  m_nMediaStartTick = runTick;
  m_media.AdvanceTo(0);
}

void HeadlessRun::ShowMediaWindow(bool show) {
  if (MediaWindowUp()) Log(show ? RunCall::ShowMediaWindow : RunCall::HideMediaWindow);
}

bool HeadlessRun::SceneFrame(uint32_t runTick) {
  const double tickMs = m_run.Config().scene.fastTiming ? 10.0 : 50.0;
  const bool shown = m_bMediaStarted ? m_media.AdvanceTo(static_cast<double>(runTick - m_nMediaStartTick) * tickMs)
                                     : !m_media.HoldsSprites();
  CAnimScene& scene = m_run.Scene();
  if (shown && !scene.SpritesVisible()) {
    scene.SetSpritesVisible(true);
    scene.UpdateAll();
  }
  if (!shown) return false;
  Log(RunCall::SceneFrame);
  scene.StepSprites();
  return true;
}

}  // namespace qv
