// Background rendering: solid colours, gradients, stretched, centred and tiled pictures,
// pasting, the preview's scaling of a surface, and the 8-bit variants.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>

#include "imaging/palette.h"
#include "imaging/picture_ops.h"
#include "imaging/surface.h"
#include "imaging_ops_test_util.h"

namespace qv {
namespace {

using test::Bytes;
using test::Info;
using test::Locked;
using test::Px;
using test::SetPx;
using Bgr = std::array<uint8_t, 4>;

class PictureOpsTest : public test::PictureOpsTest {};

Bgr BgrOf(uint32_t colour) {
  return {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8), static_cast<uint8_t>(colour), 0};
}

UniqueDib RandomPicture(int w, int h, int bits, uint32_t seed) {
  UniqueDib pic(DibCreate(w, h, bits));
  Locked l(pic.get());
  std::mt19937 rng(seed);
  const DibView& v = l.View();
  for (int r = 0; r < h; ++r)
    for (int64_t i = 0; i < v.stride; ++i) v.Row(r)[i] = static_cast<uint8_t>(rng());
  return pic;
}

// Pixel (x, y) top-down encodes its coordinates: blue x, green y, red the high bits.
UniqueDib CoordinatePicture(int w, int h) {
  UniqueDib pic(DibCreate(w, h, 24));
  Locked l(pic.get());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = const_cast<uint8_t*>(l.At(x, y));
      p[0] = static_cast<uint8_t>(x), p[1] = static_cast<uint8_t>(y), p[2] = static_cast<uint8_t>(x >> 8 | (y >> 8) << 4);
    }
  return pic;
}

Bgr Coordinate(int x, int y) {
  return {static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>(x >> 8 | (y >> 8) << 4), 0};
}

// An 8-bit result: the application palette as its table and only indices of its layout
// (bit 0 is never set by the quantiser).
void ExpectAppPaletteLayout(DibHandle h, int w, int height) {
  Locked l(h);
  ASSERT_TRUE(l);
  const DibView& v = l.View();
  EXPECT_EQ(v.width, w);
  EXPECT_EQ(v.height, height);
  ASSERT_EQ(v.bitCount, 8);
  ASSERT_EQ(v.colorCount, 256u);
  EXPECT_EQ(std::memcmp(v.colorTable, AppPaletteColorTable(), 1024), 0);
  for (int r = 0; r < v.height; ++r)
    for (int x = 0; x < v.width; ++x) ASSERT_EQ(v.Row(r)[x] & 1, 0) << x << "," << r;
}

// Average colour (red, green, blue) that an 8-bit result shows over a rectangle.
std::array<double, 3> MeanColour(DibHandle h, int x0, int y0, int w, int height) {
  Locked l(h);
  double sum[3] = {0, 0, 0};
  for (int y = y0; y < y0 + height; ++y)
    for (int x = x0; x < x0 + w; ++x) {
      const int i = *l.At(x, y);
      sum[0] += AppPaletteRed(i), sum[1] += AppPaletteGreen(i), sum[2] += AppPaletteBlue(i);
    }
  const double n = static_cast<double>(w) * height;
  return {sum[0] / n, sum[1] / n, sum[2] / n};
}

TEST_F(PictureOpsTest, ColorLerp) {
  EXPECT_EQ(ColorLerp(5, 0x102030, 0x405060, 1), 0x102030u);
  EXPECT_EQ(ColorLerp(5, 0x102030, 0x405060, 0), 0x102030u);
  EXPECT_EQ(ColorLerp(0, 0x102030, 0x405060, 3), 0x102030u);
  EXPECT_EQ(ColorLerp(2, 0x102030, 0x405060, 3), 0x405060u);
  EXPECT_EQ(ColorLerp(1, 0x102030, 0x405060, 3), 0x283848u);
  EXPECT_EQ(ColorLerp(1, 0x0000FF, 0x000000, 4), 0x0000AAu);  // 2 x 255 / 3, truncated
  EXPECT_EQ(ColorLerp(1, 0x01000000, 0x02000000, 2), 0u);   // the fourth byte is ignored
  EXPECT_EQ(ColorLerp(9, 0x000000, 0xFFFFFF, 3), 0xFFFFFFu);  // beyond the end: held to the byte
}

