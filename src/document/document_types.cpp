#include "document/document_types.h"

#include <cstring>

#include "imaging/imaging_platform.h"


namespace qv {

int DocVersion = kCurrentDocVersion;


DecodedPicture::DecodedPicture(const std::vector<uint8_t>& block) {
  if (block.empty()) return;
  DibHandle h = DibAlloc(block.size(), false);
  if (!h) return;
  {
    DibLock lock(h);
    if (!lock) {
      DibFree(h);
      return;
    }
    std::memcpy(lock.data(), block.data(), block.size());
  }
  Attach(h);
}

std::vector<uint8_t> DecodedPicture::Block() const {
  DibLock lock(GetHandle());
  if (!lock) return {};
  return std::vector<uint8_t>(lock.data(), lock.data() + lock.size());
}

std::string TrimName(const std::string& name) {
  const char* space = " \t\r\n\v\f";
  const size_t first = name.find_first_not_of(space);
  if (first == std::string::npos) return {};
  return name.substr(first, name.find_last_not_of(space) - first + 1);
}

}  // namespace qv
