// CLogoWnd: the splash window shown in the middle of the first monitor at the start of a
// full-screen run: the package's splash picture, or a framed card with the saver's name
// and rights line.
#pragma once
#include <windows.h>

#include <string>

#include "imaging/imaging_platform.h"
#include "base/win32/framework.h"

namespace qv {

class CLogoWnd final : public CWnd {
 public:
  ~CLogoWnd() override;
  // picturePath: the extracted splash picture ("" for none), decoded by formatCode (0 BMP,
  // 1 JPEG, 2 PNG). monitor: the first monitor's rectangle.
  bool Create(HWND scene, const std::string& picturePath, uint32_t formatCode, const RECT& monitor);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint();
  void FreePicture();

  DibHandle m_hPicture = nullptr;
  int m_nWidth = 0, m_nHeight = 0;
};

}  // namespace qv
