#include "imaging/blit.h"

#include <cstring>
#include <type_traits>

#include "imaging/palette.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define QV_BLIT_SSE2 1
#else
#define QV_BLIT_SSE2 0
#endif
// Wider loops for processors that have them, chosen at run time: the program itself is
// built for SSE2, which every processor it runs on has.
#if QV_BLIT_SSE2 && (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define QV_BLIT_AVX2 1
#else
#define QV_BLIT_AVX2 0
#endif

namespace qv {

namespace {

// --- Shared pieces ----------------------------------------------------------------------

// 5-5-5 channels widened to 8 bits (c << 3) and back.
inline uint32_t Red16(uint32_t p) { return ((p >> 10) & 0x1F) << 3; }
inline uint32_t Green16(uint32_t p) { return ((p >> 5) & 0x1F) << 3; }
inline uint32_t Blue16(uint32_t p) { return (p & 0x1F) << 3; }
inline uint16_t Pack16(uint32_t red, uint32_t green, uint32_t blue) {
  return static_cast<uint16_t>(((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3));
}

inline uint32_t BackRed(uint32_t c) { return c & 0xFF; }
inline uint32_t BackGreen(uint32_t c) { return (c >> 8) & 0xFF; }
inline uint32_t BackBlue(uint32_t c) { return (c >> 16) & 0xFF; }

// Blended 32-bit channels above 254 are stored as 255.
inline uint8_t Store32(uint32_t v) { return static_cast<uint8_t>(v > 254 ? 255 : v); }

inline uint16_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
inline void Save16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }
inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

// Walks the rectangle's rows upwards and hands each row to fn(dst, src, mask).
template <class RowFn>
inline void ForEachRow(const BlitRows& b, RowFn fn) {
  uint8_t* d = b.dst;
  const uint8_t* s = b.src;
  const uint8_t* m = b.mask;
  for (int k = 0; k < b.height; ++k) {
    fn(d, s, m);
    d += b.dstStride;
    s += b.srcStride;
    if (m) m += b.maskStride;
  }
}

// The rectangle's old pixels brought from `under` into dst, leaving a request that
// composites over dst as usual.
BlitRows CopyUnder(const BlitRows& b) {
  BlitRows plain = b;
  plain.under = nullptr;
  const size_t bytes = static_cast<size_t>(b.width) * static_cast<size_t>(b.depth / 8);
  const uint8_t* u = b.under;
  uint8_t* d = b.dst;
  for (int k = 0; k < b.height; ++k, u += b.underStride, d += b.dstStride) std::memcpy(d, u, bytes);
  return plain;
}

// Copies n <= 32 bytes as two fixed-size moves that may overlap, which the compiler
// turns into plain loads and stores.
inline void CopyShort(uint8_t* d, const uint8_t* s, size_t n) {
  if (n >= 16) {
    std::memcpy(d, s, 16);
    std::memcpy(d + n - 16, s + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(d, s, 8);
    std::memcpy(d + n - 8, s + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(d, s, 4);
    std::memcpy(d + n - 4, s + n - 4, 4);
  } else {
    for (size_t i = 0; i < n; ++i) d[i] = s[i];
  }
}

// A plain copy of rows of the given length. When both pictures' rows lie back to back
// (no padding, same direction) the rectangle is one block: a single memcpy lets the C
// library use its large-copy strategy (non-temporal stores), which row-sized calls never
// reach.
inline void CopyRows(const BlitRows& b, size_t bytes) {
  const int64_t stride = b.dstStride;
  if (b.height > 1 && stride == b.srcStride && (stride == static_cast<int64_t>(bytes) || -stride == static_cast<int64_t>(bytes))) {
    const int64_t lowest = stride < 0 ? stride * (b.height - 1) : 0;
    std::memcpy(b.dst + lowest, b.src + lowest, bytes * static_cast<size_t>(b.height));
    return;
  }
  if (bytes <= 32) {  // the narrow strips beside a moved sprite: no call per row
    ForEachRow(b, [&](uint8_t* d, const uint8_t* s, const uint8_t*) { CopyShort(d, s, bytes); });
    return;
  }
  ForEachRow(b, [&](uint8_t* d, const uint8_t* s, const uint8_t*) { std::memcpy(d, s, bytes); });
}

// --- The rules, one pixel at a time ------------------------------------------------------

// Depth 16, one pixel: returns the new destination pixel.
inline uint16_t Pixel16(const BlitRows& b, uint16_t s, uint16_t d, int q) {
  const uint32_t op = static_cast<uint32_t>(b.opacity);
  const uint32_t sr = Red16(s), sg = Green16(s), sb = Blue16(s);
  const uint32_t dr = Red16(d), dg = Green16(d), db = Blue16(d);
  if (q < 0) {  // no mask
    if (op == 100) return s;
    return Pack16((sr * op + dr * (100 - op)) / 100, (sg * op + dg * (100 - op)) / 100,
                  (sb * op + db * (100 - op)) / 100);
  }
  const uint32_t uq = static_cast<uint32_t>(q);
  if (op == 100) {
    const uint32_t br = b.solidBack ? BackRed(b.backColor) : dr;
    const uint32_t bg = b.solidBack ? BackGreen(b.backColor) : dg;
    const uint32_t bb = b.solidBack ? BackBlue(b.backColor) : db;
    return Pack16((sr * uq + br * (255 - uq)) / 255, (sg * uq + bg * (255 - uq)) / 255,
                  (sb * uq + bb * (255 - uq)) / 255);
  }
  if (!b.solidBack) {
    const uint32_t u = uq * op / 255;
    return Pack16((sr * u + dr * (100 - u)) / 100, (sg * u + dg * (100 - u)) / 100,
                  (sb * u + db * (100 - u)) / 100);
  }
  const uint32_t br = BackRed(b.backColor), bg = BackGreen(b.backColor), bb = BackBlue(b.backColor);
  return Pack16((op * ((sr * uq + br * (255 - uq)) / 255) + dr * (100 - op)) / 100,
                (op * ((sg * uq + bg * (255 - uq)) / 255) + dg * (100 - op)) / 100,
                (op * ((sb * uq + bb * (255 - uq)) / 255) + db * (100 - op)) / 100);
}

// Depth 32, one channel of a blended pixel. q < 0: no mask.
inline uint8_t Channel32(const BlitRows& b, uint32_t s, uint32_t d, uint32_t back, int q) {
  const uint32_t op = static_cast<uint32_t>(b.opacity);
  if (q < 0) return Store32((s * op + d * (100 - op)) / 100);
  const uint32_t uq = static_cast<uint32_t>(q);
  if (op == 100) {
    const uint32_t under = b.solidBack ? back : d;
    return Store32((s * uq + under * (255 - uq)) >> 8);
  }
  if (!b.solidBack) {
    const uint32_t a = uq * op / 100;
    return Store32((s * a + d * (255 - a)) >> 8);
  }
  return Store32(((((s * uq + back * (255 - uq)) >> 8) * op) + d * (100 - op)) / 100);
}

inline void Pixel32(const BlitRows& b, const uint8_t* s, uint8_t* d, int q) {
  d[0] = Channel32(b, s[0], d[0], BackBlue(b.backColor), q);
  d[1] = Channel32(b, s[1], d[1], BackGreen(b.backColor), q);
  d[2] = Channel32(b, s[2], d[2], BackRed(b.backColor), q);
}

}  // namespace

void BlitReference(const BlitRows& request) {
  if (!request.dst || !request.src || request.width <= 0 || request.height <= 0) return;
  const BlitRows b = request.under ? CopyUnder(request) : request;
  const bool masked = b.mask != nullptr;
  const bool keyed = !masked && b.key != kNoKey;
  ForEachRow(b, [&](uint8_t* d, const uint8_t* s, const uint8_t* m) {
    for (int x = 0; x < b.width; ++x) {
      switch (b.depth) {
        case 8:
          if (masked) {
            if (m[x] >= kMaskThreshold8) d[x] = s[x];
            else if (b.solidBack)
              d[x] = AppPaletteIndex(BackRed(b.backColor), BackGreen(b.backColor), BackBlue(b.backColor));
          } else if (!keyed || s[x] != static_cast<uint8_t>(b.key)) {
            d[x] = s[x];
          }
          break;
        case 16: {
          const uint16_t sp = Load16(s + 2 * x);
          if (keyed && sp == kMarker16) break;
          Save16(d + 2 * x, Pixel16(b, sp, Load16(d + 2 * x), masked ? m[x] : -1));
          break;
        }
        default: {
          const uint8_t* sp = s + 4 * x;
          uint8_t* dp = d + 4 * x;
          if (keyed && Load32(sp) == kMarker32) break;
          if (!masked && b.opacity == 100) std::memcpy(dp, sp, 4);  // copied whole
          else Pixel32(b, sp, dp, masked ? m[x] : -1);
          break;
        }
      }
    }
  });
}

namespace {

// --- Fast paths ---------------------------------------------------------------------------

// A plain copy at any depth.
void Copy(const BlitRows& b) { CopyRows(b, static_cast<size_t>(b.width) * static_cast<size_t>(b.depth / 8)); }

// Depth 8 has no blends: a pixel is the source's or stays (or takes the solid colour).
void Masked8(const BlitRows& b) {
  const size_t bytes = static_cast<size_t>(b.width);
  const uint8_t back = AppPaletteIndex(BackRed(b.backColor), BackGreen(b.backColor), BackBlue(b.backColor));
  ForEachRow(b, [&](uint8_t* d, const uint8_t* s, const uint8_t* m) {
    if (b.solidBack) {
      for (size_t x = 0; x < bytes; ++x) d[x] = m[x] >= kMaskThreshold8 ? s[x] : back;
    } else {
      for (size_t x = 0; x < bytes; ++x) d[x] = m[x] >= kMaskThreshold8 ? s[x] : d[x];
    }
  });
}

void Keyed8(const BlitRows& b) {
  const size_t bytes = static_cast<size_t>(b.width);
  const uint8_t key = static_cast<uint8_t>(b.key);
  ForEachRow(b, [&](uint8_t* d, const uint8_t* s, const uint8_t*) {
    for (size_t x = 0; x < bytes; ++x) d[x] = s[x] != key ? s[x] : d[x];
  });
}

#if QV_BLIT_SSE2
// Exact quotients in unsigned 16-bit lanes through reciprocals found by exhaustive search:
// x / 100 for x <= 25500 and x / 255 for x <= 65025, the largest sums the rules make.
inline __m128i Div100(__m128i x) { return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(0x147B)), 3); }
inline __m128i Div255(__m128i x) {
  return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(static_cast<int16_t>(0x8081))), 7);
}

