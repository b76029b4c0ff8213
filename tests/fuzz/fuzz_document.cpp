// Archive bytes -> the document loader, with services that know one file and decode
// packed DIB blocks, so that resolution and the dropping of sprites run too.
#include <cstddef>
#include <cstdint>

#include "document/plain_services.h"
#include "document/screen_saver_doc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::PlainDocumentServices services;
  services.m_files["C:\\sound.wav"] = {};
  services.m_decode = [](const std::vector<uint8_t>& bytes, const std::string&) {
    if (bytes.size() < 40 || bytes[0] != 40) return std::unique_ptr<qv::DecodedPicture>();
    return std::make_unique<qv::DecodedPicture>(bytes);
  };
  services.m_bMediaFilesSupported = size % 2 == 0;

  qv::CScreenSaverDoc doc;
  qv::MemoryCursor in(std::span<const uint8_t>(data, size));
  // A small buffer makes the buffered and direct read paths meet often.
  const size_t buffer = size % 3 == 0 ? 16 : qv::ArchiveReader::kBufferSize;
  int version = 0;
  if (qv::ReadDocument(doc, in, &services, buffer, &version) == qv::DocumentLoadError::None) {
    // What was read must write back and read again to the same bytes.
    const std::vector<uint8_t> again = qv::WriteDocument(doc, version);
    qv::CScreenSaverDoc second;
    qv::MemoryCursor in2(again);
    int secondVersion = 0;
    if (qv::ReadDocument(second, in2, nullptr, qv::ArchiveReader::kBufferSize, &secondVersion) !=
        qv::DocumentLoadError::None)
      __builtin_trap();
    if (qv::WriteDocument(second, secondVersion) != again) __builtin_trap();
  }
  return 0;
}
