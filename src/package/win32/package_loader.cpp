// The package loader of the saver: finds the running executable, reads the header and
// the user's settings, and tells the user when there is no package to read.
#include <algorithm>
#include <cstdio>

#include "package/package_reader.h"
#include "package/win32/package_files.h"
#include "settings/win32/qv_app.h"
#include "shell/win32/saver_shell.h"

namespace qv {

namespace {

bool IsWow64() {
  using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const HMODULE kernel = GetModuleHandleA("kernel32");
  const auto isWow64 = kernel ? reinterpret_cast<IsWow64Fn>(reinterpret_cast<void*>(
                                    GetProcAddress(kernel, "IsWow64Process")))
                              : nullptr;
  BOOL wow64 = FALSE;
  return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

int ReadHeader() {
  Win32FileSource file;
  if (!file.Open(ModulePath)) return kCannotOpen;
  PackageHeader h;
  const int error = ReadPackageHeader(file, h);
  if (error != kPackageOk) return error;
  if (!h.CompanyName.empty()) theApp.ApplyLanguageOverride(h.CompanyName, h.ScrName);
  FinishDescription(h, LanguageCode);
  Header = std::move(h);
  return kPackageOk;
}

}  // namespace

bool LoadPackage() {
  RegisterDialogClasses(Shell.instance);
  // The application palette joins here with the imaging layer.
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, 256);
  ModulePath.assign(path, std::min<DWORD>(length, 255));
  if (IsWow64()) ModulePath = RedirectToSysnative(ModulePath);

  PackageError = ReadHeader();
  if (PackageError == kPackageOk) {
    theApp.ReadSettings();
    return true;
  }
  char text[96];
  std::snprintf(text, sizeof text, "Unable to load Screen Saver extended data (err = %d)", PackageError);
  // Topmost: the full-screen saver window above would hide it otherwise.
  MessageBoxA(nullptr, text, nullptr, MB_OK | MB_ICONSTOP | MB_TOPMOST | MB_SETFOREGROUND);
  return false;
}

void FreePackageHeader() { Header = PackageHeader{}; }

}  // namespace qv