// Masked 16-bit blends, eight pixels at a time: each 5-5-5 channel widened to 8 bits in
// its own register, the rule applied, and the channels narrowed and packed again.
void Blit16Masked(const BlitRows& b) {
  const __m128i zero = _mm_setzero_si128(), five = _mm_set1_epi16(0x1F), c255 = _mm_set1_epi16(255);
  const __m128i op = _mm_set1_epi16(static_cast<int16_t>(b.opacity));
  const __m128i opRest = _mm_set1_epi16(static_cast<int16_t>(100 - b.opacity));
  const __m128i c100 = _mm_set1_epi16(100);
  const __m128i backR = _mm_set1_epi16(static_cast<int16_t>(BackRed(b.backColor)));
  const __m128i backG = _mm_set1_epi16(static_cast<int16_t>(BackGreen(b.backColor)));
  const __m128i backB = _mm_set1_epi16(static_cast<int16_t>(BackBlue(b.backColor)));
  auto widen = [&](__m128i p, int shift) {
    return _mm_slli_epi16(_mm_and_si128(_mm_srli_epi16(p, shift), five), 3);
  };
  // One channel: s and d widened, q the mask, back the solid colour's channel.
  auto channel = [&](__m128i s, __m128i d, __m128i q, __m128i back) {
    if (b.opacity == 100) {
      const __m128i under = b.solidBack ? back : d;
      return Div255(_mm_add_epi16(_mm_mullo_epi16(s, q), _mm_mullo_epi16(under, _mm_sub_epi16(c255, q))));
    }
    if (!b.solidBack) {
      const __m128i u = Div255(_mm_mullo_epi16(q, op));
      return Div100(_mm_add_epi16(_mm_mullo_epi16(s, u), _mm_mullo_epi16(d, _mm_sub_epi16(c100, u))));
    }
    const __m128i inner =
        Div255(_mm_add_epi16(_mm_mullo_epi16(s, q), _mm_mullo_epi16(back, _mm_sub_epi16(c255, q))));
    return Div100(_mm_add_epi16(_mm_mullo_epi16(inner, op), _mm_mullo_epi16(d, opRest)));
  };
  ForEachRow(b, [&](uint8_t* d, const uint8_t* s, const uint8_t* m) {
    int x = 0;
    for (; x + 8 <= b.width; x += 8) {
      const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * x));
      const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 2 * x));
      const __m128i q = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m + x)), zero);
      const __m128i r = channel(widen(sv, 10), widen(dv, 10), q, backR);
      const __m128i g = channel(widen(sv, 5), widen(dv, 5), q, backG);
      const __m128i bl = channel(widen(sv, 0), widen(dv, 0), q, backB);
      const __m128i out = _mm_or_si128(
          _mm_or_si128(_mm_slli_epi16(_mm_srli_epi16(r, 3), 10), _mm_slli_epi16(_mm_srli_epi16(g, 3), 5)),
          _mm_srli_epi16(bl, 3));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * x), out);
    }
    for (; x < b.width; ++x)  // the last pixels of the row one by one
      Save16(d + 2 * x, Pixel16(b, Load16(s + 2 * x), Load16(d + 2 * x), m[x]));
  });
}
#endif

