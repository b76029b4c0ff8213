// Process entry of the saver executable.
#include <windows.h>

#include "shell/win32/saver_shell.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return qv::SaverEntry(instance); }
