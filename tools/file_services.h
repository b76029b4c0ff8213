// DocumentServices for the native tools: embedded pictures decode from memory with the
// runtime's own decoders, chosen by the stored name's extension; external files come
// from the file system, relative names looked up in a base folder (the saver's own,
// for quorvex-info --resolve). What failed and why is kept for the tools' reports.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "document/document_types.h"

namespace qv::tools {

class FileDocumentServices final : public DocumentServices {
 public:
  // baseFolder empty: names are used as they stand.
  explicit FileDocumentServices(std::string baseFolder = {}) : m_base(std::move(baseFolder)) {}

  bool FileExists(const std::string& path) override;
  bool MediaFilesSupported() override { return true; }
  std::unique_ptr<DecodedPicture> DecodePictureBytes(const std::vector<uint8_t>& bytes,
                                                     const std::string& storedName, TempFileForm) override;
  std::unique_ptr<DecodedPicture> DecodePictureFile(const std::string& path) override;

  // Where a stored name is looked for: backslashes become slashes and a relative name
  // is taken from the base folder.
  std::string Locate(const std::string& name) const;
  // Why a picture named so gave nothing, in words; empty when it decoded or was never tried.
  std::string PictureFailure(const std::string& name) const;

 private:
  std::string m_base;
  std::map<std::string, std::string> m_pictureFailures;  // stored name -> reason
};

}  // namespace qv::tools
