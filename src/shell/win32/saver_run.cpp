// ScreenSaverProc: the run's window procedure. It builds the run at WM_CREATE, drives
// its ticks while the saver runs, and removes everything at WM_DESTROY. SaverWindowRun
// is the run's Win32 platform: it carries out what the portable run decides.
#include "shell/win32/saver_run.h"

#include <mmsystem.h>
#include <objbase.h>
#include <shellapi.h>

#include <atomic>
#include <ctime>
#include <string>

#include "document/win32/load_document.h"
#include "feed/web_address.h"
#include "feed/win32/feed_thread.h"
#include "imaging/cdib.h"
#include "imaging/jpeg_reader.h"
#include "imaging/palette.h"
#include "imaging/win32/imaging_win32.h"
#include "media/win32/mixer_win32.h"
#include "media/win32/wave_out_win32.h"
#include "base/window_messages.h"
#include "base/win32/monitors.h"
#include "base/win32/startup_marks.h"
#include "package/win32/package_files.h"
#include "settings/win32/qv_app.h"
#include "media/win32/logo_wnd.h"
#include "shell/fixed_preview.h"
#include "shell/win32/feed_hand_over.h"
#include "shell/win32/saver_shell.h"

namespace qv {

namespace {

// Read by the multimedia timer's thread, which may still be inside its callback when the
// run that stopped the timer is gone: so it lives with the process, not with the run.
// The scene closes it while it replaces a finished media window.
std::atomic<bool> TimerGate{true};

void CALLBACK PeriodicTimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  // On the timer's own thread: sending (not posting) makes the tick run on the
  // user-interface thread, one tick at a time.
  if (TimerGate.load(std::memory_order_acquire))
    SendMessageA(reinterpret_cast<HWND>(user), WM_TIMER, 0, 0);
}

// The run of the saver window, or none (before WM_CREATE built it, after WM_DESTROY, or
// when the package did not load).
SaverWindowRun* RunOf(HWND hwnd) {
  return Shell.run && Shell.run->Window() == hwnd ? Shell.run.get() : nullptr;
}

// A tick that a nested message loop interrupts (a modal box, a COM wait) can see the
// window destroyed under it. The run WM_DESTROY ended then waits here, already out of
// reach, until that tick has returned.
int TicksInFlight = 0;
std::unique_ptr<SaverWindowRun> EndedRun;

void TickRun(HWND hwnd) {
  SaverWindowRun* run = RunOf(hwnd);
  if (!run) return;
  ++TicksInFlight;
  run->Tick();
  if (--TicksInFlight == 0) EndedRun.reset();
}

bool IsPreview(const SaverWindowRun* run) { return run ? run->Config().scene.preview : Shell.flags.preview; }

// Hands a checked web address to the shell's "open" verb, which starts the browser the
// user registered for it. No program is looked up by name: a command line such as
// explorer.exe "..." would find a program of that name lying beside the saver first.
// Returns whether the shell opened it.
bool LaunchBrowser(const std::string& address) {
  if (!IsPlainWebAddress(address)) return false;
  // The shell may hand the address to an extension that needs COM on this thread.
  static const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  (void)com;
  const HINSTANCE result = ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

// F2 with a feed shown: the current item's link (or guid) in the browser. The result
// says whether the key goes on to close the saver behind the browser.
bool OpenFeedLink(HWND hwnd, const FeedNavigation& nav) {
  const std::string address = CurrentFeedItemAddress(nav);
  if (address.empty()) return false;
  if (LaunchBrowser(address)) return true;
  MessageBoxA(hwnd, "Unspecified error when trying to open Internet browser.", nullptr,
              MB_OK | MB_ICONSTOP);
  return false;
}

// A warning box shown while the window is created takes the activation from it; the
// close that loss posted is no input of the user's.
void DropCloseFromWarning(HWND hwnd) {
  MSG posted;
  while (PeekMessageA(&posted, hwnd, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
  }
}

// The run's configuration from the mode, the header and the settings as WM_CREATE finds them.
RunConfig ConfigForWindow(bool preview) {
  RunConfig config;
  config.scene = SceneMode{preview, false, theApp.Settings.MuteSound != 0};
  config.noSplash = theApp.Package.Header.NoSplash != 0;
  config.splashSeconds = theApp.Package.Header.SplashSeconds;
  config.sceneRect = preview ? Rect32{0, 0, 640, 480} : theApp.MonitorRects.rects[0];
  config.fixedPreview = PlanFixedPreview(preview, theApp.Package.Header.FixedPreview, theApp.Package.Header.FixedPreviewSize).active;
  return config;
}

LRESULT OnCreate(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  MarkStartup("create");
  theApp.MonitorRects = EnumerateMonitors();
  const bool preview = Shell.flags.preview;
  if (preview) SetCursorPos(theApp.SavedCursorPos.x, theApp.SavedCursorPos.y);
  theApp.InitApplication(Shell.instance);

  // The package header and the user's settings. Without them nothing else runs: the
  // window stays black and input closes it as usual.
  RegisterDialogClasses(Shell.instance);
  if (!LoadPackage()) {
    DropCloseFromWarning(hwnd);
    return DefScreenSaverProc(hwnd, WM_CREATE, wParam, lParam);
  }
  if (preview) theApp.Package.Header.NoSplash = 1;
  MuteMixerForRun(preview, theApp.Settings.MuteSound != 0);

  const LRESULT result = DefScreenSaverProc(hwnd, WM_CREATE, wParam, lParam);
  // The run's generator is seeded with the time in seconds, as the process's own was.
  Shell.run = std::make_unique<SaverWindowRun>(hwnd, ConfigForWindow(preview), static_cast<uint32_t>(std::time(nullptr)));
  SaverWindowRun& run = *Shell.run;
  SaverRun& core = run.Core();
  MakeAppPalette(AppPalette());

  if (run.Config().fixedPreview) {
    // Only the fixed preview picture is shown: the package's, or the program's own when
    // the package carries none. A block that does not decode leaves the window black.
    const FixedPreviewPlan plan = PlanFixedPreview(preview, theApp.Package.Header.FixedPreview, theApp.Package.Header.FixedPreviewSize);
    theApp.Package.ExtractPackageBlocks(ExtractMode::FixedPreview, theApp.Settings.MuteSound != 0);
    if (plan.source == FixedPreviewSource::PackageBlock) {
      run.fixedPreviewPicture.LoadFile(theApp.Package.Extracted.fixedPreview);  // empty on failure
    } else if (plan.source == FixedPreviewSource::BuiltIn) {
      run.fixedPreviewPicture.Attach(DibLoadJpegResource("PREVIEWPIC"));
    }
    WriteTestDiagnostic();
    return result;
  }

  CAnimWnd& scene = run.SceneWindow();
  scene.Attach(hwnd);
  // A finished play-once media window is replaced with the run's timer held.
  scene.SetRunTimerPause([&run](bool pause) {
    TimerGate.store(!pause, std::memory_order_release);
    if (pause) run.StopPeriodicTimer();
    else run.StartPeriodicTimer();
  });

  // The document from the package. A failed load has shown its message; the run goes on
  // with the document as the load left it.
  MarkStartup("package");
  CScreenSaverDoc& doc = core.Document();
  Win32DocumentServices documentServices;
  if (!LoadDocument(doc, DocumentLocation{theApp.Package.ModulePath, BlockOffset(theApp.Package.Header, PackageBlock::Document)},
                    documentServices)) {
    DropCloseFromWarning(hwnd);
  }
  MarkStartup("document");
  if (doc.m_bFastTimingLoaded) core.Config().scene.fastTiming = doc.m_bFastTiming != 0;

  if (!preview) theApp.Package.ExtractPackageBlocks(ExtractMode::Run, theApp.Settings.MuteSound != 0);
  const Rect32 sceneRect = run.Config().sceneRect;
  scene.Start(&doc, sceneRect.Width(), sceneRect.Height());
  MarkStartup("media");
  if (scene.MediaExtracted()) theApp.Package.SceneVideoPath = scene.MediaPath();  // deleted with the run's other files

  core.Scene().Feed() = FeedNavigation{};
  if (!preview) {
    if (StartFeedIfWanted(preview)) {
      core.Scene().Environment().feedItemChange = [&core] {
        ChangeFeedItem(core.Scene(), *FeedChannel(), core.RunTicks());
      };
    }
    MoveWindow(hwnd, sceneRect.left, sceneRect.top, sceneRect.Width(), sceneRect.Height(), FALSE);
    for (int i = 1; i < theApp.MonitorRects.count; ++i) {
      auto black = std::make_unique<CBlackWnd>();
      if (black->CreateBlackWindow(hwnd, ToRECT(theApp.MonitorRects.rects[i]))) {
        ShowWindow(black->GetSafeHwnd(), SW_SHOW);
        run.blackWindows[i] = std::move(black);
      }
    }
  }
  InvalidateRect(hwnd, nullptr, FALSE);
  UpdateWindow(hwnd);
  core.Begin();  // the splash, and the tick count from 0

  if (preview) {
    TIMECAPS caps{};
    bool fast = false;
    if (timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR) {
      const PreviewTiming timing = ChoosePreviewTiming(caps.wPeriodMin, caps.wPeriodMax);
      fast = timing.fastTiming;
      if (timeBeginPeriod(timing.periodMs) == TIMERR_NOERROR) run.previewResolution = timing.periodMs;
    }
    core.Config().scene.fastTiming = fast;
    run.StartPeriodicTimer();
  } else {
    run.StartPeriodicTimer();
    PostMessageA(hwnd, msg::kSceneStartMessage, 0, 0);
  }
  WriteTestDiagnostic(static_cast<int>(doc.m_SpriteList.GetCount()), doc.m_nMissingFiles);
  return result;
}

// run: none when the package did not load; the steps that need it are skipped.
void OnDestroy(SaverWindowRun* run) {
  const bool preview = IsPreview(run);
  const bool fixedPreview = run && run->Config().fixedPreview;
  for (const RunCleanup step : RunCleanupOrder(preview, fixedPreview)) {
    switch (step) {
      case RunCleanup::Splash:
        if (run) run->CloseSplash();
        break;
      case RunCleanup::BlackWindows:
        if (!run) break;
        for (auto& black : run->blackWindows) {
          if (black) black->DestroyWindow();
          black.reset();
        }
        break;
      case RunCleanup::FeedThread:
        StopFeed();  // cancelled, autodial back as the user had it, the thread waited for
        break;
      case RunCleanup::Cursor:
        SetCursorPos(theApp.SavedCursorPos.x, theApp.SavedCursorPos.y);
        break;
      case RunCleanup::Fonts:
        theApp.DeleteInterfaceFonts();
        break;
      case RunCleanup::PackageHeader:
        theApp.Package.FreePackageHeader();
        break;
      case RunCleanup::Timer:
        if (!run) break;
        if (run->previewResolution) {
          timeEndPeriod(run->previewResolution);
          run->previewResolution = 0;
        }
        run->StopPeriodicTimer();
        break;
      case RunCleanup::Scene:
        if (!run) break;
        run->SceneWindow().Detach();
        run->SceneWindow().Destroy();
        break;
      case RunCleanup::ExtractedFiles:
        theApp.Package.DeleteExtractedFiles();
        break;
      case RunCleanup::FixedPreviewPicture:
        if (run) run->fixedPreviewPicture.Free();
        break;
      case RunCleanup::TempFolder:
        WipeTempFiles();
        break;
      case RunCleanup::Mixer:
        RestoreMixerAfterRun(preview, theApp.Settings.MuteSound != 0);
        break;
      case RunCleanup::FeedLibraries:
        ReleaseFeedLibraries();
        break;
      case RunCleanup::Quit:
        PostQuitMessage(0);
        break;
    }
  }
  if (TicksInFlight) EndedRun = std::move(Shell.run);
  Shell.run.reset();
}

LRESULT OnKeyDown(HWND hwnd, SaverWindowRun& run, WPARAM wParam, LPARAM lParam) {
  FeedNavigation& nav = run.Core().Scene().Feed();
  switch (HandleFeedKey(static_cast<uint32_t>(wParam), nav)) {
    case FeedKeyOutcome::Consumed:
      return 0;
    case FeedKeyOutcome::OpenLink:
      if (!OpenFeedLink(hwnd, nav)) return 0;
      break;
    case FeedKeyOutcome::NotHandled:
      break;
  }
  return DefScreenSaverProc(hwnd, WM_KEYDOWN, wParam, lParam);
}

// The full-screen frame loop, in the start message. It runs until the window is gone;
// every callback looks the run up again, since a message it dispatched may have
// destroyed the window and the run with it.
void RunFullScreenLoop(HWND hwnd, SaverWindowRun& run) {
  run.Core().Config().scene.fastTiming = true;
  run.Core().Scene().UpdateAll();
  MarkStartup("first-frame");  // the whole scene has been presented
  RunSceneFrameLoop(
      hwnd, true,
      [hwnd] { TickRun(hwnd); },
      [hwnd] {
        if (SaverWindowRun* r = RunOf(hwnd)) r->SceneWindow().TickMediaWindow();
      });
}

}  // namespace

SaverWindowRun::SaverWindowRun(HWND window, const RunConfig& config, uint32_t seed)
    : m_hWnd(window), m_run(config, *this, seed), m_sceneWnd(m_run.Scene()) {}

SaverWindowRun::~SaverWindowRun() { StopPeriodicTimer(); }

void SaverWindowRun::ShowSplash() {
  m_splash = std::make_unique<CLogoWnd>();
  if (!m_splash->Create(m_hWnd, SplashCardText{theApp.Package.Header.ScrName, theApp.Package.Header.RightsLine, theApp.HeadingFont.get(), theApp.BoldFont.get()}, theApp.Package.Extracted.splash, theApp.Package.Header.SplashPictureFormat, ToRECT(theApp.MonitorRects.rects[0]))) {
    m_splash.reset();
    return;
  }
  // Shown without taking the activation from the saver window, whose activity counts
  // the run's ticks. Under Wine an activated pop-up also becomes a window-manager window,
  // and destroying it waits up to 2 s for a window manager that may not be there: the
  // frame loop stalled at the end of the splash.
  ShowWindow(m_splash->GetSafeHwnd(), SW_SHOWNOACTIVATE);
  UpdateWindow(m_splash->GetSafeHwnd());
}

void SaverWindowRun::DestroySplash() {
  m_splash.reset();
  InvalidateRect(m_hWnd, nullptr, TRUE);
  UpdateWindow(m_hWnd);
}

void SaverWindowRun::StartMedia(uint32_t) { m_sceneWnd.StartMedia(Config().noSplash); }

void SaverWindowRun::ShowMediaWindow(bool show) {
  if (const HWND media = m_sceneWnd.MediaWindow()) ShowWindow(media, show ? SW_SHOW : SW_HIDE);
}

bool SaverWindowRun::SceneFrame(uint32_t) { return m_sceneWnd.OnFrame(); }

void SaverWindowRun::HandOverFeed() { qv::HandOverFeed(m_run.Scene(), m_run.RunTicks()); }

bool SaverWindowRun::SaverIsActive() const {
  if (Config().scene.preview) return true;
  const HWND active = GetActiveWindow();
  if (active == m_hWnd) return true;
  const HWND media = m_sceneWnd.MediaWindow();
  return media && active == media;
}

void SaverWindowRun::Tick() { m_run.Tick(SaverIsActive()); }

void SaverWindowRun::StartPeriodicTimer() {
  m_timerResolution = 10;
  timeBeginPeriod(m_timerResolution);
  // Read when the timer starts: in full screen the document's value, before the frame
  // loop sets fast timing.
  const UINT period = Config().scene.fastTiming ? 50 : 100;
  m_periodicTimer = timeSetEvent(period, m_timerResolution, PeriodicTimerProc, reinterpret_cast<DWORD_PTR>(m_hWnd),
                                 TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
}

void SaverWindowRun::StopPeriodicTimer() {
  if (m_periodicTimer) {
    timeKillEvent(m_periodicTimer);
    m_periodicTimer = 0;
  }
  if (m_timerResolution) {
    timeEndPeriod(m_timerResolution);
    m_timerResolution = 0;
  }
}

void RunTick(HWND hwnd) { TickRun(hwnd); }

LRESULT ScreenSaverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  SaverWindowRun* run = message == WM_CREATE ? nullptr : RunOf(hwnd);
  switch (message) {
    case WM_CREATE:
      return OnCreate(hwnd, wParam, lParam);
    case msg::kSceneStartMessage:
      if (run && !run->Config().scene.preview) {
        RunFullScreenLoop(hwnd, *run);
        // WM_DESTROY, which ended the run, already asked the shell's loop to quit with
        // code 0; this request is for a window that vanished some other way.
        if (RunOf(hwnd)) PostQuitMessage(1);
      }
      break;
    case WM_TIMER:
      TickRun(hwnd);
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      const HDC dc = BeginPaint(hwnd, &ps);
      if (run && run->Config().fixedPreview) {
        // The whole picture stretched over the window.
        const CDIB& picture = run->fixedPreviewPicture;
        if (!picture.IsEmpty()) {
          RECT client{};
          GetClientRect(hwnd, &client);
          const RECT src{0, 0, picture.GetWidth(), picture.GetHeight()};
          DibPaint(dc, client, picture.GetHandle(), src, nullptr);
        }
      } else if (run) {
        run->SceneWindow().Paint(dc);
      }
      EndPaint(hwnd, &ps);
      break;
    }
    case WM_QUERYNEWPALETTE:
      if (run) run->SceneWindow().RealizePalette();
      break;
    case WM_MOUSEMOVE:
      // A move reported at client (0, 0) is not the user's.
      if (!IsPreview(run) && LOWORD(lParam) == 0 && HIWORD(lParam) == 0) return 0;
      break;
    case WM_KEYDOWN:
      if (run && !run->Config().scene.preview) return OnKeyDown(hwnd, *run, wParam, lParam);
      break;
    case WM_DESTROY:
      OnDestroy(run);
      break;
  }
  return DefScreenSaverProc(hwnd, message, wParam, lParam);
}

}  // namespace qv
