#include "base/win32/framework.h"

namespace qv {

CWnd::~CWnd() {
  if (m_hWnd && ::IsWindow(m_hWnd) &&
      reinterpret_cast<CWnd*>(GetWindowLongPtrA(m_hWnd, GWLP_USERDATA)) == this) {
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    ::DestroyWindow(m_hWnd);
  }
}

bool CWnd::RegisterClassOnce(const char* className, UINT style, HBRUSH background) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA existing;
  if (GetClassInfoA(instance, className, &existing)) return true;
  WNDCLASSA wc{};
  wc.style = style;
  wc.lpfnWndProc = StdWndProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = className;
  return RegisterClassA(&wc) != 0;
}

bool CWnd::CreateEx(DWORD exStyle, const char* className, const char* title, DWORD style,
                    const RECT& r, HWND parentOrOwner) {
  // The object reaches StdWndProc through the creation parameter, so even the first
  // messages (WM_NCCREATE, WM_CREATE) find it.
  const HWND hwnd =
      CreateWindowExA(exStyle, className, title, style, r.left, r.top, r.right - r.left,
                      r.bottom - r.top, parentOrOwner, nullptr, GetModuleHandleA(nullptr), this);
  return hwnd != nullptr;
}

bool CWnd::DestroyWindow() {
  if (!m_hWnd) return false;
  const bool ok = ::DestroyWindow(m_hWnd) != FALSE;
  m_hWnd = nullptr;
  return ok;
}

HWND CWnd::Detach() {
  const HWND hwnd = m_hWnd;
  m_hWnd = nullptr;
  return hwnd;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CWnd::StdWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<CWnd*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self && message == WM_NCCREATE) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    self = static_cast<CWnd*>(cs->lpCreateParams);
    if (self) {
      self->m_hWnd = hwnd;
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  }
  if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
  const LRESULT result = self->WindowProc(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    self->m_hWnd = nullptr;
    self->PostNcDestroy();
  }
  return result;
}

}  // namespace qv
