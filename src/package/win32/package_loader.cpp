// Finds the running executable and reads the package header from it. Choosing the
// description's language, the user's settings and the message on failure are the
// caller's (LoadPackage in the settings layer).
#include <algorithm>

#include "package/package_reader.h"
#include "base/win32/win32_handles.h"
#include "package/win32/package_files.h"

namespace qv {

namespace {

bool IsWow64() {
  using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto isWow64 = ProcAddress<IsWow64Fn>(GetModuleHandleA("kernel32"), "IsWow64Process");
  BOOL wow64 = FALSE;
  return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

int PackageContext::ReadModuleHeader(PackageHeader& out) {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, 256);
  ModulePath.assign(path, std::min<DWORD>(length, 255));
  if (IsWow64()) ModulePath = RedirectToSysnative(ModulePath);

  Win32FileSource file;
  if (!file.Open(ModulePath)) return kCannotOpen;
  return ReadPackageHeader(file, out);
}

}  // namespace qv
