// Random-access bytes: the executable on Windows, a file in the tools, a buffer in the
// tests and the fuzzer. Readers of the package never see a path, only this.
#pragma once
#include <cstddef>
#include <cstdint>
#include <fstream>
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

// A file read through the standard library (tools and tests).
class FileByteSource final : public ByteSource {
 public:
  bool Open(const std::string& path);
  uint64_t Size() const override { return m_size; }
  size_t ReadAt(uint64_t offset, void* out, size_t n) override;

 private:
  std::ifstream m_file;
  uint64_t m_size = 0;
};

// Reads exactly n bytes at offset; false when fewer arrive.
bool ReadExactly(ByteSource& source, uint64_t offset, void* out, size_t n);
bool ReadU32At(ByteSource& source, uint64_t offset, uint32_t& value);

}  // namespace qv
