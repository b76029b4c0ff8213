#include "imaging/blit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

using namespace qv;

namespace {

// A bottom-up surface in plain memory, rows padded to 4 bytes like the real ones.
struct Plane {
  int width, height, depth;
  int64_t stride;
  std::vector<uint8_t> bytes;
  Plane(int w, int h, int d)
      : width(w), height(h), depth(d), stride((static_cast<int64_t>(w) * d / 8 + 3) & ~3),
        bytes(static_cast<size_t>(stride * h)) {}
  uint8_t* Row(int storageRow) { return bytes.data() + storageRow * stride; }
  uint8_t* At(int x, int storageRow) { return Row(storageRow) + x * depth / 8; }
};

// The widest sweeps below visit every value natively; under emulation (the 32-bit core
// runs under qemu, several times slower) every QV_THIN_SWEEPS-th one and always the last.
#ifndef QV_THIN_SWEEPS
#define QV_THIN_SWEEPS 1
#endif
int NextSweep(int value, int last) { return value == last ? last + 1 : std::min(value + QV_THIN_SWEEPS, last); }

BlitRows Whole(Plane& dst, Plane& src, const std::vector<uint8_t>* mask) {
  BlitRows b;
  b.depth = src.depth;
  b.width = src.width;
  b.height = src.height;
  b.dst = dst.Row(0);
  b.dstStride = dst.stride;
  b.src = src.Row(0);
  b.srcStride = src.stride;
  if (mask) {
    b.mask = mask->data();
    b.maskStride = src.width;
  }
  return b;
}

// Runs the fast path and the reference on copies of the destination; they must agree
// byte for byte. Returns the number of differing bytes (and reports the first).
int CompareWithReference(const BlitRows& args, Plane& dst) {
  Plane fast = dst, ref = dst;
  BlitRows f = args, r = args;
  f.dst = fast.Row(0) + (args.dst - dst.Row(0));
  r.dst = ref.Row(0) + (args.dst - dst.Row(0));
  BlitPixels(f);
  BlitReference(r);
  int differences = 0;
  for (size_t i = 0; i < fast.bytes.size(); ++i) {
    if (fast.bytes[i] != ref.bytes[i] && differences++ == 0)
      ADD_FAILURE() << "depth " << args.depth << " opacity " << args.opacity << " key " << args.key
                    << " mask " << (args.mask != nullptr) << " solid " << args.solidBack
                    << ": byte " << i << " fast " << int(fast.bytes[i]) << " reference "
                    << int(ref.bytes[i]);
  }
  return differences;
}

// 32-bit planes where source rows carry s = row and destination columns d = column in
// blue, green and red; fourth bytes carry a pattern that blends must not touch.
void FillChannelGrid32(Plane& src, Plane& dst) {
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < src.width; ++x) {
      uint8_t* s = src.At(x, y);
      uint8_t* d = dst.At(x, y);
      s[0] = s[1] = s[2] = static_cast<uint8_t>(y);
      s[3] = static_cast<uint8_t>(x * 7);
      d[0] = d[1] = d[2] = static_cast<uint8_t>(x);
      d[3] = static_cast<uint8_t>(y * 13 + 1);
    }
}

// 16-bit planes with every source word against a spread of destination words.
void FillWords16(Plane& src, Plane& dst, uint32_t seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < src.height; ++y)
    for (int x = 0; x < src.width; ++x) {
      const uint32_t i = static_cast<uint32_t>(y * src.width + x);
      const uint16_t s = static_cast<uint16_t>(i & 0x7FFF);
      const uint16_t d = static_cast<uint16_t>(rng() & 0x7FFF);
      std::memcpy(src.At(x, y), &s, 2);
      std::memcpy(dst.At(x, y), &d, 2);
    }
}

uint32_t Pixel32At(Plane& p, int x, int row) {
  uint32_t v;
  std::memcpy(&v, p.At(x, row), 4);
  return v;
}

}  // namespace

