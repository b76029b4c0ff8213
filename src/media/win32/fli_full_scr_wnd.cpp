#include "media/win32/fli_full_scr_wnd.h"

#include <mmsystem.h>

#include "base/win32/win32_handles.h"
#include "imaging/dib.h"

namespace qv {

namespace {

// DrawDib lives in msvfw32.dll, which not every installation can be relied on to have;
// it is looked up once, and without it frames are stretched with GDI instead. The library
// stays loaded for the process: a window still open when statics go may close its
// DrawDib handle then.
struct DrawDibApi {
  HANDLE(WINAPI* open)() = nullptr;
  BOOL(WINAPI* close)(HANDLE) = nullptr;
  BOOL(WINAPI* draw)(HANDLE, HDC, int, int, int, int, BITMAPINFOHEADER*, void*, int, int, int, int, UINT) = nullptr;

  static const DrawDibApi& Get() {
    static const DrawDibApi api = [] {
      DrawDibApi a;
      if (const HMODULE dll = LoadLibraryA("msvfw32.dll")) {
        if (!FindProc(a.open, dll, "DrawDibOpen") || !FindProc(a.close, dll, "DrawDibClose") ||
            !FindProc(a.draw, dll, "DrawDibDraw"))
          a = DrawDibApi{};
      }
      return a;
    }();
    return api;
  }
};
constexpr UINT kBackgroundPal = 0x0200;  // DDF_BACKGROUNDPAL

}  // namespace

CFliFullScrWnd::CFliFullScrWnd() {
  if (const auto& api = DrawDibApi::Get(); api.open) m_hDrawDib = api.open();
}

CFliFullScrWnd::~CFliFullScrWnd() {
  if (IsWindow()) DestroyWindow();
  StopTimer();
  if (m_hDrawDib) DrawDibApi::Get().close(m_hDrawDib);
  ReleaseMedia();
}

bool CFliFullScrWnd::OpenWithPath() {
  if (!m_file.Open(m_strPath) || !m_doc.Load(m_file)) return false;
  m_nMediaWidth = m_doc.m_nWidth;
  m_nMediaHeight = m_doc.m_nHeight;
  m_bStreamUnavailable = !m_stream.Open(m_strPath);
  m_playback.Start(&m_doc, m_bStreamUnavailable ? nullptr : &m_stream, m_bLoop);
  m_pFrame = DibLockBlock(m_doc.m_hFrame);
  RefreshPalette();
  return m_pFrame != nullptr;
}

void CFliFullScrWnd::ReleaseMedia() {
  if (m_pFrame) DibUnlockBlock(m_doc.m_hFrame);
  m_pFrame = nullptr;
  m_doc.Release();
}

void CFliFullScrWnd::StartMedia() {
  // Killed synchronously: once StopTimer returns no tick is running or will run, so a
  // destroyed window is never read by the timer's thread. (The callback only posts, so
  // the wait cannot deadlock with this thread.)
  m_nTimer = m_pfnTimeSetEvent(FliPlayback::kTimerMs, FliPlayback::kTimerMs, TimerProc,
                               reinterpret_cast<DWORD_PTR>(this),
                               TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
  if (!m_nTimer) {
    // Without a clock no frame would ever come.
    m_playback.Fail();
    m_bPlaying = m_playback.Playing();
    m_bEnded = m_playback.Ended();
  }
  if (m_bPlaced) Place();
}

void CFliFullScrWnd::StopTimer() {
  if (m_nTimer) timeKillEvent(m_nTimer);
  m_nTimer = 0;
}

// On the timer's thread: one frame message at a time.
void CALLBACK CFliFullScrWnd::TimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  auto* self = reinterpret_cast<CFliFullScrWnd*>(user);
  int idle = 0;
  if (self->m_nPending.compare_exchange_strong(idle, 1) &&
      !PostMessageA(self->m_hWnd, kFrameMessage, 0, 0))
    self->m_nPending.store(0);
}

void CFliFullScrWnd::OnFrameMessage() {
  m_playback.SetPlaying(m_bPlaying);
  const FliPlayback::Step step = m_playback.OnTick();
  if (step.advanced) {
    if (step.colorChanged) RefreshPalette();
    InvalidateRect(m_hWnd, nullptr, TRUE);
    UpdateWindow(m_hWnd);
  }
  m_bPlaying = m_playback.Playing();
  m_bEnded = m_playback.Ended();
  m_nPending.store(0);
}

// The window's logical palette follows the frame's colour table; drawing itself uses the
// colour table.
void CFliFullScrWnd::RefreshPalette() {
  LogicalPalette record;
  if (DibLogicalPalette(m_doc.m_hFrame, &record)) m_palette.CreatePalette(record);
}

void CFliFullScrWnd::Paint() {
  PAINTSTRUCT ps;
  const HDC dc = BeginPaint(m_hWnd, &ps);
  if (m_pFrame) {
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(m_pFrame);
    if (header->biClrUsed == 0 && header->biBitCount <= 8) header->biClrUsed = 1u << header->biBitCount;
    RECT client{};
    GetClientRect(m_hWnd, &client);
    void* bits = DibPixels(m_pFrame);
    const auto& api = DrawDibApi::Get();
    if (m_hDrawDib) {
      api.draw(m_hDrawDib, dc, 0, 0, client.right, client.bottom, header, bits, 0, 0, header->biWidth,
               header->biHeight, m_bFirstDraw ? 0 : kBackgroundPal);
    } else {
      SetStretchBltMode(dc, COLORONCOLOR);
      StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, header->biWidth, header->biHeight, bits,
                    reinterpret_cast<BITMAPINFO*>(header), DIB_RGB_COLORS, SRCCOPY);
    }
    m_bFirstDraw = false;
  }
  EndPaint(m_hWnd, &ps);
}

LRESULT CFliFullScrWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kFrameMessage:
      OnFrameMessage();
      return 0;
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
  }
  return CFullScrWnd::WindowProc(message, wParam, lParam);
}

}  // namespace qv
