// The scaling results pinned: DibResample must give, byte for byte, what the first
// (straightforward, one pixel at a time) version of the arithmetic gives. That version is
// kept here as the reference, so that a faster implementation is compared position by
// position over many sizes, ratios and pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "imaging/dib.h"
#include "imaging/picture_limits.h"
#include "imaging/pixel_rows.h"
#include "imaging/resample.h"
#include "imaging_ops_test_util.h"

namespace qv {
namespace {
namespace reference {

// Transparent pixels (alpha below 8) take the average colour of the visible pixels
// (alpha above 7) around them, so that averaging does not pull black into the visible
// edge. The window is columns max(0, x - 8) up to, not including, min(W - 1, x + 8), and
// the same for rows; a pixel with no visible neighbour there becomes black. Only visible
// pixels are summed and only transparent ones change, so the order does not matter; the
// window sums are kept per column and slid down the picture.
bool RepairTransparentColours(uint8_t* work, int width, int height) {
  const int64_t W = width;
  auto colSum = NewArray<uint32_t>(4 * W);      // blue, green, red, count per column
  auto prefix = NewArray<uint64_t>(4 * (W + 1));  // running sums of colSum along the row
  if (!colSum || !prefix) return false;
  auto addRow = [&](int row, int sign) {
    const uint8_t* p = work + 4 * W * row;
    for (int64_t x = 0; x < W; ++x, p += 4) {
      if (p[3] <= 7) continue;
      uint32_t* s = colSum.get() + 4 * x;
      s[0] += static_cast<uint32_t>(sign * p[0]);
      s[1] += static_cast<uint32_t>(sign * p[1]);
      s[2] += static_cast<uint32_t>(sign * p[2]);
      s[3] += static_cast<uint32_t>(sign);
    }
  };
  int rowsFrom = 0, rowsTo = 0;  // rows summed in colSum: [rowsFrom, rowsTo)
  for (int y = 0; y < height; ++y) {
    // Both ends only move down, and rowsTo >= y1 >= y0 after the first loop.
    const int y0 = std::max(0, y - 8), y1 = std::min(height - 1, y + 8);
    while (rowsTo < y1) addRow(rowsTo++, 1);
    while (rowsFrom < y0) addRow(rowsFrom++, -1);
    uint8_t* row = work + 4 * W * y;
    bool any = false;
    for (int64_t x = 0; x < W && !any; ++x) any = row[4 * x + 3] < 8;
    if (!any) continue;
    uint64_t* pre = prefix.get();
    pre[0] = pre[1] = pre[2] = pre[3] = 0;
    for (int64_t x = 0; x < W; ++x)
      for (int c = 0; c < 4; ++c) pre[4 * (x + 1) + c] = pre[4 * x + c] + colSum[4 * x + c];
    for (int64_t x = 0; x < W; ++x) {
      uint8_t* p = row + 4 * x;
      if (p[3] >= 8) continue;
      const int64_t x0 = std::max<int64_t>(0, x - 8), x1 = std::min<int64_t>(W - 1, x + 8);
      const uint64_t n = x1 > x0 ? pre[4 * x1 + 3] - pre[4 * x0 + 3] : 0;
      for (int c = 0; c < 3; ++c)
        p[c] = n ? static_cast<uint8_t>((pre[4 * x1 + c] - pre[4 * x0 + c]) / n) : 0;
    }
  }
  return true;
}

// Writes one row of four-channel values into a 24- or 32-bit block row.
template <int kStep>
inline void StoreRowOf(uint8_t* out, const int* bgra, int width) {
  for (int x = 0; x < width; ++x, out += kStep, bgra += 4)
    for (int c = 0; c < kStep; ++c) out[c] = static_cast<uint8_t>(bgra[c]);
}
inline void StoreRow(uint8_t* out, const int* bgra, int width, int bits) {
  if (bits == 32) StoreRowOf<4>(out, bgra, width);
  else StoreRowOf<3>(out, bgra, width);
}

// Area average. Each output pixel covers sx x sy source pixels; a source pixel lying
// across a column or row boundary gives its weight (in thousandths) to both sides. The
// walk goes once over the source, adding into the current and the next output row; an
// output row is complete when the walk leaves the source row that crosses its lower
// boundary (or at the end, for the last one). Pixels wholly inside one output column are
// summed first and weighted once per run, which gives the same integers.
bool Shrink(const uint8_t* work, int W, int H, const DibView& out, int w, int h) {
  const double sx = static_cast<double>(W) / w, sy = static_cast<double>(H) / h;
  const int64_t divisor = static_cast<int64_t>(std::floor(1000 * sx * sy));
  if (divisor <= 0) return false;
  const int64_t slots = 4 * (static_cast<int64_t>(w) + 1);
  auto a = NewArray<int64_t>(slots), b = NewArray<int64_t>(slots);
  auto values = NewArray<int>(4 * static_cast<int64_t>(w));
  // Per source column: the share f (thousandths) it gives to the next output column when
  // it lies across a boundary, or -1. The boundaries are the same on every row.
  auto split = NewArray<int>(W);
  if (!a || !b || !values || !split) return false;
  {
    double colBoundary = sx;
    int ox = 0;
    for (int x = 0; x < W; ++x) {
      split[x] = -1;
      if (x + 1 > colBoundary && ox < w) {
        split[x] = static_cast<int>(std::floor((x - (colBoundary - 1)) * 1000));
        ++ox;
        colBoundary += sx;
      }
    }
  }
  int64_t* cur = a.get();
  int64_t* nxt = b.get();
  const double inverse = 1.0 / static_cast<double>(divisor);
  auto finishRow = [&](int oy) {
    for (int64_t i = 0; i < 4 * static_cast<int64_t>(w); ++i) {
      // cur[i] / divisor by the reciprocal, corrected by one step (sums stay below 2^53).
      const int64_t sum = cur[i];
      int64_t q = static_cast<int64_t>(static_cast<double>(sum) * inverse);
      if (q * divisor > sum) --q;
      else if ((q + 1) * divisor <= sum) ++q;
      values[i] = static_cast<int>(std::min<int64_t>(255, q));
    }
    StoreRow(out.Row(oy), values.get(), w, out.bitCount);
  };
  double rowBoundary = sy;
  int oy = 0;
  for (int y = 0; y < H; ++y) {
    const uint8_t* p = work + 4 * static_cast<int64_t>(W) * y;
    const bool rowSplit = y + 1 > rowBoundary && oy < h;
    const int64_t fy = rowSplit ? static_cast<int64_t>(std::floor((y - (rowBoundary - 1)) * 1000)) : 0;
    const int64_t here = 1000 - fy;  // the row's weight in the current output row
    int ox = 0;
    uint32_t run[4] = {0, 0, 0, 0};
    auto flush = [&] {
      int64_t* c0 = cur + 4 * ox;
      int64_t* n0 = nxt + 4 * ox;
      for (int c = 0; c < 4; ++c) {
        c0[c] += here * run[c];
        if (rowSplit) n0[c] += fy * run[c];
        run[c] = 0;
      }
    };
    for (int x = 0; x < W; ++x, p += 4) {
      const int64_t f = split[x];
      if (f < 0) {
        run[0] += p[0], run[1] += p[1], run[2] += p[2], run[3] += p[3];
        continue;
      }
      flush();
      int64_t* c0 = cur + 4 * ox;
      int64_t* n0 = nxt + 4 * ox;
      if (rowSplit) {
        const int64_t w00 = (1000 - f) * (1000 - fy) / 1000, w10 = f * (1000 - fy) / 1000;
        const int64_t w01 = (1000 - f) * fy / 1000, w11 = f * fy / 1000;
        for (int c = 0; c < 4; ++c) {
          c0[c] += w00 * p[c], c0[4 + c] += w10 * p[c];
          n0[c] += w01 * p[c], n0[4 + c] += w11 * p[c];
        }
      } else {
        for (int c = 0; c < 4; ++c) c0[c] += (1000 - f) * p[c], c0[4 + c] += f * p[c];
      }
      ++ox;
    }
    flush();
    if (rowSplit) {
      finishRow(oy++);
      std::swap(cur, nxt);
      std::fill(nxt, nxt + slots, 0);
      rowBoundary += sy;
    }
  }
  if (oy < h) finishRow(oy);
  return true;
}

// Bilinear. The sample position of output column x, x * W / w', splits into a whole
// source column x0 and the fraction rx / w' towards the next; likewise for rows. The
// weighted sum is taken exactly in integers and truncated once, so that a result meant
// to be a whole number (a uniform area, a sample right on a source pixel) is not lost to
// rounding one step below it. The work size (w', h') may be larger than the output: only
// its lower-left w x h part is kept. Each output row first blends its two source rows
// column by column; only pixels whose samples mix visible and transparent ones are
// blended from scratch.
bool Enlarge(const uint8_t* work, int W, int H, bool alpha, const DibView& out, int w, int h, int64_t workW,
             int64_t workH) {
  auto x0s = NewArray<int>(w), x1s = NewArray<int>(w);
  auto rxs = NewArray<int64_t>(w);
  auto values = NewArray<int>(4 * static_cast<int64_t>(w));
  auto columns = NewArray<int64_t>(4 * static_cast<int64_t>(W));  // the two rows blended
  if (!x0s || !x1s || !rxs || !values || !columns) return false;
  for (int64_t x = 0; x < w; ++x) {
    const int64_t x0 = std::min<int64_t>(W - 1, x * W / workW);
    x0s[x] = static_cast<int>(x0);
    x1s[x] = static_cast<int>(std::min<int64_t>(W - 1, x0 + 1));
    rxs[x] = x * W - x0 * workW;
  }
  const int64_t srcStride = 4 * static_cast<int64_t>(W);
  const int64_t area = workW * workH;
  const double inverse = 1.0 / static_cast<double>(area);
  const int channels = alpha ? 4 : 3;  // a 24-bit result has no alpha to compute
  // sum / area, by the reciprocal and one correction step (sum < 2^53 is exact as a
  // double, so the estimate is off by one at most).
  auto divide = [area, inverse](int64_t sum) {
    int64_t q = static_cast<int64_t>(static_cast<double>(sum) * inverse);
    q -= q * area > sum;
    q += (q + 1) * area <= sum;
    return static_cast<int>(q);
  };
  for (int64_t y = 0; y < h; ++y) {
    const int64_t y0 = std::min<int64_t>(H - 1, y * H / workH);
    const int64_t y1 = std::min<int64_t>(H - 1, y0 + 1);
    const int64_t ry = y * H - y0 * workH, ry0 = workH - ry;
    const uint8_t* r0 = work + srcStride * y0;
    const uint8_t* r1 = work + srcStride * y1;
    for (int64_t i = 0; i < 4 * static_cast<int64_t>(W); ++i) columns[i] = r0[i] * ry0 + r1[i] * ry;
    for (int x = 0; x < w; ++x) {
      const int64_t rx = rxs[x], rx0 = workW - rx;
      const int a = x0s[x], b = x1s[x];
      if (alpha) {
        const uint8_t a00 = r0[4 * a + 3], a10 = r0[4 * b + 3], a01 = r1[4 * a + 3], a11 = r1[4 * b + 3];
        const bool visible = a00 >= 9 || a10 >= 9 || a01 >= 9 || a11 >= 9;
        const bool clear = a00 < 8 || a10 < 8 || a01 < 8 || a11 < 8;
        if (visible && clear) {
          // Transparent samples take the colour of the first visible one, so that their
          // (often black) colour does not bleed into the visible edge.
          uint8_t s[4][4];  // p00, p10, p01, p11
          std::memcpy(s[0], r0 + 4 * a, 4);
          std::memcpy(s[1], r0 + 4 * b, 4);
          std::memcpy(s[2], r1 + 4 * a, 4);
          std::memcpy(s[3], r1 + 4 * b, 4);
          int ref = 0;
          while (s[ref][3] < 9) ++ref;
          for (auto& q : s)
            if (q[3] < 8) q[0] = s[ref][0], q[1] = s[ref][1], q[2] = s[ref][2];
          for (int c = 0; c < 4; ++c) {
            const int64_t left = s[0][c] * ry0 + s[2][c] * ry;
            const int64_t right = s[1][c] * ry0 + s[3][c] * ry;
            values[4 * x + c] = divide(rx0 * left + rx * right);
          }
          continue;
        }
      }
      const int64_t* left = columns.get() + 4 * a;
      const int64_t* right = columns.get() + 4 * b;
      for (int c = 0; c < channels; ++c) values[4 * x + c] = divide(rx0 * left[c] + rx * right[c]);
    }
    StoreRow(out.Row(static_cast<int>(y)), values.get(), w, out.bitCount);
  }
  return true;
}


DibHandle ReferenceResample(DibHandle block, int width, int height) {
  if (width <= 0 || height <= 0 || !PictureSizeAllowed(width, height)) return nullptr;
  DibLock src(block);
  DibView s;
  if (!src || !ParseDib(src.data(), src.size(), &s) || !s.pixels) return nullptr;
  if (s.bitCount != 24 && s.bitCount != 32) return nullptr;
  if (s.width == 0 || s.height == 0) return nullptr;
  const int W = s.width, H = s.height, bits = s.bitCount;
  // An integer enlargement works on a grid larger by one step less than the factor and
  // drops the extra right columns and top rows, so that the samples reach the last
  // source column and row instead of stretching it over a whole step.
  const int kx = width / W, ky = height / H;
  const int64_t workW = width + (kx > 1 ? kx - 1 : 0), workH = height + (ky > 1 ? ky - 1 : 0);
  if (workW == W && workH == H) return DibDuplicate(block);

  auto work = NewArray<uint8_t>(4 * static_cast<uint64_t>(W) * static_cast<uint64_t>(H));
  if (!work) return nullptr;
  for (int y = 0; y < H; ++y) ReadRowBgra(s, y, work.get() + 4 * static_cast<int64_t>(W) * y);

  UniqueDib result(DibCreate(width, height, bits));
  DibLock dst(result.get());
  DibView d;
  if (!dst || !ParseDib(dst.data(), dst.size(), &d) || d.bitCount != bits) return nullptr;
  if (workW < W && workH < H) {
    if (bits == 32 && !RepairTransparentColours(work.get(), W, H)) return nullptr;
    if (!Shrink(work.get(), W, H, d, width, height)) return nullptr;
  } else if (!Enlarge(work.get(), W, H, bits == 32, d, width, height, workW, workH)) {
    return nullptr;
  }
  return result.release();
}

}  // namespace reference

using test::Bytes;
using test::Info;
using test::Px;

class ResampleReferenceTest : public test::PictureOpsTest {};

enum class Fill { kNoise, kSprite, kThresholds, kFlat, kIslands };

// Pictures that reach every branch: noise (alpha included), a sprite (an opaque disc with a
// soft rim on transparent corners, as sprites are drawn), alphas around the visibility
// thresholds 7, 8 and 9, large flat areas with a few specks, and an opaque picture with
// transparent patches in rows far apart (the repair's window sums start afresh there).
UniqueDib MakePicture(int w, int h, int bits, Fill fill, std::mt19937& rng) {
  UniqueDib pic(DibCreate(w, h, bits));
  DibLock lock(pic.get());
  DibView v;
  if (!lock || !ParseDib(lock.data(), lock.size(), &v)) return UniqueDib();
  const int n = bits / 8;
  const uint8_t flat[4] = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), 255};
  static constexpr uint8_t kEdges[] = {0, 6, 7, 8, 9, 10, 128, 255};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = v.Row(y) + static_cast<int64_t>(n) * x;
      for (int c = 0; c < n; ++c) p[c] = static_cast<uint8_t>(rng());
      if (fill == Fill::kFlat && rng() % 16 != 0) std::memcpy(p, flat, n);
      if (n < 4) continue;
      if (fill == Fill::kSprite) {
        const double dx = (x + 0.5 - w / 2.0) / (w / 2.0), dy = (y + 0.5 - h / 2.0) / (h / 2.0), d = dx * dx + dy * dy;
        p[3] = d >= 1 ? 0 : d <= 0.6 ? 255 : static_cast<uint8_t>(rng() % 256);
      } else if (fill == Fill::kThresholds) {
        p[3] = kEdges[rng() % 8];
      } else if (fill == Fill::kIslands) {
        p[3] = y % 29 < 2 && x % 13 < 4 ? kEdges[rng() % 4] : 255;
      }
    }
  return pic;
}