// --- Fixed results ------------------------------------------------------------------------

TEST(Blit, Depth8ThresholdKeyAndSolidBackground) {
  Plane src(4, 1, 8), dst(4, 1, 8);
  std::memcpy(src.Row(0), "\x11\x22\x33\x44", 4);
  std::memcpy(dst.Row(0), "\x99\x99\x99\x99", 4);
  std::vector<uint8_t> mask{229, 230, 0, 255};
  Plane d1 = dst;
  BlitPixels(Whole(d1, src, &mask));
  EXPECT_EQ(std::vector<uint8_t>(d1.Row(0), d1.Row(0) + 4), (std::vector<uint8_t>{0x99, 0x22, 0x99, 0x44}));

  BlitRows solid = Whole(d1 = dst, src, &mask);
  solid.solidBack = true;
  solid.backColor = 0x00FF8000;  // red 0, green 0x80, blue 0xFF
  BlitPixels(solid);
  EXPECT_EQ(std::vector<uint8_t>(d1.Row(0), d1.Row(0) + 4), (std::vector<uint8_t>{0x26, 0x22, 0x26, 0x44}));

  BlitRows keyed = Whole(d1 = dst, src, nullptr);
  keyed.key = 0x01000033;
  keyed.opacity = 10;  // ignored at depth 8
  BlitPixels(keyed);
  EXPECT_EQ(std::vector<uint8_t>(d1.Row(0), d1.Row(0) + 4), (std::vector<uint8_t>{0x11, 0x22, 0x99, 0x44}));
}

TEST(Blit, Depth16And32KnownValues) {
  Plane src16(1, 1, 16), dst16(1, 1, 16);
  const uint16_t white = 0x7FFF, black = 0;
  std::memcpy(src16.Row(0), &white, 2);
  std::memcpy(dst16.Row(0), &black, 2);
  BlitRows half16 = Whole(dst16, src16, nullptr);
  half16.opacity = 50;
  BlitPixels(half16);
  uint16_t out16;
  std::memcpy(&out16, dst16.Row(0), 2);
  EXPECT_EQ(out16, 0x3DEF);  // 124 >> 3 in every channel

  Plane src(2, 1, 32), dst(2, 1, 32);
  std::memset(src.Row(0), 200, 8);
  std::memset(dst.Row(0), 100, 8);
  Plane d = dst;
  BlitRows half = Whole(d, src, nullptr);
  half.opacity = 50;
  BlitPixels(half);
  EXPECT_EQ(Pixel32At(d, 0, 0), 0x64969696u);  // 150 per channel, fourth byte kept
  half.key = static_cast<int32_t>(kMarker32);  // a keyed, non-marker source blends the same
  d = dst;
  half.dst = d.Row(0);
  BlitPixels(half);
  EXPECT_EQ(Pixel32At(d, 1, 0), 0x64969696u);

  std::memset(src.Row(0), 255, 8);
  std::vector<uint8_t> opaque{255, 255};
  d = dst;
  BlitPixels(Whole(d, src, &opaque));
  EXPECT_EQ(Pixel32At(d, 0, 0) & 0xFFFFFF, 0xFEFEFEu);  // (255 x 255) >> 8 is 254
}

