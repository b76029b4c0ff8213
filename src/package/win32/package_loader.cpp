// Finds the running executable and reads the package header from it. Choosing the
// description's language, the user's settings and the message on failure are the
// caller's (LoadPackage in the settings layer).
#include <algorithm>

#include "package/package_reader.h"
#include "package/win32/package_files.h"

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
