// CVideoFullScrWnd: a video in the full-screen media window. The platform's simple
// media player renders into a child window laid out inside this one keeping the video's
// shape; the player's events start, loop or end it (video_events.h has the rules).
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

  // A video that could not be played has nothing more to show: it counts as ended.
  bool Ended() const override { return m_bEnded || m_bFailed; }

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

  std::unique_ptr<CMFVideoWindow> m_pChild;
  bool m_bFirstPaint = true;
  bool m_bApplied = false;
  IMFPMediaPlayer* m_pPlayer = nullptr;
  MediaPlayerCallback* m_pCallback = nullptr;
};

}  // namespace qv