#if QV_BLIT_SSE2
// Opacity without a mask (keyed or not), eight pixels at a time: the same widening as
// above, (s x op + d x (100 - op)) / 100 per channel, and marker pixels left alone.
void Blit16Opacity(const BlitRows& b) {
  const bool keyed = b.key != kNoKey;
  const __m128i five = _mm_set1_epi16(0x1F);
  const __m128i op = _mm_set1_epi16(static_cast<int16_t>(b.opacity));
  const __m128i opRest = _mm_set1_epi16(static_cast<int16_t>(100 - b.opacity));
  const __m128i marker = _mm_set1_epi16(static_cast<int16_t>(kMarker16));
  auto widen = [&](__m128i p, int shift) {
    return _mm_slli_epi16(_mm_and_si128(_mm_srli_epi16(p, shift), five), 3);
  };
  auto mix = [&](__m128i s, __m128i d) {
    return _mm_srli_epi16(Div100(_mm_add_epi16(_mm_mullo_epi16(s, op), _mm_mullo_epi16(d, opRest))), 3);
  };
  ForEachRow(b, [&](uint8_t* d, const uint8_t* s, const uint8_t*) {
    int x = 0;
    for (; x + 8 <= b.width; x += 8) {
      const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * x));
      const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 2 * x));
      __m128i out = _mm_or_si128(
          _mm_or_si128(_mm_slli_epi16(mix(widen(sv, 10), widen(dv, 10)), 10),
                       _mm_slli_epi16(mix(widen(sv, 5), widen(dv, 5)), 5)),
          mix(widen(sv, 0), widen(dv, 0)));
      if (keyed) {
        const __m128i skip = _mm_cmpeq_epi16(sv, marker);
        out = _mm_or_si128(_mm_and_si128(skip, dv), _mm_andnot_si128(skip, out));
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 2 * x), out);
    }
    for (; x < b.width; ++x) {  // the last pixels of the row one by one
      const uint16_t sp = Load16(s + 2 * x);
      if (keyed && sp == kMarker16) continue;
      Save16(d + 2 * x, Pixel16(b, sp, Load16(d + 2 * x), -1));
    }
  });
}
#endif

