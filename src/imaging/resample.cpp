#include "imaging/resample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define QV_RESAMPLE_SSE2 1
#endif

#include "imaging/dib.h"
#include "imaging/picture_limits.h"
#include "imaging/pixel_rows.h"

namespace qv {
namespace {

// floor(s / n) = (s * kReciprocal[n]) >> 31 for s < 2^16 and 1 <= n <= 256: n times the
// reciprocal exceeds 2^31 by e < n, and s * e < 2^31 keeps the excess below 1 / n.
constexpr std::array<uint32_t, 257> kReciprocal = [] {
  std::array<uint32_t, 257> r{};
  for (uint64_t n = 1; n <= 256; ++n) r[n] = static_cast<uint32_t>(((uint64_t{1} << 31) + n - 1) / n);
  return r;
}();

// Transparent pixels (alpha below 8) take the average colour of the visible pixels
// (alpha above 7) around them, so that averaging does not pull black into the visible
// edge. The window is columns max(0, x - 8) up to, not including, min(W - 1, x + 8), and
// the same for rows; a pixel with no visible neighbour there becomes black. Only visible
// pixels are summed and only transparent ones change, so each row can be repaired from
// the unchanged source as the shrinking walk asks for it: the window's sums are kept per
// column (16-bit lanes: at most 16 rows of 255) and slid down the picture, in blocks of 16
// columns and only where a transparent pixel needs them; along a row a second window
// slides over those column sums.
class TransparentRepair {
 public:
  explicit TransparentRepair(const DibView& source) : m_src(source), m_width(source.width) {}
  bool Allocate() {
    if (m_width <= 0) return false;
    m_columns = NewArray<uint16_t>(4 * static_cast<uint64_t>(m_width) + 8);
    m_row = NewArray<uint8_t>(4 * static_cast<uint64_t>(m_width));
    const int64_t blocks = (m_width + kBlock - 1) / kBlock;
    m_blockFrom = NewArray<int>(blocks);
    m_blockTo = NewArray<int>(blocks);
    return m_columns && m_row && m_blockFrom && m_blockTo;
  }

  // Storage row y with its transparent pixels repaired; rows are asked for in order.
  const uint8_t* Row(int y) {
    const uint8_t* source = m_src.Row(y);
    const int64_t first = Find<true>(source, 0);
    if (first == m_width) return source;
    // Only the columns within 8 of a transparent pixel of this row are read: the blocks
    // holding them are brought to this row's window.
    const int height = m_src.height;
    const int y0 = std::max(0, y - 8), y1 = std::min(height - 1, y + 8);
    int64_t nextBlock = 0;  // blocks before this one are up to date
    for (int64_t x = first; x < m_width;) {
      const int64_t end = Find<false>(source, x);  // the transparent run is [x, end)
      const int64_t c0 = std::max<int64_t>(0, x - 8), c1 = std::min<int64_t>(m_width - 1, end + 7);
      if (c1 > c0)
        for (int64_t b = std::max(nextBlock, c0 / kBlock); b <= (c1 - 1) / kBlock; ++b) Bring(b, y0, y1);
      nextBlock = std::max(nextBlock, c1 > c0 ? (c1 - 1) / kBlock + 1 : 0);
      x = Find<true>(source, end);
    }
    uint8_t* row = m_row.get();
    std::memcpy(row, source, 4 * static_cast<size_t>(m_width));
    const uint16_t* col = m_columns.get();
    int64_t wx0 = 0, wx1 = 0;  // columns in the window sum: [wx0, wx1)
#ifdef QV_RESAMPLE_SSE2
    const __m128i zero = _mm_setzero_si128();
    auto column = [col, zero](int64_t x) {
      return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(col + 4 * x)), zero);
    };
    __m128i sum = zero;  // blue, green, red, count
    for (int64_t x = first; x < m_width; ++x) {
      uint8_t* p = row + 4 * x;
      if (p[3] >= 8) {  // skip the visible run
        x = Find<true>(row, x + 1) - 1;
        continue;
      }
      const int64_t x0 = std::max<int64_t>(0, x - 8), x1 = std::min<int64_t>(m_width - 1, x + 8);
      if (x0 >= wx1) {  // no overlap with the last window: start afresh
        wx0 = wx1 = x0;
        sum = zero;
      }
      for (; wx1 < x1; ++wx1) sum = _mm_add_epi32(sum, column(wx1));
      for (; wx0 < x0; ++wx0) sum = _mm_sub_epi32(sum, column(wx0));
      const uint32_t n = x1 > x0 ? static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(sum, 0xFF))) : 0;
      if (!n) {
        p[0] = p[1] = p[2] = 0;
        // Deep in a transparent area: the following transparent pixels up to the first
        // one whose window takes in a column holding a visible pixel have empty windows
        // too. Columns enter one per pixel, and none enters once the window reaches the
        // last column.
        const int64_t runEnd = Find<false>(row, x + 1);  // the transparent run goes on to here
        const int64_t counted = FirstCounted(wx1, std::min<int64_t>(m_width - 1, runEnd + 7));
        const int64_t last = counted < 0 ? runEnd - 1 : std::min<int64_t>(runEnd - 1, counted - 8);
        if (last > x) {
          ClearColours(row, x + 1, last + 1);
          x = last;
          wx1 = std::max(wx1, std::min<int64_t>(m_width - 1, x + 8));
          wx0 = std::max<int64_t>(0, x - 8);
        }
        sum = zero;  // every column in the window is empty
        continue;
      }
      const __m128i r = _mm_set1_epi32(static_cast<int32_t>(kReciprocal[n]));
      const __m128i even = _mm_srli_epi64(_mm_mul_epu32(sum, r), 31);                       // blue, red
      const __m128i odd = _mm_srli_epi64(_mm_mul_epu32(_mm_srli_epi64(sum, 32), r), 31);  // green
      p[0] = static_cast<uint8_t>(_mm_cvtsi128_si32(even));
      p[1] = static_cast<uint8_t>(_mm_cvtsi128_si32(odd));
      p[2] = static_cast<uint8_t>(_mm_cvtsi128_si32(_mm_shuffle_epi32(even, 2)));
    }
