// The per-user temporary folder and the files the runtime writes into it: names that
// never collide, writers for memory blocks and package blocks, and the wipe of earlier
// runs' leftovers. Paths are Windows paths with backslashes; the file operations go
// through FileSystem, so the rules run natively over MemoryFileSystem.
#pragma once
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "base/byte_source.h"
#include "package/package_header.h"

namespace qv {

inline constexpr char kTempStem[] = "pksv";
inline constexpr size_t kMaxTempPath = 255;
inline constexpr size_t kWriteChunk = 0x7FFF;  // files are written in pieces of this
inline constexpr char kModuleFileName[] = "qvmmp.dll";

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool Exists(const std::string& path) = 0;  // a file or a folder
  virtual bool IsFile(const std::string& path) = 0;  // a file, not a folder
  virtual bool FolderExists(const std::string& path) = 0;
  virtual bool CreateFolder(const std::string& path) = 0;  // one level
  // Writes a file with normal attributes. replace false: fails when the name exists.
  virtual bool WriteFile(const std::string& path, std::span<const uint8_t> bytes, bool replace) = 0;
  // Makes the file writable and deletes it.
  virtual bool RemoveFile(const std::string& path) = 0;
  // Names of the regular files directly in folder whose names begin with prefix
  // (letter case ignored); folders and links are not listed.
  virtual std::vector<std::string> ListFiles(const std::string& folder, const std::string& prefix) = 0;
};

// Files and folders in memory; names compare without regard to letter case.
class MemoryFileSystem final : public FileSystem {
 public:
  bool Exists(const std::string& path) override;
  bool IsFile(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  bool CreateFolder(const std::string& path) override;
  bool WriteFile(const std::string& path, std::span<const uint8_t> bytes, bool replace) override;
  bool RemoveFile(const std::string& path) override;
  std::vector<std::string> ListFiles(const std::string& folder, const std::string& prefix) override;

  std::map<std::string, std::vector<uint8_t>> files;  // key: lower-cased path
  std::map<std::string, bool> folders;                // key: lower-cased, ends with "\"
  std::map<std::string, bool> locked;                 // files that refuse deletion
  bool readOnly = false;                              // every creation fails
};

std::string WithBackslash(std::string path);
// The extension a temporary file may take: letters and digits only, at most 8, lower-
// cased; "bin" when nothing is left.
std::string SafeExtension(std::string_view extension);
// Whether a name (not a path) is one the wipe may delete.
bool IsWipeCandidate(std::string_view name);
// Whether path names a file directly inside folder.
bool IsDirectlyInside(const std::string& path, const std::string& folder);

class TempFiles {
 public:
  explicit TempFiles(FileSystem& fs) : m_fs(fs) {}

  // The chosen folder, ending with a backslash (empty until chosen).
  std::string TempFolder;

  // Tries the candidates in order; the first that passes the write test becomes
  // TempFolder. False (and TempFolder empty) when none does.
  bool ChooseTempFolder(const std::vector<std::string>& candidates);
  // Creates path (ending with a backslash) and its missing parents.
  bool CreateFolderPath(const std::string& path);
  // folder + stem + 0001..9999 + "." + extension: the first name not in use; empty when
  // all are taken or the name is too long. Empty folder: TempFolder; empty stem: "pksv".
  std::string UniqueTempName(std::string_view extension, std::string folder = {},
                             std::string stem = {});
  bool CreateUniqueTempFile(const std::string& folder, const std::string& stem, std::string& path);

  enum class NameForm { Replacing, Direct };
  // Writes bytes into a new temporary file with the extension; returns its path or "".
  std::string WriteBlockToTempFile(std::span<const uint8_t> bytes, std::string_view extension,
                                   NameForm form);
  // Writes a resource's bytes into a new ".tmp" file.
  bool WriteBytesToTempFile(std::span<const uint8_t> bytes, std::string& path);

  bool WipeTempFiles(const std::string& folder);
  void DeleteFileIfPresent(const std::string& path);

  FileSystem& fs() { return m_fs; }

 private:
  FileSystem& m_fs;
};

// The files a run extracted from its package; empty when absent or failed.
struct ExtractedFiles {
  std::string module, dialog, splash, fixedPreview;
};

enum class ExtractMode { Dialog, Run, FixedPreview };

// Writes the package blocks a mode needs under their fixed names in TempFolder.
void ExtractPackageBlocks(ByteSource& exe, const PackageHeader& h, ExtractMode mode, bool soundMuted,
                          TempFiles& temp, ExtractedFiles& out);
// Deletes the extracted files and forgets their paths.
void DeleteExtractedFiles(TempFiles& temp, ExtractedFiles& files);

}  // namespace qv
