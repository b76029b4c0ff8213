// The saver shell: process entry, command-line modes, the saver window and its
// input-to-close rules. The rest of the program plugs in through three hooks:
// ScreenSaverProc (the run), ScreenSaverConfigureDialog and RegisterDialogClasses.
#pragma once
#include <windows.h>

#include "shell/saver_input.h"

namespace qv {

inline constexpr char kSaverClassName[] = "WindowsScreenSaverClass";
inline constexpr char kFullScreenTitle[] = "Screen Saver";
inline constexpr char kPreviewTitle[] = "Preview";
inline constexpr int kConfigureDialogId = 2003;
inline constexpr int kSaverIconId = 100;

// Process-wide shell state, set up before the first window exists.
struct ShellState {
  HINSTANCE instance = nullptr;
  HWND mainWindow = nullptr;
  ShellFlags flags;  // PreviewMode, Closing, CheckingPassword, LegacyPlatform
  HMODULE passwordLibrary = nullptr;
  using VerifyPasswordFn = BOOL(WINAPI*)(HWND);
  VerifyPasswordFn verifyPassword = nullptr;
  HMODULE inputMethodModule = nullptr;
  using AssociateContextFn = HANDLE(WINAPI*)(HWND, HANDLE);
  AssociateContextFn associateContext = nullptr;
  HANDLE savedInputContext = nullptr;
  Point32 mouseOrigin;
  DWORD lastPasswordCheck = 0xFFFFFFFF;
};
extern ShellState Shell;

// Process entry: skips the program name and runs SaverMain with the rest.
int SaverEntry(HINSTANCE instance);
int SaverMain(HINSTANCE instance, const char* args);

LRESULT CALLBACK SaverWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DefScreenSaverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Hooks the program supplies.
LRESULT ScreenSaverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
BOOL RegisterDialogClasses(HINSTANCE instance);

// The run's per-tick step; called on each timer message and by the frame loop.
void RunTick(HWND hwnd);

}  // namespace qv
