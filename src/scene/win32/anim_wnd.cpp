#include "scene/win32/anim_wnd.h"

#include <mmsystem.h>

#include "scene/frame_pacer.h"
#include "scene/win32/perf_timer.h"
#include "shell/win32/saver_run.h"
#include "shell/win32/saver_shell.h"

namespace qv {

CAnimWnd Scene;

void CAnimWnd::Start(CScreenSaverDoc* doc, int width, int height) {
  m_pDoc = doc;
  m_nSceneWidth = width;
  m_nSceneHeight = height;
}

bool CAnimWnd::PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

void CAnimWnd::RunFrameLoop(bool fast) {
  m_bFastLoop = fast;
  Run.fastTiming = fast;
  if (!IsWindow()) return;

  const double period = fast ? kFastFramePeriodMs : kNormalFramePeriodMs;
  const UINT resolution = fast ? 1 : 10;
  const DWORD nap = fast ? 1 : 10;
  timeBeginPeriod(resolution);

  CPerfTimer clock;
  clock.Start();
  FramePacer pacer(period);
  bool pumping = true;
  while (pumping && IsWindow()) {
    RunTick(m_hWnd);
    pacer.CatchUp(clock.ElapsedMs());
    while (pumping && pacer.MustWait(clock.ElapsedMs())) {
      Sleep(nap);
      pumping = PumpMessages();
    }
    pacer.Advance();
    if (pumping) pumping = PumpMessages();
  }
  timeEndPeriod(resolution);
}

void CAnimWnd::Destroy() {
  if (!Run.preview) ReleaseCapture();
  m_pDoc = nullptr;
}

}  // namespace qv
