#include "media/win32/video_full_scr_wnd.h"

#include "media/media_placement.h"

namespace qv {

CVideoFullScrWnd::CVideoFullScrWnd() = default;

CVideoFullScrWnd::~CVideoFullScrWnd() {
  // The player stops before the surface it draws into goes with this window.
  ReleaseMedia();
  if (IsWindow()) DestroyWindow();
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

void CVideoFullScrWnd::Fail() {
  VideoWindowState s = State();
  FailVideo(s);
  Apply(s);
}

void CVideoFullScrWnd::OnCreate() {
  SetCursor(nullptr);
  m_pChild = std::make_unique<CMFVideoWindow>();
  if (!m_pfnCreateChild(*m_pChild, m_hWnd)) {
    m_pChild.reset();
    Fail();  // nowhere to show the video
    return;
  }
  m_pSurface = std::make_unique<CVideoSurface>();
  if (!m_pSurface->CreateSurface(m_hWnd, m_bPreview)) {
    m_pSurface.reset();
    Fail();
    return;
  }
  const std::wstring wide = MediaPathToWide(m_strPath);
  m_bFailed = false;
  if (!m_pPlayer) {
    m_pCallback = new MediaPlayerCallback(m_pChild.get());
    if (FAILED(CreateSimplePlayer(m_pCallback, m_pSurface->GetSafeHwnd(), &m_pPlayer))) {
      Fail();
      return;
    }
  }
  m_pChild->m_pPlayer = m_pPlayer;
  m_pChild->m_pCallback = m_pCallback;
  m_pSurface->m_pPlayer = m_pPlayer;
  int32_t width = 0, height = 0;
  GetVideoFrameSize(m_strPath, width, height);
  if (width == 0) {
    Fail();  // no video stream: nothing is played
    return;
  }
  m_nMediaWidth = width;
  m_nMediaHeight = height;
  if (wide.empty() || FAILED(m_pPlayer->CreateMediaItemFromURL(wide.c_str(), FALSE, 0, nullptr))) {
    Fail();
    return;
  }
  m_pChild->m_pOwner = this;
  m_bEnded = false;
}

void CVideoFullScrWnd::StartMedia() {
  // Fit mode 0 keeps the whole monitor, black around the centred picture; the other modes,
  // and every mode in a preview, move the window where the placement puts the video.
  if (m_bPlaced && (m_placement.fitMode != kMediaFitInside || m_bPreview)) Place();
  Layout();
}

void CVideoFullScrWnd::Layout() {
  if (!m_pChild || !m_pChild->IsWindow()) return;
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const Rect32 r = FitCentred(client.right, client.bottom, m_nMediaWidth, m_nMediaHeight);
  MoveWindow(m_pChild->GetSafeHwnd(), r.left, r.top, r.Width(), r.Height(), FALSE);
  if (m_pSurface) m_pSurface->Cover(m_pChild->GetSafeHwnd());
  if (m_pPlayer) m_pPlayer->UpdateVideo();
}

// Black: the bands beside the picture, and behind it until the first frame. (This
// window does not clip its child, which draws nothing of its own.)
void CVideoFullScrWnd::Paint() {
  PAINTSTRUCT ps;
  const HDC dc = BeginPaint(m_hWnd, &ps);
  FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EndPaint(m_hWnd, &ps);
}

void CVideoFullScrWnd::SyncPlayState() {
  // The surface follows the child wherever the run moves, shows or hides this window.
  if (m_pSurface && m_pChild) m_pSurface->Cover(m_pChild->GetSafeHwnd());
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
  if (m_pSurface) {
    m_pSurface->m_pPlayer = nullptr;
    m_pSurface->DestroyWindow();
  }
  m_pSurface.reset();
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
    case WM_CLOSE:
      ReleaseMedia();  // before the owned surface is destroyed with this window
      break;
    case WM_PAINT:
      if (m_bFirstPaint) {
        m_bFirstPaint = false;
        if (!m_bFailed) m_bPlaying = true;
        if (m_pChild) ShowWindow(m_pChild->GetSafeHwnd(), SW_SHOWNORMAL);
        Layout();
      }
      Paint();
      return 0;
    case WM_SHOWWINDOW:
    case WM_WINDOWPOSCHANGED: {
      const LRESULT result = CFullScrWnd::WindowProc(message, wParam, lParam);
      if (m_pSurface && m_pChild) m_pSurface->Cover(m_pChild->GetSafeHwnd());
      return result;
    }
  }
  return CFullScrWnd::WindowProc(message, wParam, lParam);
}

}  // namespace qv
