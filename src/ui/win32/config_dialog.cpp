// The configuration dialog's procedure. This build shows the product line and the
// linked library versions with OK and Cancel; the saver's own texts, banner, mute
// switch and feed settings join it later.
#include "ui/win32/config_dialog.h"

#include <string>

#include "base/resource.h"
#include "imaging/library_versions.h"

namespace qv {

BOOL RegisterDialogClasses(HINSTANCE) { return TRUE; }

INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      const std::string versions = ImagingLibraryVersions();
      SetDlgItemTextA(dialog, IDC_LIBRARY_VERSIONS, versions.c_str());
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
  }
  return FALSE;
}

}  // namespace qv
