// The scene attached to the saver window. This build composes no picture yet: the
// scene keeps its size, paints nothing (the window's black background shows) and runs
// the full-screen frame loop that paces the run's ticks.
#pragma once
#include <windows.h>

#include "shell/win32/framework.h"

namespace qv {

class CScreenSaverDoc;

class CAnimWnd : public CWnd {
 public:
  void Start(CScreenSaverDoc* doc, int width, int height);
  void StartMedia() {}
  void OnFrame() {}
  void Paint(HDC) {}
  bool RealizePalette() { return false; }
  HWND MediaWindow() const { return nullptr; }

  // Runs until the window is gone, calling RunTick once per frame.
  void RunFrameLoop(bool fast);
  void Destroy();

  int SceneWidth() const { return m_nSceneWidth; }
  int SceneHeight() const { return m_nSceneHeight; }

 private:
  // Dispatches every waiting message. A quit message is put back for the shell's loop.
  bool PumpMessages();

  CScreenSaverDoc* m_pDoc = nullptr;
  int m_nSceneWidth = 0;
  int m_nSceneHeight = 0;
  bool m_bFastLoop = false;
};

extern CAnimWnd Scene;

}  // namespace qv