TEST_F(PictureOpsTest, SolidFillsEveryPixelOfPaddedRows) {
  UniqueDib pic(DibSolid(0x00336699, 5, 3));  // 15 bytes of pixels in 16-byte rows
  ASSERT_TRUE(pic);
  EXPECT_EQ(Info(pic.get()).bits, 24);
  Locked l(pic.get());
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      const uint8_t* p = l.At(x, y);
      ASSERT_EQ(Bgr({p[0], p[1], p[2], 0}), BgrOf(0x336699));
    }
}

TEST_F(PictureOpsTest, GradientsReachTheirEndColours) {
  // Vertical, white to black, 112 rows: the top row is exactly white, the bottom black.
  UniqueDib v(DibGradient(0xFFFFFF, 0x000000, 7, 112, false, false));
  ASSERT_TRUE(v);
  for (int x = 0; x < 7; ++x) {
    EXPECT_EQ(Px(v.get(), x, 0), BgrOf(0xFFFFFF));
    EXPECT_EQ(Px(v.get(), x, 111), BgrOf(0));
  }
  for (int y = 1; y < 112; ++y) EXPECT_LE(Px(v.get(), 0, y)[0], Px(v.get(), 0, y - 1)[0]);
  // Horizontal: colour1 left, colour2 right, every row alike.
  UniqueDib h(DibGradient(0x0000FF, 0xFF8000, 9, 4, true, false));
  ASSERT_TRUE(h);
  EXPECT_EQ(Px(h.get(), 0, 2), BgrOf(0x0000FF));
  EXPECT_EQ(Px(h.get(), 8, 2), BgrOf(0xFF8000));
  EXPECT_EQ(Px(h.get(), 4, 2), BgrOf(ColorLerp(4, 0x0000FF, 0xFF8000, 9)));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(Px(h.get(), x, y), Px(h.get(), x, 0));
  // Equal colours give a uniform picture.
  UniqueDib same(DibGradient(0x123456, 0x123456, 6, 6, false, true));
  for (int y = 0; y < 6; ++y) EXPECT_EQ(Px(same.get(), 3, y), BgrOf(0x123456));
}

TEST_F(PictureOpsTest, MirroredGradientsAreSymmetric) {
  const uint32_t c1 = 0x20E0FF, c2 = 0x804000;
  // Width 10: half = 7, column 5 is step 5 of the first half, column 6 step 1 back.
  UniqueDib ten(DibGradient(c1, c2, 10, 1, true, true));
  ASSERT_TRUE(ten);
  EXPECT_EQ(Px(ten.get(), 0, 0), BgrOf(c1));
  EXPECT_EQ(Px(ten.get(), 5, 0), BgrOf(ColorLerp(5, c1, c2, 7)));
  EXPECT_EQ(Px(ten.get(), 6, 0), BgrOf(ColorLerp(1, c2, c1, 7)));
  // Columns w/2 + k and w/2 + 1 - k mirror each other; the vertical one does the same in
  // storage rows.
  for (int n : {10, 11, 2, 3, 1920, 1081}) {
    UniqueDib h(DibGradient(c1, c2, n, 2, true, true));
    UniqueDib v(DibGradient(c1, c2, 2, n, false, true));
    ASSERT_TRUE(h && v);
    EXPECT_EQ(Px(v.get(), 1, n - 1), BgrOf(c1)) << n;  // storage row 0
    for (int k = 1; k <= n / 2 && n / 2 + k < n; ++k) {
      ASSERT_EQ(Px(h.get(), n / 2 + k, 1), Px(h.get(), n / 2 + 1 - k, 1)) << n << " " << k;
      ASSERT_EQ(Px(v.get(), 0, n - 1 - (n / 2 + k)), Px(v.get(), 0, n - 1 - (n / 2 + 1 - k))) << n << " " << k;
    }
  }
}

