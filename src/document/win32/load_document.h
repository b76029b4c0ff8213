// The document loader of the run: reads the archive from the running executable,
// resolves its media through the platform and reports a failure in a warning box.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "document/screen_saver_doc.h"

namespace qv {

// The platform's services for the document: file lookups by directory search, the
// Windows version, and picture decoding through temporary files.
class Win32DocumentServices : public DocumentServices {
 public:
  bool FileExists(const std::string& path) override;
  bool MediaFilesSupported() override;
  std::unique_ptr<DecodedPicture> DecodePictureBytes(const std::vector<uint8_t>& bytes,
                                                     const std::string& storedName,
                                                     TempFileForm form) override;
  std::unique_ptr<DecodedPicture> DecodePictureFile(const std::string& path) override;
};

// Where the archive lies: the executable's path and the archive's first byte, both from
// the package header.
struct DocumentLocation {
  std::string modulePath;
  uint64_t archiveStart = 0;
};

// Opens the file with sharing, empties the document, reads it and closes the file.
// False when the file cannot be opened (silently) or the archive is broken (after a
// warning box with "Unexpected file format." or "Failed to open document.").
bool LoadDocument(CScreenSaverDoc& doc, const DocumentLocation& where,
                  DocumentServices& services);

// The thread's ANSI code page conversion for the archive's 16-bit texts.
std::string Utf16ToAnsiCodePage(const unsigned char* utf16le, size_t count);

}  // namespace qv
