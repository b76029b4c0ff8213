// The saver shell: process entry, command-line modes, the saver window and its
// input-to-close rules. The rest of the program plugs in through three hooks:
// ScreenSaverProc (the run, saver_run.cpp), and from the dialogs below the shell
// ScreenSaverConfigureDialog and RegisterDialogClasses (ui/win32/config_dialog.h).
#pragma once
#include <windows.h>

#include <memory>

#include "base/resource.h"
#include "base/win32/win32_handles.h"
#include "shell/saver_input.h"
#include "ui/win32/config_dialog.h"

namespace qv {

class SaverWindowRun;

inline constexpr char kSaverClassName[] = "WindowsScreenSaverClass";
inline constexpr char kFullScreenTitle[] = "Screen Saver";
inline constexpr char kPreviewTitle[] = "Preview";
inline constexpr int kConfigureDialogId = IDD_CONFIGURE;
inline constexpr int kSaverIconId = 100;

// Process-wide shell state, set up before the first window exists.
struct ShellState {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  ShellFlags flags;  // PreviewMode, Closing, CheckingPassword, LegacyPlatform
  LoadedLibrary passwordLibrary;  // with verifyPassword, the legacy password hook
  using VerifyPasswordFn = BOOL(WINAPI*)(HWND);
  VerifyPasswordFn verifyPassword = nullptr;
  HMODULE inputMethodModule = nullptr;  // borrowed: only when already loaded
  using AssociateContextFn = HANDLE(WINAPI*)(HWND, HANDLE);
  AssociateContextFn associateContext = nullptr;
  HANDLE savedInputContext = nullptr;
  Point32 mouseOrigin;
  DWORD lastPasswordCheck = 0xFFFFFFFF;
  // The saver window's run, from its WM_CREATE to its WM_DESTROY (saver_run.cpp).
  std::unique_ptr<SaverWindowRun> run;
};
// Process-wide (defined in saver_entry.cpp).
extern ShellState Shell;

// Process entry: skips the program name and runs SaverMain with the rest.
int SaverEntry(HINSTANCE instance);
int SaverMain(HINSTANCE instance, const char* args);

LRESULT CALLBACK SaverWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefScreenSaverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The run's window procedure (saver_run.cpp).
LRESULT ScreenSaverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The run's per-tick step; called on each timer message and by the frame loop.
void RunTick(HWND hwnd);

}  // namespace qv