#else
    uint32_t sum[4] = {0, 0, 0, 0};
    for (int64_t x = first; x < m_width; ++x) {
      uint8_t* p = row + 4 * x;
      if (p[3] >= 8) continue;
      const int64_t x0 = std::max<int64_t>(0, x - 8), x1 = std::min<int64_t>(m_width - 1, x + 8);
      if (x0 >= wx1) {
        wx0 = wx1 = x0;
        sum[0] = sum[1] = sum[2] = sum[3] = 0;
      }
      for (; wx1 < x1; ++wx1)
        for (int c = 0; c < 4; ++c) sum[c] += col[4 * wx1 + c];
      for (; wx0 < x0; ++wx0)
        for (int c = 0; c < 4; ++c) sum[c] -= col[4 * wx0 + c];
      const uint32_t n = x1 > x0 ? sum[3] : 0;
      for (int c = 0; c < 3; ++c) p[c] = n ? static_cast<uint8_t>((uint64_t{sum[c]} * kReciprocal[n]) >> 31) : 0;
    }
#endif
    return row;
  }

 private:
  // The first pixel from x on whose alpha is below 8 (kTransparent) or at least 8, or the
  // width.
  template <bool kTransparent>
  int64_t Find(const uint8_t* row, int64_t x) const {
#ifdef QV_RESAMPLE_SSE2
    const __m128i seven = _mm_set1_epi8(7);
    for (; x + 4 <= m_width; x += 4) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * x));
      const int low = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, seven), v)) & 0x8888;
      if (kTransparent ? low != 0 : low != 0x8888) break;
    }
#endif
    for (; x < m_width; ++x)
      if ((row[4 * x + 3] < 8) == kTransparent) return x;
    return m_width;
  }

#ifdef QV_RESAMPLE_SSE2
  // The first column in [x, end) whose sums hold a visible pixel, or -1.
  int64_t FirstCounted(int64_t x, int64_t end) const {
    const uint16_t* col = m_columns.get();
    const __m128i zero = _mm_setzero_si128();
    for (; x + 2 <= end; x += 2) {
      const int empty = _mm_movemask_epi8(
          _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(col + 4 * x)), zero));
      if ((empty & 0x8080) != 0x8080) return (empty & 0x80) ? x + 1 : x;
    }
    for (; x < end; ++x)
      if (col[4 * x + 3] != 0) return x;
    return -1;
  }

  // Blacks out the colours of pixels [x, end), keeping their alpha.
  static void ClearColours(uint8_t* row, int64_t x, int64_t end) {
    const __m128i alpha = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
    for (; x + 4 <= end; x += 4) {
      __m128i* p = reinterpret_cast<__m128i*>(row + 4 * x);
      _mm_storeu_si128(p, _mm_and_si128(_mm_loadu_si128(p), alpha));
    }
    for (; x < end; ++x) row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = 0;
  }
#endif

  // Brings the column sums of block b to the rows [y0, y1): slid when its rows overlap
  // them, started afresh when not. Entering and leaving rows go in pairs where they can
  // (one pass over the sums); the 16-bit sums wrap in between at most, which the final
  // values undo.
  void Bring(int64_t b, int y0, int y1) {
    int& from = m_blockFrom[b];
    int& to = m_blockTo[b];
    const int64_t x0 = b * kBlock, x1 = std::min<int64_t>(m_width, x0 + kBlock);
    if (to <= y0) {
      std::fill(m_columns.get() + 4 * x0, m_columns.get() + 4 * x1, 0);
      from = to = y0;
    }
    while (to < y1 || from < y0) {
      const uint8_t* enter = to < y1 ? m_src.Row(to++) : nullptr;
      const uint8_t* leave = from < y0 ? m_src.Row(from++) : nullptr;
      Update(enter, leave, x0, x1);
    }
  }

  // Adds one row's visible pixels (colours and a count of one) and takes away another's;
  // either may be missing.
  void Update(const uint8_t* enter, const uint8_t* leave, int64_t x, int64_t end) {
    uint16_t* col = m_columns.get();
#ifdef QV_RESAMPLE_SSE2
    const __m128i eight = _mm_set1_epi8(8), colours = _mm_set1_epi32(0x00FFFFFF), one = _mm_set1_epi32(0x01000000);
    const __m128i zero = _mm_setzero_si128();
    // Four pixels' visible values: alpha is each pixel's top byte, and its "at least 8"
    // mask spreads over the pixel.
    auto visible = [&](const uint8_t* row) {
      if (!row) return zero;
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * x));
      const __m128i mask = _mm_srai_epi32(_mm_cmpeq_epi8(_mm_max_epu8(v, eight), v), 24);
      return _mm_and_si128(_mm_or_si128(_mm_and_si128(v, colours), one), mask);
    };
    for (; x + 4 <= end; x += 4) {
      const __m128i in = visible(enter), out = visible(leave);
      __m128i* lo = reinterpret_cast<__m128i*>(col + 4 * x);
      __m128i* hi = lo + 1;
      const __m128i l = _mm_sub_epi16(_mm_add_epi16(_mm_loadu_si128(lo), _mm_unpacklo_epi8(in, zero)),
                                      _mm_unpacklo_epi8(out, zero));
      const __m128i h = _mm_sub_epi16(_mm_add_epi16(_mm_loadu_si128(hi), _mm_unpackhi_epi8(in, zero)),
                                      _mm_unpackhi_epi8(out, zero));
      _mm_storeu_si128(lo, l);
      _mm_storeu_si128(hi, h);
    }
