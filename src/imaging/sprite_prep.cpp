#include "imaging/sprite_prep.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "imaging/blit.h"
#include "imaging/cdib.h"
#include "imaging/dib.h"
#include "imaging/palette.h"
#include "imaging/picture_limits.h"
#include "imaging/resample.h"

namespace qv {

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  const int64_t p = static_cast<int64_t>(a) * b;
  const int64_t half = std::llabs(c) / 2;
  const int64_t q = ((p < 0) != (c < 0)) ? -((std::llabs(p) + half) / std::llabs(c))
                                         : (std::llabs(p) + half) / std::llabs(c);
  return static_cast<int32_t>(std::clamp<int64_t>(q, INT32_MIN, INT32_MAX));
}

namespace {

constexpr uint8_t kTransparentIndex = 255;

// A locked, checked picture of 1, 4, 8, 24 or 32 bits.
class PictureReader {
 public:
  explicit PictureReader(DibHandle block) : m_lock(block) {
    m_ok = m_lock && ParseDib(m_lock.data(), m_lock.size(), &m_v) && m_v.pixels &&
           (m_v.bitCount == 1 || m_v.bitCount == 4 || m_v.bitCount == 8 || m_v.bitCount == 24 ||
            m_v.bitCount == 32) &&
           (m_v.bitCount > 8 || m_v.colorCount > 0) && m_v.compression == kBiRgb;
  }
  bool ok() const { return m_ok; }
  int width() const { return m_v.width; }
  int height() const { return m_v.height; }
  int bits() const { return m_v.bitCount; }

  // Colour (and alpha) of pixel x of storage row r.
  void Pixel(int r, int x, int* rgb, int* alpha) const {
    const uint8_t* row = m_v.pixels + static_cast<int64_t>(r) * m_v.stride;
    const uint8_t* bgr;
    *alpha = 255;
    switch (m_v.bitCount) {
      case 1: bgr = m_v.Entry((row[x >> 3] >> (7 - (x & 7))) & 1); break;
      case 4: bgr = m_v.Entry((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF); break;
      case 8: bgr = m_v.Entry(row[x]); break;
      case 24: bgr = row + 3 * static_cast<int64_t>(x); break;
      default:
        bgr = row + 4 * static_cast<int64_t>(x);
        *alpha = bgr[3];
        break;
    }
    rgb[0] = bgr[2];
    rgb[1] = bgr[1];
    rgb[2] = bgr[0];
  }

 private:
  DibLock m_lock;
  DibView m_v;
  bool m_ok = false;
};

// One row of colours of the prepared picture: values, alpha, and whether the pixel lies
// inside its phase picture at all (phases smaller than the first one leave holes).
struct SampledRow {
  std::vector<int> rgb;
  std::vector<int> alpha;
  std::vector<uint8_t> present;
  explicit SampledRow(int width)
      : rgb(3 * static_cast<size_t>(width)), alpha(static_cast<size_t>(width)),
        present(static_cast<size_t>(width)) {}
};

// Reads an output row from a picture, one to one or scaled (nearest row, averaged
// column spans).
class RowSampler {
 public:
  RowSampler(const PictureReader& pic, int outWidth, int outHeight, bool scaled)
      : m_pic(pic), m_w(outWidth), m_h(outHeight), m_scaled(scaled) {}

  void Load(int row, SampledRow& out) const {
    const int W = m_pic.width(), H = m_pic.height();
    if (!m_scaled) {
      for (int x = 0; x < m_w; ++x) {
        const bool inside = x < W && row < H;
        out.present[x] = inside;
        if (inside) m_pic.Pixel(row, x, &out.rgb[3 * x], &out.alpha[x]);
      }
      return;
    }
    const int sourceRow = std::min(MulDiv(row, H, m_h), H - 1);
    for (int x = 0; x < m_w; ++x) {
      int x0 = std::min(MulDiv(x, W, m_w), W - 1);
      int x1 = std::min(MulDiv(x + 1, W, m_w), W - 1);
      if (x1 == x0) x1 = x0 + 1;
      int sum[3] = {0, 0, 0}, px[3], a;
      for (int sx = x0; sx < x1; ++sx) {
        m_pic.Pixel(sourceRow, sx, px, &a);
        sum[0] += px[0];
        sum[1] += px[1];
        sum[2] += px[2];
      }
      const int n = x1 - x0;
      out.rgb[3 * x] = sum[0] / n;
      out.rgb[3 * x + 1] = sum[1] / n;
      out.rgb[3 * x + 2] = sum[2] / n;
      out.alpha[x] = 255;
      out.present[x] = 1;
    }
  }

