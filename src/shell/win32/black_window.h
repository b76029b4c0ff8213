// The black windows that cover the secondary monitors during a full-screen run.
#pragma once
#include <windows.h>

#include "base/win32/framework.h"

namespace qv {

class CBlackWnd : public CWnd {
 public:
  // A hidden top-most pop-up over rect, owned by owner; the run shows it.
  bool CreateBlackWindow(HWND owner, const RECT& rect);

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  RECT m_rcCovered{};
};

}  // namespace qv
