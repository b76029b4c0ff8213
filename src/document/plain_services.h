// DocumentServices without a platform: files are names in a set, pictures decode through
// a function given by the caller. Used by the tests, the fuzzer and the native tools.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "document/document_types.h"

namespace qv {

class PlainDocumentServices : public DocumentServices {
 public:
  using Decoder = std::function<std::unique_ptr<DecodedPicture>(const std::vector<uint8_t>& bytes,
                                                                const std::string& name)>;

  bool FileExists(const std::string& path) override { return m_files.count(path) != 0; }
  bool MediaFilesSupported() override { return m_bMediaFilesSupported; }
  std::unique_ptr<DecodedPicture> DecodePictureBytes(const std::vector<uint8_t>& bytes,
                                                     const std::string& storedName,
                                                     TempFileForm form) override;
  std::unique_ptr<DecodedPicture> DecodePictureFile(const std::string& path) override;

  std::map<std::string, std::vector<uint8_t>> m_files;  // path -> contents
  bool m_bMediaFilesSupported = true;
  Decoder m_decode;  // none: nothing decodes
  int m_nBytesDecoded = 0;  // calls of DecodePictureBytes
  int m_nFilesDecoded = 0;  // calls of DecodePictureFile
};

}  // namespace qv
