// The BMP reader and writer: the format's corners, and files built to break them.
#include <cstring>

#include "imaging/bmp_codec.h"
#include "imaging/cdib.h"
#include "imaging/dib.h"
#include "imaging_test_util.h"

namespace qv {
namespace {

using test::BmpFile;
using test::Bytes;
using test::HeaderOf;
using test::InfoHeader;
using BmpTest = test::ImagingTest;

DibHandle Read(const Bytes& file) {
  MemoryCursor source(file.data(), file.size());
  return DibReadBmp(source);
}

// Pixel indices of an 8-bit block, top row first.
std::vector<std::vector<int>> Indices(DibHandle h) {
  DibLock lock(h);
  DibView v;
  if (!lock || !ParseDib(lock.data(), lock.size(), &v) || v.bitCount != 8) return {};
  std::vector<std::vector<int>> rows(v.height);
  for (int y = 0; y < v.height; ++y)
    for (int x = 0; x < v.width; ++x) rows[y].push_back(v.Row(v.height - 1 - y)[x]);
  return rows;
}

TEST_F(BmpTest, ColourCountsDefaultFromTheBitCount) {
  Bytes pixels(2 * 4, 0);
  pixels[0] = 3;  // bottom-left
  UniqueDib b(Read(BmpFile(InfoHeader(3, 2, 8), test::RampTable(256), pixels)));
  ASSERT_TRUE(b);
  const DibHeader h = HeaderOf(b.get());
  EXPECT_EQ(h.biClrUsed, 256u);
  EXPECT_EQ(h.biClrImportant, 256u);
  EXPECT_EQ(h.biSizeImage, 8u);
  EXPECT_EQ(DibGetPixelRgb(b.get(), 0, 1), (Rgb{3, 6, 9}));
}

TEST_F(BmpTest, CoreHeaderWidensToAFortyByteHeaderWithFourByteEntries) {
  Bytes header;
  test::Put32(header, 12);
  test::Put16(header, 3);
  test::Put16(header, 1);
  test::Put16(header, 1);
  test::Put16(header, 4);
  Bytes table;
  for (int i = 0; i < 16; ++i) table.insert(table.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 2), 200});
  UniqueDib b(Read(BmpFile(header, table, {0x0F, 0x10, 0, 0})));
  ASSERT_TRUE(b);
  const DibHeader h = HeaderOf(b.get());
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 3);
  EXPECT_EQ(h.biBitCount, 4);
  EXPECT_EQ(h.biClrUsed, 16u);
  EXPECT_EQ(DibBlockSize(b.get()), 40u + 64 + 4);
  EXPECT_EQ(DibGetPixelRgb(b.get(), 1, 0), (Rgb{200, 30, 15}));  // entry 15: blue 15, green 30
  EXPECT_EQ(DibGetPixelRgb(b.get(), 2, 0), (Rgb{200, 2, 1}));
}

TEST_F(BmpTest, RunLengthDataExpandsToPlainRows) {
  // Width 5 (rows of 8 bytes), height 2: a run of 2, a literal of 3 (odd: one pad byte),
  // end of row, a run of 5, end of picture.
  const Bytes rle = {2, 9, 0, 3, 1, 2, 3, 0xEE, 0, 0, 5, 4, 0, 1};
  UniqueDib b(Read(BmpFile(InfoHeader(5, 2, 8, kBiRle8, static_cast<uint32_t>(rle.size())), test::RampTable(256), rle)));
  ASSERT_TRUE(b);
  const DibHeader h = HeaderOf(b.get());
  EXPECT_EQ(h.biCompression, 0u);
  EXPECT_EQ(h.biSizeImage, 2u * 8);
  EXPECT_EQ(Indices(b.get()), (std::vector<std::vector<int>>{{4, 4, 4, 4, 4}, {9, 9, 1, 2, 3}}));
}

