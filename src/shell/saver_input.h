// The saver window's message rules: the shell's first look at every message and the
// default processing that decides when input ends a full-screen run. Each function
// returns a decision; the Win32 window procedure only carries it out.
#pragma once
#include <cstdint>

#include "base/geometry.h"

namespace qv {

// The shell state the rules read.
struct ShellFlags {
  bool preview = false;           // the window is a child of a preview window
  bool closing = false;           // closing has been approved (legacy password path)
  bool checkingPassword = false;  // a password verification is running
  bool legacyPlatform = false;    // Windows 9x family
};

inline constexpr uint32_t kMouseMoveThreshold = 4;

// --- First stage: the shell's window procedure -------------------------------------

enum class StageOutcome {
  ToProgram,        // pass the message to the program's ScreenSaverProc
  ToDefWindowProc,  // the system's default window procedure, nothing else
  ReturnZero,       // consumed
  ReturnOne,        // consumed
};

struct StageDecision {
  StageOutcome outcome = StageOutcome::ToProgram;
  bool detachInputContext = false;   // WM_CREATE: detach the input method
  bool restoreInputContext = false;  // WM_DESTROY: give it back
  bool recordMouseOrigin = false;    // WM_CREATE: remember the cursor position
  bool hideCursor = false;
  bool postQuit = false;             // WM_DESTROY: quit message with code 0
  bool postClose = false;            // SC_MONITORPOWER
  bool forwardToParent = false;      // WM_HELP / WM_CONTEXTMENU in a preview
  bool yieldTimeSlice = false;       // WM_TIMER
  bool operator==(const StageDecision&) const = default;
};

StageDecision DecideShellStage(uint32_t message, uint64_t wParam, const ShellFlags& flags);

// --- DefScreenSaverProc: the input-to-close rules ----------------------------------

enum class DefOutcome {
  DefWindowProc,   // default window procedure (after the flags below are carried out)
  ReturnTrue,      // return TRUE without the default procedure
  CloseRequest,    // WM_CLOSE on the legacy platform: check the password first
  VerifyPassword,  // legacy platform: return the password routine's result
};

struct DefDecision {
  DefOutcome outcome = DefOutcome::DefWindowProc;
  bool postClose = false;          // post WM_CLOSE to the window, then continue
  bool hideCursor = false;
  bool resetMouseOrigin = false;   // the cursor position becomes the new origin
  bool operator==(const DefDecision&) const = default;
};

// cursor is the cursor's screen position (read by the caller for WM_MOUSEMOVE only).
DefDecision DecideDefScreenSaver(uint32_t message, uint64_t wParam, int64_t lParam,
                                 const ShellFlags& flags, Point32 cursor, Point32 origin);

// Manhattan distance in 64 bits, so extreme coordinates cannot overflow.
uint64_t MouseDistance(Point32 a, Point32 b);

}  // namespace qv
