#include "imaging/surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/dib.h"

using namespace qv;

namespace {
// A 24-bit picture whose pixel (x, y from the top) is red = 10x, green = 10y, blue = 7.
DibHandle Picture24(int width, int height) {
  DibHandle block = DibCreate(width, height, 24);
  DibLock lock(block);
  DibView v;
  EXPECT_TRUE(ParseDib(lock.data(), lock.size(), &v));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = v.Row(height - 1 - y) + 3 * x;
      p[0] = 7;
      p[1] = static_cast<uint8_t>(10 * y);
      p[2] = static_cast<uint8_t>(10 * x);
    }
  return block;
}

void Fill(CDibKSV& s, uint32_t value) {
  for (int y = 0; y < s.GetHeight(); ++y)
    for (int x = 0; x < s.GetWidth(); ++x) {
      s.Lock();
      std::memcpy(s.PixelAddress(x, y), &value, static_cast<size_t>(s.Depth() / 8));
      s.Unlock();
    }
}
}  // namespace

TEST(Surface, DepthFromTheScreen) {
  EXPECT_EQ(SurfaceDepthFor(15), 16);
  EXPECT_EQ(SurfaceDepthFor(16), 16);
  EXPECT_EQ(SurfaceDepthFor(24), 32);
  EXPECT_EQ(SurfaceDepthFor(32), 32);
  EXPECT_EQ(SurfaceDepthFor(8), 8);
  EXPECT_EQ(SurfaceDepthFor(4), 8);
}

TEST(Surface, CreateLaysOutTheBlockForEachDepth) {
  const int64_t before = LiveDibBlocks();
  {
    CDibKSV s16(16), s8(8), s32(32);
    ASSERT_TRUE(s16.Create(5, 2));
    EXPECT_EQ(s16.RowBytes(), 12);
    {
      DibLock lock(s16.Block());
      EXPECT_EQ(ReadDibHeader(lock.data()).biSizeImage, 24u);
      EXPECT_EQ(lock.size(), 40u + 24u);
    }
    ASSERT_TRUE(s8.Create(5, 2));
    EXPECT_EQ(s8.RowBytes(), 8);
    EXPECT_EQ(s8.ColorCount(), 256);
    EXPECT_EQ(DibBlockSize(s8.Block()), 8u * 2u + 1064u);
    ASSERT_TRUE(s32.Create(5, 2));
    EXPECT_EQ(s32.RowBytes(), 20);
    EXPECT_EQ(s32.GetRect(), (Rect32{0, 0, 5, 2}));
    EXPECT_EQ(s32.ColorTable(), nullptr);
    EXPECT_FALSE(s32.Create(0, 5));
    EXPECT_FALSE(s32.Create(20000, 2));
    EXPECT_EQ(s32.GetWidth(), 0);  // a failed Create leaves the surface empty
  }
  EXPECT_EQ(LiveDibBlocks(), before);
}

TEST(Surface, PixelsAreAddressedFromTheTop) {
  CDibKSV s(32);
  ASSERT_TRUE(s.SetFromDib(Picture24(3, 2)));
  EXPECT_EQ(s.GetPixelValue(2, 1), 0xFF140A07u);  // blue 7, green 10, red 20, 255
  EXPECT_EQ(s.GetPixelValue(3, 0), 0u);             // x = width is outside
  EXPECT_EQ(s.GetPixelValue(0, 2), 0u);
  EXPECT_EQ(s.GetPixelValue(-1, 0), 0u);

  CDibKSV s16(16);
  ASSERT_TRUE(s16.SetFromDib(Picture24(3, 2)));
  EXPECT_EQ(s16.GetPixelValue(2, 1), static_cast<uint32_t>((20 / 8) << 10 | (10 / 8) << 5 | 0));

  CDibKSV s8(8);  // an 8-bit surface only takes 8-bit pictures with a full table
  EXPECT_FALSE(s8.SetFromDib(Picture24(3, 2)));
  EXPECT_TRUE(s8.SetFromDib(DibCreate(4, 4, 8)));
}

TEST(Surface, BlitClipsToBothSurfaces) {
  CDibKSV src(32), dst(32);
  ASSERT_TRUE(src.Create(4, 4));
  ASSERT_TRUE(dst.Create(6, 6));
  Fill(src, 0x11111111);
  Fill(dst, 0);
  // Hangs off the destination's left and bottom and the source's top.
  src.Blit({.dest = &dst, .destX = -2, .destY = 4, .width = 4, .height = 4, .srcY = -1});
  int copied = 0;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) copied += dst.GetPixelValue(x, y) == 0x11111111u;
  // Rectangle row 0 lies above the source and rows 2-3 below the destination: only
  // row 1 (destination y 5) of columns 2-3 (destination x 0-1) is inside both.
  EXPECT_EQ(copied, 2);
  EXPECT_EQ(dst.GetPixelValue(0, 5), 0x11111111u);
  EXPECT_EQ(dst.GetPixelValue(1, 5), 0x11111111u);
  EXPECT_EQ(dst.GetPixelValue(0, 4), 0u);
  // Entirely outside, or mismatched depths: nothing happens.
  src.Blit({.dest = &dst, .destX = 100, .destY = 100, .width = 4, .height = 4});
  int after = 0;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) after += dst.GetPixelValue(x, y) == 0x11111111u;
  EXPECT_EQ(after, 2);
  CDibKSV other(16);
  ASSERT_TRUE(other.Create(6, 6));
  Fill(other, 0);
  src.Blit({.dest = &other, .width = 4, .height = 4});
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(other.GetPixelValue(x, y), 0u) << x << "," << y;
}

TEST(Surface, BlitMaskRowsFollowTheSourceRectangle) {
  CDibKSV src(8), dst(8);
  ASSERT_TRUE(src.Create(3, 3));
  ASSERT_TRUE(dst.Create(3, 3));
  Fill(src, 9);
  Fill(dst, 1);
  // Mask rows are bottom-up: row 0 is y = 2. Only (1, 0) and (2, 2) are opaque.
  std::vector<uint8_t> mask(9, 0);
  mask[2 * 3 + 1] = 255;
  mask[0 * 3 + 2] = 255;
  src.Blit({.dest = &dst, .width = 3, .height = 3, .mask = mask.data()});
  EXPECT_EQ(dst.GetPixelValue(1, 0), 9u);
  EXPECT_EQ(dst.GetPixelValue(2, 2), 9u);
  EXPECT_EQ(dst.GetPixelValue(0, 0), 1u);
  EXPECT_EQ(dst.GetPixelValue(1, 2), 1u);
  // A sub-rectangle picks the matching mask bytes.
  Fill(dst, 1);
  src.Blit({.dest = &dst, .width = 1, .height = 1, .srcX = 2, .srcY = 2, .mask = mask.data()});
  EXPECT_EQ(dst.GetPixelValue(0, 0), 9u);
}

TEST(Surface, ConversionsRefuseOtherDepths) {
  const int64_t before = LiveDibBlocks();
  DibHandle pic16 = DibCreate(2, 2, 16);
  EXPECT_EQ(DibToRgb555(pic16), nullptr);
  EXPECT_EQ(DibToBgra32(pic16), nullptr);
  EXPECT_EQ(DibToRgb555(nullptr), nullptr);
  DibFree(pic16);
  DibHandle pic = DibCreate(3, 1, 1);  // the standard colours: entry 1 is dark red
  DibHandle out = DibToBgra32(pic);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(DibGetPixelRgb(out, 0, 0), DibGetPixelRgb(pic, 0, 0));
  DibFree(out);
  DibFree(pic);
  EXPECT_EQ(LiveDibBlocks(), before);
}
