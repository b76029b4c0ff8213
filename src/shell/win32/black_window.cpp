#include "shell/win32/black_window.h"

namespace qv {

namespace {
constexpr char kBlackClass[] = "QuorvexBlackWindow";
}  // namespace

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
