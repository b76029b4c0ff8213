// Process entry, command-line modes, the saver window's first-stage procedure and the
// default processing with the input-to-close rules.
#include "shell/win32/saver_shell.h"

#include <commctrl.h>

#include "shell/saver_args.h"
#include "document/win32/load_document.h"
#include "imaging/core_services.h"
#include "imaging/resample.h"
#include "imaging/win32/imaging_win32.h"
#include "media/win32/wave_out_win32.h"
#include "feed/win32/feed_thread.h"
#include "shell/win32/feed_hand_over.h"
#include "shell/win32/saver_run.h"
#include "base/window_messages.h"

namespace qv {

static_assert(msg::kCreate == WM_CREATE && msg::kDestroy == WM_DESTROY && msg::kClose == WM_CLOSE);
static_assert(msg::kSetText == WM_SETTEXT && msg::kPaint == WM_PAINT && msg::kTimer == WM_TIMER);
static_assert(msg::kShowWindow == WM_SHOWWINDOW && msg::kActivateApp == WM_ACTIVATEAPP);
static_assert(msg::kSetCursor == WM_SETCURSOR && msg::kPower == WM_POWER);
static_assert(msg::kHelp == WM_HELP && msg::kContextMenu == WM_CONTEXTMENU);
static_assert(msg::kKeyDown == WM_KEYDOWN && msg::kSysKeyDown == WM_SYSKEYDOWN);
static_assert(msg::kSysCommand == WM_SYSCOMMAND && msg::kMouseMove == WM_MOUSEMOVE);
static_assert(msg::kLButtonDown == WM_LBUTTONDOWN && msg::kRButtonDown == WM_RBUTTONDOWN &&
              msg::kMButtonDown == WM_MBUTTONDOWN && msg::kPowerBroadcast == WM_POWERBROADCAST);
static_assert(msg::kApp == WM_APP && msg::kUser == WM_USER);
static_assert(syscmd::kNextWindow == SC_NEXTWINDOW && syscmd::kPrevWindow == SC_PREVWINDOW &&
              syscmd::kScreenSave == SC_SCREENSAVE && syscmd::kMonitorPower == SC_MONITORPOWER);
static_assert(power::kResumeAutomatic == PBT_APMRESUMEAUTOMATIC &&
              power::kPowerSettingChange == PBT_POWERSETTINGCHANGE &&
              power::kPowerStatusChange == PBT_APMPOWERSTATUSCHANGE);

ShellState Shell;

namespace {

Point32 CursorPosition() {
  POINT p{};
  GetCursorPos(&p);
  return {p.x, p.y};
}

HWND WindowFromNumber(uint32_t number) {
  // Window handles are 32-bit values even in 64-bit processes; widen, never truncate.
  const HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(number));
  return (number != 0 && IsWindow(hwnd)) ? hwnd : nullptr;
}

// --- Legacy password path (Windows 9x family only; inert elsewhere) -------------------

void SetSaverRunning(bool running) {
  BOOL previous = FALSE;
  SystemParametersInfoA(SPI_SCREENSAVERRUNNING, running ? TRUE : FALSE, &previous, 0);
}

// The password library and its one entry point are loaded here and freed in
// UnloadPasswordHook, nowhere else.
void UnloadPasswordHook() {
  if (!Shell.flags.legacyPlatform || !Shell.passwordLibrary) return;
  Shell.passwordLibrary.reset();
  if (Shell.verifyPassword) {
    Shell.verifyPassword = nullptr;
    SetSaverRunning(false);
  }
}

void LoadPasswordHook() {
  if (!Shell.flags.legacyPlatform) return;
  UnloadPasswordHook();
  RegKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    return;
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExA(key.get(), "ScreenSaveUsePassword", nullptr, &type,
                       reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
      size == sizeof value && value != 0) {
    Shell.passwordLibrary.reset(LoadLibraryA("PASSWORD.CPL"));
    if (Shell.passwordLibrary) {
      if (FindProc(Shell.verifyPassword, Shell.passwordLibrary.get(), "VerifyScreenSavePwd"))
        SetSaverRunning(true);
      else
        Shell.passwordLibrary.reset();
    }
  }
}

void HideCursor() { SetCursor(nullptr); }

bool CheckPasswordBeforeClose(HWND hwnd) {
  if (Shell.flags.checkingPassword || Shell.flags.closing) return false;
  if (!Shell.verifyPassword) {
    Shell.flags.closing = true;
    return true;
  }
  const DWORD now = GetTickCount();
  if (Shell.lastPasswordCheck != 0xFFFFFFFF && now - Shell.lastPasswordCheck < 200) return false;
  Shell.flags.checkingPassword = true;
  MSG pending;
  for (int i = 0; i < 2; ++i) PeekMessageA(&pending, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE);
  Shell.flags.closing = SendMessageA(hwnd, msg::kVerifyPasswordRequest, 0, 0) != 0;
  Shell.flags.checkingPassword = false;
  if (!Shell.flags.closing) HideCursor();
  Shell.lastPasswordCheck = GetTickCount();
  return Shell.flags.closing;
}

int ChangePassword(HWND owner) {
  const LoadedLibrary mpr(LoadLibraryA("MPR.DLL"));
  if (!mpr) return 0;
  using ChangeFn = DWORD(WINAPI*)(LPCSTR, HWND, DWORD, LPVOID);
  if (const auto change = ProcAddress<ChangeFn>(mpr.get(), "PwdChangePasswordA"))
    change("SCRSAVE", owner, 0, nullptr);
  return 0;
}

// --- Modes -------------------------------------------------------------------------

int ShowConfigureDialog(HWND owner) {
  if (!RegisterDialogClasses(Shell.instance)) return 0;
  return static_cast<int>(DialogBoxParamA(Shell.instance, MAKEINTRESOURCEA(kConfigureDialogId),
                                          owner, ScreenSaverConfigureDialog, 0));
}

int RunSaverWindow(HWND parent) {
  WNDCLASSA wc{};
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_PARENTDC;
  wc.lpfnWndProc = SaverWindowProc;
  wc.hInstance = Shell.instance;
  wc.hIcon = LoadIconA(Shell.instance, MAKEINTRESOURCEA(kSaverIconId));
  wc.hCursor = nullptr;  // no class cursor: the cursor stays hidden
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kSaverClassName;

  RECT rect{};
  DWORD style = 0, exStyle = 0;
  const char* title = nullptr;
  if (parent) {
    GetClientRect(parent, &rect);
    style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
    title = kPreviewTitle;
    Shell.flags.preview = true;
  } else {
    rect.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    rect.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    rect.right = rect.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    rect.bottom = rect.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (rect.right == rect.left || rect.bottom == rect.top) {
      const WindowDC screen(nullptr);
      GetClipBox(screen.get(), &rect);
    }
    style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    title = kFullScreenTitle;
    // A second full-screen saver never starts: bring the running one forward instead.
    if (const HWND running = FindWindowA(kSaverClassName, kFullScreenTitle)) {
      SetForegroundWindow(running);
      return 0;
    }
    LoadPasswordHook();
  }

  if (RegisterClassA(&wc)) {
    Shell.mainWindow = CreateWindowExA(exStyle, kSaverClassName, title, style, rect.left, rect.top,
                                       rect.right - rect.left, rect.bottom - rect.top, parent,
                                       nullptr, Shell.instance, nullptr);
  }
  int exitCode = 0;
  if (Shell.mainWindow) {
    if (!Shell.flags.preview) SetForegroundWindow(Shell.mainWindow);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    exitCode = static_cast<int>(message.wParam);
  }
  UnloadPasswordHook();
  return exitCode;
}

}  // namespace

