#include "shell/saver_input.h"

#include <gtest/gtest.h>

#include "base/window_messages.h"

using namespace qv;

namespace {
const ShellFlags kFullScreen{};
const ShellFlags kPreview{.preview = true};
const ShellFlags kClosing{.closing = true};
const ShellFlags kLegacy{.legacyPlatform = true};

DefDecision Def(uint32_t m, uint64_t w = 0, int64_t l = 0, const ShellFlags& f = kFullScreen,
                Point32 cursor = {}, Point32 origin = {}) {
  return DecideDefScreenSaver(m, w, l, f, cursor, origin);
}

const uint32_t kInputs[] = {msg::kKeyDown, msg::kSysKeyDown, msg::kLButtonDown,
                            msg::kRButtonDown, msg::kMButtonDown};
}  // namespace

TEST(DefScreenSaver, KeysAndButtonsCloseFullScreenOnly) {
  for (uint32_t m : kInputs) {
    EXPECT_TRUE(Def(m).postClose) << m;
    EXPECT_EQ(Def(m).outcome, DefOutcome::DefWindowProc);
    EXPECT_EQ(Def(m, 0, 0, kPreview), DefDecision{}) << m;
    EXPECT_EQ(Def(m, 0, 0, kClosing), DefDecision{}) << m;
    EXPECT_EQ(Def(m, 0, 0, ShellFlags{.checkingPassword = true}), DefDecision{}) << m;
  }
}

TEST(DefScreenSaver, MouseMoveThresholdIsFourPixels) {
  const Point32 origin{100, 200};
  struct Case { Point32 cursor; bool closes; } cases[] = {
      {{103, 201}, false}, {{103, 202}, true}, {{104, 200}, false}, {{105, 200}, true},
      {{96, 200}, false},  {{95, 200}, true},  {{100, 196}, false}, {{98, 198}, false},
      {{98, 197}, true},   {{100, 200}, false},
  };
  for (const Case& c : cases) {
    const DefDecision d = Def(msg::kMouseMove, 0, 0, kFullScreen, c.cursor, origin);
    EXPECT_EQ(d.postClose, c.closes) << c.cursor.x << "," << c.cursor.y;
    EXPECT_EQ(d.resetMouseOrigin, c.closes);
  }
  EXPECT_FALSE(Def(msg::kMouseMove, 0, 0, kPreview, {900, 900}, origin).postClose);
  // Extreme coordinates do not overflow into a small distance.
  EXPECT_TRUE(Def(msg::kMouseMove, 0, 0, kFullScreen, {INT32_MIN, INT32_MIN},
                  {INT32_MAX, INT32_MAX}).postClose);
}

TEST(DefScreenSaver, WindowAndCursorMessages) {
  EXPECT_TRUE(Def(msg::kActivateApp, 0).postClose);
  EXPECT_FALSE(Def(msg::kActivateApp, 1).postClose);
  EXPECT_TRUE(Def(msg::kShowWindow, 1).hideCursor);
  EXPECT_FALSE(Def(msg::kShowWindow, 0).hideCursor);
  const DefDecision cursor = Def(msg::kSetCursor);
  EXPECT_EQ(cursor.outcome, DefOutcome::ReturnTrue);
  EXPECT_TRUE(cursor.hideCursor);
  EXPECT_TRUE(Def(msg::kPower, power::kCriticalResume).postClose);
  EXPECT_FALSE(Def(msg::kPower, 2).postClose);
  EXPECT_EQ(Def(msg::kPaint), DefDecision{});
}

TEST(DefScreenSaver, PowerBroadcastTable) {
  EXPECT_EQ(Def(msg::kPowerBroadcast, power::kQuerySuspend).outcome, DefOutcome::ReturnTrue);
  EXPECT_FALSE(Def(msg::kPowerBroadcast, power::kQuerySuspend).postClose);
  for (uint64_t e = 1; e <= 5; ++e) EXPECT_TRUE(Def(msg::kPowerBroadcast, e).postClose) << e;
  for (uint64_t e : {6u, 7u, 8u, 18u}) {
    EXPECT_TRUE(Def(msg::kPowerBroadcast, e, 0).postClose) << e;
    EXPECT_FALSE(Def(msg::kPowerBroadcast, e, 1).postClose) << e;   // resume from failure
    EXPECT_TRUE(Def(msg::kPowerBroadcast, e, 2).postClose) << e;    // only bit 0 counts
  }
  EXPECT_FALSE(Def(msg::kPowerBroadcast, power::kPowerStatusChange).postClose);
  EXPECT_FALSE(Def(msg::kPowerBroadcast, power::kPowerSettingChange).postClose);
  for (uint64_t e : {9u, 11u, 17u, 19u, 0x8012u, 0xFFFFu})
    EXPECT_TRUE(Def(msg::kPowerBroadcast, e).postClose) << e;
  EXPECT_EQ(Def(msg::kPowerBroadcast, 4, 0, kPreview), DefDecision{});
}

