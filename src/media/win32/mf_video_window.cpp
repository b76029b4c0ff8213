#include "media/win32/mf_video_window.h"

#include <mfapi.h>
#include <mfreadwrite.h>
#include <objbase.h>

#include "base/win32/win32_handles.h"
#include "media/win32/video_full_scr_wnd.h"

namespace qv {

namespace {

constexpr char kChildClass[] = "QvVideoChild";
constexpr char kSurfaceClass[] = "QvVideoSurface";
constexpr int kChildId = 1001;
// MF_MT_FRAME_SIZE, kept here so that no Media Foundation library is linked.
constexpr GUID kFrameSizeKey = {0x1652c33d, 0xd6b2, 0x4012, {0xb8, 0x34, 0x72, 0x03, 0x08, 0x49, 0xa3, 0x7d}};

// The engine's entry points, found once. The DLLs stay loaded for the process: the
// engine's worker threads run their code until the process ends.
struct MediaFoundationApi {
  HRESULT(WINAPI* startup)(ULONG, DWORD) = nullptr;
  HRESULT(WINAPI* createReader)(LPCWSTR, IMFAttributes*, IMFSourceReader**) = nullptr;
  HRESULT(WINAPI* createPlayer)(LPCWSTR, BOOL, MFP_CREATION_OPTIONS, IMFPMediaPlayerCallback*, HWND,
                                IMFPMediaPlayer**) = nullptr;
  bool started = false;

  template <typename F>
  static void Find(F& fn, const char* dll, const char* name) {
    if (const HMODULE module = LoadLibraryA(dll)) FindProc(fn, module, name);
  }

  static MediaFoundationApi& Get() {
    static MediaFoundationApi api = [] {
      MediaFoundationApi a;
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      Find(a.startup, "mfplat.dll", "MFStartup");
      Find(a.createReader, "mfreadwrite.dll", "MFCreateSourceReaderFromURL");
      Find(a.createPlayer, "mfplay.dll", "MFPCreateMediaPlayer");
      a.started = a.startup && SUCCEEDED(a.startup(MF_VERSION, MFSTARTUP_FULL));
      return a;
    }();
    return api;
  }
};

template <typename T>
void SafeRelease(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

}  // namespace

std::wstring MediaPathToWide(const std::string& path) {
  wchar_t wide[260] = {};
  const int n = MultiByteToWideChar(CP_THREAD_ACP, 0, path.c_str(), -1, wide, 260);
  if (n <= 0) return {};
  wide[259] = 0;
  return wide;
}

void GetVideoFrameSize(const std::string& path, int32_t& width, int32_t& height) {
  width = height = 0;
  MediaFoundationApi& api = MediaFoundationApi::Get();
  if (!api.started || !api.createReader) return;
  const std::wstring wide = MediaPathToWide(path);
  if (wide.empty()) return;
  IMFSourceReader* reader = nullptr;
  IMFMediaType* type = nullptr;
  UINT64 size = 0;
  if (SUCCEEDED(api.createReader(wide.c_str(), nullptr, &reader)) &&
      SUCCEEDED(reader->GetNativeMediaType(static_cast<DWORD>(MF_SOURCE_READER_FIRST_VIDEO_STREAM), 0, &type)) &&
      SUCCEEDED(type->GetUINT64(kFrameSizeKey, &size))) {
    const uint32_t w = static_cast<uint32_t>(size >> 32), h = static_cast<uint32_t>(size);
    // A size no video has is no size.
    if (w > 0 && h > 0 && w <= 65535 && h <= 65535) {
      width = static_cast<int32_t>(w);
      height = static_cast<int32_t>(h);
    }
  }
  SafeRelease(type);
  SafeRelease(reader);
}

HRESULT CreateSimplePlayer(IMFPMediaPlayerCallback* callback, HWND videoWindow, IMFPMediaPlayer** player) {
  *player = nullptr;
  MediaFoundationApi& api = MediaFoundationApi::Get();
  if (!api.started || !api.createPlayer) return E_NOTIMPL;
  return api.createPlayer(nullptr, FALSE, 0, callback, videoWindow, player);
}

// --- Callback ---------------------------------------------------------------------------

STDMETHODIMP MediaPlayerCallback::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IMFPMediaPlayerCallback))) {
    *out = static_cast<IMFPMediaPlayerCallback*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) MediaPlayerCallback::AddRef() { return ++m_nRefs; }

STDMETHODIMP_(ULONG) MediaPlayerCallback::Release() {
  const ULONG left = --m_nRefs;
  if (left == 0) delete this;
  return left;
}

