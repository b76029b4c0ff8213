// qvwin: a small window inspector for the end-to-end tests, run under Wine beside the
// saver. It lists windows with their class, title, rectangle and styles, reads the
// texts inside a window (a message box's message), and posts or sends messages.
//
//   qvwin list                      top-level windows
//   qvwin children <hwnd>           child windows of a window
//   qvwin text <hwnd>               texts of the window and its children
//   qvwin post <hwnd> <msg> [w] [l] post a message
//   qvwin send <hwnd> <msg> [w] [l] send a message, print the result
//   qvwin foreground                the foreground window
//   qvwin click <hwnd> <control-id> press a dialog button
//   qvwin item <hwnd> <control-id>  a dialog item: enabled, visible, checked, its
//                                   rectangle in the dialog's client area and on the
//                                   screen, its text
//   qvwin settext <hwnd> <id> <t>   set an item's text (\r, \n and \\ are escapes)
//   qvwin monitors                  the monitors as the system enumerates them: left
//                                   top right bottom primary(0/1), one per line
//
// Output lines are tab-separated: hwnd pid class title left top right bottom style
// exstyle visible owner-or-parent. Numbers are decimal, styles hexadecimal.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HWND ParseHwnd(const char* text) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text, nullptr, 0)));
}

unsigned long long Num(HWND h) { return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)); }

void PrintWindow(HWND hwnd, HWND related) {
  char cls[256] = "", title[512] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  GetWindowTextA(hwnd, title, sizeof title);
  for (char* p = title; *p; ++p)
    if (*p == '\t' || *p == '\n' || *p == '\r') *p = ' ';
  RECT r{};
  GetWindowRect(hwnd, &r);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  std::printf("%llu\t%lu\t%s\t%s\t%ld\t%ld\t%ld\t%ld\t%08lx\t%08lx\t%d\t%llu\n", Num(hwnd),
              pid, cls, title, r.left, r.top, r.right, r.bottom,
              static_cast<unsigned long>(GetWindowLongPtrA(hwnd, GWL_STYLE)),
              static_cast<unsigned long>(GetWindowLongPtrA(hwnd, GWL_EXSTYLE)),
              IsWindowVisible(hwnd) ? 1 : 0, Num(related));
}

BOOL CALLBACK ListTop(HWND hwnd, LPARAM) {
  PrintWindow(hwnd, GetWindow(hwnd, GW_OWNER));
  return TRUE;
}

BOOL CALLBACK ListChild(HWND hwnd, LPARAM) {
  PrintWindow(hwnd, GetParent(hwnd));
  return TRUE;
}

BOOL CALLBACK PrintText(HWND hwnd, LPARAM) {
  char text[2048] = "";
  GetWindowTextA(hwnd, text, sizeof text);
  if (text[0]) std::printf("%s\n", text);
  return TRUE;
}

BOOL CALLBACK PrintMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) {
    const RECT& r = info.rcMonitor;
    std::printf("%ld\t%ld\t%ld\t%ld\t%d\n", r.left, r.top, r.right, r.bottom,
                (info.dwFlags & MONITORINFOF_PRIMARY) ? 1 : 0);
  }
  return TRUE;
}

int Usage() {
  std::fprintf(stderr, "usage: qvwin list | children H | text H | post H M [W L] | send H M [W L] | foreground | click H ID | item H ID | settext H ID TEXT | monitors\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const char* cmd = argv[1];
  if (!std::strcmp(cmd, "list")) {
    EnumWindows(ListTop, 0);
  } else if (!std::strcmp(cmd, "children") && argc >= 3) {
    EnumChildWindows(ParseHwnd(argv[2]), ListChild, 0);
  } else if (!std::strcmp(cmd, "text") && argc >= 3) {
    const HWND hwnd = ParseHwnd(argv[2]);
    PrintText(hwnd, 0);
    EnumChildWindows(hwnd, PrintText, 0);
  } else if ((!std::strcmp(cmd, "post") || !std::strcmp(cmd, "send")) && argc >= 4) {
    const HWND hwnd = ParseHwnd(argv[2]);
    const UINT message = static_cast<UINT>(std::strtoul(argv[3], nullptr, 0));
    const WPARAM w = argc > 4 ? static_cast<WPARAM>(std::strtoull(argv[4], nullptr, 0)) : 0;
    const LPARAM l = argc > 5 ? static_cast<LPARAM>(std::strtoll(argv[5], nullptr, 0)) : 0;
    if (cmd[0] == 'p') {
      if (!PostMessageA(hwnd, message, w, l)) return 1;
    } else {
      DWORD_PTR result = 0;
      if (!SendMessageTimeoutA(hwnd, message, w, l, SMTO_ABORTIFHUNG, 5000, &result)) return 1;
      std::printf("%llu\n", static_cast<unsigned long long>(result));
    }
  } else if (!std::strcmp(cmd, "foreground")) {
    const HWND fg = GetForegroundWindow();
    if (fg) PrintWindow(fg, GetWindow(fg, GW_OWNER));
  } else if (!std::strcmp(cmd, "click") && argc >= 4) {
    const HWND dialog = ParseHwnd(argv[2]);
    const int id = std::atoi(argv[3]);
    if (!PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))))
      return 1;
  } else if (!std::strcmp(cmd, "item") && argc >= 4) {
    const HWND dialog = ParseHwnd(argv[2]);
    const HWND item = GetDlgItem(dialog, std::atoi(argv[3]));
    if (!item) return 1;
    RECT screen{};
    GetWindowRect(item, &screen);
    RECT r = screen;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    // WM_GETTEXT itself: GetWindowText reads only the caption of another process's
    // window, which an edit control does not keep up to date.
    char text[4096] = "";
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(item, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    text[sizeof text - 1] = '\0';
    std::string shown;  // one line: tabs and line breaks written as escapes
    for (const char* p = text; *p; ++p) {
      if (*p == '\t') shown += "\\t";
      else if (*p == '\r') shown += "\\r";
      else if (*p == '\n') shown += "\\n";
      else shown += *p;
    }
    const LRESULT checked = SendMessageA(item, BM_GETCHECK, 0, 0);
    std::printf("%d\t%d\t%d\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%ld\t%s\n", IsWindowEnabled(item) ? 1 : 0,
                IsWindowVisible(item) ? 1 : 0, checked == BST_CHECKED ? 1 : 0, r.left, r.top, r.right,
                r.bottom, screen.left, screen.top, screen.right, screen.bottom, shown.c_str());
  } else if (!std::strcmp(cmd, "settext") && argc >= 5) {
    const HWND item = GetDlgItem(ParseHwnd(argv[2]), std::atoi(argv[3]));
    if (!item) return 1;
    std::string text;
    for (const char* p = argv[4]; *p; ++p) {
      if (*p == '\\' && p[1]) {
        ++p;
        text += *p == 'r' ? '\r' : *p == 'n' ? '\n' : *p;
      } else {
        text += *p;
      }
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000,
                             &result))
      return 1;
  } else if (!std::strcmp(cmd, "monitors")) {
    EnumDisplayMonitors(nullptr, nullptr, PrintMonitor, 0);
  } else {
    return Usage();
  }
  std::fflush(stdout);
  return 0;
}
