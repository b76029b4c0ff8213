// qvmedia: drives the full-screen media windows under Wine for the end-to-end tests,
// with their platform calls made to fail or watched.
//
//   qvmedia timer-fails <animation.flc>
//       The frame timer cannot be started: "loop=L create=C" for a play-once and a
//       looping animation (a window that cannot play must not be made).
//   qvmedia child-fails
//       The video's child window cannot be made: "create=C failed=F ended=E".
//   qvmedia teardown <animation.flc>
//       Plays the animation, holds one timer tick inside its callback and destroys the
//       window meanwhile: "ticks=N in-flight-after-teardown=I ticks-after-teardown=T
//       kill-synchronous=K" (K: the timer was started to be killed synchronously, which
//       on Windows is what makes destruction wait for a running tick).
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "media/win32/fli_full_scr_wnd.h"
#include "media/win32/video_full_scr_wnd.h"

namespace {

HWND MakeParent() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QvMediaTestParent";
  RegisterClassA(&wc);
  return CreateWindowExA(0, wc.lpszClassName, "qvmedia", WS_POPUP, 0, 0, 320, 240, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

void Pump(DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  MSG msg;
  while (static_cast<int>(end - GetTickCount()) > 0) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(5);
  }
}

template <typename Window>
void Prepare(Window& w, bool loop) {
  w.m_placement.areaWidth = 320;
  w.m_placement.areaHeight = 240;
  w.m_bLoop = loop;
  w.m_bShowAtOnce = true;
}

MMRESULT WINAPI NoTimer(UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT) { return 0; }

int TimerFails(HWND parent, const char* path) {
  for (const bool loop : {false, true}) {
    qv::CFliFullScrWnd w;
    Prepare(w, loop);
    w.m_pfnTimeSetEvent = NoTimer;
    std::printf("loop=%d create=%d\n", loop, w.Create(parent, path, true));
  }
  return 0;
}

int ChildFails(HWND parent) {
  qv::CVideoFullScrWnd w;
  Prepare(w, false);
  w.m_pfnCreateChild = [](qv::CMFVideoWindow&, HWND) { return false; };
  const bool created = w.Create(parent, "missing.mp4", true);
  std::printf("create=%d failed=%d ended=%d\n", created, w.Failed(), w.Ended());
  return 0;
}

// The animation's timer, wrapped: one tick can be held inside the callback.
struct Watch {
  LPTIMECALLBACK real = nullptr;
  DWORD_PTR user = 0;
  std::atomic<int> inFlight{0}, ticks{0}, afterTeardown{0};
  std::atomic<bool> hold{false}, gone{false};
  UINT flags = 0;
  HANDLE held = nullptr;
} g_watch;

void CALLBACK WatchedTick(UINT id, UINT message, DWORD_PTR, DWORD_PTR a, DWORD_PTR b) {
  ++g_watch.inFlight;
  if (g_watch.hold.exchange(false)) {
    SetEvent(g_watch.held);
    Sleep(400);
  }
  if (g_watch.gone) {
    ++g_watch.afterTeardown;  // the window is gone: its callback must not run
  } else {
    ++g_watch.ticks;
    g_watch.real(id, message, g_watch.user, a, b);
  }
  --g_watch.inFlight;
}

MMRESULT WINAPI WatchedTimeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user,
                                    UINT flags) {
  g_watch.real = callback;
  g_watch.user = user;
  g_watch.flags = flags;
  return timeSetEvent(delay, resolution, WatchedTick, 0, flags);
}

int Teardown(HWND parent, const char* path) {
  g_watch.held = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  auto w = std::make_unique<qv::CFliFullScrWnd>();
  Prepare(*w, true);
  w->m_pfnTimeSetEvent = WatchedTimeSetEvent;
  if (!w->Create(parent, path, true)) {
    std::printf("create=0\n");
    return 1;
  }
  Pump(500);
  g_watch.hold = true;
  if (WaitForSingleObject(g_watch.held, 5000) != WAIT_OBJECT_0) {
    std::printf("no tick came\n");
    return 1;
  }
  w.reset();  // destroys the window and its timer while a tick is being handled
  g_watch.gone = true;
  const int inFlight = g_watch.inFlight;
  Sleep(600);
  std::printf("ticks=%d in-flight-after-teardown=%d ticks-after-teardown=%d kill-synchronous=%d\n",
              g_watch.ticks.load(), inFlight, g_watch.afterTeardown.load(),
              (g_watch.flags & TIME_KILL_SYNCHRONOUS) != 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const HWND parent = MakeParent();
  if (!parent) return 1;
  int code = 2;
  if (argc == 3 && std::strcmp(argv[1], "timer-fails") == 0) code = TimerFails(parent, argv[2]);
  else if (argc == 2 && std::strcmp(argv[1], "child-fails") == 0) code = ChildFails(parent);
  else if (argc == 3 && std::strcmp(argv[1], "teardown") == 0) code = Teardown(parent, argv[2]);
  else std::fprintf(stderr, "usage: qvmedia timer-fails|teardown <animation.flc> | child-fails\n");
  std::fflush(stdout);
  DestroyWindow(parent);
  return code;
}
