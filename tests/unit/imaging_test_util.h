// Helpers of the imaging tests: a leak check around each test, and small writers for
// BMP, PNG and JPEG bytes so that a test can state exactly the file it feeds the readers.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "imaging/dib.h"
#include "imaging/imaging_platform.h"

namespace qv::test {

using Bytes = std::vector<uint8_t>;

// Every test ends with as many live blocks as it started with, on the plain platform at
// 32 bits, with blocks that move at each lock (a kept address is then caught).
class ImagingTest : public ::testing::Test {
 protected:
  void SetUp() override { m_live = LiveDibBlocks(); }
  void TearDown() override { EXPECT_EQ(LiveDibBlocks(), m_live) << "blocks leaked"; }

 private:
  ScopedCoreServices m_services{{.plainScreenDepth = 32, .plainBlockRelocation = true}};
  int64_t m_live = 0;
};

// The installed services with one change, for a nested ScopedCoreServices.
inline CoreServices AtDepth(int depth) {
  CoreServices s = Services();
  s.plainScreenDepth = depth;
  return s;
}
inline CoreServices QuietDecoders() {
  CoreServices s = Services();
  s.pictureDecoderMessages = false;
  return s;
}
inline CoreServices WithResource(const char* type, const char* name, Bytes bytes) {
  CoreServices s = Services();
  s.plainResources[{type, name}] = std::move(bytes);
  return s;
}

inline void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A 40-byte info header.
inline Bytes InfoHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0,
                        uint32_t sizeImage = 0, uint32_t clrUsed = 0) {
  Bytes h;
  Put32(h, 40);
  Put32(h, static_cast<uint32_t>(width));
  Put32(h, static_cast<uint32_t>(height));
  Put16(h, 1);
  Put16(h, bits);
  Put32(h, compression);
  Put32(h, sizeImage);
  Put32(h, 0);
  Put32(h, 0);
  Put32(h, clrUsed);
  Put32(h, 0);
  return h;
}

// "BM" + sizes + header + table + pixels; offBits < 0 puts the pixels right after the table.
inline Bytes BmpFile(const Bytes& header, const Bytes& table, const Bytes& pixels, int64_t offBits = -1) {
  Bytes f = {'B', 'M'};
  const uint32_t off = static_cast<uint32_t>(offBits >= 0 ? offBits : 14 + header.size() + table.size());
  Put32(f, static_cast<uint32_t>(14 + header.size() + table.size() + pixels.size()));
  Put32(f, 0);
  Put32(f, off);
  f.insert(f.end(), header.begin(), header.end());
  f.insert(f.end(), table.begin(), table.end());
  f.insert(f.end(), pixels.begin(), pixels.end());
  return f;
}

// A colour table of n entries (blue, green, red, 0) with entry i = (i, 2i, 3i) as RGB.
inline Bytes RampTable(int n) {
  Bytes t;
  for (int i = 0; i < n; ++i) {
    t.push_back(static_cast<uint8_t>(3 * i));
    t.push_back(static_cast<uint8_t>(2 * i));
    t.push_back(static_cast<uint8_t>(i));
    t.push_back(0);
  }
  return t;
}

// A PNG with the given rows (already packed, from the top) and extra chunks before IDAT.
struct PngChunk {
  std::string kind;
  Bytes data;
};
Bytes PngFile(uint32_t width, uint32_t height, int depth, int colourType, const std::vector<Bytes>& rows,
              const std::vector<PngChunk>& extra = {});
Bytes PngChunkBytes(const std::string& kind, const Bytes& data);

// A baseline JPEG of an RGB (components 3) or grey (components 1) picture, rows from the
// top, written by libjpeg.
Bytes JpegFile(int width, int height, int components, const Bytes& pixels, int quality = 95,
               bool progressive = false);

// A file in the temporary folder, removed by the destructor.
class TempFile {
 public:
  explicit TempFile(const std::string& name, const Bytes& contents = {});
  ~TempFile();
  const std::string& path() const { return m_path; }

 private:
  std::string m_path;
};

std::string TempDir();

// A block's header fields.
inline DibHeader HeaderOf(DibHandle block) {
  DibLock lock(block);
  return lock ? ReadDibHeader(lock.data()) : DibHeader{};
}

}  // namespace qv::test