void Keyed16(const BlitRows& b) {
  const size_t n = static_cast<size_t>(b.width);
  ForEachRow(b, [&](uint8_t* d, const uint8_t* s, const uint8_t*) {
    for (size_t x = 0; x < n; ++x) {
      const uint16_t sp = Load16(s + 2 * x);
      if (sp != kMarker16) Save16(d + 2 * x, sp);
    }
  });
}

// The 16-bit blends without vectors: one loop per case so that the pixel function folds
// its branches away.
void Portable16(const BlitRows& b) {
  const size_t n = static_cast<size_t>(b.width);
  const bool keyed = !b.mask && b.key != kNoKey;
  auto run = [&](auto masked, auto solid, auto full) {
    BlitRows c = b;
    c.solidBack = decltype(solid)::value;
    c.opacity = decltype(full)::value ? 100 : b.opacity;
    ForEachRow(b, [&](uint8_t* d, const uint8_t* s, const uint8_t* m) {
      for (size_t x = 0; x < n; ++x) {
        const uint16_t sp = Load16(s + 2 * x);
        if (keyed && sp == kMarker16) continue;
        Save16(d + 2 * x, Pixel16(c, sp, Load16(d + 2 * x), decltype(masked)::value ? m[x] : -1));
      }
    });
  };
  using T = std::true_type;
  using F = std::false_type;
  if (!b.mask) run(F{}, F{}, F{});
  else if (b.opacity == 100) b.solidBack ? run(T{}, T{}, T{}) : run(T{}, F{}, T{});
  else b.solidBack ? run(T{}, T{}, F{}) : run(T{}, F{}, F{});
}

