#include "package/cp1252.h"

#include <cstdint>

namespace qv {

namespace {

// 0x80..0x9F; 0 where the code page has no character (kept as the C1 control).
constexpr uint16_t kHigh[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0, 0x017D, 0,
                                0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

uint32_t ToUnicode(uint8_t c) {
  if (c >= 0x80 && c < 0xA0 && kHigh[c - 0x80]) return kHigh[c - 0x80];
  return c;
}

void PutUtf8(std::string& out, uint32_t u) {
  if (u < 0x80) {
    out.push_back(static_cast<char>(u));
  } else if (u < 0x800) {
    out.push_back(static_cast<char>(0xC0 | u >> 6));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | u >> 12));
    out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  }
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  for (const char c : text) PutUtf8(out, ToUnicode(static_cast<uint8_t>(c)));
  return out;
}

std::optional<std::string> Utf8ToCp1252(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<uint8_t>(text[i]);
    uint32_t u = 0;
    size_t more = 0;
    if (b < 0x80) u = b;
    else if ((b & 0xE0) == 0xC0) u = b & 0x1F, more = 1;
    else if ((b & 0xF0) == 0xE0) u = b & 0x0F, more = 2;
    else if ((b & 0xF8) == 0xF0) u = b & 0x07, more = 3;
    else return std::nullopt;
    if (i + more >= text.size()) return std::nullopt;
    for (size_t k = 1; k <= more; ++k) {
      const auto c = static_cast<uint8_t>(text[i + k]);
      if ((c & 0xC0) != 0x80) return std::nullopt;
      u = u << 6 | (c & 0x3F);
    }
    i += more + 1;
    int found = -1;
    for (int c = 0; c < 256 && found < 0; ++c)
      if (ToUnicode(static_cast<uint8_t>(c)) == u) found = c;
    if (found < 0) return std::nullopt;
    out.push_back(static_cast<char>(found));
  }
  return out;
}

}  // namespace qv
