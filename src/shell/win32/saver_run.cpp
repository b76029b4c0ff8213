// ScreenSaverProc: the run's window procedure. It builds everything at WM_CREATE,
// counts ticks and drives the scene while the saver runs, and removes everything at
// WM_DESTROY.
#include "shell/win32/saver_run.h"

#include <mmsystem.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

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
#include "base/win32/startup_marks.h"
#include "media/win32/logo_wnd.h"
#include "shell/fixed_preview.h"
#include "shell/win32/feed_hand_over.h"
#include "shell/win32/saver_shell.h"

namespace qv {

RunState Run;
CAnimWnd Scene;

namespace {

// The document the run shows: one per process, loaded once at window creation.
CScreenSaverDoc RunDocument;
// What a preview with a fixed picture shows instead of the scene.
CDIB FixedPreviewPicture;
// The splash window, from window creation to the end of the splash time.
std::unique_ptr<CLogoWnd> SplashWindow;

void ShowSplash(HWND scene) {
  SplashWindow = std::make_unique<CLogoWnd>();
  if (!SplashWindow->Create(scene, SplashCardText{theApp.Package.Header.ScrName, theApp.Package.Header.RightsLine, theApp.HeadingFont.get(), theApp.BoldFont.get()}, theApp.Package.Extracted.splash, theApp.Package.Header.SplashPictureFormat, ToRECT(theApp.MonitorRects.rects[0]))) {
    SplashWindow.reset();
    return;
  }
  // Shown without taking the activation from the saver window, whose activity counts
  // the run's ticks. Under Wine an activated pop-up also becomes a window-manager window,
  // and destroying it waits up to 2 s for a window manager that may not be there: the
  // frame loop stalled at the end of the splash.
  ShowWindow(SplashWindow->GetSafeHwnd(), SW_SHOWNOACTIVATE);
  UpdateWindow(SplashWindow->GetSafeHwnd());
}

void CALLBACK PeriodicTimerProc(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
  // On the timer's own thread: sending (not posting) makes RunTick run on the
  // user-interface thread, one tick at a time.
  if (Run.timerGate.load(std::memory_order_acquire))
    SendMessageA(reinterpret_cast<HWND>(user), WM_TIMER, 0, 0);
}

SplashTiming CurrentSplashTiming() {
  return SplashTiming{theApp.Package.Header.NoSplash != 0, theApp.Package.Header.SplashSeconds, Run.fastTiming};
}

bool SaverIsActive(HWND hwnd) {
  if (Run.preview) return true;
  const HWND active = GetActiveWindow();
  if (active == hwnd) return true;
  const HWND media = Scene.MediaWindow();
  return media && active == media;
}

void ShowMediaWindow(int show) {
  if (const HWND media = Scene.MediaWindow()) ShowWindow(media, show);
}

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
bool OpenFeedLink(HWND hwnd) {
  const std::string address = CurrentFeedItemAddress();
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

LRESULT OnCreate(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  MarkStartup("create");
  theApp.MonitorRects = EnumerateMonitors();
  Run.spritesVisible = false;
  Run.preview = Shell.flags.preview;
  Run.dialogMode = false;
  if (Run.preview) SetCursorPos(theApp.SavedCursorPos.x, theApp.SavedCursorPos.y);
  theApp.InitApplication(Shell.instance);

  // The package header and the user's settings. Without them nothing else runs: the
  // window stays black and input closes it as usual.
  RegisterDialogClasses(Shell.instance);
  if (!LoadPackage()) {
    DropCloseFromWarning(hwnd);
    return DefScreenSaverProc(hwnd, WM_CREATE, wParam, lParam);
  }
  if (Run.preview) theApp.Package.Header.NoSplash = 1;
  MuteMixerForRun(Run.preview, theApp.Settings.MuteSound != 0);

  const LRESULT result = DefScreenSaverProc(hwnd, WM_CREATE, wParam, lParam);
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  MakeAppPalette(AppPalette());

  const FixedPreviewPlan fixedPreview = PlanFixedPreview(Run.preview, theApp.Package.Header.FixedPreview, theApp.Package.Header.FixedPreviewSize);
  if (fixedPreview.active) {
    // Only the fixed preview picture is shown: the package's, or the program's own when
    // the package carries none. A block that does not decode leaves the window black.
    theApp.Package.ExtractPackageBlocks(ExtractMode::FixedPreview, theApp.Settings.MuteSound != 0);
    if (fixedPreview.source == FixedPreviewSource::PackageBlock) {
      FixedPreviewPicture.LoadFile(theApp.Package.Extracted.fixedPreview);  // empty on failure
    } else if (fixedPreview.source == FixedPreviewSource::BuiltIn) {
      FixedPreviewPicture.Attach(DibLoadJpegResource("PREVIEWPIC"));
    }
    WriteTestDiagnostic();
    return result;
  }

  Scene.Attach(hwnd);
  // A finished play-once media window is replaced with the run's timer held.
  Scene.SetRunTimerPause([](bool pause) {
    Run.timerGate.store(!pause, std::memory_order_release);
    if (pause) StopPeriodicTimer();
    else StartPeriodicTimer();
  });
  Run.timerTarget = hwnd;
  Run.sceneRect = theApp.MonitorRects.rects[0];

  // The document from the package. A failed load has shown its message; the run goes on
  // with the document as the load left it.
  MarkStartup("package");
  Win32DocumentServices documentServices;
  if (!LoadDocument(RunDocument, DocumentLocation{theApp.Package.ModulePath, BlockOffset(theApp.Package.Header, PackageBlock::Document)},
                    documentServices)) {
    DropCloseFromWarning(hwnd);
  }
  MarkStartup("document");
  if (RunDocument.m_bFastTimingLoaded) Run.fastTiming = RunDocument.m_bFastTiming != 0;

  const SceneMode sceneMode{Run.preview, Run.fastTiming, theApp.Settings.MuteSound != 0};
  if (Run.preview) {
    Scene.Start(&RunDocument, 640, 480, sceneMode);
  } else {
    theApp.Package.ExtractPackageBlocks(ExtractMode::Run, theApp.Settings.MuteSound != 0);
    Scene.Start(&RunDocument, Run.sceneRect.Width(), Run.sceneRect.Height(), sceneMode);
  }
  MarkStartup("media");
  if (Scene.MediaExtracted()) theApp.Package.SceneVideoPath = Scene.MediaPath();  // deleted with the run's other files

  Scene.Scene().Feed() = FeedNavigation{};
  if (!Run.preview) {
    StartFeedIfWanted();
    const Rect32& r = Run.sceneRect;
    MoveWindow(hwnd, r.left, r.top, r.Width(), r.Height(), FALSE);
    for (int i = 1; i < theApp.MonitorRects.count; ++i) {
      auto black = std::make_unique<CBlackWnd>();
      if (black->CreateBlackWindow(hwnd, ToRECT(theApp.MonitorRects.rects[i]))) {
        ShowWindow(black->GetSafeHwnd(), SW_SHOW);
        Run.blackWindows[i] = std::move(black);
      }
    }
  }
  InvalidateRect(hwnd, nullptr, FALSE);
  UpdateWindow(hwnd);
  if (!theApp.Package.Header.NoSplash) ShowSplash(hwnd);
  Run.counters.runTicks = 0;

  if (Run.preview) {
    TIMECAPS caps{};
    if (timeGetDevCaps(&caps, sizeof caps) == TIMERR_NOERROR) {
      const PreviewTiming timing = ChoosePreviewTiming(caps.wPeriodMin, caps.wPeriodMax);
      Run.fastTiming = timing.fastTiming;
      if (timeBeginPeriod(timing.periodMs) == TIMERR_NOERROR) Run.previewResolution = timing.periodMs;
    } else {
      Run.fastTiming = false;
    }
    Scene.SetFastTiming(Run.fastTiming);
    StartPeriodicTimer();
  } else {
    StartPeriodicTimer();
    PostMessageA(hwnd, msg::kSceneStartMessage, 0, 0);
  }
  WriteTestDiagnostic(static_cast<int>(RunDocument.m_SpriteList.GetCount()), RunDocument.m_nMissingFiles);
  return result;
}

void OnDestroy() {
  // The header is freed on the way; the mode it chose still decides the rest.
  const bool fixedPreview = Run.preview && theApp.Package.Header.FixedPreview != 0;
  for (const RunCleanup step : RunCleanupOrder(Run.preview, fixedPreview)) {
    switch (step) {
      case RunCleanup::Splash:
        SplashWindow.reset();
        break;
      case RunCleanup::BlackWindows:
        for (auto& black : Run.blackWindows) {
          if (black) black->DestroyWindow();
          black.reset();
        }
        break;
      case RunCleanup::FeedThread:
        if (Run.feedThread && Run.feedRecord.m_nFinished.load() == 0) {
          CloseHandle(Run.feedThread);  // never waited for: the process's end ends it
          Run.feedThread = nullptr;
        }
        EndFeedRun();  // autodial back as the user had it, before the process ends
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
        if (Run.previewResolution) {
          timeEndPeriod(Run.previewResolution);
          Run.previewResolution = 0;
        }
        StopPeriodicTimer();
        break;
      case RunCleanup::Scene:
        Scene.Detach();
        Scene.Destroy();
        break;
      case RunCleanup::ExtractedFiles:
        theApp.Package.DeleteExtractedFiles();
        break;
      case RunCleanup::FixedPreviewPicture:
        FixedPreviewPicture.Free();
        break;
      case RunCleanup::TempFolder:
        WipeTempFiles();
        break;
      case RunCleanup::Mixer:
        RestoreMixerAfterRun(Run.preview, theApp.Settings.MuteSound != 0);
        break;
      case RunCleanup::FeedLibraries:
        ReleaseFeedLibraries();
        break;
      case RunCleanup::Quit:
        Run.quitPosted = true;
        PostQuitMessage(0);
        break;
    }
  }
}

LRESULT OnKeyDown(HWND hwnd, WPARAM wParam, LPARAM lParam) {
  switch (HandleFeedKey(static_cast<uint32_t>(wParam), Scene.Scene().Feed())) {
    case FeedKeyOutcome::Consumed:
      return 0;
    case FeedKeyOutcome::OpenLink:
      if (!OpenFeedLink(hwnd)) return 0;
      break;
    case FeedKeyOutcome::NotHandled:
      break;
  }
  return DefScreenSaverProc(hwnd, WM_KEYDOWN, wParam, lParam);
}

}  // namespace

void StartPeriodicTimer() {
  Run.timerResolution = 10;
  timeBeginPeriod(Run.timerResolution);
  const UINT period = Run.fastTiming ? 50 : 100;
  Run.periodicTimer = timeSetEvent(period, Run.timerResolution, PeriodicTimerProc,
                                   reinterpret_cast<DWORD_PTR>(Run.timerTarget),
                                   TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
}

void StopPeriodicTimer() {
  if (Run.periodicTimer) {
    timeKillEvent(Run.periodicTimer);
    Run.periodicTimer = 0;
  }
  if (Run.timerResolution) {
    timeEndPeriod(Run.timerResolution);
    Run.timerResolution = 0;
  }
}

void RunTick(HWND hwnd) {
  const bool active = SaverIsActive(hwnd);
  const TickActions a = AdvanceRunTick(Run.counters, active, CurrentSplashTiming());
  if (a.endSplash) {
    SplashWindow.reset();
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
    Scene.StartMedia();
    if (Scene.MediaWindow()) ShowMediaWindow(SW_SHOW);
    else Run.spritesVisible = true;
    SetActiveWindow(hwnd);
  }
  if (a.startMedia) {
    Scene.StartMedia();
    ShowMediaWindow(SW_SHOW);
  }
  if (a.onFrame && Scene.OnFrame()) Run.spritesVisible = true;
  if (a.feedDue) HandOverFeed();
  if (a.becameActive) {
    ShowMediaWindow(SW_SHOW);
    SetCursor(nullptr);
  }
  if (a.becameInactive) ShowMediaWindow(SW_HIDE);
}

LRESULT ScreenSaverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(hwnd, wParam, lParam);
    case msg::kSceneStartMessage:
      if (!Run.preview) {
        Run.fastTiming = true;
        Scene.RunFrameLoop(true, [hwnd] { RunTick(hwnd); });
        // WM_DESTROY already asked the shell's loop to quit with code 0; this request is
        // for a window that vanished some other way.
        if (!Run.quitPosted) PostQuitMessage(1);
      }
      break;
    case WM_TIMER:
      RunTick(hwnd);
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      const HDC dc = BeginPaint(hwnd, &ps);
      if (Run.preview && theApp.Package.Header.FixedPreview) {
        // The whole picture stretched over the window.
        if (!FixedPreviewPicture.IsEmpty()) {
          RECT client{};
          GetClientRect(hwnd, &client);
          const RECT src{0, 0, FixedPreviewPicture.GetWidth(), FixedPreviewPicture.GetHeight()};
          DibPaint(dc, client, FixedPreviewPicture.GetHandle(), src, nullptr);
        }
      } else {
        Scene.Paint(dc);
      }
      EndPaint(hwnd, &ps);
      break;
    }
    case WM_QUERYNEWPALETTE:
      Scene.RealizePalette();
      break;
    case WM_MOUSEMOVE:
      // A move reported at client (0, 0) is not the user's.
      if (!Run.preview && LOWORD(lParam) == 0 && HIWORD(lParam) == 0) return 0;
      break;
    case WM_KEYDOWN:
      if (!Run.preview) return OnKeyDown(hwnd, wParam, lParam);
      break;
    case WM_DESTROY:
      OnDestroy();
      break;
  }
  return DefScreenSaverProc(hwnd, message, wParam, lParam);
}

}  // namespace qv