// The first differing pixel of two results of the same size, as text.
std::string FirstDifference(DibHandle got, DibHandle want) {
  const auto g = Info(got), r = Info(want);
  if (g.width != r.width || g.height != r.height || g.bits != r.bits) return "different sizes";
  for (int y = 0; y < g.height; ++y)
    for (int x = 0; x < g.width; ++x)
      if (Px(got, x, y) != Px(want, x, y)) {
        const auto a = Px(got, x, y), b = Px(want, x, y);
        return "pixel " + std::to_string(x) + "," + std::to_string(y) + " is " + std::to_string(a[0]) + " " +
               std::to_string(a[1]) + " " + std::to_string(a[2]) + " " + std::to_string(a[3]) + ", want " +
               std::to_string(b[0]) + " " + std::to_string(b[1]) + " " + std::to_string(b[2]) + " " +
               std::to_string(b[3]);
      }
  return "header bytes";
}

// Compares one scaling with the reference; returns false (after reporting) on a mismatch.
bool Same(DibHandle pic, int w, int h) {
  UniqueDib got(DibResample(pic, w, h)), want(reference::ReferenceResample(pic, w, h));
  const auto in = Info(pic);
  const std::string what = std::to_string(in.bits) + "-bit " + std::to_string(in.width) + "x" +
                           std::to_string(in.height) + " to " + std::to_string(w) + "x" + std::to_string(h);
  if (!got != !want) {
    ADD_FAILURE() << what << ": " << (got ? "a result where the reference has none" : "no result");
    return false;
  }
  if (got && Bytes(got.get()) != Bytes(want.get())) {
    ADD_FAILURE() << what << ": " << FirstDifference(got.get(), want.get());
    return false;
  }
  return true;
}

