#include "imaging/sprite_prep.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "imaging/blit.h"
#include "imaging/cdib.h"
#include "imaging/dib.h"

using namespace qv;

namespace {
using Colour = std::function<void(int x, int y, uint8_t* bgra)>;

// A picture of the given depth (24 or 32) whose pixel (x, y from the top) is set by fn.
DibHandle Make(int width, int height, int bits, const Colour& fn) {
  DibHandle block = DibCreate(width, height, bits);
  DibLock lock(block);
  DibView v;
  EXPECT_TRUE(ParseDib(lock.data(), lock.size(), &v));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t px[4] = {0, 0, 0, 255};
      fn(x, y, px);
      std::memcpy(v.Row(height - 1 - y) + x * (bits / 8), px, static_cast<size_t>(bits / 8));
    }
  return block;
}

// Pixel (x, y from the top) of a prepared block, as its raw value.
uint32_t At(DibHandle block, int x, int y) {
  DibLock lock(block);
  DibView v;
  if (!ParseDib(lock.data(), lock.size(), &v)) return 0xDEADBEEF;
  const uint8_t* p = v.Row(v.height - 1 - y) + x * (v.bitCount / 8);
  uint32_t value = 0;
  std::memcpy(&value, p, static_cast<size_t>(v.bitCount / 8));
  return value;
}

int Width(DibHandle b) { DibLock l(b); return DibWidth(l.data()); }
int Height(DibHandle b) { DibLock l(b); return DibHeight(l.data()); }

const SpriteKey kMagentaKey{255, 0, 255, 0, true};
}  // namespace

TEST(SpritePrep, ToleranceDecidesWhatIsTransparent) {
  // Magenta, one step off magenta, and grey.
  UniqueDib pic(Make(3, 1, 24, [](int x, int, uint8_t* p) {
    const uint8_t colours[3][3] = {{255, 0, 255}, {255, 0, 254}, {128, 128, 128}};
    p[0] = colours[x][0];  // blue, green, red
    p[1] = colours[x][1];
    p[2] = colours[x][2];
  }));
  UniqueDib exact(PrepareStrip32(pic.get(), kMagentaKey, 100, 100, nullptr, 1, false));
  EXPECT_EQ(At(exact.get(), 0, 0), 0x01FFFFFFu);  // the 32-bit marker, never white
  EXPECT_EQ(At(exact.get(), 1, 0), 0x00FE00FFu);  // visible: blue, green, red, 0
  UniqueDib all(PrepareStrip16(pic.get(), SpriteKey{255, 0, 255, 100, true}, 100, 100, nullptr, 1));
  for (int x = 0; x < 3; ++x) EXPECT_EQ(At(all.get(), x, 0), 0xFFFFu);  // the 16-bit marker
  UniqueDib off(PrepareStrip16(pic.get(), SpriteKey{255, 0, 255, 100, false}, 100, 100, nullptr, 1));
  EXPECT_EQ(At(off.get(), 2, 0), static_cast<uint32_t>(16 << 10 | 16 << 5 | 16));
}

TEST(SpritePrep, StripSizesRoundPerPhase) {
  UniqueDib strip(Make(100, 200, 24, [](int, int y, uint8_t* p) { p[2] = static_cast<uint8_t>(y); }));
  UniqueDib half(PrepareStrip16(strip.get(), SpriteKey{}, 100, 50, nullptr, 4));
  EXPECT_EQ(Width(half.get()), 100);
  EXPECT_EQ(Height(half.get()), 100);  // 4 x (50 x (200 / 4) / 100)
  UniqueDib odd(PrepareStrip32(strip.get(), SpriteKey{}, 100, 33, nullptr, 3, false));
  EXPECT_EQ(Height(odd.get()), 3 * (33 * (200 / 3) / 100));
  UniqueDib wide(PrepareStrip32(strip.get(), SpriteKey{}, 33, 100, nullptr, 3, true));
  EXPECT_EQ(Width(wide.get()), 3 * (33 * (100 / 3) / 100));
  EXPECT_EQ(Height(wide.get()), 200);
}

