#include "shell/run_state.h"

namespace qv {

TickActions AdvanceRunTick(RunCounters& c, bool active, const SplashTiming& t) {
  TickActions a;
  if (active) {
    ++c.runTicks;
    const uint32_t tps = TicksPerSecond(t.fastTiming);
    const uint32_t splashTicks = t.splashSeconds * tps;
    if (t.noSplash) {
      a.startMedia = c.runTicks == 4;
      a.onFrame = true;
      a.feedDue = true;
    } else {
      a.endSplash = c.runTicks == splashTicks;
      a.onFrame = c.runTicks > splashTicks;
      a.feedDue = c.runTicks > (t.splashSeconds + 2) * tps;
    }
  }
  if (active != c.lastSaverActive) {
    c.lastSaverActive = active;
    a.becameActive = active;
    a.becameInactive = !active;
  }
  return a;
}

PreviewTiming ChoosePreviewTiming(uint32_t minPeriodMs, uint32_t maxPeriodMs) {
  const uint32_t period = minPeriodMs > maxPeriodMs ? maxPeriodMs : minPeriodMs;
  return {period, period <= 12};
}

std::vector<RunCleanup> RunCleanupOrder(bool preview, bool fixedPreview) {
  using enum RunCleanup;
  std::vector<RunCleanup> steps{Splash};
  if (!preview) steps.push_back(BlackWindows);
  steps.push_back(FeedThread);
  if (!preview) steps.push_back(Cursor);
  steps.insert(steps.end(), {Fonts, PackageHeader, Timer});
  if (preview && fixedPreview) {
    steps.insert(steps.end(), {ExtractedFiles, FixedPreviewPicture, TempFolder, Quit});
  } else {
    steps.insert(steps.end(), {Scene, ExtractedFiles, TempFolder, Mixer, FeedLibraries, Quit});
  }
  return steps;
}

}  // namespace qv
