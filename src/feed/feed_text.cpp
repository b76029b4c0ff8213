#include "feed/feed_text.h"

#include <cstdint>
#include <vector>

#include "document/ansi_text.h"
#include "feed/ascii_text.h"
#include "package/cp1252.h"

namespace qv {

namespace {

class Utf16Buffer {
 public:
  explicit Utf16Buffer(size_t reserve) { m_bytes.reserve(reserve * 2); }
  void Put(uint32_t u) {
    if (u == 0) return;
    if (u >= 0x10000) {
      u -= 0x10000;
      PutUnit(static_cast<uint16_t>(0xD800 | (u >> 10)));
      PutUnit(static_cast<uint16_t>(0xDC00 | (u & 0x3FF)));
    } else {
      PutUnit(static_cast<uint16_t>(u));
    }
  }
  std::string ToAnsi(Utf16ToAnsiFn toAnsi) const { return toAnsi(m_bytes.data(), m_bytes.size() / 2); }

 private:
  void PutUnit(uint16_t v) {
    m_bytes.push_back(static_cast<unsigned char>(v & 0xFF));
    m_bytes.push_back(static_cast<unsigned char>(v >> 8));
  }
  std::vector<unsigned char> m_bytes;
};

// One UTF-8 sequence at bytes[i]: its code point and length; length 0 when invalid
// (overlong forms, surrogates and values above U+10FFFF are invalid).
size_t Utf8Sequence(std::string_view bytes, size_t i, uint32_t& u) {
  const auto b = static_cast<uint8_t>(bytes[i]);
  size_t more;
  uint32_t min;
  if (b < 0x80) {
    u = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    u = b & 0x1F, more = 1, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    u = b & 0x0F, more = 2, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    u = b & 0x07, more = 3, min = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() - i <= more) return 0;
  for (size_t k = 1; k <= more; ++k) {
    const auto c = static_cast<uint8_t>(bytes[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    u = u << 6 | (c & 0x3F);
  }
  if (u < min || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) return 0;
  return more + 1;
}

bool IsValidUtf8(std::string_view bytes) {
  uint32_t u;
  for (size_t i = 0; i < bytes.size();) {
    const size_t n = Utf8Sequence(bytes, i, u);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

// ASCII runs are copied as they are (every ANSI code page keeps them); other characters
// go through the converter one at a time, and the single-byte results of the first
// 2048 code points are remembered, so a text full of accented letters costs few calls.
std::string FromUtf8(std::string_view bytes, Utf16ToAnsiFn toAnsi) {
  std::string out;
  out.reserve(bytes.size());
  std::vector<int16_t> known(0x800, -1);
  uint32_t u;
  size_t i = 0;
  while (i < bytes.size()) {
    size_t j = i;
    while (j < bytes.size() && static_cast<uint8_t>(bytes[j]) < 0x80 && bytes[j] != '\0') ++j;
    out.append(bytes.data() + i, j - i);
    i = j;
    if (i >= bytes.size()) break;
    if (bytes[i] == '\0') {
      ++i;
      continue;
    }
    const size_t n = Utf8Sequence(bytes, i, u);
    if (n == 0) {
      u = 0xFFFD;  // one replacement per undecodable byte
      i += 1;
    } else {
      i += n;
    }
    if (u < known.size() && known[u] >= 0) {
      out.push_back(static_cast<char>(known[u]));
      continue;
    }
    Utf16Buffer one(2);
    one.Put(u);
    const std::string ansi = one.ToAnsi(toAnsi);
    if (u < known.size() && ansi.size() == 1) known[u] = static_cast<uint8_t>(ansi[0]);
    out += ansi;
  }
  return out;
}

std::string FromUtf16(std::string_view bytes, bool bigEndian, Utf16ToAnsiFn toAnsi) {
  Utf16Buffer out(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto a = static_cast<uint8_t>(bytes[i]), b = static_cast<uint8_t>(bytes[i + 1]);
    out.Put(bigEndian ? (a << 8 | b) : (b << 8 | a));  // lone surrogates go on as they are
  }
  return out.ToAnsi(toAnsi);
}

std::string FromWindows1252(std::string_view bytes, Utf16ToAnsiFn toAnsi) {
  return FromUtf8(Cp1252ToUtf8(bytes), toAnsi);
}

std::string DropZeros(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes)
    if (c != '\0') out.push_back(c);
  return out;
}

// The encoding name of an XML declaration at the start of the text, or empty.
std::string_view DeclaredEncoding(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size() && i < 64 && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
    ++i;
  if (bytes.substr(i, 5) != "<?xml") return {};
  const std::string_view head = bytes.substr(i, 512);
  const size_t end = head.find("?>");
  if (end == std::string_view::npos) return {};
  const std::string_view decl = head.substr(0, end);
  const size_t key = decl.find("encoding");
  if (key == std::string_view::npos) return {};
  size_t p = key + 8;
  while (p < decl.size() && (decl[p] == ' ' || decl[p] == '=' || decl[p] == '\t')) ++p;
  if (p >= decl.size() || (decl[p] != '"' && decl[p] != '\'')) return {};
  const char quote = decl[p];
  const size_t close = decl.find(quote, p + 1);
  if (close == std::string_view::npos) return {};
  return decl.substr(p + 1, close - p - 1);
}

}  // namespace

FeedEncoding DetectFeedEncoding(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return FeedEncoding::Utf8;
  if (bytes.substr(0, 2) == "\xFF\xFE") return FeedEncoding::Utf16LE;
  if (bytes.substr(0, 2) == "\xFE\xFF") return FeedEncoding::Utf16BE;
  const std::string_view name = DeclaredEncoding(bytes);
  if (name.empty() || EqualsNoCase(name, "utf-8") || EqualsNoCase(name, "utf8")) return FeedEncoding::Utf8;
  static constexpr std::string_view kSingle[] = {"windows-1252", "cp1252",   "iso-8859-1", "iso8859-1",
                                                 "latin1",       "latin-1",  "us-ascii",   "ascii",
                                                 "iso-8859-15",  "l1"};
  for (std::string_view s : kSingle)
    if (EqualsNoCase(name, s)) return FeedEncoding::SingleByte;
  return FeedEncoding::Unknown;
}

std::string DecodeFeedBytes(std::string_view bytes) { return DecodeFeedBytes(bytes, GetUtf16ToAnsi()); }

std::string DecodeFeedBytes(std::string_view bytes, Utf16ToAnsiFn toAnsi) {
  switch (DetectFeedEncoding(bytes)) {
    case FeedEncoding::Utf16LE:
      return FromUtf16(bytes.substr(2), false, toAnsi);
    case FeedEncoding::Utf16BE:
      return FromUtf16(bytes.substr(2), true, toAnsi);
    case FeedEncoding::SingleByte:
      return FromWindows1252(bytes, toAnsi);
    case FeedEncoding::Unknown:
      return DropZeros(bytes);
    case FeedEncoding::Utf8:
      break;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return FromUtf8(bytes.substr(3), toAnsi);
  // Neither mark nor declaration: UTF-8 unless the bytes cannot be, as in the many old
  // feeds written in the Windows code page without saying so.
  if (DeclaredEncoding(bytes).empty() && !IsValidUtf8(bytes)) return FromWindows1252(bytes, toAnsi);
  return FromUtf8(bytes, toAnsi);
}

}  // namespace qv
