// The dialogs the shell shows: the configuration dialog's procedure and the
// registration of any window classes the dialogs use. The shell calls both; the run
// registers the classes again before it loads the package.
#pragma once
#include <windows.h>

namespace qv {

INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
BOOL RegisterDialogClasses(HINSTANCE instance);

}  // namespace qv
