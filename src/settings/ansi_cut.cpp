#include "settings/ansi_cut.h"

namespace qv {

namespace {
bool NoLeadBytes(unsigned char) { return false; }
}  // namespace

LeadByteFn GetLeadByteRule() {
  const LeadByteFn installed = Services().leadByte;
  return installed ? installed : &NoLeadBytes;
}

std::string CutAnsiText(std::string_view text, size_t limit, LeadByteFn isLeadByte) {
  if (text.size() <= limit) return std::string(text);
  size_t end = 0;
  while (end < text.size()) {
    // A lead byte takes the next byte with it; a lone one at the very end stands alone.
    const size_t width = (isLeadByte && isLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size()) ? 2 : 1;
    if (end + width > limit) break;
    end += width;
  }
  return std::string(text.substr(0, end));
}

}  // namespace qv
