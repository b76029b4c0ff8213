#include "package/temp_files.h"

#include <cctype>
#include <cstdio>

#include "package/package_reader.h"

namespace qv {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string ParentOf(const std::string& lowerPath) {
  const size_t slash = lowerPath.find_last_of('\\', lowerPath.size() >= 2 ? lowerPath.size() - 2 : 0);
  return slash == std::string::npos ? std::string() : lowerPath.substr(0, slash + 1);
}

}  // namespace

// --- MemoryFileSystem ----------------------------------------------------------------

bool MemoryFileSystem::Exists(const std::string& path) { return IsFile(path) || FolderExists(path); }

bool MemoryFileSystem::IsFile(const std::string& path) { return files.count(Lower(path)) != 0; }

bool MemoryFileSystem::FolderExists(const std::string& path) {
  return folders.count(WithBackslash(Lower(path))) != 0;
}

bool MemoryFileSystem::CreateFolder(const std::string& path) {
  const std::string key = WithBackslash(Lower(path));
  if (readOnly || folders.count(key) || files.count(key.substr(0, key.size() - 1))) return false;
  const std::string parent = ParentOf(key);
  if (parent.empty() || !folders.count(parent)) return false;  // drive roots are given
  folders[key] = true;
  return true;
}

bool MemoryFileSystem::WriteFile(const std::string& path, std::span<const uint8_t> bytes, bool replace) {
  const std::string key = Lower(path);
  if (readOnly || !folders.count(ParentOf(key)) || folders.count(key + "\\")) return false;
  if (files.count(key) && (!replace || locked.count(key))) return false;
  files[key].assign(bytes.begin(), bytes.end());
  return true;
}

bool MemoryFileSystem::RemoveFile(const std::string& path) {
  const std::string key = Lower(path);
  if (!files.count(key) || locked.count(key)) return false;
  files.erase(key);
  return true;
}

std::vector<std::string> MemoryFileSystem::ListFiles(const std::string& folder, const std::string& prefix) {
  const std::string dir = WithBackslash(Lower(folder));
  const std::string start = dir + Lower(prefix);
  std::vector<std::string> names;
  for (const auto& [key, bytes] : files) {
    if (key.starts_with(start) && key.find('\\', dir.size()) == std::string::npos)
      names.push_back(key.substr(dir.size()));
  }
  return names;
}

// --- Name rules ----------------------------------------------------------------------

std::string WithBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path.push_back('\\');
  return path;
}

