// Resampling, cropping and soft colour keying.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "imaging/resample.h"
#include "imaging_ops_test_util.h"

namespace qv {
namespace {

using test::Bytes;
using test::Info;
using test::Px;
using test::SetPx;

class ResampleTest : public test::PictureOpsTest {};

// A picture with random bytes in every pixel (alpha included for 32 bits).
UniqueDib RandomPicture(int w, int h, int bits, uint32_t seed, int minAlpha = 0) {
  UniqueDib pic(DibCreate(w, h, bits));
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::array<uint8_t, 4> p{};
      for (auto& b : p) b = static_cast<uint8_t>(rng());
      p[3] = static_cast<uint8_t>(minAlpha + p[3] % (256 - minAlpha));
      SetPx(pic.get(), x, y, p);
    }
  return pic;
}

UniqueDib Uniform(int w, int h, int bits, std::array<uint8_t, 4> p) {
  UniqueDib pic(DibCreate(w, h, bits));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SetPx(pic.get(), x, y, p);
  return pic;
}

TEST_F(ResampleTest, RefusesWhatItCannotScale) {
  UniqueDib pic24(DibCreate(4, 4, 24)), pic8(DibCreate(4, 4, 8)), pic16(DibCreate(4, 4, 16));
  UniqueDib empty(DibCreate(0, 4, 24));
  EXPECT_EQ(DibResample(nullptr, 2, 2), nullptr);
  EXPECT_EQ(DibResample(pic8.get(), 2, 2), nullptr);
  EXPECT_EQ(DibResample(pic16.get(), 2, 2), nullptr);
  EXPECT_EQ(DibResample(empty.get(), 2, 2), nullptr);
  EXPECT_EQ(DibResample(pic24.get(), 0, 2), nullptr);
  EXPECT_EQ(DibResample(pic24.get(), 2, -1), nullptr);
  EXPECT_EQ(DibResample(pic24.get(), 16385, 1), nullptr);
  EXPECT_EQ(DibResample(pic24.get(), 10000, 10000), nullptr);  // beyond the pixel cap
}

TEST_F(ResampleTest, SameSizeIsAnIdenticalCopy) {
  for (int bits : {24, 32}) {
    UniqueDib pic = RandomPicture(7, 5, bits, 1);
    UniqueDib copy(DibResample(pic.get(), 7, 5));
    ASSERT_TRUE(copy);
    EXPECT_NE(copy.get(), pic.get());
    EXPECT_EQ(Bytes(copy.get()), Bytes(pic.get()));
  }
}

// Exact factors: every output pixel is the plain average of its block (weights 1000,
// divisor 1000 x factor x factor), alpha included.
TEST_F(ResampleTest, ShrinkingByAnIntegerFactorAveragesBlocks) {
  struct Case {
    int bits, w, h, fx, fy;
  };
  for (const Case& c : {Case{24, 8, 6, 2, 2}, Case{32, 8, 6, 2, 2}, Case{24, 9, 12, 3, 4}, Case{32, 15, 10, 5, 2}}) {
    // Alphas of 8 and more leave the transparent-colour repair out of it.
    UniqueDib pic = RandomPicture(c.w, c.h, c.bits, 7, 8);
    UniqueDib out(DibResample(pic.get(), c.w / c.fx, c.h / c.fy));
    ASSERT_TRUE(out);
    const auto info = Info(out.get());
    EXPECT_EQ(info.width, c.w / c.fx);
    EXPECT_EQ(info.height, c.h / c.fy);
    EXPECT_EQ(info.bits, c.bits);
    const int channels = c.bits / 8;
    for (int oy = 0; oy < info.height; ++oy)
      for (int ox = 0; ox < info.width; ++ox) {
        const auto got = Px(out.get(), ox, oy);
        for (int ch = 0; ch < channels; ++ch) {
          int sum = 0;
          for (int y = 0; y < c.fy; ++y)
            for (int x = 0; x < c.fx; ++x) sum += Px(pic.get(), ox * c.fx + x, oy * c.fy + y)[ch];
          ASSERT_EQ(got[ch], sum / (c.fx * c.fy)) << c.w << "x" << c.h << " at " << ox << "," << oy << " ch " << ch;
        }
      }
  }
}

// 3 x 3 pixels onto 2 x 2: the middle column and row split 500/500 between two outputs,
// the middle pixel four ways (250 each); divisor floor(1000 x 1.5 x 1.5) = 2250.
TEST_F(ResampleTest, ShrinkingSplitsStraddlingPixelsByArea) {
  UniqueDib pic(DibCreate(3, 3, 24));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) SetPx(pic.get(), x, y, {0, 0, 0, 0});
  SetPx(pic.get(), 1, 1, {200, 100, 0, 0});  // the middle
  SetPx(pic.get(), 0, 2, {90, 0, 0, 0});     // bottom-left corner: wholly in one output
  UniqueDib out(DibResample(pic.get(), 2, 2));
  ASSERT_TRUE(out);
  // Bottom-left output: corner 90 x 1000 plus middle 200 x 250, over 2250.
  EXPECT_EQ(Px(out.get(), 0, 1)[0], (90 * 1000 + 200 * 250) / 2250);
  EXPECT_EQ(Px(out.get(), 1, 0)[0], 200 * 250 / 2250);
  EXPECT_EQ(Px(out.get(), 1, 0)[1], 100 * 250 / 2250);
}

