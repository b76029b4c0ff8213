// The life of one saver run: what the saver window does from creation to destruction.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>

#include "feed/thread_data.h"
#include "package/win32/package_files.h"
#include "shell/monitor_layout.h"
#include "shell/run_state.h"
#include "settings/win32/qv_app.h"
#include "shell/win32/monitors.h"

namespace qv {

struct RunState {
  bool preview = false;
  bool dialogMode = false;
  bool spritesVisible = false;
  Rect32 sceneRect;
  std::unique_ptr<CBlackWnd> blackWindows[kMaxMonitors];  // index 0 never filled
  RunCounters counters;
  bool fastTiming = false;
  std::atomic<bool> timerGate{true};  // read by the multimedia timer's thread
  UINT periodicTimer = 0;
  UINT timerResolution = 0;
  HWND timerTarget = nullptr;
  UINT previewResolution = 0;  // timer resolution a preview requested for itself
  bool quitPosted = false;
  CThreadData feedRecord;
  HANDLE feedThread = nullptr;
  FeedNavigation feed;
};
extern RunState Run;

void StartPeriodicTimer();
void StopPeriodicTimer();

}  // namespace qv