#if QV_BLIT_SSE2
// Mask bytes of four pixels, each repeated over the pixel's four 16-bit lanes: low holds
// pixels 0 and 1, high pixels 2 and 3.
inline void SpreadMask(const uint8_t* m, __m128i* low, __m128i* high) {
  uint32_t four;
  std::memcpy(&four, m, 4);
  const __m128i q = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(four)), _mm_setzero_si128());
  const __m128i pairs = _mm_unpacklo_epi16(q, q);
  *low = _mm_unpacklo_epi32(pairs, pairs);
  *high = _mm_unpackhi_epi32(pairs, pairs);
}

// Keeps the destination's fourth byte in every pixel.
inline __m128i KeepAlphaByte(__m128i blended, __m128i d) {
  const __m128i top = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  return _mm_or_si128(_mm_andnot_si128(top, blended), _mm_and_si128(top, d));
}

// Walks the rectangle's rows upwards and hands each row to fn(dst, src, mask, under),
// where under is the row the old pixels are read from (dst itself unless b.under is set).
template <class RowFn>
inline void ForEachRowOver(const BlitRows& b, RowFn fn) {
  uint8_t* d = b.dst;
  const uint8_t* s = b.src;
  const uint8_t* m = b.mask;
  const uint8_t* u = b.under ? b.under : b.dst;
  const int64_t underStride = b.under ? b.underStride : b.dstStride;
  for (int k = 0; k < b.height; ++k) {
    fn(d, s, m, u);
    d += b.dstStride;
    s += b.srcStride;
    u += underStride;
    if (m) m += b.maskStride;
  }
}

// One row in groups of four: fn(source, old destination, mask) gives the new pixels.
template <class Fn>
inline void Row32(uint8_t* d, const uint8_t* s, const uint8_t* m, const uint8_t* u, int width,
                  Fn fn, const BlitRows& b) {
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x));
    const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + 4 * x));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x), fn(sv, dv, m ? m + x : nullptr));
  }
  for (; x < width; ++x) {  // the last pixels of the row one by one
    const uint8_t* sp = s + 4 * x;
    if (u != d) std::memcpy(d + 4 * x, u + 4 * x, 4);
    if (b.key != kNoKey && !b.mask && Load32(sp) == kMarker32) continue;
    if (!b.mask && b.opacity == 100) std::memcpy(d + 4 * x, sp, 4);
    else Pixel32(b, sp, d + 4 * x, m ? m[x] : -1);
  }
}
#endif

#if QV_BLIT_AVX2
// Asks for the cache lines holding `bytes` bytes from p.
inline void PrefetchSpan(const uint8_t* p, int64_t bytes) {
  for (int64_t o = 0; o < bytes; o += 64) _mm_prefetch(reinterpret_cast<const char*>(p + o), _MM_HINT_T0);
  _mm_prefetch(reinterpret_cast<const char*>(p + bytes - 1), _MM_HINT_T0);
}

