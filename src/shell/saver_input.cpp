#include "shell/saver_input.h"

#include "base/window_messages.h"

namespace qv {

namespace {
bool IsInputMessage(uint32_t m) {
  return m == msg::kKeyDown || m == msg::kSysKeyDown || m == msg::kMouseMove ||
         m == msg::kLButtonDown || m == msg::kRButtonDown || m == msg::kMButtonDown;
}

bool IsCloseKeyOrButton(uint32_t m) {
  return m == msg::kKeyDown || m == msg::kSysKeyDown || m == msg::kLButtonDown ||
         m == msg::kRButtonDown || m == msg::kMButtonDown;
}

// Power broadcasts: which events end the run. Resume events that report a failed
// resume (lParam bit 0) leave the saver alone.
DefDecision PowerBroadcast(uint64_t event, int64_t lParam) {
  DefDecision d;
  const bool resumedFromFailure = (lParam & 1) != 0;
  if (event == power::kQuerySuspend) {
    d.outcome = DefOutcome::ReturnTrue;
  } else if (event >= power::kQueryStandby && event <= power::kStandby) {
    d.postClose = true;
  } else if ((event >= power::kResumeCritical && event <= power::kResumeStandby) ||
             event == power::kResumeAutomatic) {
    d.postClose = !resumedFromFailure;
  } else if (event == power::kPowerStatusChange || event == power::kPowerSettingChange) {
    // nothing
  } else {
    d.postClose = true;
  }
  return d;
}
}  // namespace

uint64_t MouseDistance(Point32 a, Point32 b) {
  const int64_t dx = static_cast<int64_t>(a.x) - b.x;
  const int64_t dy = static_cast<int64_t>(a.y) - b.y;
  return static_cast<uint64_t>(dx < 0 ? -dx : dx) + static_cast<uint64_t>(dy < 0 ? -dy : dy);
}

StageDecision DecideShellStage(uint32_t m, uint64_t wParam, const ShellFlags& f) {
  StageDecision d;
  switch (m) {
    case msg::kCreate:
      d.detachInputContext = true;
      d.recordMouseOrigin = true;
      d.hideCursor = !f.preview;
      return d;
    case msg::kDestroy:
      d.restoreInputContext = true;
      d.postQuit = true;
      return d;
    case msg::kSetText:
      d.outcome = StageOutcome::ReturnZero;  // the title never changes
      return d;
    case msg::kPaint:
      if (f.closing) d.outcome = StageOutcome::ToDefWindowProc;
      else d.hideCursor = !f.preview;
      return d;
    case msg::kHelp:
    case msg::kContextMenu:
      if (f.preview) {
        d.forwardToParent = true;
        d.outcome = StageOutcome::ReturnOne;
      }
      return d;
    case msg::kSysCommand: {
      if (f.preview) return d;
      const uint64_t command = wParam & ~uint64_t{0xF};
      if (command == syscmd::kNextWindow || command == syscmd::kPrevWindow ||
          command == syscmd::kScreenSave) {
        d.outcome = StageOutcome::ReturnZero;
      } else if (command == syscmd::kMonitorPower) {
        d.postClose = true;
      }
      return d;
    }
    case msg::kTimer:
      if (f.closing) d.outcome = StageOutcome::ReturnZero;
      else d.yieldTimeSlice = true;
      return d;
    default:
      if (IsInputMessage(m) && f.closing) d.outcome = StageOutcome::ToDefWindowProc;
      return d;
  }
}

DefDecision DecideDefScreenSaver(uint32_t m, uint64_t wParam, int64_t lParam,
                                 const ShellFlags& f, Point32 cursor, Point32 origin) {
  DefDecision d;
  if (f.preview || f.closing) return d;  // input never closes a preview

  if (m == msg::kClose) {
    if (f.legacyPlatform) d.outcome = DefOutcome::CloseRequest;
    return d;
  }
  if (m == msg::kVerifyPasswordRequest) {
    if (f.legacyPlatform) d.outcome = DefOutcome::VerifyPassword;
    return d;
  }
  if (f.checkingPassword) return d;

  if (IsCloseKeyOrButton(m)) {
    d.postClose = true;
    return d;
  }
  switch (m) {
    case msg::kShowWindow:
      d.hideCursor = wParam != 0;
      return d;
    case msg::kActivateApp:
      d.postClose = wParam == 0;
      return d;
    case msg::kSetCursor:
      d.hideCursor = true;
      d.outcome = DefOutcome::ReturnTrue;
      return d;
    case msg::kPower:
      d.postClose = wParam == power::kCriticalResume;
      return d;
    case msg::kMouseMove:
      if (MouseDistance(cursor, origin) > kMouseMoveThreshold) {
        d.postClose = true;
        d.resetMouseOrigin = true;
      }
      return d;
    case msg::kPowerBroadcast:
      return PowerBroadcast(wParam, lParam);
    default:
      return d;
  }
}

}  // namespace qv