TEST(Blit, MarkersLeaveTheDestinationAtEveryOpacityAndMasksIgnoreTheKey) {
  // The markers' values spelled out: a marker moved onto a visible colour must fail here.
  Plane src(4, 1, 32), dst(4, 1, 32);
  for (int x = 0; x < 4; ++x) {
    const uint32_t s = x == 2 ? 0x01FFFFFFu : 0x00406080u, dv = 0x12345678u;
    std::memcpy(src.At(x, 0), &s, 4);
    std::memcpy(dst.At(x, 0), &dv, 4);
  }
  for (int opacity : {0, 1, 50, 99, 100}) {
    Plane d = dst;
    BlitRows b = Whole(d, src, nullptr);
    b.key = static_cast<int32_t>(kMarker32);
    b.opacity = opacity;
    BlitPixels(b);
    EXPECT_EQ(Pixel32At(d, 2, 0), 0x12345678u) << opacity;
    b.dst = dst.Row(0);
    EXPECT_EQ(CompareWithReference(b, dst), 0);
  }
  // With a mask the marker pixel is blended like any other.
  std::vector<uint8_t> mask(4, 128);
  Plane withKey = dst, withoutKey = dst;
  BlitRows k = Whole(withKey, src, &mask);
  k.key = static_cast<int32_t>(kMarker32);
  BlitPixels(k);
  BlitPixels(Whole(withoutKey, src, &mask));
  EXPECT_EQ(withKey.bytes, withoutKey.bytes);
  EXPECT_NE(Pixel32At(withKey, 2, 0), 0x12345678u);

  Plane src16(2, 1, 16), dst16(2, 1, 16);
  const uint16_t words[2] = {0xFFFF, 0x1234};
  std::memcpy(src16.Row(0), words, 4);
  std::memset(dst16.Row(0), 0x11, 4);
  for (int opacity : {0, 60, 100}) {
    Plane d = dst16;
    BlitRows b = Whole(d, src16, nullptr);
    b.key = static_cast<int32_t>(kMarker32);
    b.opacity = opacity;
    BlitPixels(b);
    EXPECT_EQ(d.Row(0)[0], 0x11);
    EXPECT_EQ(d.Row(0)[1], 0x11);
  }
}

TEST(Blit, RowsRunUpwardsAndTheMaskFollowsTheSource) {
  // The 2 x 2 rectangle at (1, 1) of a 4 x 3 source goes to (0, 0) of a 3 x 3
  // destination. Storage rows count from the bottom: y from the top is 2 - row.
  Plane src(4, 3, 8), dst(3, 3, 8);
  for (int row = 0; row < 3; ++row)
    for (int x = 0; x < 4; ++x) *src.At(x, row) = static_cast<uint8_t>(row * 16 + x);
  std::fill(dst.bytes.begin(), dst.bytes.end(), 0xEE);
  std::vector<uint8_t> mask(12, 255);
  mask[0 * 4 + 1] = 0;  // the rectangle's bottom-left pixel
  BlitRows b;
  b.depth = 8;
  b.width = b.height = 2;
  b.src = src.At(1, 0);  // bottom row of the rectangle: y = 2, storage row 0
  b.srcStride = src.stride;
  b.dst = dst.At(0, 1);  // y = 1 in the destination is storage row 1
  b.dstStride = dst.stride;
  b.mask = mask.data() + 0 * 4 + 1;  // mask row 3 - 1 - 2 + 0, column 1
  b.maskStride = 4;
  BlitPixels(b);
  EXPECT_EQ(*dst.At(0, 1), 0xEE);  // masked out
  EXPECT_EQ(*dst.At(1, 1), 0x02);
  EXPECT_EQ(*dst.At(0, 2), 0x11);  // the row above came from the source's row above
  EXPECT_EQ(*dst.At(1, 2), 0x12);
  EXPECT_EQ(*dst.At(2, 2), 0xEE);
  EXPECT_EQ(*dst.At(0, 0), 0xEE);
}

// --- Fast paths against the rules ---------------------------------------------------------

TEST(BlitExhaustive, Depth32MaskedEveryChannelValue) {
  // Every source value (rows) against every destination value (columns), for every mask
  // value, with and without the solid background, at full opacity.
  Plane src(256, 256, 32), dst(256, 256, 32);
  FillChannelGrid32(src, dst);
  std::vector<uint8_t> mask(256 * 256);
  for (int q = 0; q <= 255; q = NextSweep(q, 255)) {
    std::fill(mask.begin(), mask.end(), static_cast<uint8_t>(q));
    for (bool solid : {false, true}) {
      BlitRows b = Whole(dst, src, &mask);
      b.solidBack = solid;
      b.backColor = 0x00C08040u + static_cast<uint32_t>(q);
      ASSERT_EQ(CompareWithReference(b, dst), 0) << "q " << q;
    }
  }
}