TEST_F(BmpTest, RunLengthDataNeverWritesOutsideThePicture) {
  // Hostile streams over a 4 x 3 picture; each result is what clipping to the rows gives.
  const struct {
    const char* what;
    Bytes rle;
    std::vector<std::vector<int>> want;  // top row first
  } cases[] = {
      {"run past the row end", {200, 7, 0, 0, 1, 1}, {{0, 0, 0, 0}, {1, 0, 0, 0}, {7, 7, 7, 7}}},
      {"literal past the row end", {0, 6, 1, 2, 3, 4, 5, 6, 0, 1}, {{0, 0, 0, 0}, {0, 0, 0, 0}, {1, 2, 3, 4}}},
      {"literal longer than the data", {0, 200, 5, 6}, {{0, 0, 0, 0}, {0, 0, 0, 0}, {5, 6, 0, 0}}},
      {"delta past the right edge", {0, 2, 250, 0, 3, 8, 0, 0, 1, 9}, {{0, 0, 0, 0}, {9, 0, 0, 0}, {0, 0, 0, 0}}},
      {"delta past the top", {0, 2, 1, 200, 5, 5}, {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}},
      {"ends of row past the top", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 3}, {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}},
      {"delta cut short", {1, 5, 0, 2, 1}, {{0, 0, 0, 0}, {0, 0, 0, 0}, {5, 0, 0, 0}}},
      {"no end of picture", {4, 1, 4, 2}, {{0, 0, 0, 0}, {0, 0, 0, 0}, {1, 1, 1, 1}}},
  };
  for (const auto& c : cases) {
    UniqueDib b(Read(BmpFile(InfoHeader(4, 3, 8, kBiRle8, static_cast<uint32_t>(c.rle.size())), test::RampTable(256), c.rle)));
    ASSERT_TRUE(b) << c.what;
    EXPECT_EQ(Indices(b.get()), c.want) << c.what;
  }
  // The decoder itself also keeps to the bytes it is given, whatever the header says.
  const Bytes header = InfoHeader(4, 1000, 8);
  uint8_t rows[8] = {};
  const Bytes rle = {0, 0, 0, 0, 0, 0, 5, 1};
  DibDecodeRle8(header.data(), rows, sizeof rows, rle.data(), rle.size());
  for (uint8_t v : rows) EXPECT_EQ(v, 0);
}

TEST_F(BmpTest, UnsupportedFormsAreRefused) {
  const Bytes pixels(64, 0);
  EXPECT_EQ(Read(BmpFile(InfoHeader(4, 2, 4, kBiRle4, 8), test::RampTable(16), pixels)), nullptr);
  EXPECT_EQ(Read(BmpFile(InfoHeader(4, 2, 24, 4 /* JPEG */), {}, pixels)), nullptr);
  EXPECT_EQ(Read(BmpFile(InfoHeader(4, 2, 2), test::RampTable(4), pixels)), nullptr);
  EXPECT_EQ(Read(BmpFile(InfoHeader(4, -2, 8, kBiRle8, 8), test::RampTable(256), pixels)), nullptr);  // top-down RLE
  Bytes os2v2 = InfoHeader(4, 2, 24);
  PutU32(os2v2.data(), 64);
  os2v2.resize(64);
  EXPECT_EQ(Read(BmpFile(os2v2, {}, pixels)), nullptr);
  Bytes notBm = BmpFile(InfoHeader(4, 2, 24), {}, pixels);
  notBm[0] = 'M';
  EXPECT_EQ(Read(notBm), nullptr);
}