#endif
    for (; x < end; ++x) {
      uint16_t* s = col + 4 * x;
      for (int k = 0; k < 2; ++k) {
        const uint8_t* p = k == 0 ? enter : leave;
        if (!p || p[4 * x + 3] <= 7) continue;
        const int sign = k == 0 ? 1 : -1;
        for (int c = 0; c < 3; ++c) s[c] = static_cast<uint16_t>(s[c] + sign * p[4 * x + c]);
        s[3] = static_cast<uint16_t>(s[3] + sign);
      }
    }
  }

  const DibView& m_src;
  const int64_t m_width;
  std::unique_ptr<uint16_t[]> m_columns;  // blue, green, red, count per column
  std::unique_ptr<uint8_t[]> m_row;
  static constexpr int64_t kBlock = 16;
  // Per block of 16 columns, the rows its sums hold: [from, to).
  std::unique_ptr<int[]> m_blockFrom, m_blockTo;
};

// Adds (kAdd) or copies n bytes into 16-bit lanes, one lane per byte.
template <bool kAdd>
void WidenBytes(uint16_t* lanes, const uint8_t* bytes, int64_t n) {
  int64_t i = 0;
#ifdef QV_RESAMPLE_SSE2
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    __m128i* out = reinterpret_cast<__m128i*>(lanes + i);
    const __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
    _mm_storeu_si128(out, kAdd ? _mm_add_epi16(_mm_loadu_si128(out), lo) : lo);
    _mm_storeu_si128(out + 1, kAdd ? _mm_add_epi16(_mm_loadu_si128(out + 1), hi) : hi);
  }
#endif
  for (; i < n; ++i) lanes[i] = static_cast<uint16_t>(kAdd ? lanes[i] + bytes[i] : bytes[i]);
}

// Output column ox of a shrink: the source pixels wholly inside it, [from, to), and the
// pixels lying across its left and right boundaries with the thousandths of them that fall
// inside (a missing one is column 0 with a share of 0).
struct Span {
  int from = 0, to = 0;
  int left = 0, right = 0;
  int64_t leftShare = 0, rightShare = 0;
};

// A weight for one output row: thousandths of a source row, and where it is added.
struct RowShare {
  int64_t weight;
  int64_t* sums;
};

// Area average. Each output pixel covers sx x sy source pixels; a source pixel lying
// across a column or row boundary gives its weight (in thousandths) to both sides, and one
// lying across both gives the product of its shares, truncated to thousandths. The
// products make the weights inseparable only at such corner pixels, so the walk goes down
// the source adding whole rows column by column (a band of rows wholly inside one output
// row), and weighs the band's columns once per output row; a row that straddles a
// boundary is weighed on its own, into the current and the next output row. An output
// row is complete when the walk leaves the source row that crosses its lower boundary (or
// at the end, for the last one); its values are the sums divided by floor(1000 sx sy).
class Shrinker {
 public:
  Shrinker(int W, int H, int step, const DibView& out, int w, int h)
      : m_W(W), m_H(H), m_step(step), m_out(out), m_w(w), m_h(h) {}

  bool Run(const DibView& source, TransparentRepair* repair) {
    const double sx = static_cast<double>(m_W) / m_w, sy = static_cast<double>(m_H) / m_h;
    m_divisor = static_cast<int64_t>(std::floor(1000 * sx * sy));
    if (m_divisor <= 0) return false;
    const int64_t laneCount = static_cast<int64_t>(m_step) * m_W + 1;  // one spare for 4-lane reads of 24-bit rows
    m_band = NewArray<uint16_t>(laneCount);
    m_straddle = NewArray<uint16_t>(laneCount);
    m_a = NewArray<int64_t>(4 * static_cast<int64_t>(m_w));
    m_b = NewArray<int64_t>(4 * static_cast<int64_t>(m_w));
    m_spans = NewArray<Span>(m_w);
    if (!m_band || !m_straddle || !m_a || !m_b || !m_spans) return false;
    PlanColumns(sx);
    int64_t* cur = m_a.get();
    int64_t* nxt = m_b.get();
    const int64_t rowBytes = static_cast<int64_t>(m_step) * m_W;
    double rowBoundary = sy;
    int oy = 0;
    for (int y = 0; y < m_H && oy < m_h; ++y) {
      const uint8_t* row = repair ? repair->Row(y) : source.Row(y);
      const bool rowSplit = y + 1 > rowBoundary;
      if (!rowSplit) {
        // A band's first row is copied: the band needs no clearing after a flush.
        if (m_bandRows == 0) WidenBytes<false>(m_band.get(), row, rowBytes);
        else WidenBytes<true>(m_band.get(), row, rowBytes);
        // Flushed early enough that a column's inside sum stays below 2^32.
        if (++m_bandRows == m_bandLimit) FlushBand(cur);
        continue;
      }
      const int64_t fy = static_cast<int64_t>(std::floor((y - (rowBoundary - 1)) * 1000));
      WidenBytes<false>(m_straddle.get(), row, rowBytes);
      // The band and the straddling row are weighed in one pass; the next output row gets
      // its first values here, so it is written rather than added to.
      WeighStraddle(cur, nxt, fy);
      FinishRow(cur, oy++);
      std::swap(cur, nxt);
      rowBoundary += sy;
    }
    if (oy < m_h) {
      FlushBand(cur);
      FinishRow(cur, oy);
    }
    return true;
  }

 private:
  static constexpr int kMaxBandRows = 257;     // 257 rows of 255 fit 16 bits
  static constexpr int kFoldColumns = 65536;  // and 65536 such columns fit 32 bits
  // The sums of each output pixel are kept as blue, red, green, alpha: the even and the
  // odd channels side by side, as the 32 x 32 -> 64-bit vector multiply gives them.
  static constexpr int kSlot[4] = {0, 2, 1, 3};

