// The PNG and JPEG readers: the transformations and colour tables they must produce, the
// 256-colour screen, and files that make the libraries fail.
#include <cmath>
#include <cstring>
#include <optional>

#include "imaging/cdib.h"
#include "imaging/dib.h"
#include "imaging/jpeg_reader.h"
#include "imaging/png_reader.h"
#include "imaging_test_util.h"

namespace qv {
namespace {

using test::Bytes;
using test::HeaderOf;
using test::PngFile;
using PngTest = test::ImagingTest;
using JpegTest = test::ImagingTest;

DibHandle ReadPng(const Bytes& file) {
  MemoryCursor s(file.data(), file.size());
  return DibReadPng(s);
}

DibHandle ReadJpeg(const Bytes& file, JpegOutput output = JpegOutput::kForScreen) {
  MemoryCursor s(file.data(), file.size());
  return DibReadJpeg(s, output);
}

int AlphaAt(DibHandle h, int x, int y) {
  CDIB d;
  d.Attach(DibDuplicate(h));
  int alpha = -1;
  d.GetPixel(x, y, &alpha);
  return alpha;
}

const Bytes kPalette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};  // red, green, blue, grey

TEST_F(PngTest, PalettePicturesKeepTheirTableUnlessTheyHaveTransparency) {
  const std::vector<Bytes> rows = {{0x01, 0x23}, {0x32, 0x10}};  // 4 x 2 at 4 bits
  UniqueDib plain(ReadPng(PngFile(4, 2, 4, 3, rows, {{"PLTE", kPalette}})));
  ASSERT_TRUE(plain);
  EXPECT_EQ(HeaderOf(plain.get()).biBitCount, 4);
  EXPECT_EQ(HeaderOf(plain.get()).biClrUsed, 16u);
  EXPECT_EQ(DibGetPixelRgb(plain.get(), 1, 0), (Rgb{0, 255, 0}));
  EXPECT_EQ(DibGetPixelRgb(plain.get(), 0, 1), (Rgb{9, 9, 9}));

  UniqueDib keyed(ReadPng(PngFile(4, 2, 4, 3, rows, {{"PLTE", kPalette}, {"tRNS", {255, 0, 128}}})));
  ASSERT_TRUE(keyed);
  EXPECT_EQ(HeaderOf(keyed.get()).biBitCount, 32);
  EXPECT_EQ(DibGetPixelRgb(keyed.get(), 2, 0), (Rgb{0, 0, 255}));
  EXPECT_EQ(AlphaAt(keyed.get(), 0, 0), 255);
  EXPECT_EQ(AlphaAt(keyed.get(), 1, 0), 0);
  EXPECT_EQ(AlphaAt(keyed.get(), 2, 0), 128);
  EXPECT_EQ(AlphaAt(keyed.get(), 3, 0), 255);  // no tRNS value: opaque

  // Eight bits: the file's entries, the rest of the 256 left as they were made.
  UniqueDib eight(ReadPng(PngFile(2, 1, 8, 3, {{3, 1}}, {{"PLTE", kPalette}})));
  ASSERT_TRUE(eight);
  EXPECT_EQ(HeaderOf(eight.get()).biBitCount, 8);
  EXPECT_EQ(DibGetPixelRgb(eight.get(), 0, 0), (Rgb{9, 9, 9}));
}

TEST_F(PngTest, OneBitPalettesKeepTheirColours) {
  UniqueDib b(ReadPng(PngFile(3, 1, 1, 3, {{0x40}}, {{"PLTE", {200, 0, 0, 0, 0, 200}}})));
  ASSERT_TRUE(b);
  EXPECT_EQ(HeaderOf(b.get()).biBitCount, 1);
  EXPECT_EQ(DibGetPixelRgb(b.get(), 0, 0), (Rgb{200, 0, 0}));
  EXPECT_EQ(DibGetPixelRgb(b.get(), 1, 0), (Rgb{0, 0, 200}));
}

TEST_F(PngTest, GreyPicturesGetAnEvenGreyTable) {
  // Two bits widen to 8 with a 256-step table: 0, 85, 170, 255.
  UniqueDib two(ReadPng(PngFile(4, 1, 2, 0, {{0x1B}})));
  ASSERT_TRUE(two);
  EXPECT_EQ(HeaderOf(two.get()).biBitCount, 8);
  EXPECT_EQ(HeaderOf(two.get()).biClrUsed, 256u);
  for (int x = 0; x < 4; ++x) {
    const uint8_t v = static_cast<uint8_t>(85 * x);
    EXPECT_EQ(DibGetPixelRgb(two.get(), x, 0), (Rgb{v, v, v})) << x;
  }
  UniqueDib four(ReadPng(PngFile(2, 1, 4, 0, {{0x0F}})));
  ASSERT_TRUE(four);
  EXPECT_EQ(HeaderOf(four.get()).biBitCount, 4);
  EXPECT_EQ(DibGetPixelRgb(four.get(), 1, 0), (Rgb{255, 255, 255}));
  // Grey with a transparent value becomes blue-green-red with alpha.
  UniqueDib keyed(ReadPng(PngFile(2, 1, 8, 0, {{7, 8}}, {{"tRNS", {0, 7}}})));
  ASSERT_TRUE(keyed);
  EXPECT_EQ(HeaderOf(keyed.get()).biBitCount, 32);
  EXPECT_EQ(AlphaAt(keyed.get(), 0, 0), 0);
  EXPECT_EQ(DibGetPixelRgb(keyed.get(), 1, 0), (Rgb{8, 8, 8}));
}

TEST_F(PngTest, GammaComesFromSrgbThenGamaThenTheDefault) {
  // A linear file (gAMA 1.0) is corrected to the screen's 2.2; sRGB overrides gAMA.
  const Bytes linear = {0, 1, 0x86, 0xA0};  // 100000
  const std::vector<Bytes> rows = {{64, 128, 200}};
  UniqueDib corrected(ReadPng(PngFile(1, 1, 8, 2, rows, {{"gAMA", linear}})));
  ASSERT_TRUE(corrected);
  const Rgb p = DibGetPixelRgb(corrected.get(), 0, 0);
  auto expect = [](int v) { return 255.0 * std::pow(v / 255.0, 1 / 2.2); };
  EXPECT_NEAR(p.red, expect(64), 1.0);
  EXPECT_NEAR(p.green, expect(128), 1.0);
  EXPECT_NEAR(p.blue, expect(200), 1.0);
  UniqueDib srgb;
  {
    ScopedCoreServices quiet(test::QuietDecoders());  // the library warns that the two disagree
    srgb.reset(ReadPng(PngFile(1, 1, 8, 2, rows, {{"sRGB", {0}}, {"gAMA", linear}})));
  }
  ASSERT_TRUE(srgb);
  EXPECT_EQ(DibGetPixelRgb(srgb.get(), 0, 0), (Rgb{64, 128, 200}));
  UniqueDib plain(ReadPng(PngFile(1, 1, 8, 2, rows)));
  EXPECT_EQ(DibGetPixelRgb(plain.get(), 0, 0), (Rgb{64, 128, 200}));
}

TEST_F(PngTest, BrokenAndHostileFilesGiveNoPicture) {
  std::optional<ScopedCoreServices> quiet(std::in_place, test::QuietDecoders());
  ResetLargestDibRequest();
  const Bytes good = PngFile(3, 2, 8, 2, {Bytes(9, 50), Bytes(9, 60)});
  // Over the side limit (the library's user limits) and over the pixel limit.
  EXPECT_EQ(ReadPng(PngFile(16385, 1, 8, 0, {Bytes(16385, 0)})), nullptr);
  EXPECT_EQ(ReadPng(PngFile(16384, 16384, 1, 0, {Bytes(2048, 0)})), nullptr);
  EXPECT_EQ(LargestDibRequest(), 0u);
  // Rows missing from the data: the picture is abandoned and its block freed.
  EXPECT_EQ(ReadPng(PngFile(40, 40, 8, 0, {Bytes(40, 1)})), nullptr);
  // A damaged header checksum, a cut file, no signature.
  Bytes bad = good;
  bad[29] ^= 1;
  EXPECT_EQ(ReadPng(bad), nullptr);
  for (size_t n : {size_t{0}, size_t{8}, size_t{20}, good.size() / 2, good.size() - 5})
    EXPECT_EQ(ReadPng(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n))), nullptr) << n;
  Bytes noSig = good;
  noSig[1] = 'X';
  EXPECT_EQ(ReadPng(noSig), nullptr);
  quiet.reset();
  UniqueDib fine(ReadPng(good));
  EXPECT_TRUE(fine);
}

