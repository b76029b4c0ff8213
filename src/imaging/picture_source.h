// Where the picture decoders read their bytes from: a seekable source of known size. The
// decoders never see a path; the file layer (FilePictureSource, the Dib*File functions)
// sits on top of them, and the tests and fuzzers feed them memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace qv {

class PictureSource {
 public:
  virtual ~PictureSource() = default;
  // Copies up to n bytes to dst and advances; fewer only at the end or on a read error.
  virtual size_t Read(void* dst, size_t n) = 0;
  // Moves to an absolute offset; false (and no move) beyond the end.
  virtual bool Seek(uint64_t offset) = 0;
  virtual uint64_t Tell() const = 0;
  virtual uint64_t Size() const = 0;

  uint64_t Left() const { return Size() - Tell(); }
  // Exactly n bytes or false.
  bool ReadExact(void* dst, size_t n) { return Read(dst, n) == n; }
};

class MemoryPictureSource final : public PictureSource {
 public:
  MemoryPictureSource(const void* data, size_t size) : m_data(static_cast<const uint8_t*>(data)), m_size(size) {}
  size_t Read(void* dst, size_t n) override;
  bool Seek(uint64_t offset) override;
  uint64_t Tell() const override { return m_pos; }
  uint64_t Size() const override { return m_size; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_pos = 0;
};

// A file opened for reading ("rb", reading shared). Check IsOpen() after constructing.
class FilePictureSource final : public PictureSource {
 public:
  explicit FilePictureSource(const char* path);
  ~FilePictureSource() override;
  FilePictureSource(const FilePictureSource&) = delete;
  FilePictureSource& operator=(const FilePictureSource&) = delete;
  bool IsOpen() const { return m_file != nullptr; }
  size_t Read(void* dst, size_t n) override;
  bool Seek(uint64_t offset) override;
  uint64_t Tell() const override { return m_pos; }
  uint64_t Size() const override { return m_size; }

 private:
  std::FILE* m_file = nullptr;
  uint64_t m_size = 0;
  uint64_t m_pos = 0;
};

// Whether the path names an existing regular file (a directory does not count).
bool IsRegularFile(const char* path);

}  // namespace qv
