#include "document/ansi_text.h"

#include <cstdint>

namespace qv {

namespace {

// Unicode characters of the code page's 0x80..0x9F row; 0 marks an unassigned byte,
// which round-trips as the C1 control of the same value.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char ToCp1252(uint16_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int i = 0; i < 32; ++i) {
    const uint16_t u = kCp1252High[i];
    if (u == c || (u == 0 && c == 0x80 + i)) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

std::string Utf16ToWindows1252(const unsigned char* utf16le, size_t count) {
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const uint16_t c = static_cast<uint16_t>(utf16le[2 * i] | (utf16le[2 * i + 1] << 8));
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count) {
      const uint16_t next =
          static_cast<uint16_t>(utf16le[2 * i + 2] | (utf16le[2 * i + 3] << 8));
      if (next >= 0xDC00 && next <= 0xDFFF) ++i;  // one '?' for the whole pair
    }
    out.push_back(ToCp1252(c));
  }
  return out;
}

Utf16ToAnsiFn GetUtf16ToAnsi() {
  const Utf16ToAnsiFn installed = Services().utf16ToAnsi;
  return installed ? installed : &Utf16ToWindows1252;
}

}  // namespace qv
