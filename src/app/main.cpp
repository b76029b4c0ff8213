// Process entry of the saver executable.
#include <windows.h>

#include "base/win32/startup_marks.h"
#include "shell/win32/saver_shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  qv::MarkStartup("entry");
  return qv::SaverEntry(instance);
}
