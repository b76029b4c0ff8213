#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "imaging/dib.h"
#include "scene/sprite_drawing.h"

using namespace qv;

namespace {
// A 24-bit strip of two 4 x 3 phases stacked: phase 0 red, phase 1 green, each with a
// magenta (transparent) left column.
DecodedPicture TwoPhaseStrip() {
  DibHandle block = DibCreate(4, 6, 24);
  {
    DibLock lock(block);
    DibView v;
    ParseDib(lock.data(), lock.size(), &v);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 4; ++x) {
        uint8_t* p = v.Row(5 - y) + 3 * x;
        if (x == 0) p[0] = 255, p[1] = 0, p[2] = 255;
        else if (y < 3) p[0] = 0, p[1] = 0, p[2] = 200;
        else p[0] = 0, p[1] = 200, p[2] = 0;
      }
  }
  DecodedPicture picture;
  picture.Attach(block);
  return picture;
}
}  // namespace

TEST(SpriteDrawing, PreparedPhaseIsDrawnWithItsKeyAndClip) {
  CAnimSprite sprite;
  sprite.m_Dib = TwoPhaseStrip();
  sprite.m_nPhaseCount = 2;
  sprite.m_nKeyRed = 255, sprite.m_nKeyGreen = 0, sprite.m_nKeyBlue = 255;
  sprite.m_nKeyTolerance = 0;
  sprite.m_bTransparent = 1;
  sprite.m_nX = 10, sprite.m_nY = 5;
  ASSERT_TRUE(PrepareForScene(sprite, 1, 1));
  EXPECT_EQ(sprite.GetWidth(), 4);
  EXPECT_EQ(sprite.m_nSurfaceHeight, 6);

  CDibKSV buffer(32);
  ASSERT_TRUE(buffer.Create(20, 12));
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      buffer.Lock();
      std::memset(buffer.PixelAddress(x, y), 0x11, 4);
      buffer.Unlock();
    }
  sprite.SetPhase(1);
  DrawInto(sprite, buffer, Rect32{0, 0, 12, 12});  // clipped: columns 10 and 11 only
  EXPECT_EQ(sprite.m_nPhaseSize, 3);
  EXPECT_EQ(buffer.GetPixelValue(10, 5), 0x11111111u);           // the key column
  EXPECT_EQ(buffer.GetPixelValue(11, 5) & 0xFFFFFF, 0x00C800u);  // phase 1: green
  EXPECT_EQ(buffer.GetPixelValue(12, 5), 0x11111111u);           // outside the clip
  EXPECT_EQ(buffer.GetPixelValue(11, 8), 0x11111111u);           // below the sprite

  // A copy of the sprite starts without a prepared picture and draws nothing.
  CAnimSprite copy;
  copy = sprite;
  EXPECT_EQ(copy.m_Surface.get(), nullptr);
  DrawInto(copy, buffer, Rect32{0, 0, 20, 12});
}

TEST(SpriteDrawing, FitToScreenScalesByTheAverageRatioAndSurvivesHostilePercentages) {
  DibHandle block = DibCreate(100, 100, 24);
  CAnimSprite sprite;
  sprite.m_Dib.Attach(block);
  sprite.m_nScaleX = sprite.m_nScaleY = 60;
  sprite.m_bFitScreen = 1;
  // Design 1440 x 900: on 1920 x 1080 the sprite is drawn at 76 %, on 1366 x 768 at 54 %.
  ASSERT_TRUE(PrepareForScene(sprite, 1920.0 / 1440, 1080.0 / 900));
  EXPECT_EQ(sprite.GetWidth(), 76);
  ASSERT_TRUE(PrepareForScene(sprite, 1366.0 / 1440, 768.0 / 900));
  EXPECT_EQ(sprite.GetWidth(), 54);
  // Ratios 1.5 and 0.5 average to exactly 1: the stored size stays.
  ASSERT_TRUE(PrepareForScene(sprite, 1.5, 0.5));
  EXPECT_EQ(sprite.GetWidth(), 60);
  sprite.m_bFitScreen = 0;
  ASSERT_TRUE(PrepareForScene(sprite, 1920.0 / 1440, 1080.0 / 900));
  EXPECT_EQ(sprite.GetWidth(), 60);
  // Percentages whose product leaves the int range give no picture, and no undefined
  // conversion on the way (the sanitized build checks float-to-int overflow).
  sprite.m_bFitScreen = 1;
  for (int hostile : {INT32_MAX, INT32_MIN, 2000000000}) {
    sprite.m_nScaleX = hostile;
    EXPECT_FALSE(PrepareForScene(sprite, 3.0, 3.0)) << hostile;
    EXPECT_EQ(sprite.GetWidth(), 0);
  }
}