int SaverMain(HINSTANCE instance, const char* args) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
  Shell.instance = instance;

  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GetVersionExA(&version)) Shell.flags.legacyPlatform = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
#pragma GCC diagnostic pop

  const SaverCommand command = ParseSaverArgs(args, Shell.flags.legacyPlatform);
  auto ownerFor = [&](const SaverCommand& c) -> HWND {
    if (c.owner == OwnerRule::None) return nullptr;
    const HWND given = WindowFromNumber(c.handle);
    return given ? given : GetForegroundWindow();
  };
  switch (command.mode) {
    case SaverMode::Configure:
      return ShowConfigureDialog(ownerFor(command));
    case SaverMode::FullScreen:
      return RunSaverWindow(nullptr);
    case SaverMode::Preview: {
      const HWND parent = WindowFromNumber(command.handle);
      return parent ? RunSaverWindow(parent) : -1;
    }
    case SaverMode::ChangePassword:
      return ChangePassword(ownerFor(command));
    case SaverMode::Invalid:
      break;
  }
  return -1;
}

namespace {
// The runtime's answers to the core's questions, for the whole process: pictures in
// movable global memory at the real screen depth, the surface code's keying and
// resampling, the ANSI code page's lead bytes and conversion, and waveOut.
void InstallRuntimeServices() {
  static Win32WaveOut waveOut;
  CoreServices services;
  services.imaging = &Win32ImagingPlatform();
  services.keyToAlpha = &DibKeyToAlpha;
  services.resample = &DibResample;
  // Texts cut to a setting's limit end on a whole character of the code page.
  services.leadByte = [](unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; };
  services.utf16ToAnsi = &Utf16ToAnsiCodePage;
  services.waveOut = &waveOut;
  InstallCoreServices(services);
}
}  // namespace