  // The column boundaries start at sx and advance by sx; a source column is split when
  // the boundary falls inside it (the same test on every row). Columns after the last
  // boundary belong to no output column.
  void PlanColumns(double sx) {
    Span* spans = m_spans.get();
    double colBoundary = sx;
    int ox = 0;
    for (int x = 0; x < m_W; ++x) {
      if (x + 1 > colBoundary && ox < m_w) {
        const int64_t f = static_cast<int64_t>(std::floor((x - (colBoundary - 1)) * 1000));
        spans[ox].to = x;
        spans[ox].right = x;
        spans[ox].rightShare = 1000 - f;
        if (ox + 1 < m_w) {
          spans[ox + 1].from = x + 1;
          spans[ox + 1].to = x + 1;
          spans[ox + 1].left = x;
          spans[ox + 1].leftShare = f;
        }
        ++ox;
        colBoundary += sx;
      }
    }
    if (ox < m_w) spans[ox].to = m_W;
    // Whole-column sums in 32-bit lanes: a band is flushed before its widest column's
    // inside sum could pass 2^32. Columns too wide for even one row take the slower path
    // that folds every 256 columns into 64 bits.
    int64_t widest = 0;
    for (int i = 0; i < m_w; ++i) widest = std::max<int64_t>(widest, spans[i].to - spans[i].from);
    const uint64_t perRow = 255 * static_cast<uint64_t>(std::max<int64_t>(widest, 1));
    m_wide = perRow > 0xFFFFFFFFu;
    m_bandLimit = m_wide ? kMaxBandRows : static_cast<int>(std::min<uint64_t>(kMaxBandRows, 0xFFFFFFFFu / perRow));
  }

  void FlushBand(int64_t* cur) {
    if (m_bandRows == 0) return;
#ifdef QV_RESAMPLE_SSE2
    if (!m_wide) {
      Weigh<true, false>(cur, nullptr, 0);
      m_bandRows = 0;
      return;
    }
#endif
    const RowShare share{1000, cur};
    AddColumns(m_band.get(), &share, 1);
    m_bandRows = 0;
  }

  // The band so far (weight 1000) and the straddling row into the current output row
  // (1000 - fy), and the straddling row's fy into the next one, which holds nothing yet.
  void WeighStraddle(int64_t* cur, int64_t* nxt, int64_t fy) {
#ifdef QV_RESAMPLE_SSE2
    if (!m_wide) {
      if (m_bandRows > 0) Weigh<true, true>(cur, nxt, fy);
      else Weigh<false, true>(cur, nxt, fy);
      m_bandRows = 0;
      return;
    }
#endif
    FlushBand(cur);
    std::fill(nxt, nxt + 4 * static_cast<int64_t>(m_w), 0);
    const RowShare shares[2] = {{1000 - fy, cur}, {fy, nxt}};
    AddColumns(m_straddle.get(), shares, 2);
  }

#ifdef QV_RESAMPLE_SSE2
  // One pass over the output columns with 32-bit column sums: the band's (kBand) and the
  // straddling row's (kStraddle) inside, left and right pixels, weighed as AddColumns does.
  template <bool kBand, bool kStraddle>
  void Weigh(int64_t* cur, int64_t* nxt, int64_t fy) {
    const __m128i zero = _mm_setzero_si128();
    const uint16_t* const band = m_band.get();
    const uint16_t* const straddle = m_straddle.get();
    const Span* const spans = m_spans.get();
    const int64_t step = m_step;
    auto at = [zero, step](const uint16_t* lanes, int x) {
      return _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(lanes + step * x)), zero);
    };
    // Inside sum times v plus the boundary pixels times their weights, for the even (blue,
    // red) and the odd (green, alpha) lanes.
    struct Sums {
      __m128i inside, left, right;
    };
    auto gather = [&](const uint16_t* lanes, const Span& span) {
      Sums s{zero, at(lanes, span.left), at(lanes, span.right)};
      for (int x = span.from; x < span.to; ++x) s.inside = _mm_add_epi32(s.inside, at(lanes, x));
      return s;
    };
    auto weigh = [](const Sums& s, __m128i vw, __m128i lw, __m128i rw, __m128i* even, __m128i* odd) {
      *even = _mm_add_epi64(_mm_mul_epu32(s.inside, vw), _mm_add_epi64(_mm_mul_epu32(s.left, lw), _mm_mul_epu32(s.right, rw)));
      *odd = _mm_add_epi64(_mm_mul_epu32(_mm_srli_epi64(s.inside, 32), vw),
                           _mm_add_epi64(_mm_mul_epu32(_mm_srli_epi64(s.left, 32), lw),
                                         _mm_mul_epu32(_mm_srli_epi64(s.right, 32), rw)));
    };
    const int64_t v0 = 1000 - fy;
    const __m128i thousand = _mm_set1_epi32(1000), v0w = _mm_set1_epi32(static_cast<int32_t>(v0)),
                  v1w = _mm_set1_epi32(static_cast<int32_t>(fy));
    for (int ox = 0; ox < m_w; ++ox) {
      const Span& span = spans[ox];
      __m128i even = zero, odd = zero;
      if (kBand) {
        const Sums b = gather(band, span);
        weigh(b, thousand, _mm_set1_epi32(static_cast<int32_t>(span.leftShare)),
              _mm_set1_epi32(static_cast<int32_t>(span.rightShare)), &even, &odd);
      }
      __m128i* acc = reinterpret_cast<__m128i*>(cur + 4 * static_cast<int64_t>(ox));
      if (kStraddle) {
        const Sums s = gather(straddle, span);
        __m128i e, o;
        weigh(s, v0w, _mm_set1_epi32(static_cast<int32_t>(span.leftShare * v0 / 1000)),
              _mm_set1_epi32(static_cast<int32_t>(span.rightShare * v0 / 1000)), &e, &o);
        even = _mm_add_epi64(even, e);
        odd = _mm_add_epi64(odd, o);
        weigh(s, v1w, _mm_set1_epi32(static_cast<int32_t>(span.leftShare * fy / 1000)),
              _mm_set1_epi32(static_cast<int32_t>(span.rightShare * fy / 1000)), &e, &o);
        __m128i* next = reinterpret_cast<__m128i*>(nxt + 4 * static_cast<int64_t>(ox));
        _mm_storeu_si128(next, e);
        _mm_storeu_si128(next + 1, o);
      }
      _mm_storeu_si128(acc, _mm_add_epi64(_mm_loadu_si128(acc), even));
      _mm_storeu_si128(acc + 1, _mm_add_epi64(_mm_loadu_si128(acc + 1), odd));
    }
  }