TEST_F(ResampleTest, UniformPicturesStayUniformAtIntegerFactorsAndWhenEnlarging) {
  // Shrinking by a fraction divides by the nominal area, which can exceed the weights
  // actually summed by a few thousandths and leave a pixel one step lower; integer
  // factors and every enlargement are exact.
  const std::array<uint8_t, 4> colour{37, 200, 255, 255};
  struct Size {
    int w, h;
  };
  for (int bits : {24, 32}) {
    UniqueDib pic = Uniform(12, 12, bits, colour);
    for (Size s : {Size{6, 6}, Size{4, 3}, Size{1, 1}, Size{12, 4}, Size{30, 30}, Size{17, 23}, Size{100, 5},
                   Size{7, 40}, Size{5, 7}}) {
      UniqueDib out(DibResample(pic.get(), s.w, s.h));
      ASSERT_TRUE(out);
      ASSERT_EQ(Info(out.get()).width, s.w);
      ASSERT_EQ(Info(out.get()).height, s.h);
      const bool exact = (12 % s.w == 0 && 12 % s.h == 0) || s.w >= 12 || s.h >= 12;
      for (int y = 0; y < s.h; ++y)
        for (int x = 0; x < s.w; ++x) {
          const auto p = Px(out.get(), x, y);
          for (int ch = 0; ch < bits / 8; ++ch) {
            if (exact)
              ASSERT_EQ(p[ch], colour[ch]) << bits << " " << s.w << "x" << s.h << " at " << x << "," << y;
            else
              ASSERT_NEAR(p[ch], colour[ch], 1) << bits << " " << s.w << "x" << s.h;
          }
        }
    }
  }
}

// 10 x 10 to 30 x 30 works on a 32 x 32 grid (step 10 / 32) and drops two columns on the
// right and two rows at the top.
TEST_F(ResampleTest, IntegerEnlargementUsesTheWiderGridAndCropsIt) {
  UniqueDib pic(DibCreate(10, 10, 24));
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x) SetPx(pic.get(), x, y, {static_cast<uint8_t>(20 * x), static_cast<uint8_t>(20 * (9 - y)), 0, 0});
  UniqueDib out(DibResample(pic.get(), 30, 30));
  ASSERT_TRUE(out);
  EXPECT_EQ(Info(out.get()).width, 30);
  EXPECT_EQ(Info(out.get()).height, 30);
  // Column 3 samples 0.9375 of the way from 0 to 20 (a 30-wide grid would land on 20).
  EXPECT_EQ(Px(out.get(), 3, 29)[0], 18);
  EXPECT_EQ(Px(out.get(), 1, 29)[0], 6);
  // The last kept column is at 9.0625: the last source column. The same for the top row.
  EXPECT_EQ(Px(out.get(), 29, 0)[0], 180);
  EXPECT_EQ(Px(out.get(), 0, 0)[1], 180);
  EXPECT_EQ(Px(out.get(), 0, 29)[1], 0);
  EXPECT_EQ(Px(out.get(), 0, 26)[1], 18);  // storage row 3
}