TEST_F(BmpTest, HeadersAreCheckedAgainstTheFileBeforeAllocating) {
  ResetLargestDibRequest();
  const Bytes few(100, 1);
  // Sizes beyond the limits, or rows the file does not hold.
  EXPECT_EQ(Read(BmpFile(InfoHeader(16385, 1, 8), test::RampTable(256), few)), nullptr);
  EXPECT_EQ(Read(BmpFile(InfoHeader(1, -16385, 24), {}, few)), nullptr);
  EXPECT_EQ(Read(BmpFile(InfoHeader(16384, 4000, 8), test::RampTable(256), few)), nullptr);  // 65.5 Mpx
  EXPECT_EQ(Read(BmpFile(InfoHeader(10000, 6000, 32), {}, few)), nullptr);  // allowed size, no rows
  EXPECT_EQ(Read(BmpFile(InfoHeader(0, 5, 24), {}, few)), nullptr);
  EXPECT_EQ(Read(BmpFile(InfoHeader(1, INT32_MIN, 24), {}, few)), nullptr);
  EXPECT_EQ(LargestDibRequest(), 0u);
  // Colour tables: more than 256 entries, or cut short.
  EXPECT_EQ(Read(BmpFile(InfoHeader(2, 2, 8, 0, 0, 300), test::RampTable(300), few)), nullptr);
  EXPECT_EQ(Read(BmpFile(InfoHeader(2, 2, 8), test::RampTable(100), {})), nullptr);
  // Pixel offsets beyond the file, or leaving too few bytes for the rows.
  EXPECT_EQ(Read(BmpFile(InfoHeader(2, 2, 24), {}, Bytes(16, 0), 5000)), nullptr);
  EXPECT_EQ(Read(BmpFile(InfoHeader(2, 2, 24), {}, Bytes(16, 0), 60)), nullptr);
  // A run-length size beyond the file.
  EXPECT_EQ(Read(BmpFile(InfoHeader(2, 2, 8, kBiRle8, 1000), test::RampTable(256), Bytes(10, 0))), nullptr);
  // Every cut of a good file fails cleanly.
  const Bytes good = BmpFile(InfoHeader(3, 3, 24), {}, Bytes(36, 7));
  for (size_t n = 0; n < good.size(); ++n) {
    const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_EQ(Read(cut), nullptr) << n;
  }
  UniqueDib whole(Read(good));
  EXPECT_TRUE(whole);
}

TEST_F(BmpTest, FewerColoursThanIndicesReadTheLastEntry) {
  UniqueDib b(Read(BmpFile(InfoHeader(2, 1, 8, 0, 0, 5), test::RampTable(5), {200, 2, 0, 0})));
  ASSERT_TRUE(b);
  EXPECT_EQ(HeaderOf(b.get()).biClrUsed, 5u);
  EXPECT_EQ(DibGetPixelRgb(b.get(), 0, 0), (Rgb{4, 8, 12}));
  EXPECT_EQ(DibGetPixelRgb(b.get(), 1, 0), (Rgb{2, 4, 6}));
}

