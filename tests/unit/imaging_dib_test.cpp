// Packed DIB blocks and CDIB: creation, queries, conversions, copies, and what happens to
// blocks that do not hold what their header says.
#include <cstring>
#include <filesystem>

#include "imaging/bmp_codec.h"
#include "imaging/cdib.h"
#include "imaging/dib.h"
#include "imaging_test_util.h"

namespace qv {
namespace {

using test::Bytes;
using test::HeaderOf;
using DibTest = test::ImagingTest;

// Sets storage row r (0 = bottom), byte offset i of a block to v.
void Poke(DibHandle h, int storageRow, int offset, std::initializer_list<uint8_t> bytes) {
  DibLock lock(h);
  DibView v;
  ASSERT_TRUE(ParseDib(lock.data(), lock.size(), &v));
  std::memcpy(v.Row(storageRow) + offset, std::data(bytes), bytes.size());
}

void SetEntry(DibHandle h, int index, uint8_t red, uint8_t green, uint8_t blue) {
  DibLock lock(h);
  if (!lock) return;
  uint8_t* e = lock.data() + 40 + 4 * index;
  e[0] = blue, e[1] = green, e[2] = red;
}

void SetHeaderU32(DibHandle h, int offset, uint32_t value) {
  DibLock lock(h);
  if (!lock) return;
  PutU32(lock.data() + offset, value);
}

// A block made of raw bytes (as if it came from an archive).
DibHandle RawBlock(const Bytes& bytes) {
  DibHandle h = DibAlloc(bytes.size(), false);
  DibLock lock(h);
  if (!lock) return h;
  std::memcpy(lock.data(), bytes.data(), bytes.size());
  return h;
}

TEST_F(DibTest, CreateRoundsBitCountsAndSizesTheBlock) {
  UniqueDib rgb(DibCreate(10, 3, 24));
  DibHeader h = HeaderOf(rgb.get());
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(DibBlockSize(rgb.get()), 40u + 3 * 32);  // rows of 32 bytes, no table

  UniqueDib mono(DibCreate(5, 2, 1));
  h = HeaderOf(mono.get());
  EXPECT_EQ(h.biBitCount, 1);
  EXPECT_EQ(h.biClrUsed, 2u);
  EXPECT_EQ(h.biClrImportant, 2u);
  EXPECT_EQ(DibBlockSize(mono.get()), 40u + 8 + 2 * 4);
  EXPECT_EQ(DibGetPixelRgb(mono.get(), 0, 0), (Rgb{0, 0, 0}));
  {
    DibLock lock(mono.get());
    const uint8_t black[8] = {};
    EXPECT_EQ(std::memcmp(lock.data() + 40, black, 8), 0);  // a 2-colour table stays black
  }

  UniqueDib forty(DibCreate(1, 1, 40));
  h = HeaderOf(forty.get());
  EXPECT_EQ(h.biBitCount, 4);
  EXPECT_EQ(h.biClrUsed, 0u);
  {
    DibLock lock(forty.get());
    EXPECT_EQ(DibColorCount(lock.data()), 16u);
  }

  // Requested -> stored bit count and biClrUsed (by the request, not the rounding).
  const struct { int request, bits; uint32_t used; } cases[] = {
      {0, 1, 0}, {2, 4, 4}, {3, 4, 8}, {5, 8, 0}, {8, 8, 256}, {12, 16, 0}, {15, 16, 0}, {20, 24, 0}, {31, 32, 0}};
  for (const auto& c : cases) {
    UniqueDib b(DibCreate(3, 2, c.request));
    h = HeaderOf(b.get());
    EXPECT_EQ(h.biBitCount, c.bits) << c.request;
    EXPECT_EQ(h.biClrUsed, c.used) << c.request;
  }

  // Sizes beyond the limits are refused before anything is allocated.
  ResetLargestDibRequest();
  EXPECT_EQ(DibCreate(16385, 1, 24), nullptr);
  EXPECT_EQ(DibCreate(16384, 16384, 32), nullptr);
  EXPECT_EQ(DibCreate(-1, 5, 8), nullptr);
  EXPECT_EQ(LargestDibRequest(), 0u);
}

TEST_F(DibTest, EightBitTablesRepeatTheSixteenStandardColours) {
  UniqueDib b(DibCreate(4, 4, 8));
  DibLock lock(b.get());
  const uint8_t* t = lock.data() + 40;
  const uint32_t standard[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                                 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  for (int i = 0; i < 256; ++i) {
    const uint32_t rgb = standard[i % 16];
    EXPECT_EQ(t[4 * i + 2], rgb >> 16) << i;
    EXPECT_EQ(t[4 * i + 1], (rgb >> 8) & 0xFF) << i;
    EXPECT_EQ(t[4 * i + 0], rgb & 0xFF) << i;
    EXPECT_EQ(t[4 * i + 3], 0) << i;
  }
}

TEST_F(DibTest, CoreHeaderQueriesAndPalette) {
  // 12-byte header: width 300, height 2, 1 plane, 4 bits; 16 three-byte entries.
  Bytes b;
  test::Put32(b, 12);
  test::Put16(b, 300);
  test::Put16(b, 2);
  test::Put16(b, 1);
  test::Put16(b, 4);
  for (int i = 0; i < 16; ++i) b.insert(b.end(), {static_cast<uint8_t>(i), 0, static_cast<uint8_t>(10 * i)});
  b.resize(b.size() + 2 * DibRowBytes(300, 4));
  UniqueDib h(RawBlock(b));
  {
    DibLock lock(h.get());
    EXPECT_EQ(DibWidth(lock.data()), 300);
    EXPECT_EQ(DibHeight(lock.data()), 2);
    EXPECT_EQ(DibColorCount(lock.data()), 16u);
    EXPECT_EQ(DibColorTableBytes(lock.data()), 48u);
    EXPECT_EQ(DibPixels(lock.data()), lock.data() + 12 + 48);
  }
  LogicalPalette p;
  ASSERT_TRUE(DibLogicalPalette(h.get(), &p));
  ASSERT_EQ(p.entries.size(), 16u);
  EXPECT_EQ(p.version, 0x300);
  EXPECT_EQ(p.entries[3], (PaletteEntry{30, 0, 3, 0}));
}

TEST_F(DibTest, ToRgb24ReadsEveryDepth) {
  UniqueDib w16(DibCreate(1, 1, 16));
  Poke(w16.get(), 0, 0, {0x00, 0xF8});  // 0xF800 as 5-6-5
  UniqueDib out(DibToRgb24(w16.get()));
  EXPECT_EQ(HeaderOf(out.get()).biBitCount, 24);
  EXPECT_EQ(DibGetPixelRgb(out.get(), 0, 0), (Rgb{248, 0, 0}));

  UniqueDib w15(DibCreate(1, 1, 16));
  SetHeaderU32(w15.get(), 12, 1u | 15u << 16);  // planes 1, bit count 15
  Poke(w15.get(), 0, 0, {0x00, 0x7C});
  out.reset(DibToRgb24(w15.get()));
  EXPECT_EQ(DibGetPixelRgb(out.get(), 0, 0), (Rgb{248, 0, 0}));

  // 4 bits through the table; the high nibble is the left pixel; rows bottom-up.
  UniqueDib w4(DibCreate(3, 2, 4));
  SetEntry(w4.get(), 1, 10, 20, 30);
  SetEntry(w4.get(), 2, 40, 50, 60);
  Poke(w4.get(), 1, 0, {0x12, 0x00});  // top row: 1, 2, 0
  out.reset(DibToRgb24(w4.get()));
  EXPECT_EQ(DibGetPixelRgb(out.get(), 0, 0), (Rgb{10, 20, 30}));
  EXPECT_EQ(DibGetPixelRgb(out.get(), 1, 0), (Rgb{40, 50, 60}));
  EXPECT_EQ(DibGetPixelRgb(out.get(), 0, 1), (Rgb{0, 0, 0}));

  // 32 bits: alpha dropped.
  UniqueDib w32(DibCreate(2, 1, 32));
  Poke(w32.get(), 0, 4, {1, 2, 3, 4});
  out.reset(DibToRgb24(w32.get()));
  EXPECT_EQ(DibGetPixelRgb(out.get(), 1, 0), (Rgb{3, 2, 1}));

  EXPECT_EQ(DibToRgb24(nullptr), nullptr);
}

TEST_F(DibTest, PaletteIndexBeyondTheTableReadsTheLastEntry) {
  UniqueDib b(DibCreate(2, 1, 8));
  SetHeaderU32(b.get(), 32, 3);  // three colours in use; the table still holds 256
  SetEntry(b.get(), 2, 7, 8, 9);
  SetEntry(b.get(), 200, 99, 99, 99);
  Poke(b.get(), 0, 0, {200, 1});
  EXPECT_EQ(DibGetPixelRgb(b.get(), 0, 0), (Rgb{7, 8, 9}));
  UniqueDib rgb(DibToRgb24(b.get()));
  EXPECT_EQ(DibGetPixelRgb(rgb.get(), 0, 0), (Rgb{7, 8, 9}));
}

TEST_F(DibTest, FlattenAlphaComposesOverTheColourUnlessItIsTheDropValue) {
  UniqueDib b(DibCreate(2, 1, 32));
  Poke(b.get(), 0, 0, {0, 0, 255, 0, 0, 255, 0, 128});  // red transparent; green half
  UniqueDib blue(DibFlattenAlpha(b.get(), 0x00FF0000));
  EXPECT_EQ(DibGetPixelRgb(blue.get(), 0, 0), (Rgb{0, 0, 255}));
  EXPECT_EQ(DibGetPixelRgb(blue.get(), 1, 0), (Rgb{0, 128, 127}));  // (255*127 + 255*128) / 255 etc.
  UniqueDib dropped(DibFlattenAlpha(b.get(), 0xFF000000));
  EXPECT_EQ(DibGetPixelRgb(dropped.get(), 0, 0), (Rgb{255, 0, 0}));
  UniqueDib w16(DibCreate(1, 1, 16));
  EXPECT_EQ(DibFlattenAlpha(w16.get(), 0), nullptr);
}

TEST_F(DibTest, HasAlphaAndGetPixelRgb) {
  UniqueDib b(DibCreate(3, 2, 32));
  EXPECT_FALSE(DibHasAlpha(b.get()));
  Poke(b.get(), 0, 8, {5, 6, 7, 1});  // bottom-right pixel, alpha 1
  EXPECT_TRUE(DibHasAlpha(b.get()));
  EXPECT_EQ(DibGetPixelRgb(b.get(), 2, 1), (Rgb{7, 6, 5}));  // y from the top
  EXPECT_EQ(DibGetPixelRgb(b.get(), 2, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(DibGetPixelRgb(b.get(), 3, 0), (Rgb{}));
  EXPECT_EQ(DibGetPixelRgb(b.get(), 0, -1), (Rgb{}));
  UniqueDib w24(DibCreate(1, 1, 24));
  EXPECT_FALSE(DibHasAlpha(w24.get()));
  UniqueDib w16(DibCreate(1, 1, 16));
  Poke(w16.get(), 0, 0, {0xFF, 0xFF});
  EXPECT_EQ(DibGetPixelRgb(w16.get(), 0, 0), (Rgb{}));  // 16 bits are not read here
}

// Pixel (x, y from the top) of a 32-bit block as a u32.
uint32_t Pixel32(DibHandle h, int x, int y) {
  DibLock lock(h);
  DibView v;
  ParseDib(lock.data(), lock.size(), &v);
  return GetU32(v.Row(v.height - 1 - y) + 4 * x);
}

void SetPixel32(DibHandle h, int x, int y, uint32_t value) {
  DibLock lock(h);
  DibView v;
  ParseDib(lock.data(), lock.size(), &v);
  PutU32(v.Row(v.height - 1 - y) + 4 * x, value);
}

TEST_F(DibTest, CopyTiledRepeatsTheSourceRectangle) {
  UniqueDib src(DibCreate(4, 3, 32)), dst(DibCreate(7, 5, 32));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) SetPixel32(src.get(), x, y, 0x100u * y + x + 1);
  // Source rectangle (1, 1) 2 x 2, tiled into (1, 0) 5 x 4 of the destination.
  ASSERT_TRUE(DibCopyTiled(src.get(), 1, 1, 2, 2, dst.get(), 1, 0, 5, 4));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) {
      const bool inside = x >= 1 && x < 6 && y < 4;
      const uint32_t want = inside ? 0x100u * (1 + y % 2) + (1 + (x - 1) % 2) + 1 : 0;
      EXPECT_EQ(Pixel32(dst.get(), x, y), want) << x << "," << y;
    }
  // Destination size 0 = the source size; a source reaching past the edge is clipped
  // (3 wide from column 2 becomes 2 wide) and repeats.
  UniqueDib d2(DibCreate(3, 1, 32));
  ASSERT_TRUE(DibCopyTiled(src.get(), 2, 0, 3, 1, d2.get(), 0, 0, 0, 0));
  EXPECT_EQ(Pixel32(d2.get(), 0, 0), 3u);
  EXPECT_EQ(Pixel32(d2.get(), 1, 0), 4u);
  EXPECT_EQ(Pixel32(d2.get(), 2, 0), 3u);
  // Negative destination offsets are clipped, not written outside.
  ASSERT_TRUE(DibCopyTiled(src.get(), 0, 0, 4, 3, d2.get(), -2, -1, 4, 2));
  EXPECT_EQ(Pixel32(d2.get(), 0, 0), 0x100u + 3);
  UniqueDib w24(DibCreate(4, 3, 24));
  EXPECT_FALSE(DibCopyTiled(w24.get(), 0, 0, 1, 1, dst.get(), 0, 0, 1, 1));
  EXPECT_FALSE(DibCopyTiled(src.get(), 4, 0, 1, 1, dst.get(), 0, 0, 1, 1));
}

TEST_F(DibTest, OverlayOpaqueCopiesNonZeroPixelsAtTheBottomLeft) {
  UniqueDib src(DibCreate(2, 2, 32)), dst(DibCreate(3, 3, 32));
  SetPixel32(src.get(), 0, 1, 0x00010203);  // bottom-left of the source
  SetPixel32(src.get(), 1, 0, 0x7F000000);  // only alpha: not zero
  SetPixel32(dst.get(), 1, 2, 0x11223344);  // under a zero source pixel
  ASSERT_TRUE(DibOverlayOpaque(src.get(), dst.get()));
  EXPECT_EQ(Pixel32(dst.get(), 0, 2), 0xFF010203u);
  EXPECT_EQ(Pixel32(dst.get(), 1, 1), 0xFF000000u);
  EXPECT_EQ(Pixel32(dst.get(), 1, 2), 0x11223344u);
  EXPECT_EQ(Pixel32(dst.get(), 0, 0), 0u);  // outside the common area
  UniqueDib w24(DibCreate(2, 2, 24));
  EXPECT_FALSE(DibOverlayOpaque(w24.get(), dst.get()));
}

TEST_F(DibTest, DuplicateCopiesEveryByte) {
  UniqueDib b(DibCreate(3, 3, 8));
  Poke(b.get(), 2, 0, {9, 8, 7});
  UniqueDib c(DibDuplicate(b.get()));
  ASSERT_NE(c.get(), b.get());
  ASSERT_EQ(DibBlockSize(c.get()), DibBlockSize(b.get()));
  DibLock l1(b.get()), l2(c.get());
  EXPECT_EQ(std::memcmp(l1.data(), l2.data(), static_cast<size_t>(l1.size())), 0);
  EXPECT_EQ(DibDuplicate(nullptr), nullptr);
}

TEST_F(DibTest, BlocksThatLieAboutTheirContentsAreRefusedEverywhere) {
  const Bytes header = test::InfoHeader(4, 4, 24);
  std::vector<Bytes> liars;
  liars.push_back(header);                                   // no rows at all
  Bytes shortRows = header;
  shortRows.resize(40 + 4 * 12 - 1);                         // one byte short
  liars.push_back(shortRows);
  Bytes hugeTable = test::InfoHeader(4, 4, 8, 0, 0, 0x40000000);  // a table of 2^30 entries
  hugeTable.resize(2000);
  liars.push_back(hugeTable);
  Bytes wide = test::InfoHeader(70000, 1, 8);
  wide.resize(100000);
  liars.push_back(wide);
  Bytes negative = test::InfoHeader(4, -4, 24);
  negative.resize(200);
  liars.push_back(negative);
  Bytes oddBits = test::InfoHeader(4, 4, 7);
  oddBits.resize(2000);
  liars.push_back(oddBits);
  Bytes bigHeader = test::InfoHeader(1, 1, 24);
  PutU32(bigHeader.data(), 4000);
  bigHeader.resize(5000);
  liars.push_back(bigHeader);
  for (size_t i = 0; i < liars.size(); ++i) {
    UniqueDib b(RawBlock(liars[i]));
    EXPECT_EQ(DibToRgb24(b.get()), nullptr) << i;
    EXPECT_EQ(DibFlattenAlpha(b.get(), 0), nullptr) << i;
    EXPECT_FALSE(DibHasAlpha(b.get())) << i;
    EXPECT_EQ(DibGetPixelRgb(b.get(), 0, 0), Rgb{}) << i;
    CDIB d;
    d.Attach(b.release());
    EXPECT_EQ(d.GetWidth(), 0) << i;
    EXPECT_EQ(d.GetPixel(0, 0), -1) << i;
  }
}

TEST_F(DibTest, CdibAttachCopyAndPalette) {
  CDIB a;
  EXPECT_EQ(a.GetBitCount(), 0);
  EXPECT_EQ(a.GetPixel(0, 0), -1);
  UniqueDib b(DibCreate(2, 2, 8));
  SetEntry(b.get(), 1, 1, 2, 3);
  a.Attach(b.release());
  ASSERT_EQ(a.GetPalette().GetEntries().size(), 256u);
  EXPECT_EQ(a.GetPalette().GetEntries()[1], (PaletteEntry{1, 2, 3, 0}));

  // A block without a table leaves the palette as it was.
  a.Attach(DibCreate(2, 2, 24));
  EXPECT_EQ(a.GetPalette().GetEntries().size(), 256u);
  EXPECT_EQ(a.GetBitCount(), 24);

  // The sprite copy's switch suppresses the palette step.
  CDIB quiet;
  CDIB::s_bNoPaletteOnAttach = true;
  quiet.Attach(DibCreate(1, 1, 4));
  CDIB::s_bNoPaletteOnAttach = false;
  EXPECT_EQ(quiet.GetPalette().GetSafeHandle(), nullptr);

  CDIB copy(quiet);
  EXPECT_NE(copy.GetHandle(), quiet.GetHandle());
  EXPECT_EQ(copy.GetBitCount(), 4);
  EXPECT_EQ(copy.GetPalette().GetEntries().size(), 16u);
  copy = a;
  EXPECT_EQ(copy.GetBitCount(), 24);
  copy.Free();
  EXPECT_TRUE(copy.IsEmpty());
  EXPECT_EQ(copy.GetPalette().GetSafeHandle(), nullptr);
}

TEST_F(DibTest, CdibGetPixelReadsBytesAsColourAndAlpha) {
  CDIB d;
  d.Attach(DibCreate(2, 2, 32));
  Poke(d.GetHandle(), 1, 4, {0x10, 0x20, 0x30, 0x40});  // top-right
  int alpha = -1;
  EXPECT_EQ(d.GetPixel(1, 0, &alpha), 0x102030);
  EXPECT_EQ(alpha, 0x40);
  EXPECT_EQ(d.GetPixel(2, 0), -1);
  // On 8 bits the four bytes still come from the pixel's address; past the block they
  // read as 0.
  CDIB e;
  e.Attach(DibCreate(4, 1, 8));
  Poke(e.GetHandle(), 0, 0, {1, 2, 3, 4});
  EXPECT_EQ(e.GetPixel(3, 0, &alpha), 4 << 16);
  EXPECT_EQ(alpha, 0);
}

class FakeArchive : public DibArchiveSource {
 public:
  explicit FakeArchive(Bytes b) : m_bytes(std::move(b)) {}
  bool Read(void* dst, size_t n) override {
    if (n > m_bytes.size() - m_pos) return false;
    std::memcpy(dst, m_bytes.data() + m_pos, n);
    m_pos += n;
    return true;
  }
  uint64_t BytesLeft() const override { return m_bytes.size() - m_pos; }
  size_t m_pos = 0;

 private:
  Bytes m_bytes;
};

TEST_F(DibTest, SerializeReadsAFlagThenABlock) {
  CDIB d;
  d.Attach(DibCreate(1, 1, 24));
  FakeArchive none({0, 0, 0, 0, 0xEE});
  ASSERT_TRUE(d.Serialize(none));
  EXPECT_EQ(none.m_pos, 4u);
  EXPECT_TRUE(d.IsEmpty());

  // A real block of 40 000 bytes: read in pieces, palette rebuilt.
  UniqueDib src(DibCreate(200, 160, 8));
  SetEntry(src.get(), 5, 50, 60, 70);
  Bytes stream;
  test::Put32(stream, 1);
  {
    DibLock lock(src.get());
    test::Put32(stream, static_cast<uint32_t>(lock.size()));
    stream.insert(stream.end(), lock.data(), lock.data() + lock.size());
  }
  stream.push_back(0x99);
  FakeArchive good(stream);
  ASSERT_TRUE(d.Serialize(good));
  EXPECT_EQ(good.BytesLeft(), 1u);
  EXPECT_EQ(d.GetWidth(), 200);
  EXPECT_EQ(d.GetPalette().GetEntries().at(5), (PaletteEntry{50, 60, 70, 0}));

  // A count beyond the archive fails before allocating; a short flag fails.
  ResetLargestDibRequest();
  FakeArchive huge({1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3});
  EXPECT_FALSE(d.Serialize(huge));
  EXPECT_EQ(LargestDibRequest(), 0u);
  FakeArchive cut({1, 0});
  EXPECT_FALSE(d.Serialize(cut));

  // Bytes that are no picture: the archive reads on, the object holds nothing.
  FakeArchive junk({1, 0, 0, 0, 6, 0, 0, 0, 'j', 'u', 'n', 'k', '!', '!', 7});
  ASSERT_TRUE(d.Serialize(junk));
  EXPECT_EQ(junk.BytesLeft(), 1u);
  EXPECT_TRUE(d.IsEmpty());
}

TEST_F(DibTest, ReplacingOperationsKeepTheBlockWhenTheyFail) {
  CDIB d;
  d.Attach(DibCreate(2, 2, 16));
  const DibHandle before = d.GetHandle();
  EXPECT_FALSE(d.FlattenAlpha(0));  // 16 bits cannot be flattened
  EXPECT_EQ(d.GetHandle(), before);
  EXPECT_FALSE(d.KeyToAlpha(true, 0));  // no keying operation plugged in
  EXPECT_FALSE(d.Resample(4, 4));
  EXPECT_EQ(d.GetHandle(), before);

  d.Attach(DibCreate(2, 2, 32));
  ASSERT_TRUE(d.FlattenAlpha(0x00FFFFFF));
  EXPECT_EQ(d.GetBitCount(), 24);
  EXPECT_EQ(DibGetPixelRgb(d.GetHandle(), 0, 0), (Rgb{255, 255, 255}));

  // The seams: with operations plugged in, the block is replaced by their result.
  CoreServices operations = Services();
  operations.keyToAlpha = [](DibHandle, bool, uint32_t) { return DibCreate(3, 3, 32); };
  operations.resample = [](DibHandle, int w, int h) { return DibCreate(w, h, 24); };
  ScopedCoreServices plugged(operations);
  EXPECT_TRUE(d.KeyToAlpha(false, 0));
  EXPECT_EQ(d.GetBitCount(), 32);
  EXPECT_TRUE(d.Resample(5, 4));
  EXPECT_EQ(d.GetWidth(), 5);
  d.Attach(DibCreate(2, 2, 8));
  EXPECT_FALSE(d.Resample(5, 4));  // only pictures of more than 23 bits
}

TEST_F(DibTest, PictureTypeComesFromTheLastDot) {
  EXPECT_EQ(PictureTypeCode("C:\\x\\pic.BMP"), kFileTypeBmp);
  EXPECT_EQ(PictureTypeCode("a.dib"), kFileTypeBmp);
  EXPECT_EQ(PictureTypeCode("a.Rle"), kFileTypeBmp);
  EXPECT_EQ(PictureTypeCode("b.jpe"), kFileTypeJpeg);
  EXPECT_EQ(PictureTypeCode("b.JPEG"), kFileTypeJpeg);
  EXPECT_EQ(PictureTypeCode("c.png"), kFileTypePng);
  EXPECT_EQ(PictureTypeCode("png"), kFileTypePng);  // no dot: the whole name
  EXPECT_EQ(PictureTypeCode("a.bmp.txt"), 0);
  EXPECT_EQ(PictureTypeCode("a.bmpx"), 0);
  EXPECT_EQ(PictureTypeCode(""), 0);
}

TEST_F(DibTest, LoadFileChoosesTheReaderByExtension) {
  UniqueDib b(DibCreate(3, 2, 24));
  test::TempFile bmp("pic.bmp"), txt("pic.txt");
  ASSERT_EQ(DibWriteBmpFile(b.get(), bmp.path().c_str()), 0);
  ASSERT_EQ(DibWriteBmpFile(b.get(), txt.path().c_str()), 0);

  CDIB d;
  LoadInfo info;
  ASSERT_TRUE(d.LoadFile(bmp.path(), {}, &info));
  EXPECT_EQ(info.bitCount, 24);
  EXPECT_EQ(info.width, 3);
  EXPECT_EQ(info.height, 2);

  EXPECT_FALSE(d.LoadFile(txt.path(), {}, &info));  // a picture, but not by its name
  EXPECT_TRUE(d.IsEmpty());
  EXPECT_EQ(info.width, 0);
  EXPECT_TRUE(d.LoadFile(txt.path(), "stored.BMP"));  // the type name decides
  {
    ScopedCoreServices quiet(test::QuietDecoders());
    EXPECT_FALSE(d.LoadFile(bmp.path(), "stored.png"));
  }
  EXPECT_FALSE(d.LoadFile(""));
  EXPECT_FALSE(d.LoadFile(bmp.path() + ".missing.bmp"));
  const std::string dir = (std::filesystem::path(test::TempDir()) / "qvimg-dir.bmp").string();
  std::filesystem::create_directory(dir);
  info.bitCount = 99;
  EXPECT_FALSE(d.LoadFile(dir, {}, &info));
  std::filesystem::remove(dir);
  EXPECT_EQ(info.bitCount, 0);
}

TEST_F(DibTest, ScreenDepthIsCachedAndThePlatformCannotChangeUnderLiveBlocks) {
  {
    ScopedCoreServices screen8(test::AtDepth(8));
    EXPECT_EQ(ScreenDepth(), 8);
    ScopedCoreServices screen16(test::AtDepth(16));
    EXPECT_EQ(ScreenDepth(), 16);
  }
  EXPECT_EQ(ScreenDepth(), 32);  // the fixture's services again
  // Another platform table: refused while a block or palette of the current one lives.
  static const ImagingPlatform other = PlainImagingPlatform();
  CoreServices otherServices = Services();
  otherServices.imaging = &other;
  UniqueDib b(DibCreate(1, 1, 1));
  EXPECT_FALSE(ScopedCoreServices(otherServices).Installed());
  b.reset();
  // Allowed once nothing of the old platform is alive (other tests of this process may
  // still hold a palette, such as the application palette).
  const bool idle = LiveDibBlocks() == 0 && LivePlatformPalettes() == 0;
  EXPECT_EQ(ScopedCoreServices(otherServices).Installed(), idle);
  CPalette p;
  MakeAppPalette(p);
  EXPECT_FALSE(ScopedCoreServices(otherServices).Installed());
  EXPECT_TRUE(ScopedCoreServices(Services()).Installed());  // the same table is always fine
}

}  // namespace
}  // namespace qv
