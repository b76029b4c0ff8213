#include "document/plain_services.h"

namespace qv {

std::unique_ptr<DecodedPicture> PlainDocumentServices::DecodePictureBytes(
    const std::vector<uint8_t>& bytes, const std::string& storedName, TempFileForm) {
  ++m_nBytesDecoded;
  return m_decode ? m_decode(bytes, storedName) : nullptr;
}

std::unique_ptr<DecodedPicture> PlainDocumentServices::DecodePictureFile(const std::string& path) {
  ++m_nFilesDecoded;
  const auto it = m_files.find(path);
  if (it == m_files.end() || !m_decode) return nullptr;
  return m_decode(it->second, path);
}

}  // namespace qv
