// The process's monitor list and the black windows that cover secondary monitors in a
// full-screen run.
#pragma once
#include <windows.h>

#include "shell/monitor_layout.h"
#include "shell/win32/framework.h"

namespace qv {

// Up to five monitor rectangles, the primary first; rebuilt by EnumerateMonitors.
extern MonitorLayout MonitorRects;

void EnumerateMonitors();

inline RECT ToRECT(const Rect32& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

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