void STDMETHODCALLTYPE MediaPlayerCallback::OnMediaPlayerEvent(MFP_EVENT_HEADER* event) {
  if (m_pTarget && event) m_pTarget->OnPlayerEvent(event);
}

// --- Child window -----------------------------------------------------------------------

bool CMFVideoWindow::CreateChild(HWND parent) {
  if (!RegisterClassOnce(kChildClass, CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1))) return false;
  if (!CreateEx(0, kChildClass, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 100, 100}, parent)) return false;
  SetWindowLongPtrA(m_hWnd, GWLP_ID, kChildId);
  return true;
}

void CMFVideoWindow::OnPlayerEvent(MFP_EVENT_HEADER* event) {
  PlayerEvent kind = PlayerEvent::Other;
  switch (event->eEventType) {
    case MFP_EVENT_TYPE_MEDIAITEM_CREATED: kind = PlayerEvent::MediaItemCreated; break;
    case MFP_EVENT_TYPE_MEDIAITEM_SET: kind = PlayerEvent::MediaItemSet; break;
    case MFP_EVENT_TYPE_PLAYBACK_ENDED: kind = PlayerEvent::PlaybackEnded; break;
    case MFP_EVENT_TYPE_ERROR: kind = PlayerEvent::Error; break;
    default: break;
  }
  CVideoFullScrWnd* owner = m_pOwner;
  VideoWindowState state = owner ? owner->State() : VideoWindowState{};
  const PlayerAction action = qv::OnPlayerEvent(state, kind, SUCCEEDED(event->hrEvent), owner != nullptr,
                                                m_pPlayer != nullptr);
  if (owner) owner->Apply(state);
  switch (action) {
    case PlayerAction::SetItemIfVideo: {
      IMFPMediaItem* item = MFP_GET_MEDIAITEM_CREATED_EVENT(event)->pMediaItem;
      BOOL hasVideo = FALSE, selected = FALSE;
      if (!item || FAILED(item->HasVideo(&hasVideo, &selected))) return;
      m_bHasVideo = hasVideo && selected;
      owner->m_bHasVideo = m_bHasVideo;
      m_pPlayer->SetMediaItem(item);
      break;
    }
    case PlayerAction::PlayAndShow:
      if (m_pPlayer) m_pPlayer->Play();
      if (owner) ShowWindow(owner->GetSafeHwnd(), SW_SHOWNORMAL);
      break;
    case PlayerAction::PlayAgain:
      if (m_pPlayer) m_pPlayer->Play();
      break;
    case PlayerAction::None:
      break;
  }
}

LRESULT CMFVideoWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      // The picture is on the surface above; the full-screen window paints black here.
      PAINTSTRUCT ps;
      BeginPaint(m_hWnd, &ps);
      EndPaint(m_hWnd, &ps);
      return 0;
    }
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

// --- Surface ----------------------------------------------------------------------------

bool CVideoSurface::CreateSurface(HWND owner, bool preview) {
  m_hOwner = owner;
  m_bPreview = preview;
  if (!RegisterClassOnce(kSurfaceClass, CS_DBLCLKS, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)))) return false;
  return CreateEx(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kSurfaceClass, "", WS_POPUP, RECT{0, 0, 1, 1}, owner);
}

void CVideoSurface::Cover(HWND child) {
  if (!m_hWnd) return;
  RECT r{};
  const bool visible = child && IsWindowVisible(child) && GetWindowRect(child, &r) && r.right > r.left &&
                       r.bottom > r.top;
  if (visible == m_bVisible && (!visible || EqualRect(&r, &m_shown))) return;
  m_bVisible = visible;
  m_shown = r;
  if (!visible) {
    ShowWindow(m_hWnd, SW_HIDE);
    return;
  }
  SetWindowPos(m_hWnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
               SWP_NOACTIVATE | SWP_NOZORDER | SWP_SHOWWINDOW);
  if (m_pPlayer) m_pPlayer->UpdateVideo();
}

LRESULT CVideoSurface::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsForwardedMouseMessage(message)) {
    POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    MapWindowPoints(m_hWnd, m_hOwner, &p, 1);
    PostMessageA(m_hOwner, message, wParam, MAKELPARAM(p.x, p.y));
    return 0;
  }
  switch (message) {
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_KEYDOWN:  // where the system hands the keyboard to the surface after all
      PostMessageA(m_hOwner, WM_KEYDOWN, wParam, 0);
      return 0;
    case WM_SETCURSOR:
      if (m_bPreview) break;
      SetCursor(nullptr);
      return TRUE;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(m_hWnd, &ps);
      if (m_pPlayer) m_pPlayer->UpdateVideo();
      EndPaint(m_hWnd, &ps);
      return 0;
    }
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

}  // namespace qv