// An RGB picture whose colours are easy to recognise after compression.
Bytes Stripes(int w, int h) {
  Bytes px;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool left = x < w / 2;
      px.insert(px.end(), {static_cast<uint8_t>(left ? 230 : 20), static_cast<uint8_t>(y < h / 2 ? 200 : 40),
                           static_cast<uint8_t>(left ? 30 : 220)});
    }
  return px;
}

TEST_F(JpegTest, TrueColourScreensGetTwentyFourBitsBlueFirst) {
  const Bytes jpeg = test::JpegFile(32, 16, 3, Stripes(32, 16), 95);
  UniqueDib b(ReadJpeg(jpeg));
  ASSERT_TRUE(b);
  EXPECT_EQ(HeaderOf(b.get()).biBitCount, 24);
  const Rgb p = DibGetPixelRgb(b.get(), 2, 2);  // top-left stripe: (230, 200, 30)
  EXPECT_NEAR(p.red, 230, 4);
  EXPECT_NEAR(p.green, 200, 4);
  EXPECT_NEAR(p.blue, 30, 4);
  const Rgb q = DibGetPixelRgb(b.get(), 29, 13);
  EXPECT_NEAR(q.red, 20, 4);
  EXPECT_NEAR(q.blue, 220, 4);

  Bytes grey(24 * 8);
  for (size_t i = 0; i < grey.size(); ++i) grey[i] = static_cast<uint8_t>(i);
  UniqueDib g(ReadJpeg(test::JpegFile(24, 8, 1, grey)));
  ASSERT_TRUE(g);
  EXPECT_EQ(HeaderOf(g.get()).biBitCount, 24);
  for (int x = 0; x < 24; ++x) {
    const Rgb v = DibGetPixelRgb(g.get(), x, 3);
    EXPECT_TRUE(v.red == v.green && v.green == v.blue) << x;
  }
}