std::string SafeExtension(std::string_view extension) {
  std::string out;
  for (const char c : extension) {
    if (out.size() == 8) break;
    if (std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 0x80)
      out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  return out.empty() ? "bin" : out;
}

bool IsWipeCandidate(std::string_view name) {
  if (name.size() < 4 || Lower(name.substr(0, 4)) != kTempStem) return false;
  return name.find_first_of("\\/:") == std::string_view::npos;
}

bool IsDirectlyInside(const std::string& path, const std::string& folder) {
  if (folder.empty() || folder.back() != '\\' || path.size() <= folder.size()) return false;
  if (Lower(std::string_view(path).substr(0, folder.size())) != Lower(folder)) return false;
  const std::string_view name = std::string_view(path).substr(folder.size());
  return name != "." && name != ".." && name.find_first_of("\\/:") == std::string_view::npos;
}

// --- TempFiles -----------------------------------------------------------------------

bool TempFiles::CreateFolderPath(const std::string& path) {
  if (path.empty() || path.back() != '\\' || path.size() > kMaxTempPath) return false;
  if (m_fs.FolderExists(path)) return true;
  const size_t slash = path.size() >= 2 ? path.find_last_of('\\', path.size() - 2) : std::string::npos;
  if (slash != std::string::npos) CreateFolderPath(path.substr(0, slash + 1));
  return m_fs.CreateFolder(path);
}

std::string TempFiles::UniqueTempName(std::string_view extension, std::string folder, std::string stem) {
  const std::string ext = SafeExtension(extension);
  if (folder.empty()) folder = TempFolder;
  if (folder.empty()) return {};
  folder = WithBackslash(folder);
  stem = stem.empty() ? std::string(kTempStem) : Lower(stem);
  // A number is in use while any file carries it, whatever its extension: two files
  // never share a number, so a reserved ".tmp" number is safe for any extension.
  std::vector<bool> used(10000, false);
  for (const std::string& name : m_fs.ListFiles(folder, stem)) {
    const std::string_view rest = std::string_view(name).substr(std::min(name.size(), stem.size()));
    if (rest.size() < 4 || (rest.size() > 4 && rest[4] != '.')) continue;
    int n = 0;
    for (int i = 0; i < 4 && n >= 0; ++i)
      n = std::isdigit(static_cast<unsigned char>(rest[static_cast<size_t>(i)])) ? n * 10 + (rest[static_cast<size_t>(i)] - '0') : -1;
    if (n > 0) used[static_cast<size_t>(n)] = true;
  }
  char number[8];
  for (int n = 1; n <= 9999; ++n) {
    if (used[static_cast<size_t>(n)]) continue;
    std::snprintf(number, sizeof number, "%04d", n);
    std::string name = folder + stem + number + "." + ext;
    if (name.size() > kMaxTempPath) return {};
    if (!m_fs.Exists(name)) return name;
  }
  return {};
}

bool TempFiles::CreateUniqueTempFile(const std::string& folder, const std::string& stem, std::string& path) {
  path = UniqueTempName("tmp", folder, stem);
  return !path.empty() && m_fs.WriteFile(path, {}, false);
}

bool TempFiles::ChooseTempFolder(const std::vector<std::string>& candidates) {
  for (const std::string& candidate : candidates) {
    if (candidate.empty()) continue;
    const std::string folder = WithBackslash(candidate);
    CreateFolderPath(folder);
    std::string probe;
    if (!CreateUniqueTempFile(folder, "", probe)) continue;
    const bool there = m_fs.IsFile(probe);
    m_fs.RemoveFile(probe);
    if (there && !m_fs.Exists(probe)) {
      TempFolder = folder;
      return true;
    }
  }
  TempFolder.clear();
  return false;
}

std::string TempFiles::WriteBlockToTempFile(std::span<const uint8_t> bytes, std::string_view extension,
                                            NameForm form) {
  std::string name;
  if (form == NameForm::Replacing) {
    // The number is reserved through a ".tmp" file; the final name takes its extension,
    // unless a file of that name exists already: that one is never overwritten.
    std::string reserved;
    if (!CreateUniqueTempFile(TempFolder, "", reserved)) return {};
    DeleteFileIfPresent(reserved);
    name = reserved.substr(0, reserved.size() - 3) + SafeExtension(extension);
    if (name.size() > kMaxTempPath || m_fs.Exists(name)) name = UniqueTempName(extension);
  } else {
    name = UniqueTempName(extension);
  }
  if (name.empty() || !m_fs.WriteFile(name, bytes, false)) return {};
  return name;
}

bool TempFiles::WriteBytesToTempFile(std::span<const uint8_t> bytes, std::string& path) {
  if (!CreateUniqueTempFile(TempFolder, "", path)) return false;
  return m_fs.WriteFile(path, bytes, true);
}

bool TempFiles::WipeTempFiles(const std::string& folder) {
  if (folder.empty()) return false;  // never the current directory
  const std::string dir = WithBackslash(folder);
  for (const std::string& name : m_fs.ListFiles(dir, kTempStem)) {
    if (!IsWipeCandidate(name)) continue;
    if (!m_fs.RemoveFile(dir + name)) return false;  // still in use: the next start tries again
  }
  return true;
}

void TempFiles::DeleteFileIfPresent(const std::string& path) {
  if (!IsDirectlyInside(path, TempFolder)) return;
  if (m_fs.IsFile(path)) m_fs.RemoveFile(path);
}

// --- Package blocks ------------------------------------------------------------------

void ExtractPackageBlocks(ByteSource& exe, const PackageHeader& h, ExtractMode mode, bool soundMuted,
                          TempFiles& temp, ExtractedFiles& out) {
  auto write = [&](PackageBlock block, const std::string& name, std::string& kept) {
    kept.clear();
    std::vector<uint8_t> data;
    if (temp.TempFolder.empty() || !ReadPackageBlock(exe, h, block, data)) return;
    const std::string path = temp.TempFolder + name;
    if (path.size() > kMaxTempPath) return;
    if (temp.fs().WriteFile(path, data, true)) {
      kept = path;
    } else {
      temp.DeleteFileIfPresent(path);  // no half-written picture left for a reader
    }
  };
  switch (mode) {
    case ExtractMode::Dialog:
      if (h.DialogPictureSize)
        write(PackageBlock::DialogPicture, std::string("dialog") + PictureExtension(h.DialogPictureFormat),
              out.dialog);
      break;
    case ExtractMode::Run:
      if (h.ModuleBlockSize && !soundMuted) write(PackageBlock::Module, kModuleFileName, out.module);
      if (h.SplashPictureSize)
        write(PackageBlock::SplashPicture, std::string("splash") + PictureExtension(h.SplashPictureFormat),
              out.splash);
      break;
    case ExtractMode::FixedPreview:
      if (h.FixedPreviewSize)
        write(PackageBlock::FixedPreview,
              std::string("fixedpreview") + PictureExtension(h.FixedPreviewFormat), out.fixedPreview);
      break;
  }
}

void DeleteExtractedFiles(TempFiles& temp, ExtractedFiles& files) {
  for (std::string* path : {&files.module, &files.dialog, &files.splash, &files.fixedPreview}) {
    if (!path->empty()) temp.DeleteFileIfPresent(*path);
    path->clear();
  }
}

}  // namespace qv