TEST(DefScreenSaver, CloseAndPasswordRequestsDependOnThePlatform) {
  EXPECT_EQ(Def(msg::kClose).outcome, DefOutcome::DefWindowProc);
  EXPECT_EQ(Def(msg::kClose, 0, 0, kLegacy).outcome, DefOutcome::CloseRequest);
  EXPECT_EQ(Def(msg::kVerifyPasswordRequest).outcome, DefOutcome::DefWindowProc);
  EXPECT_EQ(Def(msg::kVerifyPasswordRequest, 0, 0, kLegacy).outcome, DefOutcome::VerifyPassword);
  // While a check runs, input goes to the default procedure but the check's own
  // request still reaches the password routine.
  const ShellFlags checking{.checkingPassword = true, .legacyPlatform = true};
  EXPECT_EQ(Def(msg::kVerifyPasswordRequest, 0, 0, checking).outcome, DefOutcome::VerifyPassword);
  EXPECT_EQ(Def(msg::kActivateApp, 0, 0, checking), DefDecision{});
}

TEST(ShellStage, CreateDestroyAndTitle) {
  const StageDecision create = DecideShellStage(msg::kCreate, 0, kFullScreen);
  EXPECT_TRUE(create.detachInputContext && create.recordMouseOrigin && create.hideCursor);
  EXPECT_EQ(create.outcome, StageOutcome::ToProgram);
  EXPECT_FALSE(DecideShellStage(msg::kCreate, 0, kPreview).hideCursor);

  const StageDecision destroy = DecideShellStage(msg::kDestroy, 0, kFullScreen);
  EXPECT_TRUE(destroy.restoreInputContext && destroy.postQuit);
  EXPECT_EQ(destroy.outcome, StageOutcome::ToProgram);

  EXPECT_EQ(DecideShellStage(msg::kSetText, 0, kFullScreen).outcome, StageOutcome::ReturnZero);
  EXPECT_EQ(DecideShellStage(msg::kSetText, 0, kPreview).outcome, StageOutcome::ReturnZero);
}

TEST(ShellStage, InputPaintAndTimerWhileClosing) {
  for (uint32_t m : {msg::kKeyDown, msg::kSysKeyDown, msg::kMouseMove, msg::kLButtonDown,
                     msg::kRButtonDown, msg::kMButtonDown, msg::kPaint}) {
    EXPECT_EQ(DecideShellStage(m, 0, kFullScreen).outcome, StageOutcome::ToProgram) << m;
    EXPECT_EQ(DecideShellStage(m, 0, kClosing).outcome, StageOutcome::ToDefWindowProc) << m;
  }
  EXPECT_TRUE(DecideShellStage(msg::kPaint, 0, kFullScreen).hideCursor);
  EXPECT_FALSE(DecideShellStage(msg::kPaint, 0, kPreview).hideCursor);

  const StageDecision timer = DecideShellStage(msg::kTimer, 0, kFullScreen);
  EXPECT_TRUE(timer.yieldTimeSlice);
  EXPECT_EQ(timer.outcome, StageOutcome::ToProgram);
  EXPECT_EQ(DecideShellStage(msg::kTimer, 0, kClosing).outcome, StageOutcome::ReturnZero);
}

TEST(ShellStage, HelpGoesToThePreviewsParent) {
  for (uint32_t m : {msg::kHelp, msg::kContextMenu}) {
    const StageDecision p = DecideShellStage(m, 0, kPreview);
    EXPECT_TRUE(p.forwardToParent);
    EXPECT_EQ(p.outcome, StageOutcome::ReturnOne);
    EXPECT_EQ(DecideShellStage(m, 0, kFullScreen), StageDecision{});
  }
}

TEST(ShellStage, SystemCommandsIgnoreTheLowFourBits) {
  for (uint64_t cmd : {syscmd::kNextWindow, syscmd::kPrevWindow, syscmd::kScreenSave}) {
    EXPECT_EQ(DecideShellStage(msg::kSysCommand, cmd, kFullScreen).outcome, StageOutcome::ReturnZero);
    EXPECT_EQ(DecideShellStage(msg::kSysCommand, cmd | 0xF, kFullScreen).outcome,
              StageOutcome::ReturnZero);
    EXPECT_EQ(DecideShellStage(msg::kSysCommand, cmd, kPreview), StageDecision{});
  }
  const StageDecision power = DecideShellStage(msg::kSysCommand, syscmd::kMonitorPower | 2, kFullScreen);
  EXPECT_TRUE(power.postClose);
  EXPECT_EQ(power.outcome, StageOutcome::ToProgram);
  EXPECT_FALSE(DecideShellStage(msg::kSysCommand, syscmd::kMonitorPower, kPreview).postClose);
  EXPECT_EQ(DecideShellStage(msg::kSysCommand, 0xF060 /* close */, kFullScreen), StageDecision{});
}
