#include "base/byte_source.h"

#include <algorithm>
#include <cstring>

namespace qv {

size_t MemoryByteSource::ReadAt(uint64_t offset, void* out, size_t n) {
  if (offset >= m_bytes.size()) return 0;
  const uint64_t left = m_bytes.size() - offset;
  const size_t count = n < left ? n : static_cast<size_t>(left);
  if (count) std::memcpy(out, m_bytes.data() + offset, count);
  return count;
}

namespace {

bool SeekFile(std::FILE* f, uint64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<long long>(offset), whence) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), whence) == 0;
#endif
}

int64_t TellFile(std::FILE* f) {
#ifdef _WIN32
  return _ftelli64(f);
#else
  return ftello(f);
#endif
}

}  // namespace

FileByteSource::~FileByteSource() {
  if (m_file) std::fclose(m_file);
}

bool FileByteSource::Open(const std::string& path) {
  if (m_file) std::fclose(m_file);
  m_file = std::fopen(path.c_str(), "rb");
  m_size = m_pos = 0;
  if (!m_file) return false;
  const int64_t end = SeekFile(m_file, 0, SEEK_END) ? TellFile(m_file) : -1;
  if (end < 0 || !SeekFile(m_file, 0, SEEK_SET)) {
    std::fclose(m_file);
    m_file = nullptr;
    return false;
  }
  m_size = static_cast<uint64_t>(end);
  return true;
}

size_t FileByteSource::ReadAt(uint64_t offset, void* out, size_t n) {
  if (!m_file || offset >= m_size) return 0;
  if (offset != m_pos) {
    if (!SeekFile(m_file, offset, SEEK_SET)) return 0;
    m_pos = offset;
  }
  n = static_cast<size_t>(std::min<uint64_t>(n, m_size - offset));
  const size_t got = n ? std::fread(out, 1, n, m_file) : 0;
  m_pos += got;
  if (got < n) {
    // A short read leaves the stream's state unknown: seek again next time.
    std::clearerr(m_file);
    m_pos = UINT64_MAX;
  }
  return got;
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

ByteCursor::ByteCursor(ByteSource& source, uint64_t begin, uint64_t length) : m_source(&source) {
  const uint64_t total = source.Size();
  m_begin = std::min(begin, total);
  m_size = std::min(length, total - m_begin);
}

size_t ByteCursor::Read(void* dst, size_t n) {
  const size_t want = static_cast<size_t>(std::min<uint64_t>(n, Left()));
  const size_t got = want ? m_source->ReadAt(m_begin + m_pos, dst, want) : 0;
  m_pos += got;
  return got;
}

bool ByteCursor::Seek(uint64_t offset) {
  if (offset > m_size) return false;
  m_pos = offset;
  return true;
}

}  // namespace qv