#endif

  // Weighs one band (or straddling row) of column sums into each output row it touches
  // (64-bit folds for columns too wide for 32-bit sums, and without SSE2):
  // inside pixels by the row weight, the straddling ones by their share of it.
  void AddColumns(const uint16_t* lanes, const RowShare* shares, int count) {
    const int channels = m_step;
    for (int ox = 0; ox < m_w; ++ox) {
      const Span& span = m_spans[ox];
      uint64_t inside[4] = {0, 0, 0, 0};
      for (int x = span.from; x < span.to;) {
        const int end = std::min(span.to, x + kFoldColumns);
        uint32_t part[4] = {0, 0, 0, 0};
        for (; x < end; ++x)
          for (int c = 0; c < channels; ++c) part[c] += lanes[m_step * static_cast<int64_t>(x) + c];
        for (int c = 0; c < 4; ++c) inside[c] += part[c];
      }
      const uint16_t* left = lanes + m_step * static_cast<int64_t>(span.left);
      const uint16_t* right = lanes + m_step * static_cast<int64_t>(span.right);
      for (int k = 0; k < count; ++k) {
        const int64_t v = shares[k].weight;
        const int64_t lw = span.leftShare * v / 1000, rw = span.rightShare * v / 1000;
        int64_t* acc = shares[k].sums + 4 * static_cast<int64_t>(ox);
        for (int c = 0; c < channels; ++c)
          acc[kSlot[c]] += v * static_cast<int64_t>(inside[c]) + lw * left[c] + rw * right[c];
      }
    }
  }

  // sum / divisor, exactly: (sum + 0.5) / divisor lies at least 0.5 / divisor away from
  // any whole number, and the quotient is small (a few hundred at most), so the double
  // product's error (about 2^-44) cannot carry it across one while divisor < 2^40.
  void FinishRow(const int64_t* sums, int oy) {
    uint8_t* out = m_out.Row(oy);
    const double inverse = 1.0 / static_cast<double>(m_divisor);
    const bool exact = m_divisor < (int64_t{1} << 40);  // and so every sum < 2^52
    int ox = 0;
#ifdef QV_RESAMPLE_SSE2
    if (exact) {
      // A 64-bit integer below 2^52 becomes a double by taking its bits as the mantissa of
      // 2^52 and subtracting 2^52.
      const __m128i bias = _mm_set1_epi64x(0x4330000000000000LL);
      const __m128d two52 = _mm_set1_pd(4503599627370496.0), half = _mm_set1_pd(0.5), inv = _mm_set1_pd(inverse);
      auto quotients = [&](const int64_t* p) {
        const __m128d d = _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), bias)), two52);
        return _mm_cvttpd_epi32(_mm_mul_pd(_mm_add_pd(d, half), inv));
      };
      for (; ox + 1 < m_w; ++ox, out += m_step) {
        const int64_t* p = sums + 4 * static_cast<int64_t>(ox);
        const __m128i q = _mm_unpacklo_epi32(quotients(p), quotients(p + 2));  // blue, green, red, alpha
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q, q), q);       // above 255 gives 255
        const uint32_t pixel = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
        std::memcpy(out, &pixel, 4);  // the last byte of a 24-bit pixel is the next one's
      }
    }
#endif
    for (; ox < m_w; ++ox, out += m_step)
      for (int c = 0; c < m_step; ++c) {
        const int64_t sum = sums[4 * static_cast<int64_t>(ox) + kSlot[c]];
        const int64_t q =
            exact ? static_cast<int64_t>((static_cast<double>(sum) + 0.5) * inverse) : sum / m_divisor;
        out[c] = static_cast<uint8_t>(std::min<int64_t>(255, q));
      }
  }

  const int m_W, m_H, m_step;
  const DibView& m_out;
  const int m_w, m_h;
  int64_t m_divisor = 0;
  int m_bandRows = 0, m_bandLimit = kMaxBandRows;
  bool m_wide = false;  // some output column spans too many source columns for 32-bit sums
  std::unique_ptr<uint16_t[]> m_band;      // the band's column sums, one lane per byte
  std::unique_ptr<uint16_t[]> m_straddle;  // a straddling row, widened the same way
  std::unique_ptr<int64_t[]> m_a, m_b;     // the current and the next output row
  std::unique_ptr<Span[]> m_spans;
};

// Bilinear. The sample position of output column x, x * W / w', splits into a whole
// source column x0 and the fraction rx / w' towards the next; likewise for rows. The
// weighted sum is exact (whole numbers, held in doubles once they outgrow 32 bits) and
// truncated once, so that a result meant to be a whole number (a uniform area, a sample
// right on a source pixel) is not lost to rounding one step below it. The work size (w', h') may be larger than the output: only
// its lower-left w x h part is kept. Each output row first blends its two source rows
// column by column (16-bit products summed in 32 bits: the weights are below 2^15 since
// h' < 2h); the columns are then blended in doubles with the weights rx0 / (w' h') and
// rx / (w' h'): the exact (sum + 0.5) / (w' h') lies at least 0.5 / (w' h') >= 2^-31 from
// a whole number, and for a result below 256 the few roundings on the way stay below
// 2^-42, so truncating gives the exact integer quotient. Pixels whose samples mix visible
// and transparent ones are then blended again from scratch.
class Enlarger {
 public:
  Enlarger(const uint8_t* work, int W, int H, bool alpha, const DibView& out, int w, int h, int64_t workW,
           int64_t workH)
      : m_work(work), m_W(W), m_H(H), m_alpha(alpha), m_out(out), m_w(w), m_h(h), m_workW(workW), m_workH(workH) {}

