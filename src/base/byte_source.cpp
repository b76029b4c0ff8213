#include "base/byte_source.h"

#include <cstring>

namespace qv {

size_t MemoryByteSource::ReadAt(uint64_t offset, void* out, size_t n) {
  if (offset >= m_bytes.size()) return 0;
  const uint64_t left = m_bytes.size() - offset;
  const size_t count = n < left ? n : static_cast<size_t>(left);
  if (count) std::memcpy(out, m_bytes.data() + offset, count);
  return count;
}

bool FileByteSource::Open(const std::string& path) {
  m_file.open(path, std::ios::binary);
  if (!m_file) return false;
  m_file.seekg(0, std::ios::end);
  const std::streamoff end = m_file.tellg();
  if (end < 0) return false;
  m_size = static_cast<uint64_t>(end);
  return true;
}

size_t FileByteSource::ReadAt(uint64_t offset, void* out, size_t n) {
  if (!m_file.is_open() || offset >= m_size) return 0;
  m_file.clear();
  m_file.seekg(static_cast<std::streamoff>(offset));
  m_file.read(static_cast<char*>(out), static_cast<std::streamsize>(n));
  return static_cast<size_t>(m_file.gcount());
}

bool ReadExactly(ByteSource& source, uint64_t offset, void* out, size_t n) {
  return source.ReadAt(offset, out, n) == n;
}

bool ReadU32At(ByteSource& source, uint64_t offset, uint32_t& value) {
  uint8_t b[4];
  if (!ReadExactly(source, offset, b, 4)) return false;
  value = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
  return true;
}

}  // namespace qv
