#include "shell/run_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "scene/frame_pacer.h"

using namespace qv;

namespace {
// Runs active ticks until the first one whose actions satisfy pred; returns its number.
template <class Pred>
uint32_t FirstTick(RunCounters& c, const SplashTiming& t, Pred pred, uint32_t limit = 10000) {
  for (uint32_t i = 0; i < limit; ++i)
    if (pred(AdvanceRunTick(c, true, t))) return c.runTicks;
  return 0;
}
}  // namespace

TEST(RunTick, WithoutSplashMediaStartsOnTheFourthTick) {
  const SplashTiming t{.noSplash = true, .splashSeconds = 5, .fastTiming = true};
  RunCounters c;
  for (uint32_t tick = 1; tick <= 6; ++tick) {
    const TickActions a = AdvanceRunTick(c, true, t);
    EXPECT_EQ(a.startMedia, tick == 4) << tick;
    EXPECT_TRUE(a.onFrame && a.feedDue) << tick;
    EXPECT_FALSE(a.endSplash);
  }
}

TEST(RunTick, SplashOfTwoSecondsWithFastTiming) {
  const SplashTiming t{.noSplash = false, .splashSeconds = 2, .fastTiming = true};
  RunCounters c;
  EXPECT_EQ(FirstTick(c, t, [](const TickActions& a) { return a.endSplash; }), 200u);
  c = {};
  EXPECT_EQ(FirstTick(c, t, [](const TickActions& a) { return a.onFrame; }), 201u);
  c = {};
  EXPECT_EQ(FirstTick(c, t, [](const TickActions& a) { return a.feedDue; }), 401u);
  c = {};
  EXPECT_EQ(FirstTick(c, t, [](const TickActions& a) { return a.startMedia; }), 0u);  // only with noSplash
}

TEST(RunTick, SlowTimingCountsTwentyTicksASecond) {
  const SplashTiming t{.noSplash = false, .splashSeconds = 3, .fastTiming = false};
  RunCounters c;
  EXPECT_EQ(FirstTick(c, t, [](const TickActions& a) { return a.endSplash; }), 60u);
  c = {};
  EXPECT_EQ(FirstTick(c, t, [](const TickActions& a) { return a.feedDue; }), 101u);
}

TEST(RunTick, InactiveTicksDoNotCount) {
  const SplashTiming t{.noSplash = true};
  RunCounters c;
  AdvanceRunTick(c, true, t);
  TickActions a = AdvanceRunTick(c, false, t);
  EXPECT_EQ(c.runTicks, 1u);
  EXPECT_TRUE(a.becameInactive);
  EXPECT_FALSE(a.onFrame || a.feedDue || a.becameActive);
  a = AdvanceRunTick(c, false, t);
  EXPECT_FALSE(a.becameInactive);  // reported once per change
  a = AdvanceRunTick(c, true, t);
  EXPECT_TRUE(a.becameActive && a.onFrame);
  EXPECT_EQ(c.runTicks, 2u);
}

TEST(RunTick, PreviewTimerPeriod) {
  EXPECT_EQ(ChoosePreviewTiming(1, 1000000).periodMs, 1u);
  EXPECT_TRUE(ChoosePreviewTiming(1, 1000000).fastTiming);
  EXPECT_TRUE(ChoosePreviewTiming(12, 100).fastTiming);
  EXPECT_FALSE(ChoosePreviewTiming(13, 100).fastTiming);
  EXPECT_EQ(ChoosePreviewTiming(50, 20).periodMs, 20u);  // minimum above maximum
}

TEST(FramePacer, PacesToAbsoluteFrameTimes) {
  FramePacer p(kFastFramePeriodMs);
  p.CatchUp(5.0);
  EXPECT_TRUE(p.MustWait(13.9));
  EXPECT_FALSE(p.MustWait(14.0));
  p.Advance();
  p.CatchUp(20.0);  // a slow frame that is not yet two frames late keeps the schedule
  EXPECT_DOUBLE_EQ(p.DueMs(), 28.0);
  p.CatchUp(56.0);  // 56 is exactly (2 + 2) x 14: not more than two frames behind
  EXPECT_EQ(p.Frame(), 2);
}

TEST(FramePacer, StartedLateCatchesUp) {
  FramePacer p(kFastFramePeriodMs);
  p.CatchUp(200.0);
  EXPECT_EQ(p.Frame(), 14);
  EXPECT_DOUBLE_EQ(p.DueMs(), 196.0);
  EXPECT_FALSE(p.MustWait(200.0));  // due at once
  FramePacer slow(kNormalFramePeriodMs);
  slow.CatchUp(1000.7);
  EXPECT_EQ(slow.Frame(), 20);
}

TEST(RunCleanup, FolderWipedOnlyAfterEverythingThatHoldsAFile) {
  using enum RunCleanup;
  for (const auto& [preview, fixed] : {std::pair{false, false}, {true, false}, {true, true}}) {
    const std::vector<RunCleanup> steps = RunCleanupOrder(preview, fixed);
    const auto at = [&](RunCleanup s) { return std::find(steps.begin(), steps.end(), s) - steps.begin(); };
    const auto wipe = at(TempFolder);
    ASSERT_LT(wipe, std::ssize(steps)) << preview << fixed;
    EXPECT_GT(wipe, at(ExtractedFiles));
    if (!fixed) {
      EXPECT_GT(wipe, at(Scene));  // the media window and the sound player
    }
    EXPECT_EQ(steps.back(), Quit);
    EXPECT_EQ(at(BlackWindows) < std::ssize(steps), !preview);
  }
}
