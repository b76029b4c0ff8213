#include "ui/win32/static_link.h"

#include <shellapi.h>

#include "feed/web_address.h"

namespace qv {

namespace {

constexpr char kLinkProperty[] = "QvStaticLink";

}  // namespace

CStaticLink::CStaticLink(const char* link, bool deleteOnDestroy)
    : m_link(link ? link : ""), m_deleteOnDestroy(deleteOnDestroy) {}

CStaticLink::~CStaticLink() {
  if (m_hWnd && IsWindow(m_hWnd)) {
    RemovePropA(m_hWnd, kLinkProperty);
    SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
  }
}

bool CStaticLink::SubclassDlgItem(int id, HWND dialog) {
  const HWND control = GetDlgItem(dialog, id);
  if (!control || m_hWnd) return false;
  m_hWnd = control;
  SetPropA(control, kLinkProperty, this);
  m_previous = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CStaticLink::LinkProc)));
  if (!m_previous) {
    RemovePropA(control, kLinkProperty);
    m_hWnd = nullptr;
    return false;
  }
  return true;
}

LRESULT CALLBACK CStaticLink::LinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<CStaticLink*>(GetPropA(hwnd, kLinkProperty));
  if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    const LRESULT result = CallWindowProcA(self->m_previous, hwnd, message, wParam, lParam);
    RemovePropA(hwnd, kLinkProperty);
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->m_previous));
    self->m_hWnd = nullptr;
    if (self->m_deleteOnDestroy) delete self;
    return result;
  }
  return self->WindowProc(message, wParam, lParam);
}

LRESULT CStaticLink::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCHITTEST:
      return HTCLIENT;  // a static is transparent to the mouse otherwise
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_SETCURSOR:
      if (const HCURSOR hand = HandCursor()) {
        SetCursor(hand);
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      OnClick();
      return 0;
  }
  return CallWindowProcA(m_previous, m_hWnd, message, wParam, lParam);
}

void CStaticLink::OnPaint() {
  PAINTSTRUCT ps;
  const HDC dc = BeginPaint(m_hWnd, &ps);
  if (!dc) return;
  if (!m_underlined) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA lf{};
    if (GetObjectA(font, sizeof lf, &lf) == sizeof lf) {
      lf.lfUnderline = TRUE;
      m_underlined.reset(CreateFontIndirectA(&lf));
    }
  }
  std::string text = m_link;
  if (text.empty()) {
    char buffer[1024] = {};
    GetWindowTextA(m_hWnd, buffer, sizeof buffer);
    text = buffer;
  }
  RECT client;
  GetClientRect(m_hWnd, &client);
  {
    const SelectedObject font(dc, m_underlined.get());
    SetTextColor(dc, m_color);
    SetBkMode(dc, TRANSPARENT);
    const LONG_PTR style = GetWindowLongPtrA(m_hWnd, GWL_STYLE);
    const UINT align = (style & SS_TYPEMASK) == SS_CENTER ? DT_CENTER : DT_LEFT;
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &client, align | DT_NOPREFIX);
  }
  EndPaint(m_hWnd, &ps);
}

void CStaticLink::OnClick() {
  std::string address = m_link;
  if (address.empty()) {
    char buffer[1024] = {};
    GetWindowTextA(m_hWnd, buffer, sizeof buffer);
    address = buffer;
  }
  if (address.empty()) return;
  // The address comes from the package: only a web or mail address goes to the shell,
  // never a local or shared program. Anything else is shown and answered with a beep.
  const std::string target = LinkAddressToOpen(address);
  if (target.empty()) {
    MessageBeep(MB_OK);
    return;
  }
  const HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  m_color = kVisitedColor;
  InvalidateRect(m_hWnd, nullptr, FALSE);
  UpdateWindow(m_hWnd);
  const HINSTANCE result = ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) <= 32) MessageBeep(MB_OK);
  SetCursor(old);
}

// The help viewer's pointing hand, copied once per process; the system's hand cursor
// where that program is missing.
HCURSOR CStaticLink::HandCursor() {
  static HCURSOR hand = nullptr;
  static bool tried = false;
  if (tried) return hand;
  tried = true;
  char path[MAX_PATH + 32] = {};
  const UINT n = GetWindowsDirectoryA(path, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    lstrcatA(path, "\\winhlp32.exe");
    // Only its resources are wanted: mapped as data, none of its code runs.
    if (const LoadedLibrary module(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE)); module) {
      if (const HCURSOR cursor = LoadCursorA(module.get(), MAKEINTRESOURCEA(106))) hand = CopyCursor(cursor);
    }
  }
  if (!hand) hand = LoadCursor(nullptr, IDC_HAND);
  return hand;
}

}  // namespace qv