TEST(SpritePrep, ScaledColumnsAverageRoundedSpans) {
  // Enlarging: every span is one source column, starting at the rounded x x W / w, so
  // 200 % of columns 0, 1, 2 reads 0, 1, 1, 2, 2, 2 (the last span is clamped).
  UniqueDib pic(Make(3, 2, 24, [](int x, int, uint8_t* p) { p[2] = static_cast<uint8_t>(40 * x + 8); }));
  UniqueDib wide(PrepareStrip32(pic.get(), SpriteKey{}, 200, 100, nullptr, 1, false));
  ASSERT_EQ(Width(wide.get()), 6);
  const int columns[6] = {0, 1, 1, 2, 2, 2};
  for (int x = 0; x < 6; ++x)
    EXPECT_EQ((At(wide.get(), x, 0) >> 16) & 0xFF, 40u * columns[x] + 8) << x;
  // Shrinking averages the span x0 .. x1 - 1, with x1 held below the width: 4 columns at
  // 50 % give (c0 + c1) / 2 and c2 alone.
  UniqueDib four(Make(4, 1, 24, [](int x, int, uint8_t* p) { p[1] = static_cast<uint8_t>(x * 10); }));
  UniqueDib narrow(PrepareStrip32(four.get(), SpriteKey{}, 50, 100, nullptr, 1, false));
  EXPECT_EQ((At(narrow.get(), 0, 0) >> 8) & 0xFF, 5u);
  EXPECT_EQ((At(narrow.get(), 1, 0) >> 8) & 0xFF, 20u);
}

TEST(SpritePrep, AlphaPicturesGetAMaskAndIgnoreTheKey) {
  UniqueDib pic(Make(2, 1, 32, [](int x, int, uint8_t* p) {
    p[0] = 255, p[1] = 0, p[2] = 255, p[3] = static_cast<uint8_t>(x ? 255 : 0);
  }));
  SpriteMask mask;
  UniqueDib out(PrepareStrip32(pic.get(), kMagentaKey, 100, 100, &mask, 1, false));
  EXPECT_EQ(At(out.get(), 0, 0), 0x00FF00FFu);  // magenta stays: transparency is the mask's
  EXPECT_EQ(mask, (SpriteMask{0, 255}));
  SpriteMask none;
  UniqueDib rgb(Make(2, 1, 24, [](int, int, uint8_t*) {}));
  UniqueDib noMask(PrepareStrip32(rgb.get(), SpriteKey{}, 100, 100, &none, 1, false));
  EXPECT_TRUE(none.empty());
}

TEST(SpritePrep, PhaseListStacksPhaseZeroOnTop) {
  CDIB red, clear;
  red.Attach(Make(2, 2, 24, [](int, int, uint8_t* p) { p[2] = 200; }));
  clear.Attach(Make(2, 2, 32, [](int x, int, uint8_t* p) { p[0] = 90, p[3] = static_cast<uint8_t>(x * 255); }));
  SpriteMask mask;
  int total = 0;
  UniqueDib out(PreparePhases32({&red, &clear}, SpriteKey{}, &total, 100, 100, &mask));
  ASSERT_TRUE(out);
  EXPECT_EQ(total, 4);
  EXPECT_EQ(At(out.get(), 0, 0), 0x00C80000u);  // phase 0 (red) in the top rows
  EXPECT_EQ(At(out.get(), 0, 3), 0x0000005Au);  // phase 1 below
  // Storage order: phase 1's rows come first; the 24-bit phase is opaque in the mask.
  EXPECT_EQ(mask, (SpriteMask{0, 255, 0, 255, 255, 255, 255, 255}));
}

// Counts the pixels of a prepared 8- or 16-bit block that are the transparent value,
// by rows from the top.
static std::vector<int> ClearPerRow(DibHandle block) {
  std::vector<int> counts;
  const uint32_t clear = [&] {
    DibLock l(block);
    DibView v;
    return ParseDib(l.data(), l.size(), &v) && v.bitCount == 8 ? 255u : uint32_t{kMarker16};
  }();
  for (int y = 0; y < Height(block); ++y) {
    int n = 0;
    for (int x = 0; x < Width(block); ++x) n += At(block, x, y) == clear;
    counts.push_back(n);
  }
  return counts;
}

