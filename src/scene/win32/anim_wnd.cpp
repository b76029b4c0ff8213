#include "scene/win32/anim_wnd.h"

#include <mmsystem.h>
#include <psapi.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "document/screen_saver_doc.h"
#include "imaging/dib.h"
#include "imaging/picture_ops.h"
#include "imaging/win32/imaging_win32.h"
#include "media/win32/media_window_factory.h"
#include "package/file_types.h"
#include "package/win32/package_files.h"
#include "scene/frame_pacer.h"
#include "scene/play_once.h"
#include "scene/win32/perf_timer.h"
#include "settings/win32/qv_app.h"
#include "base/win32/monitors.h"
#include "base/win32/win32_handles.h"
#include "base/win32/startup_marks.h"

namespace qv {

namespace {
constexpr int kPresentMargin = 3;  // transferred areas reach this far past the damage

bool Windows7OrLater() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExA(&info)) return false;
#pragma GCC diagnostic pop
  return info.dwMajorVersion > 6 || (info.dwMajorVersion == 6 && info.dwMinorVersion >= 1);
}

// The file a test diagnostic's variable names; empty when it is not set.
std::string DiagnosticPath(const char* variable) {
  char path[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA(variable, path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? path : "";
}

// Test diagnostic, off unless QV_TEST_FRAME_TIMES names a file: the start time of each
// frame of the loop, in milliseconds from its start, written one a line when the loop
// ends, after comment lines with the start-up marks. Only the first kMaxEntries frames
// are kept (about 23 minutes at 14 ms).
class FrameTimeLog {
 public:
  static constexpr size_t kMaxEntries = 100000;

  FrameTimeLog() : m_path(DiagnosticPath("QV_TEST_FRAME_TIMES")) {
    if (!m_path.empty()) m_times.reserve(kMaxEntries);  // no allocation while the loop runs
  }
  void Record(double ms) {
    if (!m_path.empty() && m_times.size() < kMaxEntries) m_times.push_back(ms);
  }
  void Write() const {
    if (m_path.empty()) return;
    FILE* f = std::fopen(m_path.c_str(), "w");
    if (!f) return;
    WriteStartupMarks(f);
    for (double ms : m_times) std::fprintf(f, "%.3f\n", ms);
    std::fclose(f);
  }

 private:
  std::string m_path;
  std::vector<double> m_times;
};

// The process's handles as the system's handle list counts them: where the handle count
// itself is not kept (Wine answers 0), the list still is.
DWORD HandlesInSystemList() {
  using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  const auto query = ProcAddress<QueryFn>(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
  struct Entry {
    USHORT process, creator;
    UCHAR type, attributes;
    USHORT value;
    PVOID object;
    ULONG access;
  };
  struct List {
    ULONG count;
    Entry entries[1];
  };
  if (!query) return 0;
  std::vector<uint8_t> buffer(1 << 20);
  for (int attempt = 0; attempt < 4; ++attempt, buffer.resize(buffer.size() * 4)) {
    ULONG needed = 0;
    if (query(16 /* SystemHandleInformation */, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) != 0)
      continue;
    const auto* list = reinterpret_cast<const List*>(buffer.data());
    const size_t room = (buffer.size() - offsetof(List, entries)) / sizeof(Entry);
    DWORD mine = 0;
    for (size_t i = 0; i < list->count && i < room; ++i)
      mine += list->entries[i].process == static_cast<USHORT>(GetCurrentProcessId());
    return mine;
  }
  return 0;
}

// Test diagnostic, off unless QV_TEST_RESOURCES names a file: every 30 s of the frame
// loop (and once at its start) a line with what the process holds is appended to it,
// "<ms> private=<bytes> handles=<n> gdi=<n> user=<n>", so a long run shows any growth.
class ResourceLog {
 public:
  static constexpr double kPeriodMs = 30000;

  ResourceLog() : m_path(DiagnosticPath("QV_TEST_RESOURCES")) {}
  void Tick(double ms) {
    if (m_path.empty() || ms < m_next) return;
    m_next += kPeriodMs;
    const HANDLE self = GetCurrentProcess();
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    // The commit charge is the private memory; Wine fills only the older field.
    const SIZE_T privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    DWORD handles = 0;
    if (!GetProcessHandleCount(self, &handles) || handles == 0) handles = HandlesInSystemList();
    FILE* f = std::fopen(m_path.c_str(), "a");
    if (!f) return;
    std::fprintf(f, "%.0f private=%llu handles=%lu gdi=%lu user=%lu\n", ms,
                 static_cast<unsigned long long>(privateBytes), handles, GetGuiResources(self, GR_GDIOBJECTS),
                 GetGuiResources(self, GR_USEROBJECTS));
    std::fclose(f);
  }

 private:
  std::string m_path;
  double m_next = 0;
};

// A BITMAPINFO view of the back buffer's own header and colour table.
const BITMAPINFO* HeaderOf(const uint8_t* block) { return reinterpret_cast<const BITMAPINFO*>(block); }
}  // namespace

CAnimWnd::CAnimWnd(CAnimScene& scene) : m_scene(scene) {
  m_scene.SetPresenter(this);
  SceneEnvironment& env = m_scene.Environment();
  env.captureDesktop = [] {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    return DibFromScreenRect(ToRECT(theApp.MonitorRects.rects[0]));
  };
  env.spriteCreated = [this](CAnimSprite& sprite) { m_sound.SpriteCreated(sprite); };
  env.motion.playSound = [this](CAnimSprite& sprite, int k) { m_sound.PlaySpriteSound(sprite, k); };
}

void CAnimWnd::Start(CScreenSaverDoc* doc, int width, int height) {
  const SceneMode& mode = m_scene.Mode();
  m_bWaveStarted = m_bMediaFinished = m_bMediaExtracted = false;
  m_strMediaPath.clear();
  m_sound.Begin(mode.muteSound);
  m_scene.Start(doc, width, height);
  MarkStartup("scene");
  if (!mode.preview) {
    SetCursor(nullptr);
    if (m_hWnd) SetCapture(m_hWnd);
  }
  if (doc) m_sound.PreloadSound(*doc);
  ExtractMedia();
  m_bWaveStarted = m_bMediaFinished = false;
  m_sound.ClearWaveStarted();
  if (!mode.preview) SetCursor(nullptr);
}

// The document's media file: a temporary copy of its embedded bytes, or its name (a
// path or an address). Media play only on Windows 7 and later.
void CAnimWnd::ExtractMedia() {
  CScreenSaverDoc* doc = m_scene.Document();
  if (!doc || doc->m_MediaFile.name.empty() || !Windows7OrLater()) return;
  if (!doc->m_MediaFile.IsEmbedded()) {
    m_strMediaPath = doc->m_MediaFile.name;
    return;
  }
  const std::string path = WriteBlockToTempFile(doc->m_MediaFile.bytes.data(), doc->m_MediaFile.bytes.size(),
                                                FileExtension(doc->m_MediaFile.name));
  if (path.empty()) return;  // the media is not played
  m_strMediaPath = path;
  m_bMediaExtracted = true;
}

void CAnimWnd::StartMedia(bool showAtOnce) {
  CScreenSaverDoc* doc = m_scene.Document();
  if (!doc) return;
  const bool preview = m_scene.Mode().preview;
  const bool windows7 = Windows7OrLater();
  if (windows7 && !m_strMediaPath.empty()) {
    m_pMediaWnd = MakeMediaWindow(m_strMediaPath);
    if (m_pMediaWnd) {
      MediaPlacement& p = m_pMediaWnd->m_placement;
      p.fitMode = doc->m_nMediaFit;
      p.sizeBase = doc->m_nMediaSizeBase;
      p.centreX = doc->m_nMediaCentreX;
      p.centreY = doc->m_nMediaCentreY;
      p.sizeX = doc->m_nMediaSizeX;
      p.sizeY = doc->m_nMediaSizeY;
      p.areaWidth = preview ? kPreviewAreaWidth : theApp.MonitorRects.rects[0].Width();
      p.areaHeight = preview ? kPreviewAreaHeight : theApp.MonitorRects.rects[0].Height();
      m_pMediaWnd->m_nMediaWidth = doc->m_nDesignWidth;
      m_pMediaWnd->m_nMediaHeight = doc->m_nDesignHeight;
      m_pMediaWnd->m_bLoop = doc->m_bMediaPlayOnce == 0;
      m_pMediaWnd->m_bPreview = preview;
      m_pMediaWnd->m_bShowAtOnce = showAtOnce;
      if (!m_pMediaWnd->Create(m_hWnd, m_strMediaPath, true)) m_pMediaWnd.reset();
    }
    ShowWindow(m_hWnd, SW_SHOW);
    UpdateWindow(m_hWnd);
    SetFocus(m_hWnd);
    SetActiveWindow(m_hWnd);
    // A media file that cannot be played is over before it began: a play-once intro
    // must not keep the sprites and the sound waiting for ever.
    if (!m_pMediaWnd) m_bMediaFinished = MediaFinished(false, false);
  }
  if (windows7 && MediaHoldsScene(!m_strMediaPath.empty(), doc->m_bMediaPlayOnce != 0, m_bMediaFinished)) return;
  StartSound();
}

void CAnimWnd::StartSound() {
  if (CScreenSaverDoc* doc = m_scene.Document()) m_sound.StartSound(*doc);
  m_bWaveStarted = m_sound.WaveStarted();
}

void CAnimWnd::CloseMediaWindow() {
  if (m_pMediaWnd) {
    if (m_pMediaWnd->IsWindow()) {
      SendMessageA(m_pMediaWnd->GetSafeHwnd(), WM_CLOSE, 0, 0);
      m_pMediaWnd->DestroyWindow();
    }
    m_pMediaWnd.reset();
  }
  if (m_bMediaExtracted && !m_strMediaPath.empty()) Temp().DeleteFileIfPresent(m_strMediaPath);
  m_strMediaPath.clear();
}

void CAnimWnd::FinishMedia() {
  if (m_pauseRunTimer) m_pauseRunTimer(true);
  Sleep(500);
  CloseMediaWindow();
  Sleep(1000);
  if (m_pauseRunTimer) m_pauseRunTimer(false);
  StartSound();
  if (!m_scene.Mode().preview) SetCursor(nullptr);
  SetFocus(m_hWnd);
  SetActiveWindow(m_hWnd);
  m_scene.SetSpritesVisible(true);
  m_scene.UpdateAll();
}

bool CAnimWnd::MediaHoldsSprites() const {
  const CScreenSaverDoc* doc = m_scene.Document();
  return doc && MediaHoldsScene(!m_strMediaPath.empty(), doc->m_bMediaPlayOnce != 0, m_bMediaFinished);
}

void CAnimWnd::TickMediaWindow() {
  if (m_pMediaWnd && m_pMediaWnd->IsWindow()) m_pMediaWnd->Tick();
}

bool CAnimWnd::OnFrame() {
  CScreenSaverDoc* doc = m_scene.Document();
  const bool playOnceRunning = MediaHoldsSprites();
  if (!playOnceRunning && !m_scene.SpritesVisible()) {
    m_scene.SetSpritesVisible(true);
    m_scene.UpdateAll();
  }
  if (!m_strMediaPath.empty() && m_pMediaWnd) {
    const bool failed = m_pMediaWnd->Failed();
    m_bMediaFinished = MediaFinished(true, m_pMediaWnd->Ended() || failed);
    const bool playOnce = doc && doc->m_bMediaPlayOnce;
    if (m_pMediaWnd->IsWindow()) {
      switch (DecideMediaEnd(playOnce, m_bMediaFinished, failed)) {
        case MediaEndStep::FinishIntro: FinishMedia(); break;
        case MediaEndStep::Close: CloseMediaWindow(); break;
        case MediaEndStep::None: break;
      }
    }
  }
  if (m_pMediaWnd) m_pMediaWnd->Tick();
  if (playOnceRunning) return m_scene.SpritesVisible();  // shown once the media has ended
  m_scene.StepSprites();
  return true;
}

void CAnimWnd::Paint(HDC dc) {
  if (CDibKSV* buffer = m_scene.BackBuffer()) PresentTo(dc, *buffer, nullptr);
}

bool CAnimWnd::RealizePalette() {
  if (!m_hWnd || !m_palette.GetSafeHandle()) return false;
  const WindowDC dc(m_hWnd);
  const HPALETTE old = SelectPalette(dc.get(), ToHPalette(m_palette.GetSafeHandle()), FALSE);
  const UINT changed = ::RealizePalette(dc.get());
  SelectPalette(dc.get(), old, TRUE);
  if (changed) InvalidateRect(m_hWnd, nullptr, FALSE);
  return changed != 0;
}

void CAnimWnd::BackBufferChanged(CDibKSV& backBuffer) {
  m_palette.DeleteObject();
  if (backBuffer.Depth() == 8 && m_palette.CreateFromSurface(backBuffer.Block())) m_palette.MakeIdentity();
}

void CAnimWnd::Present(CDibKSV& backBuffer, const Rect32* rect) {
  if (!m_hWnd) return;
  const WindowDC dc(m_hWnd);
  PresentTo(dc.get(), backBuffer, rect);
}

void CAnimWnd::PresentTo(HDC dc, CDibKSV& buffer, const Rect32* rect) {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const HPALETTE palette = ToHPalette(m_palette.GetSafeHandle());
  if (m_scene.Mode().preview) {
    // The whole scene scaled into the preview window.
    UniqueDib scaled(DibScaleSurface(buffer, client.right, client.bottom, 0));
    if (!scaled) return;
    const RECT src{0, 0, client.right, client.bottom};
    DibPaint(dc, client, scaled.get(), src, palette);
    return;
  }
  Rect32 area = rect ? Rect32{rect->left - kPresentMargin, rect->top - kPresentMargin,
                              rect->right + kPresentMargin, rect->bottom + kPresentMargin}
                     : Rect32{client.left, client.top, client.right, client.bottom};
  RECT clipBox{};
  if (GetClipBox(dc, &clipBox) != ERROR)
    area = Intersect(area, Rect32{clipBox.left, clipBox.top, clipBox.right, clipBox.bottom});
  area = Intersect(area, buffer.GetRect());
  if (area.IsEmpty()) return;
  uint8_t* block = buffer.Lock();
  if (!block) return;
  const int height = buffer.GetHeight();
  const uint8_t* bits = buffer.PixelAddress(0, height - 1);  // the bottom row comes first
  HPALETTE old = nullptr;
  if (palette) {
    old = SelectPalette(dc, palette, FALSE);
    ::RealizePalette(dc);
  }
  SetDIBitsToDevice(dc, area.left, area.top, static_cast<DWORD>(area.Width()), static_cast<DWORD>(area.Height()),
                    area.left, height - area.bottom, 0, static_cast<UINT>(height), bits, HeaderOf(block),
                    DIB_RGB_COLORS);
  if (old) SelectPalette(dc, old, TRUE);
  buffer.Unlock();
}

namespace {
// Dispatches every waiting message. A quit message is put back for the shell's loop.
bool PumpMessages(const std::function<void()>& onMessage) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    onMessage();
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}
}  // namespace

void RunSceneFrameLoop(HWND window, bool fast, const std::function<void()>& tick,
                       const std::function<void()>& onMessage) {
  if (!::IsWindow(window)) return;
  const double period = fast ? kFastFramePeriodMs : kNormalFramePeriodMs;
  const UINT resolution = fast ? 1 : 10;
  const DWORD nap = fast ? 1 : 10;
  timeBeginPeriod(resolution);

  FrameTimeLog frameTimes;
  ResourceLog resources;
  CPerfTimer clock;
  clock.Start();
  FramePacer pacer(period);
  bool pumping = true;
  while (pumping && ::IsWindow(window)) {
    frameTimes.Record(clock.ElapsedMs());
    resources.Tick(clock.ElapsedMs());
    tick();
    pacer.CatchUp(clock.ElapsedMs());
    while (pumping && pacer.MustWait(clock.ElapsedMs())) {
      Sleep(nap);
      pumping = PumpMessages(onMessage);
    }
    pacer.Advance();
    if (pumping) pumping = PumpMessages(onMessage);
  }
  timeEndPeriod(resolution);
  frameTimes.Write();
}

void CAnimWnd::Destroy() {
  if (!m_scene.Mode().preview) ReleaseCapture();
  CloseMediaWindow();
  m_sound.End();
  m_scene.Destroy();
  m_palette.DeleteObject();
}

}  // namespace qv