TEST(BlitExhaustive, Depth32OpacityEveryChannelValue) {
  Plane src(256, 256, 32), dst(256, 256, 32);
  FillChannelGrid32(src, dst);
  for (int opacity = 0; opacity <= 100; ++opacity) {
    BlitRows b = Whole(dst, src, nullptr);
    b.opacity = opacity;
    ASSERT_EQ(CompareWithReference(b, dst), 0);
    b.key = static_cast<int32_t>(kMarker32);
    ASSERT_EQ(CompareWithReference(b, dst), 0);
  }
}

TEST(BlitSweep, Depth32MaskedBelowFullOpacity) {
  // Every mask value and opacity; source and destination over a dense grid.
  Plane src(33, 33, 32), dst(33, 33, 32);
  for (int y = 0; y < 33; ++y)
    for (int x = 0; x < 33; ++x) {
      std::memset(src.At(x, y), std::min(y * 8, 255), 3);  // 0, 8, ..., 248, 255
      std::memset(dst.At(x, y), std::min(x * 8, 255), 3);
      src.At(x, y)[3] = 0x5A;
      dst.At(x, y)[3] = 0xA5;
    }
  std::vector<uint8_t> mask(33 * 33);
  for (int opacity = 0; opacity <= 99; opacity = NextSweep(opacity, 99))
    for (int q = 0; q <= 255; q = NextSweep(q, 255)) {
      std::fill(mask.begin(), mask.end(), static_cast<uint8_t>(q));
      for (bool solid : {false, true}) {
        BlitRows b = Whole(dst, src, &mask);
        b.opacity = opacity;
        b.solidBack = solid;
        b.backColor = 0x00FF7F01;
        ASSERT_EQ(CompareWithReference(b, dst), 0) << "q " << q;
      }
    }
}

TEST(BlitSweep, Depth16EveryPathOverEverySourceWord) {
  Plane src(256, 128, 16), dst(256, 128, 16);  // all 32768 source words
  FillWords16(src, dst, 7);
  std::mt19937 rng(11);
  std::vector<uint8_t> mask(256 * 128);
  for (auto& q : mask) q = static_cast<uint8_t>(rng());
  for (int opacity : {0, 1, 33, 50, 60, 99, 100}) {
    for (int variant = 0; variant < 4; ++variant) {
      BlitRows b = Whole(dst, src, variant >= 2 ? &mask : nullptr);
      b.opacity = opacity;
      b.key = variant == 1 ? static_cast<int32_t>(kMarker32) : kNoKey;
      b.solidBack = variant == 3;
      b.backColor = 0x00336699;
      ASSERT_EQ(CompareWithReference(b, dst), 0) << "variant " << variant;
    }
  }
}

TEST(BlitExhaustive, Depth16MaskedEveryChannelPairMaskAndOpacity) {
  // Every 5-bit source channel against every destination channel (the same value in
  // red, green and blue), for every mask value and every opacity, plain and solid.
  Plane src(1024, 1, 16), dst(1024, 1, 16);
  for (int i = 0; i < 1024; ++i) {
    const uint16_t sc = static_cast<uint16_t>(i / 32), dc = static_cast<uint16_t>(i % 32);
    const uint16_t sp = static_cast<uint16_t>(sc << 10 | sc << 5 | sc), dp = static_cast<uint16_t>(dc << 10 | dc << 5 | dc);
    std::memcpy(src.At(i, 0), &sp, 2);
    std::memcpy(dst.At(i, 0), &dp, 2);
  }
  std::vector<uint8_t> mask(1024);
  for (int opacity = 0; opacity <= 100; opacity = NextSweep(opacity, 100))
    for (int q = 0; q <= 255; q = NextSweep(q, 255)) {
      std::fill(mask.begin(), mask.end(), static_cast<uint8_t>(q));
      for (bool solid : {false, true}) {
        BlitRows b = Whole(dst, src, &mask);
        b.opacity = opacity;
        b.solidBack = solid;
        b.backColor = 0x00F8A850 + static_cast<uint32_t>(q % 8);
        ASSERT_EQ(CompareWithReference(b, dst), 0) << "q " << q << " opacity " << opacity;
      }
    }
}