TEST_F(PictureOpsTest, StretchSamplesRowsAndAveragesSpans) {
  // 4 x 2 onto 2 x 4: rows floor(2 i / 4), spans [0, 2) and [2, 3) (ends held to W - 1).
  UniqueDib pic(DibCreate(4, 2, 24));
  const uint8_t bottom[4] = {10, 30, 100, 200}, top[4] = {1, 2, 3, 4};
  for (int x = 0; x < 4; ++x) {
    SetPx(pic.get(), x, 1, {bottom[x], 0, 0, 0});
    SetPx(pic.get(), x, 0, {top[x], 0, 0, 0});
  }
  UniqueDib out(DibStretch(pic.get(), 2, 4, 0));
  ASSERT_TRUE(out);
  EXPECT_EQ(Info(out.get()).bits, 24);
  for (int y : {2, 3}) {  // storage rows 1 and 0: the source's bottom row
    EXPECT_EQ(Px(out.get(), 0, y)[0], 20);
    EXPECT_EQ(Px(out.get(), 1, y)[0], 100);
  }
  EXPECT_EQ(Px(out.get(), 0, 0)[0], 1);
  // The same size is a plain copy, for every readable depth.
  for (int bits : {1, 4, 8, 24}) {
    UniqueDib src = RandomPicture(13, 5, bits, bits);
    UniqueDib same(DibStretch(src.get(), 13, 5, 0));
    UniqueDib flat(DibToRgb24(src.get()));
    ASSERT_TRUE(same && flat);
    EXPECT_EQ(Bytes(same.get()), Bytes(flat.get())) << bits;
  }
}

TEST_F(PictureOpsTest, StretchReadsSixteenBitsAsFiveSixFiveAndShowsAlphaOverACheckerboard) {
  UniqueDib p16(DibCreate(1, 1, 16));
  SetPx(p16.get(), 0, 0, {0x00, 0xF8, 0, 0});  // 0xF800
  UniqueDib o16(DibStretch(p16.get(), 1, 1, 0));
  EXPECT_EQ(Px(o16.get(), 0, 0), BgrOf(0x0000F8));

  // Fully transparent: 4 x 4 cells of 255 and 200, starting with 255 at storage (0, 0).
  UniqueDib clear(DibCreate(10, 9, 32));
  UniqueDib grid(DibStretch(clear.get(), 10, 9, 0));
  ASSERT_TRUE(grid);
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 10; ++j) {
      const uint8_t u = ((i / 4 + j / 4) & 1) ? 200 : 255;
      ASSERT_EQ(Px(grid.get(), j, 8 - i), (Bgr{u, u, u, 0})) << i << "," << j;
    }
  // Half transparent red over a 255 cell: ((255 - 128) x 255 + 128 x 255) / 255.
  UniqueDib half(DibCreate(1, 1, 32));
  SetPx(half.get(), 0, 0, {0, 0, 255, 128});
  UniqueDib o(DibStretch(half.get(), 1, 1, 0));
  EXPECT_EQ(Px(o.get(), 0, 0), (Bgr{127, 127, 255, 0}));
}

TEST_F(PictureOpsTest, CentrePlacesOrCutsAroundTheMiddle) {
  UniqueDib small = CoordinatePicture(100, 100);
  UniqueDib out(DibCentre(small.get(), 300, 200, 100));
  ASSERT_TRUE(out);
  EXPECT_EQ(Px(out.get(), 100, 50), Coordinate(0, 0));
  EXPECT_EQ(Px(out.get(), 199, 149), Coordinate(99, 99));
  for (auto [x, y] : {std::pair{99, 50}, {200, 149}, {100, 49}, {199, 150}, {0, 0}, {299, 199}})
    EXPECT_EQ(Px(out.get(), x, y), BgrOf(0)) << x << "," << y;

  UniqueDib large = CoordinatePicture(400, 300);
  UniqueDib cut(DibCentre(large.get(), 300, 200, 100));
  ASSERT_TRUE(cut);
  EXPECT_EQ(Px(cut.get(), 0, 0), Coordinate(50, 50));
  EXPECT_EQ(Px(cut.get(), 299, 199), Coordinate(349, 249));
  EXPECT_EQ(Px(cut.get(), 123, 45), Coordinate(173, 95));

  // Brightness scales each channel: 75 % of (200, 101, 3).
  UniqueDib one(DibSolid(0x0365C8, 1, 1));
  UniqueDib dim(DibCentre(one.get(), 3, 3, 75));
  EXPECT_EQ(Px(dim.get(), 1, 1), (Bgr{2, 75, 150, 0}));
}