// Random sizes in every direction: integer and fractional shrinking, enlarging by integer
// factors (the wider work grid) and by fractions, one side shrinking and the other growing,
// and pictures one pixel wide or high.
TEST_F(ResampleReferenceTest, RandomSizesAndPicturesMatchTheReference) {
  std::mt19937 rng(20261209);
  auto pick = [&rng](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
  int failures = 0;
  for (int round = 0; round < 900 && failures < 5; ++round) {
    const int bits = round % 2 ? 32 : 24;
    const Fill fill = static_cast<Fill>((round / 2) % 5);
    int W = pick(1, 72), H = pick(1, 72);
    if (fill == Fill::kIslands) H = pick(40, 120);
    if (round % 15 == 0) W = 1;
    if (round % 15 == 7) H = 1;
    UniqueDib pic = MakePicture(W, H, bits, fill, rng);
    ASSERT_TRUE(pic);
    int w = 1, h = 1;
    switch (round % 6) {
      case 0: w = std::max(1, W / pick(2, 6)), h = std::max(1, H / pick(2, 6)); break;  // integer factors
      case 1: w = pick(1, std::max(1, W - 1)), h = pick(1, std::max(1, H - 1)); break;  // fractions
      case 2: w = W * pick(1, 4), h = H * pick(1, 4); break;                            // integer growth
      case 3: w = pick(W, 3 * W + 5), h = pick(H, 3 * H + 5); break;                    // fractional growth
      case 4: w = pick(1, W), h = pick(H, 2 * H + 3); break;                            // mixed
      default: w = pick(W, 2 * W + 3), h = pick(1, H); break;
    }
    if (!Same(pic.get(), w, h)) ++failures;
    // The extremes of the same picture: a single column, a single row, a single pixel.
    if (round % 10 == 0) {
      failures += !Same(pic.get(), 1, pick(1, 2 * H));
      failures += !Same(pic.get(), pick(1, 2 * W), 1);
      failures += !Same(pic.get(), 1, 1);
    }
  }
}

// Larger pictures: output columns many source columns wide, long rows of straddling
// pixels, steps that are nearly whole numbers, and output rows over 257 source rows tall
// (sums flushed within one output row).
TEST_F(ResampleReferenceTest, LargerPicturesMatchTheReference) {
  std::mt19937 rng(77);
  struct Case {
    int W, H, w, h;
  };
  for (const Case& c : {Case{400, 300, 131, 97}, Case{301, 199, 100, 66}, Case{1200, 3, 2, 1}, Case{3, 900, 1, 4},
                        Case{640, 480, 320, 240}, Case{599, 401, 600, 400}, Case{37, 29, 500, 333},
                        Case{160, 90, 480, 270}, Case{97, 5, 1000, 3}, Case{1001, 7, 999, 2},
                        Case{23, 1300, 5, 1}, Case{19, 1900, 7, 3}, Case{40, 1600, 3, 2}}) {
    for (int bits : {24, 32})
      for (Fill fill : {Fill::kNoise, Fill::kSprite, Fill::kIslands}) {
        UniqueDib pic = MakePicture(c.W, c.H, bits, fill, rng);
        ASSERT_TRUE(pic);
        ASSERT_TRUE(Same(pic.get(), c.w, c.h));
      }
  }
}

}  // namespace
}  // namespace qv