int SaverEntry(HINSTANCE instance) {
  InstallRuntimeServices();
  const char* line = GetCommandLineA();
  const std::string_view args = SkipProgramName(line ? line : "");
  // SkipProgramName returns a view into the zero-terminated command line.
  const int code = SaverMain(instance, args.data());
  // The saver window's end cancelled the feed and waited for its thread; fetches it left
  // behind hold their session and nothing the process's end destroys, so the process
  // ends normally. Only a feed thread that did not end in time is not trusted with that.
  if (FeedNeedsTerminate()) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  return code;
}

LRESULT CALLBACK SaverWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const StageDecision d = DecideShellStage(message, wParam, Shell.flags);
  if (d.detachInputContext) {
    // Only when the input-method library is already in the process: loading it just to
    // detach it would be pointless.
    Shell.inputMethodModule = GetModuleHandleA("IMM32.DLL");
    if (FindProc(Shell.associateContext, Shell.inputMethodModule, "ImmAssociateContext"))
      Shell.savedInputContext = Shell.associateContext(hwnd, nullptr);
  }
  if (d.restoreInputContext && Shell.savedInputContext && Shell.associateContext) {
    Shell.associateContext(hwnd, Shell.savedInputContext);
    Shell.savedInputContext = nullptr;
  }
  if (d.recordMouseOrigin) Shell.mouseOrigin = CursorPosition();
  if (d.hideCursor) HideCursor();
  if (d.postQuit) PostQuitMessage(0);
  if (d.postClose) PostMessageA(hwnd, WM_CLOSE, 0, 0);
  if (d.forwardToParent) {
    if (const HWND parent = GetParent(hwnd))
      PostMessageA(parent, message, reinterpret_cast<WPARAM>(parent), lParam);
  }
  if (d.yieldTimeSlice) Sleep(0);

  switch (d.outcome) {
    case StageOutcome::ToProgram:
      return ScreenSaverProc(hwnd, message, wParam, lParam);
    case StageOutcome::ToDefWindowProc:
      return DefWindowProcA(hwnd, message, wParam, lParam);
    case StageOutcome::ReturnZero:
      return 0;
    case StageOutcome::ReturnOne:
      return 1;
  }
  return 0;
}

LRESULT DefScreenSaverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const Point32 cursor = message == WM_MOUSEMOVE ? CursorPosition() : Point32{};
  const DefDecision d =
      DecideDefScreenSaver(message, wParam, lParam, Shell.flags, cursor, Shell.mouseOrigin);
  if (d.postClose) PostMessageA(hwnd, WM_CLOSE, 0, 0);
  if (d.resetMouseOrigin) Shell.mouseOrigin = cursor;
  if (d.hideCursor) HideCursor();

  switch (d.outcome) {
    case DefOutcome::ReturnTrue:
      return TRUE;
    case DefOutcome::CloseRequest:
      if (!CheckPasswordBeforeClose(hwnd)) {
        Shell.mouseOrigin = CursorPosition();
        return 0;
      }
      break;
    case DefOutcome::VerifyPassword:
      return Shell.verifyPassword ? Shell.verifyPassword(hwnd) : 1;
    case DefOutcome::DefWindowProc:
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace qv