TEST_F(PictureOpsTest, TilesRepeatFromTheBottomLeftWithoutSkew) {
  // 1366 x 3 bytes is not a multiple of 4: rows are padded.
  UniqueDib tile = RandomPicture(100, 70, 24, 4);
  UniqueDib out(DibTile(tile.get(), 1366, 150));
  ASSERT_TRUE(out);
  Locked o(out.get()), t(tile.get());
  for (int r = 0; r < 150; ++r)
    for (int x = 0; x < 1366; ++x)
      ASSERT_EQ(std::memcmp(o.View().Row(r) + 3 * x, t.View().Row(r % 70) + 3 * (x % 100), 3), 0) << x << "," << r;
  // A picture larger than the output shows its bottom-left corner.
  UniqueDib big = CoordinatePicture(50, 40);
  UniqueDib corner(DibTile(big.get(), 20, 10));
  EXPECT_EQ(Px(corner.get(), 0, 9), Coordinate(0, 39));
  EXPECT_EQ(Px(corner.get(), 19, 0), Coordinate(19, 30));
  // 8-bit pictures go through their colour table.
  UniqueDib p8(DibCreate(2, 1, 8));
  test::SetEntry(p8.get(), 9, 1, 2, 3);
  SetPx(p8.get(), 1, 0, {9, 0, 0, 0});
  UniqueDib t8(DibTile(p8.get(), 5, 2));
  EXPECT_EQ(Px(t8.get(), 3, 1), (Bgr{1, 2, 3, 0}));
}

TEST_F(PictureOpsTest, PasteCopiesTopDownAndClips) {
  UniqueDib dst(DibSolid(0x111111, 5, 4));
  UniqueDib src = CoordinatePicture(3, 2);
  EXPECT_TRUE(DibPaste(dst.get(), src.get(), 3, 3));  // only 2 x 1 fits
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) {
      const Bgr want = (y == 3 && x >= 3) ? Coordinate(x - 3, 0) : BgrOf(0x111111);
      ASSERT_EQ(Px(dst.get(), x, y), want) << x << "," << y;
    }
  const auto before = Bytes(dst.get());
  EXPECT_TRUE(DibPaste(dst.get(), src.get(), -1, 0));
  EXPECT_TRUE(DibPaste(dst.get(), src.get(), 5, 0));
  EXPECT_EQ(Bytes(dst.get()), before);

  UniqueDib d8(DibCreate(5, 4, 8)), s16(DibCreate(2, 2, 16)), d16(DibCreate(4, 4, 16));
  const auto before8 = Bytes(d8.get());
  EXPECT_FALSE(DibPaste(d8.get(), src.get(), 0, 0));
  EXPECT_EQ(Bytes(d8.get()), before8);
  SetPx(s16.get(), 1, 0, {0x34, 0x12, 0, 0});
  EXPECT_TRUE(DibPaste(d16.get(), s16.get(), 2, 1));
  EXPECT_EQ(Px(d16.get(), 3, 1)[0], 0x34);
  EXPECT_EQ(Px(d16.get(), 3, 1)[1], 0x12);
  UniqueDib s4(DibCreate(2, 2, 4)), d4(DibCreate(2, 2, 4));
  EXPECT_FALSE(DibPaste(d4.get(), s4.get(), 0, 0));
  EXPECT_FALSE(DibPaste(nullptr, src.get(), 0, 0));
}