TEST_F(JpegTest, PaletteScreensGetTheQuantisersColours) {
  ScopedCoreServices screen8(test::AtDepth(8));
  const Bytes jpeg = test::JpegFile(32, 16, 3, Stripes(32, 16), 95, true);
  UniqueDib b(ReadJpeg(jpeg));
  ASSERT_TRUE(b);
  const DibHeader h = HeaderOf(b.get());
  EXPECT_EQ(h.biBitCount, 8);
  EXPECT_EQ(h.biClrUsed, 256u);
  // Four flat stripes: every pixel is near its stripe's colour, through the table.
  const Rgb p = DibGetPixelRgb(b.get(), 3, 3);
  EXPECT_NEAR(p.red, 230, 12);
  EXPECT_NEAR(p.green, 200, 12);
  EXPECT_NEAR(p.blue, 30, 12);
  // The quantiser chose few colours; the rest of the table keeps the standard colours.
  {
    DibLock lock(b.get());
    const uint8_t* last = lock.data() + 40 + 4 * 255;
    EXPECT_EQ(last[0], 255);
    EXPECT_EQ(last[1], 255);
    EXPECT_EQ(last[2], 255);
  }
  // A grey picture uses the single grey row of the map for all three.
  Bytes grey(16 * 16, 77);
  UniqueDib g(ReadJpeg(test::JpegFile(16, 16, 1, grey)));
  ASSERT_TRUE(g);
  const Rgb v = DibGetPixelRgb(g.get(), 5, 5);
  EXPECT_TRUE(v.red == v.green && v.green == v.blue);
  EXPECT_NEAR(v.red, 77, 3);

  // LoadFile reports 24 bits for a JPEG whatever form it took.
  test::TempFile file("q.jpg", jpeg);
  CDIB d;
  LoadInfo info;
  ASSERT_TRUE(d.LoadFile(file.path(), {}, &info));
  EXPECT_EQ(d.GetBitCount(), 8);
  EXPECT_EQ(info.bitCount, 24);
  EXPECT_EQ(info.width, 32);
  EXPECT_EQ(d.GetPalette().GetEntries().size(), 256u);
}