TEST(BlitSweep, OddWidthsOffsetsAndRandomContent) {
  // Row tails that are not a multiple of the vector width, rectangles inside larger
  // surfaces, and random pixels including markers.
  std::mt19937 rng(2024);
  for (int depth : {8, 16, 32}) {
    for (int trial = 0; trial < 200; ++trial) {
      const int sw = 1 + static_cast<int>(rng() % 37), sh = 1 + static_cast<int>(rng() % 9);
      Plane src(sw + 3, sh + 2, depth), dst(sw + 5, sh + 4, depth);
      for (auto& v : src.bytes) v = static_cast<uint8_t>(rng());
      for (auto& v : dst.bytes) v = static_cast<uint8_t>(rng());
      for (int row = 0; row < src.height; row += 2) {  // plant markers
        if (depth == 16) std::memcpy(src.At(0, row), &kMarker16, 2);
        if (depth == 32) std::memcpy(src.At(0, row), &kMarker32, 4);
      }
      std::vector<uint8_t> mask(static_cast<size_t>(src.width * src.height));
      for (auto& q : mask) q = static_cast<uint8_t>(rng());
      BlitRows b;
      b.depth = depth;
      b.width = sw;
      b.height = sh;
      b.src = src.At(rng() % 4, 1);
      b.srcStride = src.stride;
      b.dst = dst.At(rng() % 6, 2);
      b.dstStride = dst.stride;
      if (rng() % 2) {
        b.mask = mask.data() + src.width + 1;
        b.maskStride = src.width;
      }
      b.key = rng() % 2 ? kNoKey : static_cast<int32_t>(depth == 8 ? 0x01000000 | src.bytes[0] : kMarker32);
      b.opacity = rng() % 3 ? static_cast<int>(rng() % 101) : 100;
      b.solidBack = rng() % 2;
      b.backColor = rng() & 0xFFFFFF;
      ASSERT_EQ(CompareWithReference(b, dst), 0) << "depth " << depth << " trial " << trial;
    }
  }
}

TEST(BlitExhaustive, Depth16OpacityWithoutMaskEveryChannelPair) {
  // Every 5-bit source channel against every destination channel, every opacity, plain
  // and keyed (every ninth source pixel the marker, which must leave its pixel alone).
  Plane src(1024, 1, 16), dst(1024, 1, 16);
  for (int i = 0; i < 1024; ++i) {
    const uint16_t sc = static_cast<uint16_t>(i / 32), dc = static_cast<uint16_t>(i % 32);
    const uint16_t sp = i % 9 == 4 ? kMarker16 : static_cast<uint16_t>(sc << 10 | (31 - sc) << 5 | sc);
    const uint16_t dp = static_cast<uint16_t>(dc << 10 | dc << 5 | (31 - dc));
    std::memcpy(src.At(i, 0), &sp, 2);
    std::memcpy(dst.At(i, 0), &dp, 2);
  }
  for (int opacity = 0; opacity <= 100; ++opacity)
    for (bool keyed : {false, true}) {
      BlitRows b = Whole(dst, src, nullptr);
      b.opacity = opacity;
      b.key = keyed ? static_cast<int32_t>(kMarker32) : kNoKey;
      ASSERT_EQ(CompareWithReference(b, dst), 0) << "opacity " << opacity << " keyed " << keyed;
    }
}

