#include "shell/win32/monitors.h"

#include <vector>

namespace qv {

MonitorLayout MonitorRects;

namespace {
BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto* rects = reinterpret_cast<std::vector<Rect32>*>(data);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) {
    const RECT& r = info.rcMonitor;
    rects->push_back(Rect32{r.left, r.top, r.right, r.bottom});
  }
  return TRUE;  // always enumerate to the end
}

constexpr char kBlackClass[] = "QuorvexBlackWindow";
}  // namespace

void EnumerateMonitors() {
  std::vector<Rect32> found;
  const HDC screen = GetDC(nullptr);
  EnumDisplayMonitors(screen, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&found));
  ReleaseDC(nullptr, screen);
  RECT desktop{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  MonitorRects =
      ArrangeMonitors(found, Rect32{desktop.left, desktop.top, desktop.right, desktop.bottom});
}

bool CBlackWnd::CreateBlackWindow(HWND owner, const RECT& rect) {
  if (!RegisterClassOnce(kBlackClass, CS_DBLCLKS, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))))
    return false;
  m_rcCovered = rect;
  return CreateEx(WS_EX_TOPMOST, kBlackClass, "", WS_POPUP, rect, owner);
}

LRESULT CBlackWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(m_hWnd, &ps);
    FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(m_hWnd, &ps);
    return 0;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

}  // namespace qv
