// Types shared by the document and its records: the stored-file slot, the document
// version of the archive being read, the decoded picture and the platform services the
// records ask for while they load.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/cdib.h"

namespace qv {

// A stored file: a name plus the embedded bytes. No bytes means the name is an external
// path (or nothing, when the name is empty too).
struct MediaSlot {
  std::string name;
  std::vector<uint8_t> bytes;

  uint32_t Count() const { return static_cast<uint32_t>(bytes.size()); }
  bool IsEmbedded() const { return !bytes.empty(); }
  void Clear() {
    name.clear();
    ReleaseBytes();
  }
  void ReleaseBytes() { std::vector<uint8_t>().swap(bytes); }
  bool operator==(const MediaSlot&) const = default;
};

// Version of the current archive format. The archive being read or written carries its
// own version (ArchiveReader::Version, ArchiveWriter::Version); the sprite records decide
// by it which fields are present.
inline constexpr int kCurrentDocVersion = 410;

// A decoded picture: the imaging layer's CDIB, plus the byte-block constructor and copy
// the document's tests and tools use.
class DecodedPicture : public CDIB {
 public:
  DecodedPicture() = default;
  // Copies a packed DIB block (header, colour table, rows) into a new picture; an empty or
  // unallocatable block gives an empty picture.
  explicit DecodedPicture(const std::vector<uint8_t>& block);
  std::vector<uint8_t> Block() const;
};

enum class TempFileForm { Replacing, Direct };

// What the document and its sprites need from the platform while they load.
class DocumentServices {
 public:
  virtual ~DocumentServices() = default;
  // True when a directory search for the exact path finds an entry that is not a
  // directory.
  virtual bool FileExists(const std::string& path) = 0;
  // Media files only play from Windows 7 (6.1) on.
  virtual bool MediaFilesSupported() = 0;
  // Writes the bytes to a temporary file with the extension of storedName, decodes it
  // and deletes it; null when the file cannot be written or nothing decodes.
  virtual std::unique_ptr<DecodedPicture> DecodePictureBytes(const std::vector<uint8_t>& bytes,
                                                             const std::string& storedName,
                                                             TempFileForm form) = 0;
  // Decodes a picture file by its path; null when nothing decodes.
  virtual std::unique_ptr<DecodedPicture> DecodePictureFile(const std::string& path) = 0;
};

// Removes leading and trailing white space.
std::string TrimName(const std::string& name);

// True when a media name is kept as an address rather than checked as a file.
bool IsMediaUrl(const std::string& name);

// The rule for a record's external file: its name is trimmed, and a file that does not
// exist is emptied; true when that happened (the caller counts it when it counts).
// Embedded slots are left alone, and so are addresses when keepAddresses is set.
bool DropMissingExternal(MediaSlot& slot, DocumentServices& services, bool keepAddresses = false);

}  // namespace qv
