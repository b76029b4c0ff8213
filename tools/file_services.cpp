#include "file_services.h"

#include <filesystem>
#include <fstream>

#include "imaging/bmp_codec.h"
#include "imaging/cdib.h"
#include "imaging/dib.h"
#include "imaging/jpeg_reader.h"
#include "imaging/png_reader.h"

namespace qv::tools {

std::string FileDocumentServices::Locate(const std::string& name) const {
  if (m_base.empty()) return name;
  std::string path = name;
  for (char& c : path)
    if (c == '\\') c = '/';
  const bool absolute = !path.empty() && (path[0] == '/' || (path.size() > 1 && path[1] == ':'));
  return absolute ? path : (std::filesystem::path(m_base) / path).string();
}

bool FileDocumentServices::FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(Locate(path), ec);
}

std::unique_ptr<DecodedPicture> FileDocumentServices::DecodePictureBytes(const std::vector<uint8_t>& bytes,
                                                                         const std::string& storedName,
                                                                         TempFileForm) {
  MemoryCursor source(bytes.data(), bytes.size());
  DibHandle block = nullptr;
  switch (PictureTypeCode(storedName)) {
    case kFileTypeBmp: block = DibReadBmp(source); break;
    case kFileTypeJpeg: block = DibReadJpeg(source); break;
    case kFileTypePng: block = DibReadPng(source); break;
    default:
      m_pictureFailures[storedName] = "the name's extension is no picture format (.bmp, .jpg, .png)";
      return nullptr;
  }
  if (!block) {
    m_pictureFailures[storedName] = "the picture does not decode";
    return nullptr;
  }
  auto picture = std::make_unique<DecodedPicture>();
  picture->Attach(block);
  return picture;
}

std::unique_ptr<DecodedPicture> FileDocumentServices::DecodePictureFile(const std::string& path) {
  const std::string where = Locate(path);
  std::ifstream in(where, std::ios::binary);
  std::error_code ec;
  if (!in || !std::filesystem::is_regular_file(where, ec)) {
    m_pictureFailures[path] = "not found: " + where;
    return nullptr;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size <= 0 || size > (int64_t{1} << 30)) {
    m_pictureFailures[path] = size <= 0 ? "the file is empty" : "the file is larger than 1 GiB";
    return nullptr;
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(bytes.data()), size);
  auto picture = DecodePictureBytes(bytes, path, TempFileForm::Direct);
  if (!picture) m_pictureFailures[path] += " (" + where + ")";
  return picture;
}

std::string FileDocumentServices::PictureFailure(const std::string& name) const {
  const auto it = m_pictureFailures.find(name);
  return it == m_pictureFailures.end() ? std::string() : it->second;
}

}  // namespace qv::tools
