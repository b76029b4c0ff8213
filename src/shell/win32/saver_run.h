// The life of one saver run on the saver window: the portable run (SaverRun) with what
// only Windows does for it, made at WM_CREATE and destroyed at WM_DESTROY.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

#include "base/monitor_layout.h"
#include "imaging/cdib.h"
#include "media/win32/logo_wnd.h"
#include "scene/win32/anim_wnd.h"
#include "shell/saver_run_core.h"
#include "shell/win32/black_window.h"

namespace qv {

// The saver window's run: the run object and its Win32 platform — the scene's window
// side, the splash, the black windows, the periodic timer, the fixed preview picture.
// The shell state owns it (Shell.run) from WM_CREATE to WM_DESTROY; nothing reaches it
// afterwards.
class SaverWindowRun final : private RunPlatform {
 public:
  SaverWindowRun(HWND window, const RunConfig& config, uint32_t seed);
  ~SaverWindowRun() override;
  SaverWindowRun(const SaverWindowRun&) = delete;
  SaverWindowRun& operator=(const SaverWindowRun&) = delete;

  HWND Window() const { return m_hWnd; }
  SaverRun& Core() { return m_run; }
  const RunConfig& Config() const { return m_run.Config(); }
  CAnimWnd& SceneWindow() { return m_sceneWnd; }

  // One run tick: the activity read from the window system, then the run's rules.
  void Tick();
  void StartPeriodicTimer();
  void StopPeriodicTimer();
  void CloseSplash() { m_splash.reset(); }

  std::unique_ptr<CBlackWnd> blackWindows[kMaxMonitors];  // index 0 never filled
  CDIB fixedPreviewPicture;  // what a fixed preview paints instead of the scene
  UINT previewResolution = 0;  // timer resolution a preview requested for itself

 private:
  void ShowSplash() override;
  void DestroySplash() override;
  void StartMedia(uint32_t runTick) override;
  bool HasMediaWindow() override { return m_sceneWnd.MediaWindow() != nullptr; }
  void ShowMediaWindow(bool show) override;
  bool MediaHoldsSprites() override { return m_sceneWnd.MediaHoldsSprites(); }
  void ActivateSaver() override { SetActiveWindow(m_hWnd); }
  void HideCursor() override { SetCursor(nullptr); }
  bool SceneFrame(uint32_t runTick) override;
  void HandOverFeed() override;
  bool SaverIsActive() const;

  HWND m_hWnd;
  SaverRun m_run;
  CAnimWnd m_sceneWnd;  // over m_run's scene: declared after it, destroyed before it
  std::unique_ptr<CLogoWnd> m_splash;
  UINT m_periodicTimer = 0;
  UINT m_timerResolution = 0;
};

}  // namespace qv
