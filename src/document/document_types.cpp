#include "document/document_types.h"


namespace qv {

int DocVersion = kCurrentDocVersion;

namespace {

uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t{b[at + 3]} << 24);
}
uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

bool IsCoreHeader(const std::vector<uint8_t>& b) { return b.size() >= 12 && Get32(b, 0) == 12; }
bool IsInfoHeader(const std::vector<uint8_t>& b) { return b.size() >= 40 && Get32(b, 0) >= 40; }

}  // namespace

int DecodedPicture::GetWidth() const {
  if (IsCoreHeader(m_block)) return Get16(m_block, 4);
  return IsInfoHeader(m_block) ? static_cast<int32_t>(Get32(m_block, 4)) : 0;
}

int DecodedPicture::GetHeight() const {
  if (IsCoreHeader(m_block)) return Get16(m_block, 6);
  return IsInfoHeader(m_block) ? static_cast<int32_t>(Get32(m_block, 8)) : 0;
}

int DecodedPicture::GetBitCount() const {
  if (IsCoreHeader(m_block)) return Get16(m_block, 10);
  return IsInfoHeader(m_block) ? Get16(m_block, 14) : 0;
}

void DecodedPicture::FlattenAlpha(uint32_t colour) {
  if (!IsInfoHeader(m_block) || GetBitCount() != 32) return;
  const int64_t w = GetWidth();
  const int64_t h = GetHeight();
  if (w <= 0 || h <= 0) return;
  const uint32_t headerSize = Get32(m_block, 0);
  const uint64_t first = Get32(m_block, 16) == 3 ? uint64_t{headerSize} + 12
                                                 : uint64_t{headerSize} + uint64_t{Get32(m_block, 32)} * 4;
  const uint64_t srcStride = static_cast<uint64_t>(w) * 4;
  const uint64_t dstStride = ((24 * static_cast<uint64_t>(w) + 31) / 32) * 4;
  if (first + srcStride * h > m_block.size()) return;
  if (40 + dstStride * h > (uint64_t{1} << 31)) return;

  std::vector<uint8_t> out(40 + dstStride * h, 0);
  Put32(out, 0, 40);
  Put32(out, 4, static_cast<uint32_t>(w));
  Put32(out, 8, static_cast<uint32_t>(h));
  out[12] = 1;
  out[14] = 24;
  const bool dropAlpha = colour == 0xFF000000u;
  const uint32_t back[3] = {(colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF};  // b, g, r
  for (int64_t y = 0; y < h; ++y) {
    const uint8_t* s = m_block.data() + first + y * srcStride;
    uint8_t* d = out.data() + 40 + y * dstStride;
    for (int64_t x = 0; x < w; ++x, s += 4, d += 3) {
      const uint32_t a = s[3];
      for (int c = 0; c < 3; ++c) {
        d[c] = dropAlpha ? s[c] : static_cast<uint8_t>((back[c] * (255 - a) + s[c] * a) / 255);
      }
    }
  }
  m_block.swap(out);
}

std::string TrimName(const std::string& name) {
  const char* space = " \t\r\n\v\f";
  const size_t first = name.find_first_not_of(space);
  if (first == std::string::npos) return {};
  return name.substr(first, name.find_last_not_of(space) - first + 1);
}

}  // namespace qv