TEST_F(PictureOpsTest, ScaleSurfaceReadsSurfacePixels) {
  // 16 bits are the surfaces' 5-5-5: 0x7C00 is red 248 (5-6-5 would make it 120, 128, 0).
  UniqueDib p16(DibCreate(1, 1, 16));
  SetPx(p16.get(), 0, 0, {0x00, 0x7C, 0, 0});
  UniqueDib o16(DibScaleSurface(p16.get(), 2, 2, 0));
  ASSERT_TRUE(o16);
  EXPECT_EQ(Px(o16.get(), 1, 1), BgrOf(0x0000F8));
  // 32 bits: the fourth byte is ignored, no checkerboard.
  UniqueDib p32(DibCreate(2, 2, 32));
  SetPx(p32.get(), 0, 0, {10, 20, 30, 0});
  UniqueDib o32(DibScaleSurface(p32.get(), 2, 2, 0));
  EXPECT_EQ(Px(o32.get(), 0, 0), (Bgr{10, 20, 30, 0}));
  // Rows by MulDiv(i, H, h): 2 rows onto 4 take source rows 0, 1, 1, 1 (DibStretch: 0, 0, 1, 1).
  UniqueDib two(DibCreate(1, 2, 24));
  SetPx(two.get(), 0, 0, {99, 0, 0, 0});  // top = storage row 1
  UniqueDib scaled(DibScaleSurface(two.get(), 1, 4, 0));
  UniqueDib stretched(DibStretch(two.get(), 1, 4, 0));
  EXPECT_EQ(Px(scaled.get(), 0, 2)[0], 99);  // storage row 1
  EXPECT_EQ(Px(stretched.get(), 0, 2)[0], 0);
  // A surface directly, scaled while it is held locked (as the back buffer may be).
  CDibKSV surface(16);
  ASSERT_TRUE(surface.Create(4, 2));
  ASSERT_TRUE(surface.Lock());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) std::memcpy(surface.PixelAddress(x, y), "\xFF\x03", 2);  // 0x03FF
  UniqueDib fromSurface(DibScaleSurface(surface, 2, 1, 0));
  surface.Unlock();
  ASSERT_TRUE(fromSurface);
  EXPECT_EQ(Px(fromSurface.get(), 0, 0), BgrOf(0xF8F800));
}

TEST_F(PictureOpsTest, EightBitVariantsUseTheApplicationPaletteLayout) {
  UniqueDib pic24 = RandomPicture(37, 23, 24, 11);
  UniqueDib pic8 = RandomPicture(37, 23, 8, 12);
  struct Case {
    const char* name;
    DibHandle block;
    int w, h;
  };
  const Case cases[] = {
      {"solid", DibSolid8(0xC86496, 33, 17), 33, 17},
      {"gradient h", DibGradient8(0xFF0000, 0x00FF80, 40, 9, true, false), 40, 9},
      {"gradient v m", DibGradient8(0xFFFFFF, 0x000000, 9, 41, false, true), 9, 41},
      {"stretch", DibStretch8(pic24.get(), 61, 11), 61, 11},
      {"stretch 8", DibStretch8(pic8.get(), 20, 50), 20, 50},
      {"centre", DibCentre8(pic24.get(), 50, 20, 60), 50, 20},
      {"tile", DibTile8(pic8.get(), 1366, 30), 1366, 30},
      {"to8", DibTo8(pic24.get()), 37, 23},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.block);
    ExpectAppPaletteLayout(c.block, c.w, c.h);
    DibFree(c.block);
  }
}

TEST_F(PictureOpsTest, EightBitVariantsDiffuseTheErrorAndKeepExactColours) {
  // A solid colour between palette steps averages out to that colour.
  UniqueDib solid(DibSolid8(0x0AC864, 64, 64));  // red 100, green 200, blue 10
  const auto mean = MeanColour(solid.get(), 0, 0, 64, 64);
  EXPECT_NEAR(mean[0], 100, 2);
  EXPECT_NEAR(mean[1], 200, 2);
  EXPECT_NEAR(mean[2], 10, 2);
  // Colours of the palette itself quantise with no error: white is 0xFE everywhere.
  UniqueDib white(DibSolid(0xFFFFFF, 7, 5));
  UniqueDib w8(DibTo8(white.get()));
  Locked l(w8.get());
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(*l.At(x, y), 0xFE);
  // At the picture's own size the stretch is the plain conversion.
  UniqueDib pic = RandomPicture(29, 13, 24, 5);
  UniqueDib a(DibTo8(pic.get())), b(DibStretch8(pic.get(), 29, 13));
  EXPECT_EQ(Bytes(a.get()), Bytes(b.get()));
}

