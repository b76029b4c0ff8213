// Bytes the readers take, never a path. ByteSource is random access (the executable on
// Windows, a file in the tools, a buffer in the tests and fuzzers); ByteCursor is a
// reading position over one, limited to a window, for the readers that go forward (the
// picture decoders, the document archive). The file layer sits on top of both.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace qv {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Copies up to n bytes from offset into out; returns how many arrived (fewer at the
  // end of the source, 0 past it).
  virtual size_t ReadAt(uint64_t offset, void* out, size_t n) = 0;
};

class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
  uint64_t Size() const override { return m_bytes.size(); }
  size_t ReadAt(uint64_t offset, void* out, size_t n) override;

 private:
  std::span<const uint8_t> m_bytes;
};

// A file opened for reading ("rb", which Windows opens for shared reading).
class FileByteSource final : public ByteSource {
 public:
  FileByteSource() = default;
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;
  bool Open(const std::string& path);
  bool IsOpen() const { return m_file != nullptr; }
  uint64_t Size() const override { return m_size; }
  size_t ReadAt(uint64_t offset, void* out, size_t n) override;

 private:
  std::FILE* m_file = nullptr;
  uint64_t m_size = 0;
  uint64_t m_pos = 0;  // where the stream stands, so that reading on needs no seek
};

// Reads exactly n bytes at offset; false when fewer arrive.
bool ReadExactly(ByteSource& source, uint64_t offset, void* out, size_t n);
bool ReadU32At(ByteSource& source, uint64_t offset, uint32_t& value);

// A reading position over [begin, begin + length) of a source (clipped to the source).
// Offsets given to Seek and returned by Tell count from the window's start.
class ByteCursor {
 public:
  explicit ByteCursor(ByteSource& source) : ByteCursor(source, 0, UINT64_MAX) {}
  ByteCursor(ByteSource& source, uint64_t begin, uint64_t length);
  ByteCursor(const ByteCursor&) = delete;
  ByteCursor& operator=(const ByteCursor&) = delete;
  virtual ~ByteCursor() = default;

  // Copies up to n bytes to dst and advances; fewer only at the end or on a read error.
  size_t Read(void* dst, size_t n);
  // Moves to an offset in the window; false (and no move) beyond its end.
  bool Seek(uint64_t offset);
  uint64_t Tell() const { return m_pos; }
  uint64_t Size() const { return m_size; }
  uint64_t Left() const { return m_size - m_pos; }
  uint64_t Remaining() const { return Left(); }
  // Exactly n bytes or false.
  bool ReadExact(void* dst, size_t n) { return Read(dst, n) == n; }

 private:
  ByteSource* m_source;
  uint64_t m_begin = 0;
  uint64_t m_size = 0;
  uint64_t m_pos = 0;
};

namespace detail {
// Constructed before the cursor that reads it (base classes initialise in order).
template <class Source>
struct SourceHolder {
  Source m_held;
};
}  // namespace detail

// A cursor over a block of memory the caller keeps alive.
class MemoryCursor final : private detail::SourceHolder<MemoryByteSource>, public ByteCursor {
 public:
  explicit MemoryCursor(std::span<const uint8_t> bytes)
      : detail::SourceHolder<MemoryByteSource>{MemoryByteSource(bytes)}, ByteCursor(m_held) {}
  MemoryCursor(const void* data, size_t size)
      : MemoryCursor(std::span<const uint8_t>(static_cast<const uint8_t*>(data), size)) {}
};

// A cursor over a whole file. Check IsOpen() after constructing.
class FileCursor final : private detail::SourceHolder<FileByteSource>, public ByteCursor {
 public:
  explicit FileCursor(const char* path) : ByteCursor(Opened(m_held, path)) {}
  bool IsOpen() const { return m_held.IsOpen(); }

 private:
  static FileByteSource& Opened(FileByteSource& file, const char* path) {
    if (path && *path) file.Open(path);
    return file;
  }
};

}  // namespace qv
