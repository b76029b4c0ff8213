// The life of one saver run: what the saver window does from creation to destruction.
#pragma once
#include <windows.h>

#include <atomic>
#include <memory>

#include "base/monitor_layout.h"
#include "base/win32/monitors.h"
#include "feed/win32/feed_thread.h"
#include "package/win32/package_files.h"
#include "scene/win32/anim_wnd.h"
#include "settings/win32/qv_app.h"
#include "shell/run_state.h"
#include "shell/win32/black_window.h"

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
  FeedThread feed;  // the feed thread and the session it shares with the run
  // The feed navigation lives in the scene (Scene.Scene().Feed()): one state for the
  // keys and the feed box.
};

// Process-wide run objects (defined in saver_run.cpp): the run's state and the scene
// attached to the saver window.
extern RunState Run;
extern CAnimWnd Scene;

void StartPeriodicTimer();
void StopPeriodicTimer();

}  // namespace qv
