// The dialogs the shell shows. The configuration dialog (template 2003): the saver's
// banner, name, rights line, web link and scrolling description, the sound-mute switch
// and the feed options button; OK writes every user setting, Cancel writes nothing.
// RegisterDialogClasses registers any window classes the dialogs use; the shell calls
// it, and the run again before it loads the package.
#pragma once
#include <windows.h>

namespace qv {

class CDIB;

INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
BOOL RegisterDialogClasses(HINSTANCE instance);

// White client area, the picture centred unscaled in the banner above control 1003 with
// a grey line under it, and the light footer from control 1018 down. Returns TRUE.
BOOL PaintDialogBackground(HWND dialog, HDC dc, const CDIB& picture);

// Fills the rectangle line by line (rows, or columns when byColumns) from one colour to
// the other; mirrored runs from -> to -> from.
void GradientFill(HDC dc, const RECT& rect, COLORREF from, COLORREF to, bool byColumns, bool mirrored);

}  // namespace qv
