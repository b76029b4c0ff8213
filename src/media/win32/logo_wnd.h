// CLogoWnd: the splash window shown in the middle of the first monitor at the start of a
// full-screen run: the package's splash picture, or a framed card with the saver's name
// and rights line.
#pragma once
#include <windows.h>

#include <string>

#include "imaging/imaging_platform.h"
#include "base/win32/framework.h"

namespace qv {

// What the card shows when there is no splash picture: the saver's name and rights line,
// in fonts the caller keeps alive while the window lives.
struct SplashCardText {
  std::string name;
  std::string rights;  // none: the card has no rights row
  HFONT nameFont = nullptr;
  HFONT rightsFont = nullptr;
};

class CLogoWnd final : public CWnd {
 public:
  ~CLogoWnd() override;
  // picturePath: the extracted splash picture ("" for none), decoded by formatCode (0 BMP,
  // 1 JPEG, 2 PNG). monitor: the first monitor's rectangle.
  bool Create(HWND scene, SplashCardText text, const std::string& picturePath, uint32_t formatCode,
              const RECT& monitor);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Paint();
  void FreePicture();

  SplashCardText m_text;
  DibHandle m_hPicture = nullptr;
  int m_nWidth = 0, m_nHeight = 0;
};

}  // namespace qv