TEST_F(PictureOpsTest, CentreEightLeavesTheSurroundBlack) {
  UniqueDib pic = RandomPicture(10, 6, 24, 3);
  UniqueDib out(DibCentre8(pic.get(), 30, 20, 100));
  ASSERT_TRUE(out);
  Locked l(out.get());
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) {
      const bool inside = x >= 10 && x < 20 && y >= 7 && y < 13;
      if (inside) continue;
      ASSERT_EQ(*l.At(x, y), 0) << x << "," << y;
    }
  // Inside, the picture quantised on its own: the same as converting it alone.
  UniqueDib alone(DibTo8(pic.get()));
  Locked a(alone.get());
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 10; ++x) ASSERT_EQ(*l.At(10 + x, 7 + y), *a.At(x, y));
}

TEST_F(PictureOpsTest, RefusesUnsupportedDepthsAndAbsurdSizes) {
  UniqueDib p32(DibCreate(4, 4, 32)), p16(DibCreate(4, 4, 16)), p24(DibCreate(4, 4, 24));
  EXPECT_EQ(DibCentre(p32.get(), 8, 8, 100), nullptr);
  EXPECT_EQ(DibCentre8(p16.get(), 8, 8, 100), nullptr);
  EXPECT_EQ(DibTile(p16.get(), 8, 8), nullptr);
  EXPECT_EQ(DibTile8(p32.get(), 8, 8), nullptr);
  EXPECT_EQ(DibStretch8(p32.get(), 8, 8), nullptr);
  EXPECT_EQ(DibStretch8(p16.get(), 8, 8), nullptr);
  EXPECT_EQ(DibTo8(p32.get()), nullptr);
  EXPECT_EQ(DibStretch(nullptr, 8, 8, 0), nullptr);
  for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-1, 5}, {16385, 1}, {16384, 16384}}) {
    EXPECT_EQ(DibSolid(0, w, h), nullptr);
    EXPECT_EQ(DibSolid8(0, w, h), nullptr);
    EXPECT_EQ(DibGradient(0, 1, w, h, true, true), nullptr);
    EXPECT_EQ(DibGradient8(0, 1, w, h, false, false), nullptr);
    EXPECT_EQ(DibStretch(p24.get(), w, h, 0), nullptr);
    EXPECT_EQ(DibStretch8(p24.get(), w, h), nullptr);
    EXPECT_EQ(DibCentre(p24.get(), w, h, 100), nullptr);
    EXPECT_EQ(DibCentre8(p24.get(), w, h, 100), nullptr);
    EXPECT_EQ(DibTile(p24.get(), w, h), nullptr);
    EXPECT_EQ(DibTile8(p24.get(), w, h), nullptr);
    EXPECT_EQ(DibScaleSurface(p24.get(), w, h, 0), nullptr);
  }
}

TEST_F(PictureOpsTest, FailedAllocationsGiveNoneAndLeakNothing) {
  test::RationedScope rationed;
  if (!rationed.On()) GTEST_SKIP() << "blocks alive";
  {
    UniqueDib pic = RandomPicture(9, 7, 24, 2);
    const std::function<DibHandle()> ops[] = {
        [&] { return DibSolid(1, 8, 8); },           [&] { return DibSolid8(1, 8, 8); },
        [&] { return DibGradient(1, 2, 8, 8, true, true); }, [&] { return DibGradient8(1, 2, 8, 8, false, true); },
        [&] { return DibStretch(pic.get(), 4, 4, 0); }, [&] { return DibStretch8(pic.get(), 4, 4); },
        [&] { return DibCentre(pic.get(), 4, 4, 50); }, [&] { return DibCentre8(pic.get(), 4, 4, 50); },
        [&] { return DibTile(pic.get(), 20, 20); },     [&] { return DibTile8(pic.get(), 20, 20); },
        [&] { return DibScaleSurface(pic.get(), 4, 4, 0); }, [&] { return DibTo8(pic.get()); },
    };
    test::AllocationBudget() = 0;
    for (const auto& op : ops) EXPECT_EQ(op(), nullptr);
    test::AllocationBudget() = -1;
  }
}

}  // namespace
}  // namespace qv
