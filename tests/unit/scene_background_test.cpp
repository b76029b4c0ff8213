#include "scene/background.h"

#include <gtest/gtest.h>

#include <set>

#include "imaging/dib.h"
#include "imaging/picture_ops.h"

using namespace qv;

namespace {
std::set<uint32_t> Colours(DibHandle block) {
  std::set<uint32_t> colours;
  DibLock lock(block);
  const int w = DibWidth(lock.data()), h = DibHeight(lock.data());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgb c = DibGetPixelRgb(block, x, y);
      colours.insert(c.red | c.green << 8 | c.blue << 16);
    }
  return colours;
}

int BitCount(DibHandle block) {
  DibLock lock(block);
  return ReadDibHeader(lock.data()).biBitCount;
}
}  // namespace

TEST(Background, ColoursAndGradients) {
  BackgroundSpec solid;
  solid.kind = kBackgroundSolid;
  solid.backColor = 0x00336699;
  UniqueDib s(BuildBackground(solid, 40, 30, 32));
  ASSERT_TRUE(s);
  EXPECT_EQ(Colours(s.get()), (std::set<uint32_t>{0x00336699}));

  BackgroundSpec flat;  // a gradient between equal colours is uniform
  flat.kind = kBackgroundGradient;
  flat.gradientFrom = flat.gradientTo = 0x00204080;
  UniqueDib g(BuildBackground(flat, 40, 30, 16));
  ASSERT_TRUE(g);
  EXPECT_EQ(Colours(g.get()).size(), 1u);

  UniqueDib eight(BuildBackground(solid, 40, 30, 8));
  ASSERT_TRUE(eight);
  EXPECT_EQ(BitCount(eight.get()), 8);
}

TEST(Background, NothingToShowGivesNoPicture) {
  BackgroundSpec picture;
  picture.kind = kBackgroundPicture;  // no decoded picture (say, an external file)
  EXPECT_EQ(BuildBackground(picture, 40, 30, 32), nullptr);
  UniqueDib pic(DibSolid(0x00FF0000, 8, 8));
  picture.picture = pic.get();
  picture.pictureFit = 3;
  EXPECT_EQ(BuildBackground(picture, 40, 30, 32), nullptr);
  BackgroundSpec unknown;
  unknown.kind = 4;
  EXPECT_EQ(BuildBackground(unknown, 40, 30, 32), nullptr);
  BackgroundSpec desktop;  // the built-in fallback picture does not exist
  desktop.kind = kBackgroundDesktop;
  EXPECT_EQ(BuildDesktopBackground(desktop, nullptr, 40, 30, 32), nullptr);
}

TEST(Background, PictureFitsAndTheDesktopBrightness) {
  UniqueDib pic(DibSolid(0x00C8C8C8, 10, 10));
  BackgroundSpec bg;
  bg.kind = kBackgroundPicture;
  bg.picture = pic.get();
  for (int fit : {0, 1, 2}) {
    bg.pictureFit = fit;
    UniqueDib out(BuildBackground(bg, 25, 15, 32));
    ASSERT_TRUE(out) << fit;
    DibLock lock(out.get());
    EXPECT_EQ(DibWidth(lock.data()), 25);
    EXPECT_EQ(DibHeight(lock.data()), 15);
  }
  // At 8 bits a picture that already has the scene's size is only converted.
  bg.pictureFit = 0;
  UniqueDib same(BuildBackground(bg, 10, 10, 8));
  UniqueDib converted(DibTo8(pic.get()));
  ASSERT_TRUE(same && converted);
  EXPECT_EQ(Colours(same.get()), Colours(converted.get()));

  EXPECT_EQ(DesktopBrightness(2), 50);
  EXPECT_EQ(DesktopBrightness(7), 100);
  BackgroundSpec desktop;
  desktop.kind = kBackgroundDesktop;
  desktop.desktopDimming = 2;
  UniqueDib half(BuildDesktopBackground(desktop, pic.get(), 10, 10, 32));
  UniqueDib expected(DibCentre(pic.get(), 10, 10, 50));
  ASSERT_TRUE(half && expected);
  EXPECT_EQ(Colours(half.get()), Colours(expected.get()));
}