// Left part transparent black, the rest opaque red: the averaged border must stay red.
TEST_F(ResampleTest, ShrinkingLeavesNoDarkFringeAtTransparentEdges) {
  UniqueDib pic(DibCreate(16, 8, 32));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) SetPx(pic.get(), x, y, x < 7 ? std::array<uint8_t, 4>{0, 0, 0, 0} : std::array<uint8_t, 4>{0, 0, 255, 255});
  for (int w : {8, 5, 3}) {
    UniqueDib out(DibResample(pic.get(), w, 4));
    ASSERT_TRUE(out);
    bool sawBorder = false;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < w; ++x) {
        const auto p = Px(out.get(), x, y);
        if (p[3] == 0) continue;
        sawBorder |= p[3] < 255;
        // Without the repair the border would be about half as red.
        EXPECT_GE(p[2], w == 8 ? 255 : 254) << "w " << w << " at " << x << "," << y;
        EXPECT_EQ(p[0], 0);
        EXPECT_EQ(p[1], 0);
      }
    EXPECT_TRUE(sawBorder) << w;
  }
}

TEST_F(ResampleTest, EnlargingBlendsOnlyVisibleColoursButAllOpaqueColours) {
  // 32 bits: transparent black beside opaque red keeps red all the way; alpha rises.
  UniqueDib pic32(DibCreate(2, 1, 32));
  SetPx(pic32.get(), 0, 0, {0, 0, 0, 0});
  SetPx(pic32.get(), 1, 0, {0, 0, 255, 255});
  UniqueDib out32(DibResample(pic32.get(), 8, 1));
  ASSERT_TRUE(out32);
  int lastAlpha = -1;
  for (int x = 0; x < 8; ++x) {
    const auto p = Px(out32.get(), x, 0);
    EXPECT_EQ(p[2], 255) << x;
    EXPECT_GE(p[3], lastAlpha);
    lastAlpha = p[3];
  }
  EXPECT_EQ(Px(out32.get(), 0, 0)[3], 0);
  EXPECT_EQ(Px(out32.get(), 7, 0)[3], 255);
  // 24 bits has no alpha to go by: black and red blend.
  UniqueDib pic24(DibCreate(2, 1, 24));
  SetPx(pic24.get(), 1, 0, {0, 0, 255, 0});
  UniqueDib out24(DibResample(pic24.get(), 8, 1));
  ASSERT_TRUE(out24);
  EXPECT_EQ(Px(out24.get(), 0, 0)[2], 0);
  EXPECT_GT(Px(out24.get(), 3, 0)[2], 0);
  EXPECT_LT(Px(out24.get(), 3, 0)[2], 255);
}

TEST_F(ResampleTest, MixedShrinkAndEnlargeGivesTheRequestedSize) {
  UniqueDib pic = RandomPicture(20, 3, 32, 3, 8);
  UniqueDib out(DibResample(pic.get(), 7, 11));
  ASSERT_TRUE(out);
  EXPECT_EQ(Info(out.get()).width, 7);
  EXPECT_EQ(Info(out.get()).height, 11);
  // The bottom-left output pixel samples the bottom-left source pixel exactly.
  EXPECT_EQ(Px(out.get(), 0, 10), Px(pic.get(), 0, 2));
}