  bool Run() {
    m_x0 = NewArray<int>(m_w);
    m_x1 = NewArray<int>(m_w);
    m_weights = NewArray<double>(4 * static_cast<int64_t>(m_w));
    m_rx = NewArray<int64_t>(m_w);
    m_firstOut = NewArray<int>(static_cast<int64_t>(m_W) + 1);
    m_columns = NewArray<double>(4 * static_cast<int64_t>(m_W));
    m_mixed = NewArray<int>(m_W);
    if (!m_x0 || !m_x1 || !m_weights || !m_rx || !m_firstOut || !m_columns || !m_mixed) return false;
    const double inverse = 1.0 / static_cast<double>(m_workW * m_workH);
    for (int64_t x = 0; x < m_w; ++x) {
      const int64_t x0 = std::min<int64_t>(m_W - 1, x * m_W / m_workW);
      m_x0[x] = static_cast<int>(x0);
      m_x1[x] = static_cast<int>(std::min<int64_t>(m_W - 1, x0 + 1));
      const int64_t rx = x * m_W - x0 * m_workW;
      m_rx[x] = rx;
      // Each weight twice, for both halves of a vector.
      m_weights[4 * x] = m_weights[4 * x + 1] = static_cast<double>(m_workW - rx) * inverse;
      m_weights[4 * x + 2] = m_weights[4 * x + 3] = static_cast<double>(rx) * inverse;
    }
    // Output columns sampling from source column a: [firstOut[a], firstOut[a + 1]).
    for (int a = 0, x = 0; a <= m_W; ++a) {
      while (x < m_w && m_x0[x] < a) ++x;
      m_firstOut[a] = x;
    }
    const int64_t srcStride = 4 * static_cast<int64_t>(m_W);
    for (int64_t y = 0; y < m_h; ++y) {
      const int64_t y0 = std::min<int64_t>(m_H - 1, y * m_H / m_workH);
      const int64_t y1 = std::min<int64_t>(m_H - 1, y0 + 1);
      const int64_t ry = y * m_H - y0 * m_workH, ry0 = m_workH - ry;
      const uint8_t* r0 = m_work + srcStride * y0;
      const uint8_t* r1 = m_work + srcStride * y1;
      BlendRows(r0, r1, static_cast<int>(ry0), static_cast<int>(ry));
      uint8_t* out = m_out.Row(static_cast<int>(y));
      if (m_out.bitCount == 32) BlendColumns<4>(out, 0.5 * inverse);
      else BlendColumns<3>(out, 0.5 * inverse);
      if (m_alpha) RepairMixedPixels(r0, r1, ry0, ry, out);
    }
    return true;
  }

 private:
  void BlendRows(const uint8_t* r0, const uint8_t* r1, int ry0, int ry) {
    double* columns = m_columns.get();
    const int64_t n = 4 * static_cast<int64_t>(m_W);
    int64_t i = 0;
#ifdef QV_RESAMPLE_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i weights = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(ry) << 16) | static_cast<uint32_t>(ry0)));
    for (; i + 16 <= n; i += 16) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + i));
      const __m128i alo = _mm_unpacklo_epi8(a, zero), ahi = _mm_unpackhi_epi8(a, zero);
      const __m128i blo = _mm_unpacklo_epi8(b, zero), bhi = _mm_unpackhi_epi8(b, zero);
      const __m128i sums[4] = {_mm_madd_epi16(_mm_unpacklo_epi16(alo, blo), weights),
                               _mm_madd_epi16(_mm_unpackhi_epi16(alo, blo), weights),
                               _mm_madd_epi16(_mm_unpacklo_epi16(ahi, bhi), weights),
                               _mm_madd_epi16(_mm_unpackhi_epi16(ahi, bhi), weights)};
      for (int k = 0; k < 4; ++k) {
        _mm_storeu_pd(columns + i + 4 * k, _mm_cvtepi32_pd(sums[k]));
        _mm_storeu_pd(columns + i + 4 * k + 2, _mm_cvtepi32_pd(_mm_shuffle_epi32(sums[k], 0xEE)));
      }
    }