// The alpha-masked sprite at full opacity over the destination, the scene's common case,
// eight pixels at a time where the processor has AVX2 (the same integer formulas as the
// four-pixel loop below). Leaves the last width % 8 columns to the caller.
__attribute__((target("avx2"))) void MaskedOver32Avx2(const BlitRows& b) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i one = _mm256_set1_epi8(1);
  const __m256i c255 = _mm256_set1_epi16(255);
  const __m256i top = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const int groups = b.width / 8;
  // Rows of a sprite-sized rectangle are short and lie a whole frame's row apart, which
  // the processor's own prefetching does not follow: ask for the rows a few ahead.
  constexpr int kAhead = 4;
  const uint8_t* underRow = b.under ? b.under : b.dst;
  const int64_t underStride = b.under ? b.underStride : b.dstStride;
  for (int k = 0; k < b.height; ++k) {
    uint8_t* d = b.dst + k * b.dstStride;
    const uint8_t* s = b.src + k * b.srcStride;
    const uint8_t* u = underRow + k * underStride;
    const uint8_t* m = b.mask + k * b.maskStride;
    if (k + kAhead < b.height) {
      const int64_t rowBytes = int64_t{b.width} * 4;
      PrefetchSpan(u + kAhead * underStride, rowBytes);
      PrefetchSpan(d + kAhead * b.dstStride, rowBytes);
      PrefetchSpan(s + kAhead * b.srcStride, rowBytes);
      PrefetchSpan(m + kAhead * b.maskStride, b.width);
    }
    for (int g = 0; g < groups; ++g, d += 32, s += 32, u += 32, m += 8) {
      uint64_t eight;
      std::memcpy(&eight, m, 8);
      const __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
      const __m256i dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(u));
      __m256i out;
      if (eight == ~uint64_t{0}) {
        out = _mm256_subs_epu8(sv, one);  // (v x 255) >> 8 is v - 1, 0 for 0
      } else if (eight == 0) {
        out = _mm256_subs_epu8(dv, one);
      } else {
        // Mask bytes as 16-bit lanes matching the unpacked pixels: each 128-bit half
        // unpacks its own pixels, 0-1 and 4-5 low, 2-3 and 6-7 high.
        const __m256i q32 = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m)));
        const __m256i q16 = _mm256_or_si256(q32, _mm256_slli_epi32(q32, 16));
        const __m256i qlo = _mm256_unpacklo_epi32(q16, q16), qhi = _mm256_unpackhi_epi32(q16, q16);
        // (s x q + d x (255 - q)) >> 8 on sixteen lanes, twice.
        const __m256i lo = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(sv, zero), qlo),
                             _mm256_mullo_epi16(_mm256_unpacklo_epi8(dv, zero), _mm256_sub_epi16(c255, qlo))),
            8);
        const __m256i hi = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(sv, zero), qhi),
                             _mm256_mullo_epi16(_mm256_unpackhi_epi8(dv, zero), _mm256_sub_epi16(c255, qhi))),
            8);
        out = _mm256_packus_epi16(lo, hi);
      }
      out = _mm256_or_si256(_mm256_andnot_si256(top, out), _mm256_and_si256(top, dv));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), out);
    }
  }
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

#if QV_BLIT_SSE2
// The 32-bit blends four pixels at a time, on 16-bit lanes.
struct Lanes32 {
  explicit Lanes32(const BlitRows& b)
      : op(_mm_set1_epi16(static_cast<int16_t>(b.opacity))),
        opRest(_mm_set1_epi16(static_cast<int16_t>(100 - b.opacity))),
        // The background colour in blue, green, red order, twice.
        back(_mm_setr_epi16(static_cast<int16_t>(BackBlue(b.backColor)), static_cast<int16_t>(BackGreen(b.backColor)),
                            static_cast<int16_t>(BackRed(b.backColor)), 0, static_cast<int16_t>(BackBlue(b.backColor)),
                            static_cast<int16_t>(BackGreen(b.backColor)), static_cast<int16_t>(BackRed(b.backColor)),
                            0)) {}
  const __m128i zero = _mm_setzero_si128();
  const __m128i c255 = _mm_set1_epi16(255);
  const __m128i op, opRest, back;

  // (s x op + d x (100 - op)) / 100 on eight lanes.
  __m128i OpacityMix(__m128i s16, __m128i d16) const {
    return Div100(_mm_add_epi16(_mm_mullo_epi16(s16, op), _mm_mullo_epi16(d16, opRest)));
  }
  // (s x q + u x (255 - q)) >> 8 on eight lanes.
  __m128i MaskMix(__m128i s16, __m128i u16, __m128i q) const {
    return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(s16, q), _mm_mullo_epi16(u16, _mm_sub_epi16(c255, q))), 8);
  }
  // fn(source lanes, destination lanes, mask lanes) over both halves of four pixels.
  template <class Fn>
  __m128i Halves(Fn fn, __m128i sv, __m128i dv, __m128i qlo, __m128i qhi) const {
    const __m128i lo = fn(_mm_unpacklo_epi8(sv, zero), _mm_unpacklo_epi8(dv, zero), qlo);
    const __m128i hi = fn(_mm_unpackhi_epi8(sv, zero), _mm_unpackhi_epi8(dv, zero), qhi);
    return KeepAlphaByte(_mm_packus_epi16(lo, hi), dv);
  }
};

