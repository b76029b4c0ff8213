// qvpreviewhost: stands in for the display-settings dialog. It opens a window with a
// 152 x 112 preview area, starts the saver with "/p <area handle>", and keeps running
// until it is closed (WM_CLOSE) or its time is up. Closing it destroys the preview area
// and with it the saver's child window; the host then waits for the saver to end.
//
//   qvpreviewhost <saver> [seconds]
//
// It prints "area=<hwnd> host=<hwnd> pid=<saver pid>" once the saver is started and
// "saver-exit=<code>" (or "saver-exit=timeout") when it is done.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int kAreaWidth = 152;
constexpr int kAreaHeight = 112;

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

unsigned long long Num(HWND h) { return static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: qvpreviewhost <saver> [seconds]\n");
    return 2;
  }
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 30;
  const HINSTANCE instance = GetModuleHandleA(nullptr);

  WNDCLASSA host{};
  host.lpfnWndProc = HostProc;
  host.hInstance = instance;
  host.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  host.hCursor = LoadCursor(nullptr, IDC_ARROW);
  host.lpszClassName = "QvPreviewHost";
  RegisterClassA(&host);
  WNDCLASSA area{};
  area.lpfnWndProc = DefWindowProcA;
  area.hInstance = instance;
  area.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  area.lpszClassName = "QvPreviewArea";
  RegisterClassA(&area);

  const HWND hostWnd = CreateWindowExA(0, "QvPreviewHost", "Preview Host",
                                       WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 40, 40,
                                       320, 240, nullptr, nullptr, instance, nullptr);
  const HWND areaWnd = CreateWindowExA(0, "QvPreviewArea", "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                                       20, 20, kAreaWidth, kAreaHeight, hostWnd, nullptr, instance,
                                       nullptr);
  if (!hostWnd || !areaWnd) return 1;
  SetTimer(hostWnd, 1, static_cast<UINT>(seconds) * 1000u, nullptr);

  std::string command;
  command.append("\"").append(argv[1]).append("\" /p ").append(std::to_string(Num(areaWnd)));
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::printf("start-failed=%lu\n", GetLastError());
    return 1;
  }
  std::printf("area=%llu host=%llu pid=%lu\n", Num(areaWnd), Num(hostWnd), pi.dwProcessId);
  std::fflush(stdout);

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (WaitForSingleObject(pi.hProcess, 10000) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    std::printf("saver-exit=%ld\n", static_cast<long>(code));
  } else {
    std::printf("saver-exit=timeout\n");
    TerminateProcess(pi.hProcess, 99);
  }
  std::fflush(stdout);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return 0;
}