TEST(SpritePrep, PhaseListsWithAShorterLaterPhaseKeepAllItsRows) {
  // Phase 0 is 4 x 4; phase 1 is 3 x 2 at the start of its 4 x 4 cell in storage order
  // (its bottom rows). Every pixel inside a phase picture is visible, everything outside
  // it transparent, at 8 bits (where the quantiser reads a row ahead) as at 16.
  CDIB big, small;
  big.Attach(Make(4, 4, 24, [](int x, int y, uint8_t* p) { p[1] = static_cast<uint8_t>(60 + 40 * x + 10 * y); }));
  small.Attach(Make(3, 2, 24, [](int x, int y, uint8_t* p) { p[0] = static_cast<uint8_t>(100 + 50 * x + 20 * y); }));
  const std::vector<int> expected{0, 0, 0, 0, 4, 4, 1, 1};  // top: phase 0, then phase 1
  for (int depth : {8, 16}) {
    int total = 0;
    UniqueDib out(depth == 8 ? PreparePhases8({&big, &small}, SpriteKey{}, &total, 100, 100, nullptr)
                             : PreparePhases16({&big, &small}, SpriteKey{}, &total, 100, 100, nullptr));
    ASSERT_TRUE(out) << depth;
    EXPECT_EQ(total, 8);
    EXPECT_EQ(ClearPerRow(out.get()), expected) << "depth " << depth;
  }
  // With a key, the keyed pixel is the only extra hole.
  small.Attach(Make(3, 2, 24, [](int x, int y, uint8_t* p) {
    if (x == 1 && y == 1) p[0] = 255, p[1] = 0, p[2] = 255;
    else p[1] = 200;
  }));
  UniqueDib keyed(PreparePhases8({&big, &small}, kMagentaKey, nullptr, 100, 100, nullptr));
  ASSERT_TRUE(keyed);
  EXPECT_EQ(ClearPerRow(keyed.get()), (std::vector<int>{0, 0, 0, 0, 4, 4, 1, 2}));
}

TEST(SpritePrep, EightBitsUseTheApplicationPaletteAndReserve255) {
  UniqueDib pic(Make(3, 1, 24, [](int x, int, uint8_t* p) {
    if (x == 0) p[0] = p[1] = p[2] = 255;     // white
    if (x == 1) p[0] = 255, p[2] = 255;       // magenta: the key
    if (x == 2) p[0] = p[1] = p[2] = 255;
  }));
  UniqueDib out(PrepareStrip8(pic.get(), kMagentaKey, 100, 100, nullptr, 1));
  ASSERT_TRUE(out);
  EXPECT_EQ(At(out.get(), 0, 0), 0xFEu);
  EXPECT_EQ(At(out.get(), 1, 0), 255u);
  EXPECT_EQ(At(out.get(), 2, 0), 0xFEu);  // no error left over from white
}

TEST(SpritePrep, RefusesWhatItCannotRead) {
  const int64_t before = LiveDibBlocks();
  {
    UniqueDib pic16(DibCreate(4, 4, 16));
    EXPECT_EQ(PrepareStrip32(pic16.get(), SpriteKey{}, 100, 100, nullptr, 1, false), nullptr);
    EXPECT_EQ(PrepareStrip32(nullptr, SpriteKey{}, 100, 100, nullptr, 1, false), nullptr);
    UniqueDib pic(Make(4, 4, 24, [](int, int, uint8_t*) {}));
    EXPECT_EQ(PrepareStrip16(pic.get(), SpriteKey{}, 0, 100, nullptr, 1), nullptr);
    EXPECT_EQ(PrepareStrip16(pic.get(), SpriteKey{}, 1, 100, nullptr, 1), nullptr);  // 0 wide
    EXPECT_EQ(PrepareStrip16(pic.get(), SpriteKey{}, 1000000, 100, nullptr, 1), nullptr);
    EXPECT_EQ(PreparePhases16({}, SpriteKey{}, nullptr, 100, 100, nullptr), nullptr);
  }
  EXPECT_EQ(LiveDibBlocks(), before);
  EXPECT_EQ(MulDiv(7, 3, 2), 11);   // 10.5 rounds away from zero
  EXPECT_EQ(MulDiv(-7, 3, 2), -11);
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
}