// Without a mask: the opacity mix, and key markers left alone.
void Unmasked32(const BlitRows& b) {
  const Lanes32 l(b);
  const bool keyed = b.key != kNoKey;
  const __m128i marker = _mm_set1_epi32(static_cast<int>(kMarker32));
  auto mix = [&](__m128i s16, __m128i d16, __m128i) { return l.OpacityMix(s16, d16); };
  ForEachRowOver(b, [&](uint8_t* d, const uint8_t* s, const uint8_t*, const uint8_t* u) {
    Row32(d, s, nullptr, u, b.width, [&](__m128i sv, __m128i dv, const uint8_t*) {
      if (!keyed) return l.Halves(mix, sv, dv, l.zero, l.zero);
      const __m128i out = b.opacity == 100 ? sv : l.Halves(mix, sv, dv, l.zero, l.zero);
      const __m128i skip = _mm_cmpeq_epi32(sv, marker);
      return _mm_or_si128(_mm_and_si128(skip, dv), _mm_andnot_si128(skip, out));
    }, b);
  });
}

// Through the mask at full opacity. (v x 255) >> 8 is v - 1 for v >= 1 and 0 for 0: a
// fully opaque group of four is the source less one, and a clear one (over the
// destination) the destination less one.
void MaskedOpaque32(const BlitRows& b) {
  const Lanes32 l(b);
  const __m128i one = _mm_set1_epi8(1);
  auto overBack = [&](__m128i s16, __m128i, __m128i q) { return l.MaskMix(s16, l.back, q); };
  auto overDest = [&](__m128i s16, __m128i d16, __m128i q) { return l.MaskMix(s16, d16, q); };
  ForEachRowOver(b, [&](uint8_t* d, const uint8_t* s, const uint8_t* m, const uint8_t* u) {
    Row32(d, s, m, u, b.width, [&](__m128i sv, __m128i dv, const uint8_t* mq) {
      const uint32_t four = Load32(mq);
      if (four == 0xFFFFFFFFu) return KeepAlphaByte(_mm_subs_epu8(sv, one), dv);
      if (four == 0 && !b.solidBack) return KeepAlphaByte(_mm_subs_epu8(dv, one), dv);
      __m128i qlo, qhi;
      SpreadMask(mq, &qlo, &qhi);
      return b.solidBack ? l.Halves(overBack, sv, dv, qlo, qhi) : l.Halves(overDest, sv, dv, qlo, qhi);
    }, b);
  });
}

// Through the mask below full opacity: over the solid colour and then the opacity mix,
// or a plain mask mix with q x op / 100.
void MaskedPartial32(const BlitRows& b) {
  const Lanes32 l(b);
  auto solid = [&](__m128i s16, __m128i d16, __m128i q) { return l.OpacityMix(l.MaskMix(s16, l.back, q), d16); };
  auto scaled = [&](__m128i s16, __m128i d16, __m128i q) {
    return l.MaskMix(s16, d16, Div100(_mm_mullo_epi16(q, l.op)));
  };
  ForEachRowOver(b, [&](uint8_t* d, const uint8_t* s, const uint8_t* m, const uint8_t* u) {
    Row32(d, s, m, u, b.width, [&](__m128i sv, __m128i dv, const uint8_t* mq) {
      __m128i qlo, qhi;
      SpreadMask(mq, &qlo, &qhi);
      return b.solidBack ? l.Halves(solid, sv, dv, qlo, qhi) : l.Halves(scaled, sv, dv, qlo, qhi);
    }, b);
  });
}
#endif

#if QV_BLIT_AVX2
// The eight-pixel loop, and its last width % 8 columns through the four-pixel one.
void MaskedOver32Wide(const BlitRows& b) {
  MaskedOver32Avx2(b);
  const int done = b.width / 8 * 8;
  if (done == b.width) return;
  BlitRows rest = b;
  rest.width = b.width - done;
  rest.dst += 4 * done;
  rest.src += 4 * done;
  rest.mask += done;
  if (rest.under) rest.under += 4 * done;
  MaskedOpaque32(rest);
}
#endif

