// CAnimWnd: the saver window's side of the run's scene. It is given the portable scene
// (background, back buffer, sprites, damaged rectangles; the run owns it), presents
// composed areas to the window (one to one in full screen, scaled into a preview), and
// plays the scene's media window and sounds. RunSceneFrameLoop paces the full-screen
// run's ticks.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "imaging/palette.h"
#include "media/win32/full_scr_wnd.h"
#include "media/win32/scene_sound.h"
#include "scene/anim_scene.h"
#include "base/win32/framework.h"

namespace qv {

class CScreenSaverDoc;

// Runs until window is gone, calling tick once per frame (fast: 14 ms frames, else the
// normal period) and onMessage before each message it dispatches. Neither callback may
// assume the run still exists: a dispatched message may have destroyed the window.
// Test diagnostic: with QV_TEST_FRAME_TIMES naming a file, the start-up marks and each
// frame's start time (ms) are written there at the end.
void RunSceneFrameLoop(HWND window, bool fast, const std::function<void()>& tick,
                       const std::function<void()>& onMessage);

class CAnimWnd : public CWnd, private ScenePresenter {
 public:
  // The scene (and through it the run's mode, scene.Mode()) outlives this window object.
  explicit CAnimWnd(CAnimScene& scene);

  void Start(CScreenSaverDoc* doc, int width, int height);
  // The end of the splash time: the media window and the document's sound. The run
  // calls it once. showAtOnce: no splash covered the scene, the window shows at once.
  void StartMedia(bool showAtOnce);
  // The document's sound, once per run. A play-once full-screen media calls it when it
  // has ended and its window is closed.
  void StartSound();
  // One scene step. Returns whether the sprites are shown (they wait while a media file
  // that plays once is running).
  bool OnFrame();
  // WM_PAINT: the whole back buffer, between BeginPaint and EndPaint.
  void Paint(HDC dc);
  bool RealizePalette();
  // The media window while one runs (a live window), else none.
  HWND MediaWindow() const { return m_pMediaWnd && m_pMediaWnd->IsWindow() ? m_pMediaWnd->GetSafeHwnd() : nullptr; }
  // A play-once media file that has not ended keeps the sprites hidden.
  bool MediaHoldsSprites() const;
  // Keeps the media window's player in step; the frame loop calls it for every message.
  void TickMediaWindow();
  // How the scene pauses the run's periodic timer while it replaces a finished media
  // window (true: gate closed and timer stopped; false: both back).
  void SetRunTimerPause(std::function<void(bool)> pause) { m_pauseRunTimer = std::move(pause); }

  void Destroy();

  CAnimScene& Scene() { return m_scene; }
  int SceneWidth() const { return m_scene.SceneWidth(); }
  int SceneHeight() const { return m_scene.SceneHeight(); }
  // The media file Start chose: the document's named file, or a temporary copy of its
  // embedded bytes (MediaExtracted), which the run deletes with its other files.
  const std::string& MediaPath() const { return m_strMediaPath; }
  bool MediaExtracted() const { return m_bMediaExtracted; }

 private:
  void Present(CDibKSV& backBuffer, const Rect32* rect) override;
  void BackBufferChanged(CDibKSV& backBuffer) override;
  void PresentTo(HDC dc, CDibKSV& backBuffer, const Rect32* rect);
  void ExtractMedia();
  // A play-once media window reported its end: close it, then the sound and the sprites.
  void FinishMedia();
  void CloseMediaWindow();

  CAnimScene& m_scene;
  CDIBPal m_palette;               // 8 bits: the back buffer's palette
  SceneSound m_sound;              // the document's sound and the sprites' event sounds
  std::string m_strMediaPath;      // the media file to play, or a temporary copy of it
  bool m_bMediaExtracted = false;
  bool m_bMediaFinished = false;
  std::unique_ptr<CFullScrWnd> m_pMediaWnd;
  bool m_bWaveStarted = false;
  std::function<void(bool)> m_pauseRunTimer;
};

}  // namespace qv
