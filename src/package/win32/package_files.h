// The Win32 side of the package: the executable as a byte source, the package loader,
// the temporary folder on the real file system and the files extracted for a run.
#pragma once

#include <string>

#include "base/win32/win32_handles.h"
#include "package/package_header.h"
#include "package/temp_files.h"

namespace qv {

// The running executable opened for reading, sharing read and write with others.
class Win32FileSource final : public ByteSource {
 public:
  Win32FileSource() = default;
  Win32FileSource(const Win32FileSource&) = delete;
  Win32FileSource& operator=(const Win32FileSource&) = delete;
  ~Win32FileSource() override;
  bool Open(const std::string& path);
  uint64_t Size() const override { return m_size; }
  size_t ReadAt(uint64_t offset, void* out, size_t n) override;

 private:
  FileHandle m_file;
  uint64_t m_size = 0;
};

class Win32FileSystem final : public FileSystem {
 public:
  bool Exists(const std::string& path) override;
  bool IsFile(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  bool CreateFolder(const std::string& path) override;
  bool WriteFile(const std::string& path, std::span<const uint8_t> bytes, bool replace) override;
  bool RemoveFile(const std::string& path) override;
  std::vector<std::string> ListFiles(const std::string& folder, const std::string& prefix) override;
};

// The package of this process: the header read from the running executable and the files
// taken from it for a run or the dialog. The application object holds the one instance
// (theApp.Package); the layers below it get what they need as arguments.
struct PackageContext {
  PackageHeader Header;           // the loaded header, its Description in the user's language
  int PackageError = kPackageOk;  // the last header read's PackageErrorCode
  std::string ModulePath;         // the running executable, as the package is read from it
  ExtractedFiles Extracted;
  std::string SceneVideoPath;     // the scene's temporary media copy, deleted with the rest

  // Sets ModulePath to the running executable and reads its package header (Description
  // left raw). Returns a PackageErrorCode.
  int ReadModuleHeader(PackageHeader& out);
  void FreePackageHeader() { Header = PackageHeader{}; }
  // The package blocks the mode needs, from ModulePath.
  void ExtractPackageBlocks(ExtractMode mode, bool soundMuted);
  // The extracted files and the scene's video file (which a player may still hold).
  void DeleteExtractedFiles();
};

// The temporary-file layer over the real file system; TempFolder lives in it. Made on
// first use, so the application object can use it while statics are still being built.
TempFiles& Temp();
// Picks TempFolder from the user's folders; false when none of them is writable.
bool ChooseTempFolder();
// TempFolder, chosen now when still empty.
const std::string& TempFolderPath();

// Writes a block of memory into a new temporary file; the path or "" on failure.
std::string WriteBlockToTempFile(const void* bytes, size_t count, const std::string& extension,
                                 TempFiles::NameForm form = TempFiles::NameForm::Direct);
// Writes a resource of the program into a new ".tmp" file the caller deletes.
bool WriteResourceToTempFile(const char* type, const char* name, std::string& path);
bool WipeTempFiles();

}  // namespace qv
