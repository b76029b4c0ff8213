// CVideoFullScrWnd: a video in the full-screen media window. A child window is laid out
// inside this one keeping the video's shape, and the platform's simple media player
// renders into a pop-up surface kept over that child; the bands around it are black. The
// player's events start, loop, end or fail it (video_events.h has the rules).
#pragma once
#include <windows.h>

#include <memory>

#include "media/video_events.h"
#include "media/win32/full_scr_wnd.h"
#include "media/win32/mf_video_window.h"

namespace qv {

class CVideoFullScrWnd final : public CFullScrWnd {
 public:
  CVideoFullScrWnd();
  ~CVideoFullScrWnd() override;

  bool Failed() const override { return m_bFailed; }

  // Makes the child window; replaceable so that a test can make it fail.
  bool (*m_pfnCreateChild)(CMFVideoWindow& child, HWND parent) = [](CMFVideoWindow& child, HWND parent) {
    return child.CreateChild(parent);
  };

  // The flags the event rules read and write.
  VideoWindowState State() const;
  void Apply(const VideoWindowState& state);

  bool m_bHasVideo = false;
  bool m_bFailed = false;

 protected:
  bool OpenWithPath() override { return true; }
  bool OpenWithoutFile() override { return true; }
  void ReleaseMedia() override;
  void SyncPlayState() override;
  void StartMedia() override;
  void StopTimer() override {}
  void Layout() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void OnCreate();
  void Fail();
  void Paint();

  std::unique_ptr<CMFVideoWindow> m_pChild;
  std::unique_ptr<CVideoSurface> m_pSurface;
  bool m_bFirstPaint = true;
  bool m_bApplied = false;
  IMFPMediaPlayer* m_pPlayer = nullptr;
  MediaPlayerCallback* m_pCallback = nullptr;
};

}  // namespace qv