TEST_F(JpegTest, LibraryErrorsAbandonThePictureAndNeverTheProcess) {
  ScopedCoreServices quiet(test::QuietDecoders());
  const Bytes good = test::JpegFile(32, 16, 3, Stripes(32, 16));
  EXPECT_EQ(ReadJpeg({}), nullptr);
  EXPECT_EQ(ReadJpeg({0xFF, 0xD8, 0xFF}), nullptr);
  EXPECT_EQ(ReadJpeg(Bytes(100, 0x42)), nullptr);
  // A damaged Huffman table (the first DHT's counts) is a fatal library error.
  Bytes bad = good;
  for (size_t i = 0; i + 20 < bad.size(); ++i)
    if (bad[i] == 0xFF && bad[i + 1] == 0xC4) {
      std::memset(&bad[i + 5], 0xFF, 16);
      break;
    }
  EXPECT_EQ(ReadJpeg(bad), nullptr);
  EXPECT_EQ(ReadJpeg(bad, JpegOutput::kPalette8), nullptr);
  // Sizes beyond the limits are refused after the header, before any block.
  ResetLargestDibRequest();
  Bytes huge = good;
  for (size_t i = 0; i + 8 < huge.size(); ++i)
    if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
      huge[i + 5] = 0x40;  // height 16384 + ...
      huge[i + 6] = 0x01;
      huge[i + 7] = 0x40;  // width 16384 + ...
      huge[i + 8] = 0x01;
      break;
    }
  EXPECT_EQ(ReadJpeg(huge), nullptr);
  EXPECT_EQ(LargestDibRequest(), 0u);
  // A file cut in its data keeps what was decoded (the library warns and fills).
  Bytes noise(96 * 96 * 3);
  uint32_t seed = 12345;
  for (uint8_t& v : noise) v = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
  const Bytes noisy = test::JpegFile(96, 96, 3, noise, 90);
  UniqueDib cut(ReadJpeg(Bytes(noisy.begin(), noisy.begin() + static_cast<std::ptrdiff_t>(noisy.size() * 3 / 4))));
  ASSERT_TRUE(cut);
  EXPECT_EQ(HeaderOf(cut.get()).biHeight, 96);
}

TEST_F(JpegTest, ResourcesComeFromThePlatform) {
  const Bytes jpeg = test::JpegFile(8, 8, 1, Bytes(64, 128));
  {
    ScopedCoreServices resources(test::WithResource("JPEG", "PREVIEWPIC", jpeg));
    UniqueDib b(DibLoadJpegResource("PREVIEWPIC"));
    ASSERT_TRUE(b);
    EXPECT_EQ(HeaderOf(b.get()).biWidth, 8);
    EXPECT_EQ(DibLoadJpegResource("BACKGROUND"), nullptr);
    EXPECT_EQ(DibLoadJpegResource(nullptr), nullptr);
  }
  EXPECT_EQ(DibLoadJpegResource("PREVIEWPIC"), nullptr);
}

}  // namespace
}  // namespace qv