TEST_F(BmpTest, TopDownAndMaskedFilesBecomeBottomUpBlocks) {
  // Top-down 8-bit, 1 x 2: the first stored row is the top.
  UniqueDib top(Read(BmpFile(InfoHeader(1, -2, 8), test::RampTable(256), {10, 0, 0, 0, 20, 0, 0, 0})));
  ASSERT_TRUE(top);
  EXPECT_EQ(HeaderOf(top.get()).biHeight, 2);
  EXPECT_EQ(DibGetPixelRgb(top.get(), 0, 0), (Rgb{10, 20, 30}));
  EXPECT_EQ(DibGetPixelRgb(top.get(), 0, 1), (Rgb{20, 40, 60}));

  // 16 bits without masks are 5-5-5 and widen to 24 bits.
  UniqueDib w555(Read(BmpFile(InfoHeader(2, 1, 16), {}, {0x00, 0x7C, 0x1F, 0x00})));
  ASSERT_TRUE(w555);
  EXPECT_EQ(HeaderOf(w555.get()).biBitCount, 24);
  EXPECT_EQ(DibGetPixelRgb(w555.get(), 0, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(DibGetPixelRgb(w555.get(), 1, 0), (Rgb{0, 0, 255}));

  // Bit fields with 10-bit channels (2-10-10-10) on 32 bits: alpha 2 bits.
  Bytes masks;
  for (uint32_t m : {0x3FF00000u, 0x000FFC00u, 0x000003FFu}) test::Put32(masks, m);
  Bytes px;
  test::Put32(px, 0xFFF00000u);  // red full, top alpha bits set but no alpha mask
  UniqueDib w10(Read(BmpFile(InfoHeader(1, 1, 32, kBiBitfields), masks, px)));
  ASSERT_TRUE(w10);
  EXPECT_EQ(HeaderOf(w10.get()).biBitCount, 32);
  EXPECT_EQ(DibGetPixelRgb(w10.get(), 0, 0), (Rgb{255, 0, 0}));
  EXPECT_FALSE(DibHasAlpha(w10.get()));
  EXPECT_EQ(Read(BmpFile(InfoHeader(1, 1, 24, kBiBitfields), masks, px)), nullptr);
}

TEST_F(BmpTest, ThirtyTwoBitFilesKeepAlphaOnlyWhenTheyHaveIt) {
  Bytes px = {1, 2, 3, 0, 4, 5, 6, 0};
  test::TempFile none("a.bmp", BmpFile(InfoHeader(2, 1, 32), {}, px));
  px[7] = 1;
  test::TempFile some("b.bmp", BmpFile(InfoHeader(2, 1, 32), {}, px));
  UniqueDib a(DibLoadBmpFile(none.path().c_str())), b(DibLoadBmpFile(some.path().c_str()));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(HeaderOf(a.get()).biBitCount, 24);
  EXPECT_EQ(DibGetPixelRgb(a.get(), 1, 0), (Rgb{6, 5, 4}));
  EXPECT_EQ(HeaderOf(b.get()).biBitCount, 32);
  EXPECT_EQ(DibLoadBmpFile("/nonexistent/x.bmp"), nullptr);
}

TEST_F(BmpTest, WriteThenReadGivesTheSameBlock) {
  UniqueDib b(DibCreate(5, 3, 24));
  {
    DibLock lock(b.get());
    for (uint64_t i = 40; i < lock.size(); ++i) lock.data()[i] = static_cast<uint8_t>(i * 7);
  }
  test::TempFile file("w.bmp");
  ASSERT_EQ(DibWriteBmpFile(b.get(), file.path().c_str()), 0);
  FileCursor source(file.path().c_str());
  ASSERT_TRUE(source.IsOpen());
  uint8_t head[14];
  ASSERT_TRUE(source.ReadExact(head, 14));
  EXPECT_EQ(GetU32(head + 10), 54u);
  EXPECT_EQ(GetU32(head + 2), 54u + 3 * 16);
  source.Seek(0);
  UniqueDib back(DibReadBmp(source));
  ASSERT_TRUE(back);
  DibLock l1(b.get()), l2(back.get());
  ASSERT_EQ(l1.size(), l2.size());
  EXPECT_EQ(std::memcmp(l1.data(), l2.data(), static_cast<size_t>(l1.size())), 0);

  // An 8-bit block carries its table: pixels start after 1024 bytes of it.
  UniqueDib pal(DibCreate(2, 2, 8));
  test::TempFile file8("p.bmp");
  ASSERT_EQ(DibWriteBmpFile(pal.get(), file8.path().c_str()), 0);
  FileCursor s8(file8.path().c_str());
  s8.ReadExact(head, 14);
  EXPECT_EQ(GetU32(head + 10), 14u + 40 + 1024);
}

TEST_F(BmpTest, WriteReportsItsErrors) {
  test::TempFile file("e.bmp");
  EXPECT_EQ(DibWriteBmpFile(nullptr, file.path().c_str()), 20);
  UniqueDib b(DibCreate(2, 2, 24));
  EXPECT_EQ(DibWriteBmpFile(b.get(), (file.path() + "/no/such/dir.bmp").c_str()), 4);
  // A core-header block is not one of ours.
  Bytes core;
  test::Put32(core, 12);
  core.resize(12 + 2 * 8, 0);
  PutU16(core.data() + 4, 2);
  PutU16(core.data() + 6, 2);
  PutU16(core.data() + 8, 1);
  PutU16(core.data() + 10, 24);
  UniqueDib c(DibAlloc(core.size(), false));
  {
    DibLock lock(c.get());
    std::memcpy(lock.data(), core.data(), core.size());
  }
  EXPECT_NE(DibWriteBmpFile(c.get(), file.path().c_str()), 0);
}

}  // namespace
}  // namespace qv
