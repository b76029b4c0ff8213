#include "media/win32/video_full_scr_wnd.h"

#include "media/media_placement.h"

namespace qv {

CVideoFullScrWnd::CVideoFullScrWnd() = default;

CVideoFullScrWnd::~CVideoFullScrWnd() {
  if (IsWindow()) DestroyWindow();
  ReleaseMedia();
}

VideoWindowState CVideoFullScrWnd::State() const {
  VideoWindowState s;
  s.playing = m_bPlaying;
  s.applied = m_bApplied;
  s.loop = m_bLoop;
  s.ended = m_bEnded;
  s.failed = m_bFailed;
  s.hasVideo = m_bHasVideo;
  return s;
}

void CVideoFullScrWnd::Apply(const VideoWindowState& s) {
  m_bPlaying = s.playing;
  m_bApplied = s.applied;
  m_bEnded = s.ended;
  m_bFailed = s.failed;
  m_bHasVideo = s.hasVideo;
}

void CVideoFullScrWnd::OnCreate() {
  m_pChild = std::make_unique<CMFVideoWindow>();
  if (!m_pChild->CreateChild(m_hWnd)) {
    m_pChild.reset();
    return;  // stays blank, without a player
  }
  const std::wstring wide = MediaPathToWide(m_strPath);
  m_bFailed = false;
  if (!m_pPlayer) {
    m_pCallback = new MediaPlayerCallback(m_pChild.get());
    if (FAILED(CreateSimplePlayer(m_pCallback, m_pChild->GetSafeHwnd(), &m_pPlayer))) {
      m_bFailed = true;
      SetCursor(nullptr);
      return;
    }
  }
  m_pChild->m_pPlayer = m_pPlayer;
  m_pChild->m_pCallback = m_pCallback;
  int32_t width = 0, height = 0;
  GetVideoFrameSize(m_strPath, width, height);
  if (width == 0) {
    m_bFailed = true;  // no video stream: nothing is played
  } else {
    m_nMediaWidth = width;
    m_nMediaHeight = height;
    if (wide.empty() || FAILED(m_pPlayer->CreateMediaItemFromURL(wide.c_str(), FALSE, 0, nullptr))) {
      m_bFailed = true;
    } else {
      m_pChild->m_pOwner = this;
      m_bEnded = false;
    }
  }
  SetCursor(nullptr);
}

void CVideoFullScrWnd::StartMedia() {
  // Fit mode 0 keeps the whole monitor and centres the picture inside; the other modes
  // move the window where the placement puts the video.
  if (m_bPlaced && m_placement.fitMode != kMediaFitInside) Place();
  Layout();
}

void CVideoFullScrWnd::Layout() {
  if (!m_pChild || !m_pChild->IsWindow()) return;
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const Rect32 r = FitCentred(client.right, client.bottom, m_nMediaWidth, m_nMediaHeight);
  MoveWindow(m_pChild->GetSafeHwnd(), r.left, r.top, r.Width(), r.Height(), FALSE);
  if (m_pPlayer) m_pPlayer->UpdateVideo();
}

void CVideoFullScrWnd::SyncPlayState() {
  VideoWindowState s = State();
  const PlayStateCall call = qv::SyncPlayState(s);
  Apply(s);
  if (!m_pPlayer) return;
  if (call == PlayStateCall::Play) m_pPlayer->Play();
  else if (call == PlayStateCall::Pause) m_pPlayer->Pause();
}

void CVideoFullScrWnd::ReleaseMedia() {
  if (m_pChild) {
    m_pChild->m_pOwner = nullptr;
    m_pChild->m_pPlayer = nullptr;
    m_pChild->m_pCallback = nullptr;
  }
  if (m_pPlayer) m_pPlayer->Shutdown();
  if (m_pPlayer) m_pPlayer->Release();
  m_pPlayer = nullptr;
  if (m_pCallback) {
    m_pCallback->Detach();
    m_pCallback->Release();
    m_pCallback = nullptr;
  }
  if (m_pChild) m_pChild->DestroyWindow();
  m_pChild.reset();
}

LRESULT CVideoFullScrWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      if (m_bFirstPaint) {
        m_bFirstPaint = false;
        m_bPlaying = true;
        if (m_pChild) ShowWindow(m_pChild->GetSafeHwnd(), SW_SHOWNORMAL);
        Layout();
      }
      break;  // the default validates
  }
  return CFullScrWnd::WindowProc(message, wParam, lParam);
}

}  // namespace qv
