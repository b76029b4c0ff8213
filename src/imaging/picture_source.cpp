#include "imaging/picture_source.h"

#include <sys/stat.h>

#include <cstring>

namespace qv {

size_t MemoryPictureSource::Read(void* dst, size_t n) {
  const size_t left = m_size - m_pos;
  if (n > left) n = left;
  if (n) std::memcpy(dst, m_data + m_pos, n);
  m_pos += n;
  return n;
}

bool MemoryPictureSource::Seek(uint64_t offset) {
  if (offset > m_size) return false;
  m_pos = static_cast<size_t>(offset);
  return true;
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

FilePictureSource::FilePictureSource(const char* path) {
  if (!path || !*path) return;
  m_file = std::fopen(path, "rb");
  if (!m_file) return;
  const int64_t end = SeekFile(m_file, 0, SEEK_END) ? TellFile(m_file) : -1;
  if (end < 0 || !SeekFile(m_file, 0, SEEK_SET)) {
    std::fclose(m_file);
    m_file = nullptr;
    return;
  }
  m_size = static_cast<uint64_t>(end);
}

FilePictureSource::~FilePictureSource() {
  if (m_file) std::fclose(m_file);
}

size_t FilePictureSource::Read(void* dst, size_t n) {
  if (!m_file) return 0;
  if (n > m_size - m_pos) n = static_cast<size_t>(m_size - m_pos);
  const size_t got = n ? std::fread(dst, 1, n, m_file) : 0;
  m_pos += got;
  return got;
}

bool FilePictureSource::Seek(uint64_t offset) {
  if (!m_file || offset > m_size || !SeekFile(m_file, offset, SEEK_SET)) return false;
  m_pos = offset;
  return true;
}

bool IsRegularFile(const char* path) {
  if (!path || !*path) return false;
#ifdef _WIN32
  struct _stat64 st;
  return _stat64(path, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
#else
  struct stat st;
  return stat(path, &st) == 0 && S_ISREG(st.st_mode);
#endif
}

}  // namespace qv