// --- The table of fast paths ----------------------------------------------------------------

// How a request's source pixels reach the destination, and at which opacity.
enum SourceKind : uint8_t { kPlain = 1, kKeyed = 2, kMasked = 4 };
enum OpacityKind : uint8_t { kOpaque = 1, kPartial = 2 };
enum BackKind : uint8_t { kOverDest = 1, kOverSolid = 2 };
constexpr uint8_t kAnyOpacity = kOpaque | kPartial, kAnyBack = kOverDest | kOverSolid;

struct FastPath {
  int depth;
  uint8_t sources, opacities, backs;  // the kinds the loop handles, as bit sets
  int minWidth;
  bool (*available)();  // the processor feature the loop needs; none: always there
  // Whether the loop reads the old pixels from `under` itself; otherwise they are copied
  // into the destination first.
  bool readsUnder;
  void (*run)(const BlitRows&);
};

// The first row that matches a request runs it; a request no row takes goes to the
// portable loops. Depth 8 has no opacity: every level takes the same loop. A plain copy
// replaces every pixel, so it needs no old pixels at all.
const FastPath kFastPaths[] = {
    // depth  source           opacity      back       width  needs    under  loop
    {8,       kPlain,          kAnyOpacity, kAnyBack,  0,     nullptr, true,  Copy},
    {8,       kKeyed,          kAnyOpacity, kAnyBack,  0,     nullptr, false, Keyed8},
    {8,       kMasked,         kAnyOpacity, kAnyBack,  0,     nullptr, false, Masked8},
    {16,      kPlain,          kOpaque,     kAnyBack,  0,     nullptr, true,  Copy},
    {16,      kKeyed,          kOpaque,     kAnyBack,  0,     nullptr, false, Keyed16},
#if QV_BLIT_SSE2
    {16,      kMasked,         kAnyOpacity, kAnyBack,  0,     nullptr, false, Blit16Masked},
    {16,      kPlain | kKeyed, kPartial,    kAnyBack,  0,     nullptr, false, Blit16Opacity},
#endif
    {32,      kPlain,          kOpaque,     kAnyBack,  0,     nullptr, true,  Copy},
#if QV_BLIT_AVX2
    {32,      kMasked,         kOpaque,     kOverDest, 8,     HasAvx2, true,  MaskedOver32Wide},
#endif
#if QV_BLIT_SSE2
    {32,      kPlain | kKeyed, kAnyOpacity, kAnyBack,  0,     nullptr, true,  Unmasked32},
    {32,      kMasked,         kOpaque,     kAnyBack,  0,     nullptr, true,  MaskedOpaque32},
    {32,      kMasked,         kPartial,    kAnyBack,  0,     nullptr, true,  MaskedPartial32},
#endif
};

// The loops for what no fast path takes.
void Portable(const BlitRows& b) {
  if (b.depth == 16) Portable16(b);
  else if (b.depth == 32) BlitReference(b);
}

const FastPath* FindFastPath(const BlitRows& b) {
  const uint8_t source = b.mask ? kMasked : b.key != kNoKey ? kKeyed : kPlain;
  const uint8_t opacity = b.opacity == 100 ? kOpaque : kPartial;
  const uint8_t back = b.solidBack ? kOverSolid : kOverDest;
  for (const FastPath& p : kFastPaths) {
    if (p.depth == b.depth && (p.sources & source) && (p.opacities & opacity) && (p.backs & back) &&
        b.width >= p.minWidth && (!p.available || p.available()))
      return &p;
  }
  return nullptr;
}

}  // namespace

void BlitPixels(const BlitRows& request) {
  if (!request.dst || !request.src || request.width <= 0 || request.height <= 0) return;
  if (request.depth != 8 && request.depth != 16 && request.depth != 32) return;
  const FastPath* path = FindFastPath(request);
  // BlitReference reads under itself; Portable16 and most fast paths need it copied in.
  const bool readsUnder = path ? path->readsUnder : request.depth == 32;
  const BlitRows b = request.under && !readsUnder ? CopyUnder(request) : request;
  if (path) path->run(b);
  else Portable(b);
}

}  // namespace qv
