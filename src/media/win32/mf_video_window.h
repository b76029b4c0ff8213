// The video's engine side: Media Foundation reached through LoadLibrary at first use
// (some editions of Windows have none of it, and the saver must start there too), the
// size probe through the source reader, the simple player's callback object, and the
// child window the player renders into.
#pragma once
#include <windows.h>
#include <mfplay.h>

#include <atomic>
#include <string>

#include "base/win32/framework.h"

namespace qv {

class CVideoFullScrWnd;

// The media path as UTF-16 in the thread's ANSI code page, at most 259 characters.
std::wstring MediaPathToWide(const std::string& path);

// The first video stream's frame size; 0 x 0 on any failure (no engine, no file, sound
// only).
void GetVideoFrameSize(const std::string& path, int32_t& width, int32_t& height);

// MFPCreateMediaPlayer through the loaded engine; E_NOTIMPL without one.
HRESULT CreateSimplePlayer(IMFPMediaPlayerCallback* callback, HWND videoWindow, IMFPMediaPlayer** player);

class CMFVideoWindow;

class MediaPlayerCallback final : public IMFPMediaPlayerCallback {
 public:
  explicit MediaPlayerCallback(CMFVideoWindow* target) : m_pTarget(target) {}
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  void STDMETHODCALLTYPE OnMediaPlayerEvent(MFP_EVENT_HEADER* event) override;
  void Detach() { m_pTarget = nullptr; }

 private:
  ~MediaPlayerCallback() = default;
  std::atomic<ULONG> m_nRefs{1};
  CMFVideoWindow* m_pTarget;
};

class CMFVideoWindow final : public CWnd {
 public:
  // The child window the video is laid out in (it keeps the layout; the picture goes to
  // the surface below).
  bool CreateChild(HWND parent);
  void OnPlayerEvent(MFP_EVENT_HEADER* event);

  IMFPMediaPlayer* m_pPlayer = nullptr;        // shared with the owner
  MediaPlayerCallback* m_pCallback = nullptr;  // shared with the owner
  bool m_bHasVideo = false;
  CVideoFullScrWnd* m_pOwner = nullptr;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// The window the player draws into: an owned, non-activating top-level pop-up kept at
// exactly the child's rectangle on the screen. Some media engines draw only into
// top-level windows; on the others the picture is the same. Its input goes to the
// full-screen window as if it had come there.
class CVideoSurface final : public CWnd {
 public:
  bool CreateSurface(HWND owner, bool preview);
  // Moves and shows (or hides) the surface to cover the child as it is on the screen.
  void Cover(HWND child);

  IMFPMediaPlayer* m_pPlayer = nullptr;  // shared with the owner

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HWND m_hOwner = nullptr;
  bool m_bPreview = false;
  RECT m_shown{};
  bool m_bVisible = false;
};

}  // namespace qv
