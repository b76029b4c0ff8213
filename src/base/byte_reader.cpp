#include "base/byte_reader.h"

namespace qv {

bool ByteReader::Take(uint64_t n) {
  if (!m_ok || n > remaining()) {
    m_ok = false;
    return false;
  }
  return true;
}

uint16_t ByteReader::U16() {
  if (!Take(2)) return 0;
  const uint16_t v = static_cast<uint16_t>(m_data[m_pos] | m_data[m_pos + 1] << 8);
  m_pos += 2;
  return v;
}

uint32_t ByteReader::U32() {
  if (!Take(4)) return 0;
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | m_data[m_pos + static_cast<size_t>(i)];
  m_pos += 4;
  return v;
}

std::span<const uint8_t> ByteReader::Bytes(uint64_t n) {
  if (!Take(n)) return {};
  const auto s = m_data.subspan(m_pos, static_cast<size_t>(n));
  m_pos += static_cast<size_t>(n);
  return s;
}

std::string ByteReader::LengthPrefixedString() {
  const uint32_t length = U32();
  const auto bytes = Bytes(length);
  if (!m_ok) return {};
  size_t end = 0;
  while (end < bytes.size() && bytes[end] != 0) ++end;
  return std::string(reinterpret_cast<const char*>(bytes.data()), end);
}

}  // namespace qv
