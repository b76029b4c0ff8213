#include "feed/feed_card.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "imaging/dib.h"

using namespace qv;

namespace {
std::vector<uint8_t> ReadFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  uint8_t buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
  std::fclose(f);
  return bytes;
}
// The 32-bit value at (x, y), y from the top.
uint32_t Pixel32(DibHandle dib, int x, int y) {
  DibLock lock(dib);
  DibView v;
  if (!lock || !ParseDib(lock.data(), lock.size(), &v) || v.bitCount != 32) return 0xDEADBEEF;
  const uint8_t* p = v.Row(v.height - 1 - y) + 4 * x;
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void SetPixel32(DibHandle dib, int x, int y, uint32_t value) {
  DibLock lock(dib);
  DibView v;
  ASSERT_TRUE(lock && ParseDib(lock.data(), lock.size(), &v));
  uint8_t* p = v.Row(v.height - 1 - y) + 4 * x;
  for (int k = 0; k < 4; ++k) p[k] = static_cast<uint8_t>(value >> (8 * k));
}
}  // namespace

TEST(FeedCard, SizeRules) {
  std::vector<int> asked;
  auto oneLine = [&](int w) {
    asked.push_back(w);
    return 16;
  };
  FeedCardSize s = LayoutFeedCard(100, 120, 60, oneLine);
  EXPECT_EQ(s.cardWidth, 390);  // a short item: the minimum width plus the margin
  EXPECT_EQ(s.cardHeight, 200);
  EXPECT_EQ(asked, std::vector<int>{335});
  s = LayoutFeedCard(700, 0, 0, oneLine);
  EXPECT_EQ(s.cardWidth, 640);
  s = LayoutFeedCard(100, 400, 100, oneLine);  // title and date side by side: 564
  EXPECT_EQ(s.width, 564);
  // Too tall for the natural width: widened to the maximum and measured again, once.
  asked.clear();
  auto tall = [&](int w) {
    asked.push_back(w);
    return w < 585 ? 400 : 330;
  };
  s = LayoutFeedCard(100, 100, 0, tall);
  EXPECT_EQ(asked, (std::vector<int>{335, 585}));
  EXPECT_EQ(s.cardWidth, 640);
  EXPECT_EQ(s.cardHeight, 466);
  s = LayoutFeedCard(100, 100, 0, [](int) { return 5000; });
  EXPECT_EQ(s.cardWidth, 640);
  EXPECT_EQ(s.cardHeight, 470);  // cut at the fixed maximum
}

// The fonts are made for the screen's dpi (points x dpi / 72 pixels high); their lines,
// modelled generously at 1.4 times that height, must fit their rows at every dpi, and at
// 96 dpi the rows are the fixed layout whatever the fonts measure.
TEST(FeedCard, EveryLineFitsItsRowAtEveryDpi) {
  const auto line = [](int points, int dpi) { return (points * dpi / 72 * 14 + 9) / 10; };
  for (const int dpi : {96, 144, 192}) {
    SCOPED_TRACE(dpi);
    const int heading = line(13, dpi), title = line(9, dpi);
    const FeedCardRows r = LayoutFeedCardRows(dpi, heading, title);
    EXPECT_GE(r.headingBottom - r.headingTop, heading);
    if (heading <= 43) EXPECT_LE(r.headingBottom, 45);  // in the top band, halo included
    EXPECT_GE(r.titleBottom - r.titleTop, title);
    EXPECT_TRUE(r.headingTop > 0 && r.headingBottom < r.bodyTop && r.bodyTop < r.titleTop &&
                r.titleBottom < r.descriptionTop);
    // The description keeps the room it was measured for above the bottom band.
    const FeedCardSize size = LayoutFeedCard(100, 100, 0, [](int) { return 60; }, r.ExtraHeight());
    EXPECT_GE(size.cardHeight - 52 - r.descriptionTop, 60);
  }
  const FeedCardRows fixed = LayoutFeedCardRows(96, 500, 500);
  EXPECT_EQ(std::vector<int>({fixed.headingTop, fixed.headingBottom, fixed.bodyTop, fixed.titleTop,
                              fixed.titleBottom, fixed.descriptionTop}),
            std::vector<int>({15, 45, 51, 55, 74, 75}));
  EXPECT_EQ(LayoutFeedCard(100, 100, 0, [](int) { return 16; }, fixed.ExtraHeight()).cardHeight, 200);
  // Absurd figures stay within the bound the card composition accepts.
  EXPECT_LE(LayoutFeedCardRows(100000, 100000, 100000).ExtraHeight(), kFeedCardMaxExtraHeight);
}

TEST(FeedCard, SlicesCoverTheCard) {
  const auto slices = FeedBoxSlices(390, 200);
  EXPECT_EQ(slices[1].destination, (SliceRect{298, 0, 68, 48}));
  EXPECT_EQ(slices[4].destination, (SliceRect{48, 48, 294, 102}));
  EXPECT_EQ(slices[8].destination, (SliceRect{360, 150, 30, 50}));
  for (const auto& s : slices) {
    EXPECT_LE(s.source.x + s.source.width, kFeedBoxPictureWidth);
    EXPECT_LE(s.source.y + s.source.height, kFeedBoxPictureHeight);
  }
}

TEST(FeedCard, ComposedFromOurBoxPicture) {
  CoreServices ours;
  ours.plainResources[{"PNG", "RSS_BOX"}] = ReadFile(std::string(QV_TEST_DATA_DIR) + "/../../src/app/rss_box.png");
  UniqueDib box;
  {
    ScopedCoreServices resources(ours);
    box.reset(LoadFeedBoxPicture());
  }
  ASSERT_TRUE(box);
  const uint32_t body = Pixel32(box.get(), kFeedBodyColourX, kFeedBodyColourY);
  EXPECT_EQ(body >> 24, 255u);

  UniqueDib text(DibCreate(390, 200, 32));
  ASSERT_TRUE(text);
  SetPixel32(text.get(), 100, 100, 0xFF100000);  // text
  SetPixel32(text.get(), 101, 100, 0x00100000);  // text drawn without alpha still counts
  UniqueDib card(ComposeFeedCard(box.get(), text.get()));
  ASSERT_TRUE(card);
  EXPECT_EQ(Pixel32(card.get(), 100, 100), 0xFF100000u);
  EXPECT_EQ(Pixel32(card.get(), 101, 100), 0xFF100000u);
  EXPECT_EQ(Pixel32(card.get(), 102, 100), body);  // black text-layer pixels are not stamped
  EXPECT_EQ(Pixel32(card.get(), 0, 0) >> 24, 0u);   // the shadow's clear corner
  // The right and bottom slices land at the card's edges.
  EXPECT_EQ(Pixel32(card.get(), 389, 100), Pixel32(box.get(), 349, 58));
  EXPECT_EQ(Pixel32(card.get(), 380, 190), Pixel32(box.get(), 340, 110));

  UniqueDib small(DibCreate(100, 100, 32));
  EXPECT_FALSE(ComposeFeedCard(box.get(), small.get()));
  UniqueDib grey(DibCreate(390, 200, 8));
  EXPECT_FALSE(ComposeFeedCard(box.get(), grey.get()));
  EXPECT_FALSE(ComposeFeedCard(nullptr, text.get()));
}
