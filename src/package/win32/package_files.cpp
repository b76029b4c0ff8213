#include "package/win32/package_files.h"

#include <shlobj.h>

#include <algorithm>

#include "package/package_reader.h"

namespace qv {

// --- Win32FileSource -----------------------------------------------------------------

Win32FileSource::~Win32FileSource() = default;

bool Win32FileSource::Open(const std::string& path) {
  m_file.reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!m_file) return false;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(m_file.get(), &size)) return false;
  m_size = static_cast<uint64_t>(size.QuadPart);
  return true;
}

size_t Win32FileSource::ReadAt(uint64_t offset, void* out, size_t n) {
  if (!m_file || offset >= m_size) return 0;
  size_t total = 0;
  while (total < n) {
    OVERLAPPED at{};
    const uint64_t pos = offset + total;
    at.Offset = static_cast<DWORD>(pos);
    at.OffsetHigh = static_cast<DWORD>(pos >> 32);
    const DWORD want = static_cast<DWORD>(std::min<size_t>(n - total, 1u << 20));
    DWORD got = 0;
    if (!ReadFile(m_file.get(), static_cast<char*>(out) + total, want, &got, &at) || got == 0) break;
    total += got;
  }
  return total;
}

// --- Win32FileSystem -----------------------------------------------------------------

namespace {

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

std::string WithoutBackslash(std::string path) {
  if (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

}  // namespace

bool Win32FileSystem::Exists(const std::string& path) { return Attributes(WithoutBackslash(path)) != INVALID_FILE_ATTRIBUTES; }

bool Win32FileSystem::IsFile(const std::string& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::FolderExists(const std::string& path) {
  const DWORD a = Attributes(WithoutBackslash(path));
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32FileSystem::CreateFolder(const std::string& path) {
  return CreateDirectoryA(WithoutBackslash(path).c_str(), nullptr) != FALSE;
}

bool Win32FileSystem::WriteFile(const std::string& path, std::span<const uint8_t> bytes, bool replace) {
  if (replace && IsFile(path)) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  const FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, replace ? CREATE_ALWAYS : CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  bool ok = true;
  for (size_t done = 0; ok && done < bytes.size();) {
    const DWORD piece = static_cast<DWORD>(std::min(bytes.size() - done, kWriteChunk));
    DWORD written = 0;
    ok = ::WriteFile(file.get(), bytes.data() + done, piece, &written, nullptr) && written == piece;
    done += piece;
  }
  return ok;
}

bool Win32FileSystem::RemoveFile(const std::string& path) {
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileA(path.c_str()) != FALSE;
}

std::vector<std::string> Win32FileSystem::ListFiles(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  const std::string pattern = WithBackslash(folder) + prefix + "*.*";
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    // The pattern also matches short names; only the real name counts.
    const std::string name = found.cFileName;
    if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) continue;
    if (name.empty() || name[0] == '.' || name.size() < prefix.size() ||
        _strnicmp(name.c_str(), prefix.c_str(), prefix.size()) != 0)
      continue;
    names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

// --- Temporary files -----------------------------------------------------------------

TempFiles& Temp() {
  static Win32FileSystem fs;
  static TempFiles temp(fs);
  return temp;
}

namespace {

// A shell folder, or its value under "Shell Folders" when the shell gives none.
std::string UserFolder(int csidl, const char* valueName) {
  char path[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) && path[0])
    return path;
  RegKey key;
  std::string value;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                    KEY_READ, key.put()) == ERROR_SUCCESS) {
    char buffer[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH, type = 0;
    if (RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS)
      value.assign(buffer, strnlen(buffer, std::min<DWORD>(size, MAX_PATH)));
  }
  return value;
}

}  // namespace

bool ChooseTempFolder() {
  std::vector<std::string> candidates;
  const std::string local = UserFolder(CSIDL_LOCAL_APPDATA, "Local AppData");
  candidates.push_back(local.empty() ? "" : WithBackslash(local) + "Quorvex\\");
  char temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathA(MAX_PATH, temp);
  candidates.push_back(n && n <= MAX_PATH ? WithBackslash(temp) : "");
  const std::string roaming = UserFolder(CSIDL_APPDATA, "AppData");
  candidates.push_back(roaming.empty() ? "" : WithBackslash(roaming) + "Quorvex\\");
  return Temp().ChooseTempFolder(candidates);
}

const std::string& TempFolderPath() {
  if (Temp().TempFolder.empty() && !ChooseTempFolder()) {
    Temp().TempFolder = "C:\\Temp\\";
    Temp().CreateFolderPath(Temp().TempFolder);
  }
  return Temp().TempFolder;
}

std::string WriteBlockToTempFile(const void* bytes, size_t count, const std::string& extension,
                                 TempFiles::NameForm form) {
  TempFolderPath();
  return Temp().WriteBlockToTempFile({static_cast<const uint8_t*>(bytes), count}, extension, form);
}

bool WriteResourceToTempFile(const char* type, const char* name, std::string& path) {
  path.clear();
  const HRSRC found = FindResourceA(nullptr, name, type);
  const HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return false;
  TempFolderPath();
  return Temp().WriteBytesToTempFile({static_cast<const uint8_t*>(bytes), SizeofResource(nullptr, found)}, path);
}

void PackageContext::ExtractPackageBlocks(ExtractMode mode, bool soundMuted) {
  Win32FileSource file;
  if (!file.Open(ModulePath)) return;
  TempFolderPath();
  qv::ExtractPackageBlocks(file, Header, mode, soundMuted, Temp(), Extracted);
}

void PackageContext::DeleteExtractedFiles() {
  qv::DeleteExtractedFiles(Temp(), Extracted);
  // A player may still hold the video for a moment after it was closed.
  if (!SceneVideoPath.empty()) {
    for (int attempt = 0; attempt < 10; ++attempt) {
      if (!Temp().fs().IsFile(SceneVideoPath)) break;
      Temp().DeleteFileIfPresent(SceneVideoPath);
      Sleep(200);
    }
    SceneVideoPath.clear();
  }
}

bool WipeTempFiles() { return Temp().WipeTempFiles(Temp().TempFolder); }

}  // namespace qv
