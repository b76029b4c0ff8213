// CFliFullScrWnd: plays a FLIC animation in the full-screen media window. A periodic
// multimedia timer posts a frame message every 40 ms (never more than one waiting); the
// player shows a frame on every second one and draws the frame surface over the whole
// window through DrawDib when the system has it.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <atomic>

#include "imaging/palette.h"
#include "media/fli_doc.h"
#include "media/win32/full_scr_wnd.h"
#include "package/win32/package_files.h"

namespace qv {

class CFliFullScrWnd final : public CFullScrWnd {
 public:
  static constexpr UINT kFrameMessage = WM_USER + 3;

  CFliFullScrWnd();
  ~CFliFullScrWnd() override;

  bool Failed() const override { return m_playback.Failed(); }

  // Starts the frame timer; replaceable so that a test can make it fail or watch it.
  MMRESULT(WINAPI* m_pfnTimeSetEvent)(UINT, UINT, LPTIMECALLBACK, DWORD_PTR, UINT) = timeSetEvent;

 protected:
  bool OpenWithPath() override;
  bool OpenWithoutFile() override { return false; }
  void ReleaseMedia() override;
  void SyncPlayState() override {}
  void StartMedia() override;
  void StopTimer() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  static void CALLBACK TimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR);
  void OnFrameMessage();
  void Paint();
  void RefreshPalette();

  CFliDoc m_doc;
  Win32FileSource m_file;    // read while loading
  Win32FileSource m_stream;  // the frames after the first, read as they are shown
  bool m_bStreamUnavailable = false;
  FliPlayback m_playback;
  uint8_t* m_pFrame = nullptr;  // the frame surface, locked while the window plays it
  UINT m_nTimer = 0;
  std::atomic<int> m_nPending{0};
  HANDLE m_hDrawDib = nullptr;
  bool m_bFirstDraw = true;
  CPalette m_palette;
};

}  // namespace qv
