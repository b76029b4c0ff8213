// CFullScrWnd: the full-screen media window that an animation or a video plays in, over
// the scene or before it. It is placed by the document's fit mode, forwards the user's
// input to the scene window (whose rules close the saver), hides the cursor except in a
// preview, and realises the application palette when activated. Each kind supplies the
// open, start, release, layout and play-state operations.
#pragma once
#include <windows.h>

#include <string>

#include "media/media_placement.h"
#include "base/win32/framework.h"

namespace qv {

// The mouse messages a media window passes on to the window it plays for.
bool IsForwardedMouseMessage(UINT message);

class CFullScrWnd : public CWnd {
 public:
  ~CFullScrWnd() override;

  // Opens the media, creates the window (hidden until the splash ends unless showNow),
  // starts it. False when the media cannot be opened, the window cannot be made or the
  // media fails as it starts; no window is left then.
  bool Create(HWND parent, const std::string& path, bool placed);

  // The scene's per-tick step: keeps the player's state in step; returns the end flag.
  bool Tick();
  // The media has ended (or failed for good) and will not go on by itself.
  virtual bool Ended() const { return m_bEnded; }
  // The media cannot be played (no timer, no player, a failed open): the window has
  // nothing to show and must not cover the scene.
  virtual bool Failed() const { return false; }

  // Set by the scene before Create.
  MediaPlacement m_placement;
  int32_t m_nMediaWidth = 0, m_nMediaHeight = 0;
  bool m_bLoop = false;
  bool m_bPreview = false;
  bool m_bShowAtOnce = false;  // no splash: shown as soon as it is made
  int m_nDrawMode = 2;         // the whole client area

  bool m_bPlaying = true;
  bool m_bEnded = false;

 protected:
  virtual bool OpenWithPath() = 0;
  virtual bool OpenWithoutFile() = 0;
  virtual void ReleaseMedia() = 0;
  virtual void SyncPlayState() = 0;
  virtual void StartMedia() = 0;
  virtual void StopTimer() = 0;
  virtual void Layout() {}

  // Moves the window to where the placement puts the media.
  void Place();
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  std::string m_strPath;
  HWND m_hParent = nullptr;
  bool m_bPlaced = false;
  bool m_bEmptyPath = false;
  bool m_bOpenFailed = false;
  bool m_bDestroyed = false;
};

}  // namespace qv