TEST_F(ResampleTest, CropClampsAndCopiesRowsTopDown) {
  UniqueDib pic = RandomPicture(6, 5, 24, 9);
  UniqueDib part(DibCrop(pic.get(), 2, 1, 99, 3));  // right beyond the picture
  ASSERT_TRUE(part);
  EXPECT_EQ(Info(part.get()).width, 4);
  EXPECT_EQ(Info(part.get()).height, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Px(part.get(), x, y), Px(pic.get(), x + 2, y + 1));
  UniqueDib all(DibCrop(pic.get(), -5, -5, 5, 4));
  EXPECT_EQ(Bytes(all.get()), Bytes(pic.get()));

  // 8 bits: the colours come along.
  UniqueDib pic8(DibCreate(5, 4, 8));
  test::SetEntry(pic8.get(), 200, 1, 2, 3);
  SetPx(pic8.get(), 4, 3, {200, 0, 0, 0});
  UniqueDib part8(DibCrop(pic8.get(), 3, 2, 4, 3));
  ASSERT_TRUE(part8);
  EXPECT_EQ(Info(part8.get()).colors, 256u);
  EXPECT_EQ(Px(part8.get(), 1, 1)[0], 200);
  EXPECT_EQ(DibGetPixelRgb(part8.get(), 1, 1), (Rgb{3, 2, 1}));

  UniqueDib pic4(DibCreate(4, 4, 4)), pic32(DibCreate(4, 4, 32));
  EXPECT_EQ(DibCrop(pic4.get(), 0, 0, 1, 1), nullptr);
  EXPECT_EQ(DibCrop(pic32.get(), 3, 0, 2, 1), nullptr);   // right before left
  EXPECT_EQ(DibCrop(pic32.get(), 4, 0, 9, 1), nullptr);   // left beyond the picture
  EXPECT_EQ(DibCrop(pic32.get(), 0, 9, 3, 12), nullptr);  // top beyond
  EXPECT_EQ(DibCrop(nullptr, 0, 0, 1, 1), nullptr);
}

TEST_F(ResampleTest, HueLightnessSaturation) {
  auto near = [](const Hls& a, double h, double l, double s) {
    return std::fabs(a.hue - h) < 1e-12 && std::fabs(a.lightness - l) < 1e-12 && std::fabs(a.saturation - s) < 1e-12;
  };
  EXPECT_TRUE(near(RgbToHls(1, 0, 0), 1, 0.5, 1));  // red sits at 1, the same as 0
  EXPECT_TRUE(near(RgbToHls(0, 1, 0), 1.0 / 3, 0.5, 1));
  EXPECT_TRUE(near(RgbToHls(0, 0, 1), 2.0 / 3, 0.5, 1));
  EXPECT_TRUE(near(RgbToHls(1, 1, 0), 1.0 / 6, 0.5, 1));
  EXPECT_TRUE(near(RgbToHls(0.5, 0.5, 0.5), 0, 0.5, 0));
  EXPECT_TRUE(near(RgbToHls(0, 0, 0), 0, 0, 0));
  EXPECT_TRUE(near(RgbToHls(1, 0.5, 0.5), 1, 0.75, 1));
}

TEST_F(ResampleTest, KeyToAlphaWithoutKeyKeepsColoursAndAlpha) {
  UniqueDib pic8(DibCreate(3, 2, 8));
  test::SetEntry(pic8.get(), 7, 10, 20, 30);
  SetPx(pic8.get(), 2, 0, {7, 0, 0, 0});
  UniqueDib out8(DibKeyToAlpha(pic8.get(), false, 0));
  ASSERT_TRUE(out8);
  EXPECT_EQ(Info(out8.get()).bits, 32);
  EXPECT_EQ(Px(out8.get(), 2, 0), (std::array<uint8_t, 4>{10, 20, 30, 255}));
  EXPECT_EQ(Px(out8.get(), 0, 1)[3], 255);

  UniqueDib pic32 = RandomPicture(4, 3, 32, 5);
  UniqueDib out32(DibKeyToAlpha(pic32.get(), false, 0x123456));
  ASSERT_TRUE(out32);
  EXPECT_EQ(Bytes(out32.get()), Bytes(pic32.get()));

  UniqueDib pic16(DibCreate(2, 2, 16));
  EXPECT_EQ(DibKeyToAlpha(pic16.get(), false, 0), nullptr);
  EXPECT_EQ(DibKeyToAlpha(nullptr, true, 0), nullptr);
}