 private:
  const PictureReader& m_pic;
  int m_w, m_h;
  bool m_scaled;
};

bool NearKey(const SpriteKey& key, const int* rgb) {
  const int distance = std::abs(rgb[0] - key.keyRed) + std::abs(rgb[1] - key.keyGreen) +
                       std::abs(rgb[2] - key.keyBlue);
  return distance <= key.tolerance * 1530 / 100;
}

// The prepared picture being written.
class Target {
 public:
  Target(int depth, int width, int height) {
    if (width <= 0 || height <= 0 || !PictureSizeAllowed(width, height)) return;
    m_block.reset(DibCreate(width, height, depth));
    if (!m_block) return;
    m_lock = std::make_unique<DibLock>(m_block.get());
    m_ok = *m_lock && ParseDib(m_lock->data(), m_lock->size(), &m_v) && m_v.pixels;
    if (m_ok && depth == 8) std::memcpy(m_v.colorTable, AppPaletteColorTable(), 1024);
  }
  bool ok() const { return m_ok; }
  int width() const { return m_v.width; }
  uint8_t* Row(int storageRow) const { return m_v.Row(storageRow); }
  int64_t stride() const { return m_v.stride; }
  DibHandle Release() {
    m_lock.reset();
    return m_block.release();
  }

 private:
  UniqueDib m_block;
  std::unique_ptr<DibLock> m_lock;
  DibView m_v;
  bool m_ok = false;
};

// Fills `rows` output rows from firstRow on with what the sampler reads. mask, when
// given, is the whole result's mask. alphaSource: the pixels carry alpha (a 32-bit
// picture), which goes to the mask and exempts them from the key at 16 and 32 bits.
bool Encode(int depth, Target& t, int firstRow, int rows, const RowSampler& sampler,
            const SpriteKey& key, bool alphaSource, uint8_t* mask) {
  const int w = t.width();
  SampledRow in(w);
  if (depth == 8) {
    // Error diffusion over this picture's rows alone; the key is tested on the values the
    // quantiser sees (colour plus carried error). The quantiser loads a row ahead of the
    // one it decides, so each row's presence flags are kept apart from the next row's.
    class Rows : public AppPaletteRows {
     public:
      Rows(const RowSampler& s, SampledRow& in, const SpriteKey& k, int first, uint8_t* m, int w,
           bool alpha)
          : m_s(s), m_in(in), m_k(k), m_first(first), m_mask(m), m_w(w), m_alpha(alpha) {}
      void LoadRow(int row, int* rgb) override {
        m_s.Load(row, m_in);
        m_present[row & 1] = m_in.present;
        std::memcpy(rgb, m_in.rgb.data(), sizeof(int) * 3 * static_cast<size_t>(m_w));
        if (!m_mask) return;
        uint8_t* out = m_mask + static_cast<int64_t>(m_first + row) * m_w;
        for (int x = 0; x < m_w; ++x)
          out[x] = !m_in.present[x] ? 0 : m_alpha ? static_cast<uint8_t>(m_in.alpha[x]) : 255;
      }
      bool HasTransparentTest() const override { return true; }
      int TransparentIndex(int row, int x, const int* rgb) override {
        const bool clear = !m_present[row & 1][x] || (m_k.keyOn && NearKey(m_k, rgb));
        if (clear && m_mask && !m_alpha) m_mask[static_cast<int64_t>(m_first + row) * m_w + x] = 0;
        return clear ? kTransparentIndex : -1;
      }

     private:
      const RowSampler& m_s;
      SampledRow& m_in;
      const SpriteKey& m_k;
      int m_first;
      uint8_t* m_mask;
      int m_w;
      bool m_alpha;
      std::vector<uint8_t> m_present[2];  // by row parity
    } quantiser(sampler, in, key, firstRow, mask, w, alphaSource);
    return QuantiseToAppPalette(quantiser, w, rows, t.Row(firstRow), t.stride());
  }

  for (int r = 0; r < rows; ++r) {
    sampler.Load(r, in);
    uint8_t* out = t.Row(firstRow + r);
    uint8_t* maskRow = mask ? mask + static_cast<int64_t>(firstRow + r) * w : nullptr;
    for (int x = 0; x < w; ++x) {
      const int* c = &in.rgb[3 * x];
      const bool clear = !in.present[x] || (!alphaSource && key.keyOn && NearKey(key, c));
      if (depth == 32) {
        uint8_t* p = out + 4 * static_cast<int64_t>(x);
        if (clear) {
          std::memcpy(p, &kMarker32, 4);
        } else {
          p[0] = static_cast<uint8_t>(c[2]);
          p[1] = static_cast<uint8_t>(c[1]);
          p[2] = static_cast<uint8_t>(c[0]);
          p[3] = 0;
        }
      } else {
        const uint16_t v = clear ? kMarker16
                                 : static_cast<uint16_t>((c[0] / 8) << 10 | (c[1] / 8) << 5 | c[2] >> 3);
        std::memcpy(out + 2 * static_cast<int64_t>(x), &v, 2);
      }
      if (maskRow) maskRow[x] = clear ? 0 : alphaSource ? static_cast<uint8_t>(in.alpha[x]) : 255;
    }
  }
  return true;
}

int64_t Percent(int64_t size, int percent) { return static_cast<int64_t>(percent) * size / 100; }

DibHandle PrepareStrip(int depth, DibHandle strip, const SpriteKey& key, int widthPercent,
                       int heightPercent, SpriteMask* maskOut, int phaseCount, bool horizontal) {
  if (!strip || widthPercent <= 0 || heightPercent <= 0) return nullptr;
  const int phases = std::max(phaseCount, 1);
  const bool unscaled = widthPercent == 100 && heightPercent == 100;
  int W, H, bits;
  {
    PictureReader probe(strip);
    if (!probe.ok()) return nullptr;
    W = probe.width();
    H = probe.height();
    bits = probe.bits();
  }
  // The size along the strip is rounded per phase so that every phase keeps one size.
  int64_t w = Percent(W, widthPercent), h = Percent(H, heightPercent);
  if (phases > 1) {
    if (horizontal) w = int64_t{phases} * Percent(W / phases, widthPercent);
    else h = int64_t{phases} * Percent(H / phases, heightPercent);
  }
  if (!unscaled && (w <= 0 || h <= 0 || !PictureSizeAllowed(w, h))) return nullptr;

  if (bits == 32 && !unscaled) {
    // Pictures with alpha are resampled properly first, then prepared one to one.
    UniqueDib scaled(DibResample(strip, static_cast<int>(w), static_cast<int>(h)));
    if (!scaled) return nullptr;
    return PrepareStrip(depth, scaled.get(), key, 100, 100, maskOut, phases, horizontal);
  }

  PictureReader src(strip);
  if (!src.ok()) return nullptr;
  const int outW = unscaled ? W : static_cast<int>(w), outH = unscaled ? H : static_cast<int>(h);
  Target t(depth, outW, outH);
  if (!t.ok()) return nullptr;
  SpriteMask mask;
  const bool withMask = maskOut && bits == 32;
  if (withMask) mask.assign(static_cast<size_t>(outW) * outH, 0);
  const RowSampler sampler(src, outW, outH, !unscaled);
  if (!Encode(depth, t, 0, outH, sampler, key, bits == 32, withMask ? mask.data() : nullptr))
    return nullptr;
  if (withMask) *maskOut = std::move(mask);
  return t.Release();
}

DibHandle PreparePhases(int depth, const std::vector<const CDIB*>& phases, const SpriteKey& key,
                        int* totalHeightOut, int widthPercent, int heightPercent, SpriteMask* maskOut) {
  if (phases.empty() || widthPercent <= 0 || heightPercent <= 0) return nullptr;
  for (const CDIB* p : phases)
    if (!p || p->IsEmpty()) return nullptr;
  const int count = static_cast<int>(phases.size());
  const int W0 = phases[0]->GetWidth(), H0 = phases[0]->GetHeight();
  const bool unscaled = widthPercent == 100 && heightPercent == 100;
  bool any32 = false;
  for (const CDIB* p : phases) any32 = any32 || p->GetBitCount() == 32;

  if (any32 && !unscaled) {
    // Give every phase alpha, scale it on its own, then prepare the list one to one.
    const int64_t w = Percent(W0, widthPercent), h = Percent(H0, heightPercent);
    if (w <= 0 || h <= 0 || !PictureSizeAllowed(w, h)) return nullptr;
    std::vector<CDIB> scaled(phases.size());
    std::vector<const CDIB*> list;
    for (size_t i = 0; i < phases.size(); ++i) {
      UniqueDib alpha(phases[i]->GetBitCount() == 32 ? DibDuplicate(phases[i]->GetHandle())
                                                     : DibKeyToAlpha(phases[i]->GetHandle(), false, 0));
      if (!alpha) return nullptr;
      DibHandle resized = DibResample(alpha.get(), static_cast<int>(w), static_cast<int>(h));
      if (!resized) return nullptr;
      scaled[i].Attach(resized);
      list.push_back(&scaled[i]);
    }
    return PreparePhases(depth, list, key, totalHeightOut, 100, 100, maskOut);
  }

  const int64_t phaseH = unscaled ? H0 : Percent(H0, heightPercent);
  const int64_t outW = unscaled ? W0 : Percent(W0, widthPercent);
  const int64_t outH = phaseH * count;
  if (outW <= 0 || phaseH <= 0 || !PictureSizeAllowed(outW, outH)) return nullptr;
  Target t(depth, static_cast<int>(outW), static_cast<int>(outH));
  if (!t.ok()) return nullptr;
  SpriteMask mask;
  const bool withMask = maskOut && any32;
  if (withMask) mask.assign(static_cast<size_t>(outW * outH), 0);

  // The last phase fills the first rows in storage order, so phase 0 ends up on top.
  for (int i = 0; i < count; ++i) {
    PictureReader src(phases[i]->GetHandle());
    if (!src.ok() || (!unscaled && src.bits() == 32)) return nullptr;
    const RowSampler sampler(src, static_cast<int>(outW), static_cast<int>(phaseH), !unscaled);
    const int firstRow = static_cast<int>((count - i - 1) * phaseH);
    if (!Encode(depth, t, firstRow, static_cast<int>(phaseH), sampler, key, src.bits() == 32,
                withMask ? mask.data() : nullptr))
      return nullptr;
  }
  if (totalHeightOut) *totalHeightOut = static_cast<int>(outH);
  if (withMask) *maskOut = std::move(mask);
  return t.Release();
}

}  // namespace

DibHandle PrepareStrip8(DibHandle strip, const SpriteKey& key, int widthPercent, int heightPercent,
                        SpriteMask* maskOut, int phaseCount) {
  return PrepareStrip(8, strip, key, widthPercent, heightPercent, maskOut, phaseCount, false);
}
DibHandle PrepareStrip16(DibHandle strip, const SpriteKey& key, int widthPercent, int heightPercent,
                         SpriteMask* maskOut, int phaseCount) {
  return PrepareStrip(16, strip, key, widthPercent, heightPercent, maskOut, phaseCount, false);
}
DibHandle PrepareStrip32(DibHandle strip, const SpriteKey& key, int widthPercent, int heightPercent,
                         SpriteMask* maskOut, int phaseCount, bool horizontal) {
  return PrepareStrip(32, strip, key, widthPercent, heightPercent, maskOut, phaseCount, horizontal);
}
DibHandle PreparePhases8(const std::vector<const CDIB*>& phases, const SpriteKey& key,
                         int* totalHeightOut, int widthPercent, int heightPercent, SpriteMask* maskOut) {
  return PreparePhases(8, phases, key, totalHeightOut, widthPercent, heightPercent, maskOut);
}
DibHandle PreparePhases16(const std::vector<const CDIB*>& phases, const SpriteKey& key,
                          int* totalHeightOut, int widthPercent, int heightPercent, SpriteMask* maskOut) {
  return PreparePhases(16, phases, key, totalHeightOut, widthPercent, heightPercent, maskOut);
}
DibHandle PreparePhases32(const std::vector<const CDIB*>& phases, const SpriteKey& key,
                          int* totalHeightOut, int widthPercent, int heightPercent, SpriteMask* maskOut) {
  return PreparePhases(32, phases, key, totalHeightOut, widthPercent, heightPercent, maskOut);
}

}  // namespace qv