#endif
    for (; i < n; ++i) columns[i] = r0[i] * ry0 + r1[i] * ry;
  }

  template <int kStep>
  void BlendColumns(uint8_t* out, double half) {
    // Locals, not members: the byte stores below could otherwise alias them.
    const double* const columns = m_columns.get();
    const double* const weights = m_weights.get();
    const int* const x0s = m_x0.get();
    const int* const x1s = m_x1.get();
    const int w = m_w;
    int x = 0;
#ifdef QV_RESAMPLE_SSE2
    const __m128d halfv = _mm_set1_pd(half);
    auto pixel = [=](int i) {
      const double* a = columns + 4 * static_cast<int64_t>(x0s[i]);
      const double* b = columns + 4 * static_cast<int64_t>(x1s[i]);
      const __m128d wa = _mm_loadu_pd(weights + 4 * i), wb = _mm_loadu_pd(weights + 4 * i + 2);
      const __m128d lo = _mm_add_pd(_mm_add_pd(_mm_mul_pd(_mm_loadu_pd(a), wa), _mm_mul_pd(_mm_loadu_pd(b), wb)), halfv);
      const __m128d hi =
          _mm_add_pd(_mm_add_pd(_mm_mul_pd(_mm_loadu_pd(a + 2), wa), _mm_mul_pd(_mm_loadu_pd(b + 2), wb)), halfv);
      return _mm_unpacklo_epi64(_mm_cvttpd_epi32(lo), _mm_cvttpd_epi32(hi));
    };
    if (kStep == 4) {
      for (; x + 2 <= w; x += 2, out += 8) {
        const __m128i q = _mm_packs_epi32(pixel(x), pixel(x + 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(q, q));
      }
    } else {
      // Four pixels (16 bytes) packed into 12: one 8-byte and one 4-byte store.
      for (; x + 4 <= w; x += 4, out += 12) {
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(pixel(x), pixel(x + 1)),
                                               _mm_packs_epi32(pixel(x + 2), pixel(x + 3)));
        const uint64_t p01 = static_cast<uint64_t>(static_cast<uint32_t>(_mm_cvtsi128_si32(bytes))) |
                             static_cast<uint64_t>(static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 4)))) << 32;
        const uint32_t p2 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 8)));
        const uint32_t p3 = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(bytes, 12)));
        const uint64_t low = (p01 & 0xFFFFFF) | ((p01 >> 8) & 0xFFFFFF000000ULL) | (static_cast<uint64_t>(p2) << 48);
        const uint32_t high = ((p2 >> 16) & 0xFF) | (p3 << 8);
        std::memcpy(out, &low, 8);
        std::memcpy(out + 8, &high, 4);
      }
    }
#endif
    for (; x < w; ++x, out += kStep) {
      const double* a = columns + 4 * static_cast<int64_t>(x0s[x]);
      const double* b = columns + 4 * static_cast<int64_t>(x1s[x]);
      for (int c = 0; c < kStep; ++c)
        out[c] = static_cast<uint8_t>(a[c] * weights[4 * x] + b[c] * weights[4 * x + 2] + half);
    }
  }

  // Transparent samples take the colour of the first visible one, so that their (often
  // black) colour does not bleed into the visible edge. Only output columns whose source
  // columns a, a + 1 hold both a visible (alpha 9 or more) and a transparent (below 8)
  // sample in the two rows need it.
  void RepairMixedPixels(const uint8_t* r0, const uint8_t* r1, int64_t ry0, int64_t ry, uint8_t* out) {
    // The list of such columns a depends only on the row pair, which consecutive output
    // rows often share.
    int* mixed = m_mixed.get();
    if (r0 != m_pairRow) {
      m_pairRow = r0;
      m_mixedCount = 0;
      auto kind = [](uint8_t a) { return (a >= 9 ? 1 : 0) | (a < 8 ? 2 : 0); };
      int next = kind(r0[4 * (m_W - 1) + 3]) | kind(r1[4 * (m_W - 1) + 3]);
      for (int a = m_W - 1; a >= 0; --a) {
        const int here = kind(r0[4 * a + 3]) | kind(r1[4 * a + 3]);
        if ((here | next) == 3) mixed[m_mixedCount++] = a;
        next = here;
      }
    }
    const int64_t area = m_workW * m_workH;
    for (int i = 0; i < m_mixedCount; ++i) {
      const int a = mixed[i];
      for (int x = m_firstOut[a]; x < m_firstOut[a + 1]; ++x) {
        const int b = m_x1[x];
        uint8_t s[4][4];  // p00, p10, p01, p11
        std::memcpy(s[0], r0 + 4 * a, 4);
        std::memcpy(s[1], r0 + 4 * b, 4);
        std::memcpy(s[2], r1 + 4 * a, 4);
        std::memcpy(s[3], r1 + 4 * b, 4);
        const bool visible = s[0][3] >= 9 || s[1][3] >= 9 || s[2][3] >= 9 || s[3][3] >= 9;
        const bool clear = s[0][3] < 8 || s[1][3] < 8 || s[2][3] < 8 || s[3][3] < 8;
        if (!visible || !clear) continue;
        int ref = 0;
        while (s[ref][3] < 9) ++ref;
        for (auto& q : s)
          if (q[3] < 8) q[0] = s[ref][0], q[1] = s[ref][1], q[2] = s[ref][2];
        const int64_t rx = m_rx[x], rx0 = m_workW - rx;
        for (int c = 0; c < 4; ++c) {
          const int64_t left = s[0][c] * ry0 + s[2][c] * ry;
          const int64_t right = s[1][c] * ry0 + s[3][c] * ry;
          out[4 * static_cast<int64_t>(x) + c] = static_cast<uint8_t>((rx0 * left + rx * right) / area);
        }
      }
    }
  }

  const uint8_t* m_work;
  const int m_W, m_H;
  const bool m_alpha;
  const DibView& m_out;
  const int m_w, m_h;
  const int64_t m_workW, m_workH;
  std::unique_ptr<int[]> m_x0, m_x1, m_firstOut;
  std::unique_ptr<double[]> m_weights;  // per output column: the weights of columns x0 and x1
  std::unique_ptr<int64_t[]> m_rx;
  std::unique_ptr<double[]> m_columns;  // the two rows blended
  std::unique_ptr<int[]> m_mixed;  // source columns whose pixels mix visible and transparent
  const uint8_t* m_pairRow = nullptr;
  int m_mixedCount = 0;
};

}  // namespace

