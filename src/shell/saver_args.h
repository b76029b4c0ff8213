// The screen-saver command line: which mode to run and with which window. Pure text
// rules; the Win32 entry checks whether a handle names a real window.
#pragma once
#include <cstdint>
#include <string_view>

namespace qv {

enum class SaverMode {
  Configure,       // the configuration dialog
  FullScreen,      // the saver window over the screen
  Preview,         // a child window inside the given parent
  ChangePassword,  // legacy platform only
  Invalid,         // exit code -1, nothing shown
};

// How the configuration dialog and the password change find their owner window.
enum class OwnerRule {
  None,                  // no owner at all (empty argument text)
  HandleOrForeground,    // the parsed handle, or the foreground window when it names none
};

struct SaverCommand {
  SaverMode mode = SaverMode::Invalid;
  OwnerRule owner = OwnerRule::None;
  uint32_t handle = 0;  // parsed window number (preview parent, dialog or password owner)
};

// Skips the program name at the start of a process command line (quoted or not) and
// the characters with codes 1 to 32 after it; returns the argument text.
std::string_view SkipProgramName(std::string_view commandLine);

// Leading decimal digits as a 32-bit value (wrapping as unsigned arithmetic does);
// 0 when the text does not start with a digit.
uint32_t ParseWindowHandle(std::string_view text);

// Walks the argument text the way the saver's entry does.
SaverCommand ParseSaverArgs(std::string_view args, bool legacyPlatform);

}  // namespace qv
