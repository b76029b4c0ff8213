#include "document/document_types.h"

#include <cctype>
#include <cstring>

#include "imaging/imaging_platform.h"


namespace qv {


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

namespace {
bool StartsWithNoCase(const std::string& s, const char* prefix) {
  size_t i = 0;
  for (; prefix[i]; ++i) {
    if (i >= s.size()) return false;
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  }
  return true;
}
}  // namespace

bool IsMediaUrl(const std::string& name) {
  return StartsWithNoCase(name, "https:/") || StartsWithNoCase(name, "ftp://") ||
         StartsWithNoCase(name, "ftp.") || StartsWithNoCase(name, "www.");
}

bool DropMissingExternal(MediaSlot& slot, DocumentServices& services, bool keepAddresses) {
  if (slot.IsEmbedded()) return false;
  slot.name = TrimName(slot.name);
  if (slot.name.empty() || (keepAddresses && IsMediaUrl(slot.name)) || services.FileExists(slot.name))
    return false;
  slot.name.clear();
  return true;
}

}  // namespace qv