TEST(Blit, WholeFrameCopiesMatchRowByRowInBothRowOrders) {
  // Rows back to back are copied as one block; upward (negative) strides and padded rows
  // must give the same pixels as the rule, and nothing outside the rectangle changes.
  std::mt19937 rng(7);
  for (int depth : {8, 16, 32})
    for (int width : {64, 63})
      for (bool upward : {false, true}) {
        Plane src(width, 5, depth), dst(width, 5, depth);
        for (auto& v : src.bytes) v = static_cast<uint8_t>(rng());
        for (auto& v : dst.bytes) v = static_cast<uint8_t>(rng());
        BlitRows b = Whole(dst, src, nullptr);
        if (upward) {
          b.dst = dst.Row(4), b.src = src.Row(4);
          b.dstStride = -dst.stride, b.srcStride = -src.stride;
        }
        ASSERT_EQ(CompareWithReference(b, dst), 0) << depth << " " << width << " " << upward;
        b.height = 3;  // part of the frame: rows 3 and 4 (or 0 and 1) stay
        ASSERT_EQ(CompareWithReference(b, dst), 0) << depth << " " << width << " " << upward;
      }
}

TEST(BlitSweep, CompositingOverAnotherPlaneEqualsCopyingItInFirst) {
  // dst starts as junk; under holds the pixels to composite over. Every depth and path,
  // odd widths (the one-by-one row tails) and offsets, against a copy followed by a
  // plain blit, and the reference given the same request.
  std::mt19937 rng(77);
  for (int depth : {8, 16, 32}) {
    for (int trial = 0; trial < 300; ++trial) {
      const int w = 1 + static_cast<int>(rng() % 23), h = 1 + static_cast<int>(rng() % 7);
      Plane src(w, h, depth), under(w + 2, h + 1, depth), junk(w + 2, h + 1, depth);
      for (auto& v : src.bytes) v = static_cast<uint8_t>(rng());
      for (auto& v : under.bytes) v = static_cast<uint8_t>(rng());
      for (auto& v : junk.bytes) v = static_cast<uint8_t>(rng());
      if (depth == 32) std::memcpy(src.At(0, 0), &kMarker32, 4);
      if (depth == 16) std::memcpy(src.At(0, 0), &kMarker16, 2);
      std::vector<uint8_t> mask(static_cast<size_t>(w * h));
      for (auto& q : mask) q = static_cast<uint8_t>(rng() % 3 ? (rng() % 2 ? 255 : 0) : rng());
      const int x = static_cast<int>(rng() % 3), row = static_cast<int>(rng() % 2);

      BlitRows b = Whole(junk, src, rng() % 4 ? &mask : nullptr);
      b.key = rng() % 2 ? kNoKey : static_cast<int32_t>(depth == 8 ? 0x01000000 | src.bytes[1] : kMarker32);
      b.opacity = rng() % 2 ? 100 : static_cast<int>(rng() % 101);
      b.solidBack = rng() % 4 == 0;
      b.backColor = rng() & 0xFFFFFF;

      Plane over = junk, viaReference = junk, copied = junk;
      BlitRows fused = b;
      fused.dst = over.At(x, row);
      fused.dstStride = over.stride;
      fused.under = under.At(x, row);
      fused.underStride = under.stride;
      BlitPixels(fused);
      BlitRows reference = fused;
      reference.dst = viaReference.At(x, row);
      BlitReference(reference);
      for (int k = 0; k < h; ++k)
        std::memcpy(copied.At(x, row + k), under.At(x, row + k), static_cast<size_t>(w * depth / 8));
      BlitRows plain = b;
      plain.dst = copied.At(x, row);
      plain.dstStride = copied.stride;
      BlitPixels(plain);
      ASSERT_EQ(over.bytes, copied.bytes) << "depth " << depth << " trial " << trial;
      ASSERT_EQ(viaReference.bytes, copied.bytes) << "depth " << depth << " trial " << trial;
    }
  }
}
