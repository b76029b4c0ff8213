#include "shell/saver_run_core.h"

namespace qv {

SaverRun::SaverRun(const RunConfig& config, RunPlatform& platform, uint32_t seed)
    : m_config(config), m_platform(platform), m_random(seed) {
  if (m_config.scene.preview) m_config.noSplash = true;  // a preview never shows the splash
  m_scene.SetMode(&m_config.scene);
  m_scene.Environment().motion.random = [this] { return m_random.Next(); };
}

void SaverRun::Begin() {
  m_counters.runTicks = 0;
  if (m_config.timing == RunTimingRule::Authoring) {
    StartMedia();
    m_bSpritesVisible = !m_platform.MediaHoldsSprites();
    m_scene.SetSpritesVisible(m_bSpritesVisible);
    m_scene.UpdateAll();
  } else if (!m_config.noSplash) {
    m_platform.ShowSplash();
  }
}

void SaverRun::StartMedia() {
  if (m_bMediaStarted) return;
  m_bMediaStarted = true;
  m_platform.StartMedia(m_counters.runTicks);
}

void SaverRun::Tick(bool active) {
  if (m_config.timing == RunTimingRule::Authoring) {
    ++m_counters.runTicks;
    if (m_platform.SceneFrame(m_counters.runTicks)) m_bSpritesVisible = true;
    return;
  }
  const SplashTiming timing{m_config.noSplash, m_config.splashSeconds, m_config.scene.fastTiming};
  const TickActions a = AdvanceRunTick(m_counters, active, timing);
  if (a.endSplash) {
    m_platform.DestroySplash();
    StartMedia();
    if (m_platform.HasMediaWindow()) m_platform.ShowMediaWindow(true);
    else m_bSpritesVisible = true;
    m_platform.ActivateSaver();
  }
  if (a.startMedia) {
    StartMedia();
    m_platform.ShowMediaWindow(true);
  }
  if (a.onFrame && m_platform.SceneFrame(m_counters.runTicks)) m_bSpritesVisible = true;
  if (a.feedDue) m_platform.HandOverFeed();
  if (a.becameActive) {
    m_platform.ShowMediaWindow(true);
    m_platform.HideCursor();
  }
  if (a.becameInactive) m_platform.ShowMediaWindow(false);
}

}  // namespace qv