TEST_F(ResampleTest, KeyToAlphaSoftKey) {
  struct Case {
    uint32_t key;
    std::array<uint8_t, 4> pixel;  // blue, green, red, alpha of a 32-bit source
    std::array<uint8_t, 4> want;
  };
  const Case cases[] = {
      // Black key (grey): lightness distance cubed.
      {0x000000, {255, 255, 255, 255}, {255, 255, 255, 255}},
      {0x000000, {0, 0, 0, 255}, {0, 0, 0, 0}},
      {0x000000, {128, 128, 128, 255}, {128, 128, 128, 223}},
      {0x000000, {128, 128, 128, 100}, {128, 128, 128, 87}},  // the picture's own alpha scales
      // Grey key, nearly grey pixel (saturation below 0.2): distance squared.
      {0x000000, {190, 190, 200, 255}, {190, 190, 200, 240}},
      // Grey key, coloured pixel: untouched.
      {0x000000, {100, 100, 200, 255}, {100, 100, 200, 255}},
      // Coloured key, grey pixel: untouched.
      {0x00FF00, {0, 0, 0, 255}, {0, 0, 0, 255}},
      // Same hue: turns a lighter grey; equal lightness makes it transparent.
      {0x00FF00, {0, 255, 0, 255}, {212, 212, 212, 0}},
      {0x00FF00, {0, 128, 0, 255}, {191, 191, 191, 57}},
      // Far hue (red key, blue pixel): only a little alpha goes, the colour stays.
      {0x0000FF, {255, 0, 0, 255}, {255, 0, 0, 243}},
  };
  for (const Case& c : cases) {
    UniqueDib pic(DibCreate(1, 1, 32));
    SetPx(pic.get(), 0, 0, c.pixel);
    UniqueDib out(DibKeyToAlpha(pic.get(), true, c.key));
    ASSERT_TRUE(out);
    EXPECT_EQ(Px(out.get(), 0, 0), c.want) << std::hex << "key " << c.key << " pixel " << int(c.pixel[2]) << ","
                                           << int(c.pixel[1]) << "," << int(c.pixel[0]);
  }
  // A 24-bit source starts opaque: white text on black, keyed on black.
  UniqueDib text(DibCreate(2, 1, 24));
  SetPx(text.get(), 1, 0, {255, 255, 255, 0});
  UniqueDib out(DibKeyToAlpha(text.get(), true, 0));
  ASSERT_TRUE(out);
  EXPECT_EQ(Px(out.get(), 0, 0)[3], 0);
  EXPECT_EQ(Px(out.get(), 1, 0)[3], 255);
}

// Every failed allocation, at whichever step it happens, gives none and frees the rest.
TEST_F(ResampleTest, FailedAllocationsGiveNoneAndLeakNothing) {
  test::RationedScope rationed;
  if (!rationed.On()) GTEST_SKIP() << "blocks alive";
  {
    UniqueDib pic24 = RandomPicture(9, 7, 24, 2);
    UniqueDib pic32 = RandomPicture(9, 7, 32, 2);
    for (int budget = 0; budget < 3; ++budget) {
      test::AllocationBudget() = budget;
      for (DibHandle h : {DibResample(pic24.get(), 4, 3), DibResample(pic32.get(), 30, 20),
                          DibResample(pic24.get(), 9, 7), DibCrop(pic32.get(), 1, 1, 3, 3),
                          DibKeyToAlpha(pic24.get(), true, 0)}) {
        if (budget == 0) {
          EXPECT_EQ(h, nullptr);
        }
        DibFree(h);
      }
    }
    test::AllocationBudget() = -1;
  }
}

}  // namespace
}  // namespace qv