DibHandle DibCrop(DibHandle block, int left, int top, int right, int bottom) {
  DibLock src(block);
  DibView s;
  if (!src || !ParseDib(src.data(), src.size(), &s) || !s.pixels) return nullptr;
  if (s.bitCount != 8 && s.bitCount != 24 && s.bitCount != 32) return nullptr;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, s.width - 1);
  bottom = std::min(bottom, s.height - 1);
  if (right < left || bottom < top) return nullptr;
  const int w = right - left + 1, h = bottom - top + 1;
  UniqueDib result(DibCreate(w, h, s.bitCount));
  DibLock dst(result.get());
  DibView d;
  if (!dst || !ParseDib(dst.data(), dst.size(), &d) || d.bitCount != s.bitCount) return nullptr;
  if (s.bitCount == 8) {
    // The source's colours, as many as it has (DibCreate's standard colours stay behind
    // a shorter table).
    const uint32_t n = std::min<uint32_t>(s.colorCount, 256);
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* e = s.colorTable + static_cast<uint64_t>(i) * s.entryBytes;
      uint8_t* o = d.colorTable + 4 * i;
      o[0] = e[0], o[1] = e[1], o[2] = e[2], o[3] = s.entryBytes == 4 ? e[3] : 0;
    }
  }
  const size_t bytes = static_cast<size_t>(w) * (s.bitCount / 8);
  const size_t from = static_cast<size_t>(left) * (s.bitCount / 8);
  for (int i = 0; i < h; ++i) std::memcpy(d.Row(h - 1 - i), s.Row(s.height - 1 - (top + i)) + from, bytes);
  return result.release();
}

DibHandle DibResample(DibHandle block, int width, int height) {
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

  UniqueDib result(DibCreate(width, height, bits));
  DibLock dst(result.get());
  DibView d;
  if (!dst || !ParseDib(dst.data(), dst.size(), &d) || d.bitCount != bits) return nullptr;
  if (workW < W && workH < H) {
    // The shrinking walk reads the source rows as they stand (blue, green, red and, at 32
    // bits, alpha), repaired on the way at 32 bits.
    TransparentRepair repair(s);
    if (bits == 32 && !repair.Allocate()) return nullptr;
    Shrinker shrinker(W, H, bits / 8, d, width, height);
    if (!shrinker.Run(s, bits == 32 ? &repair : nullptr)) return nullptr;
    return result.release();
  }
  auto work = NewArray<uint8_t>(4 * static_cast<uint64_t>(W) * static_cast<uint64_t>(H));
  if (!work) return nullptr;
  for (int y = 0; y < H; ++y) ReadRowBgra(s, y, work.get() + 4 * static_cast<int64_t>(W) * y);
  Enlarger enlarger(work.get(), W, H, bits == 32, d, width, height, workW, workH);
  if (!enlarger.Run()) return nullptr;
  return result.release();
}

Hls RgbToHls(double r, double g, double b) {
  Hls out;
  const double mx = std::max({r, g, b}), mn = std::min({r, g, b});
  out.lightness = (mx + mn) / 2;
  if (out.lightness <= 0) return out;
  const double delta = mx - mn;
  if (!(delta > 0)) return out;
  out.saturation = out.lightness <= 0.5 ? delta / (mx + mn) : delta / (2 - mx - mn);
  double m;
  if (r == mx)
    m = g == mn ? 5 + (mx - b) / delta : 1 - (mx - g) / delta;
  else if (g == mx)
    m = b == mn ? 1 + (mx - r) / delta : 3 - (mx - b) / delta;
  else
    m = r == mn ? 3 + (mx - g) / delta : 5 - (mx - r) / delta;
  out.hue = m / 6;
  return out;
}

namespace {

inline double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

}  // namespace

DibHandle DibKeyToAlpha(DibHandle block, bool keyOn, uint32_t keyColour) {
  DibLock src(block);
  DibView s;
  if (!src || !ParseDib(src.data(), src.size(), &s) || !RowReadable(s)) return nullptr;
  switch (s.bitCount) {
    case 1: case 4: case 8: case 24: case 32: break;
    default: return nullptr;
  }
  UniqueDib result(DibCreate(s.width, s.height, 32));
  DibLock dst(result.get());
  DibView d;
  if (!dst || !ParseDib(dst.data(), dst.size(), &d) || d.bitCount != 32) return nullptr;

  const int keyRed = keyColour & 0xFF, keyGreen = (keyColour >> 8) & 0xFF, keyBlue = (keyColour >> 16) & 0xFF;
  const bool keyGrey = keyRed == keyGreen && keyGreen == keyBlue;
  const Hls key = RgbToHls(keyRed / 255.0, keyGreen / 255.0, keyBlue / 255.0);

  for (int y = 0; y < s.height; ++y) {
    uint8_t* p = d.Row(y);
    ReadRowBgra(s, y, p);
    if (!keyOn) continue;
    for (int x = 0; x < s.width; ++x, p += 4) {
      const int blue = p[0], green = p[1], red = p[2];
      const bool grey = red == green && green == blue;
      if (grey && !keyGrey) continue;
      const Hls px = RgbToHls(red / 255.0, green / 255.0, blue / 255.0);
      const double dL = std::fabs(px.lightness - key.lightness);
      double alpha = p[3];
      if (grey) {
        const double t = 1 - dL;
        alpha *= Clamp01(1 - t * t * t);
      } else if (keyGrey) {
        if (!(px.saturation < 0.2)) continue;
        const double t = 1 - dL;
        alpha *= Clamp01(1 - t * t);
      } else {
        double dh = std::fabs(px.hue - key.hue);
        if (dh > 0.5) dh = 1 - dh;
        const double k = dh < 0.01 ? 1 : std::min(1.0, 1 / (40 * dh));
        const double B = k * (1 - dL);
        if (k > 0.5) {
          // Close in hue: the key's tint goes, the pixel turns a lighter grey.
          const double lighter = px.lightness + (1 - px.lightness) / 1.5;
          const uint8_t v = static_cast<uint8_t>(std::clamp(std::floor(lighter * 255), 0.0, 255.0));
          p[0] = p[1] = p[2] = v;
          alpha *= Clamp01(1 - std::pow(B, 0.9));
        } else {
          alpha *= 1 - std::pow(B, 1.2);
        }
      }
      p[3] = static_cast<uint8_t>(std::clamp(std::floor(alpha), 0.0, 255.0));
    }
  }
  return result.release();
}

}  // namespace qv
