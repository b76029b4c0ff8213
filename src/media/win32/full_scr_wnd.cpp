#include "media/win32/full_scr_wnd.h"

#include "base/win32/win32_handles.h"
#include "imaging/palette.h"
#include "imaging/win32/imaging_win32.h"

namespace qv {

namespace {
constexpr char kClassName[] = "QvFullScreenMedia";

// No cursor, brush or icon: the media cover the window and the cursor stays hidden.
bool RegisterMediaClass() {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA existing;
  if (GetClassInfoA(instance, kClassName, &existing)) return true;
  WNDCLASSA wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = CWnd::StdWndProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  return RegisterClassA(&wc) != 0;
}
}  // namespace

bool IsForwardedMouseMessage(UINT message) {
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return true;
  }
  return false;
}

CFullScrWnd::~CFullScrWnd() = default;

bool CFullScrWnd::Create(HWND parent, const std::string& path, bool placed) {
  m_hParent = parent;
  m_bPlaced = placed;
  if (path.empty()) {
    m_bEmptyPath = true;
    if (!OpenWithoutFile()) return false;
  } else {
    m_strPath = path;
    if (!OpenWithPath()) {
      m_bOpenFailed = true;
      return false;
    }
  }
  if (!RegisterMediaClass()) return false;
  RECT rect{0, 0, m_placement.areaWidth, m_placement.areaHeight};
  if (placed && m_placement.fitMode != kMediaFitInside) rect = {-20, -20, -10, -10};
  const DWORD style = m_bPreview ? WS_CHILD : WS_POPUP;
  if (!CreateEx(0, kClassName, "", style, rect, parent)) return false;
  if (!m_bPreview) SetCursor(nullptr);
  StartMedia();
  if (Failed()) {
    DestroyWindow();
    return false;
  }
  if (m_bShowAtOnce || m_bPreview) ShowWindow(m_hWnd, SW_SHOW);
  return true;
}

bool CFullScrWnd::Tick() {
  SyncPlayState();
  return Ended();
}

void CFullScrWnd::Place() {
  if (!m_hWnd) return;
  Rect32 r = PlaceMedia(m_placement, m_nMediaWidth, m_nMediaHeight);
  if (m_bPreview) {
    RECT client{};
    GetClientRect(m_hParent, &client);
    r = ScaleFromPreviewArea(r, client.right, client.bottom);
  }
  MoveWindow(m_hWnd, r.left, r.top, r.Width(), r.Height(), TRUE);
}

LRESULT CFullScrWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsForwardedMouseMessage(message)) {
    PostMessageA(m_hParent, message, wParam, lParam);
    return 0;
  }
  switch (message) {
    case WM_KEYDOWN:
      PostMessageA(m_hParent, WM_KEYDOWN, wParam, 0);
      return 0;
    case WM_SETCURSOR:
      if (m_bPreview) break;
      SetCursor(nullptr);
      return TRUE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_ACTIVE && LOWORD(wParam) != WA_CLICKACTIVE) break;
      [[fallthrough]];
    case WM_USER: {
      // The application palette, so that an 8-bit screen shows the media's colours.
      if (const HPALETTE palette = ToHPalette(AppPalette().GetSafeHandle())) {
        const WindowDC dc(m_hWnd);
        const HPALETTE old = SelectPalette(dc.get(), palette, FALSE);
        const UINT changed = RealizePalette(dc.get());
        SelectPalette(dc.get(), old, TRUE);
        if (changed) InvalidateRect(m_hWnd, nullptr, TRUE);
      }
      if (message == WM_USER) return 0;
      break;
    }
    case WM_DESTROY:
      StopTimer();
      m_bDestroyed = true;
      if (!m_bEmptyPath) ReleaseMedia();
      break;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

}  // namespace qv
