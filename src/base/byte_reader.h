// A little-endian reader over a byte span with a sticky ok flag: every read checks the
// bytes left, a failed read returns zeros and leaves ok false for good, and the caller
// checks once per record.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qv {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : m_data(data) {}

  uint16_t U16();
  uint32_t U32();
  // The next n bytes, or an empty span (and ok false) when fewer are left.
  std::span<const uint8_t> Bytes(uint64_t n);
  // A u32 length L and L bytes; the text ends at the first zero among them. L = 0
  // reads as an empty text.
  std::string LengthPrefixedString();

  bool ok() const { return m_ok; }
  size_t position() const { return m_pos; }
  size_t remaining() const { return m_data.size() - m_pos; }

 private:
  bool Take(uint64_t n);

  std::span<const uint8_t> m_data;
  size_t m_pos = 0;
  bool m_ok = true;
};

inline void PutU16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
inline void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace qv
