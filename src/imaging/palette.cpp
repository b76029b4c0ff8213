#include "imaging/palette.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>

#include "imaging/dib.h"
#include "imaging/picture_limits.h"

namespace qv {

bool CPalette::CreatePalette(const LogicalPalette& palette) {
  PaletteHandle h = CreatePlatformPalette(palette);
  if (!h) return false;
  Attach(h);
  return true;
}

void CPalette::Attach(PaletteHandle palette) {
  if (palette == m_hPalette) return;
  DeleteObject();
  m_hPalette = palette;
}

PaletteHandle CPalette::Detach() {
  PaletteHandle h = m_hPalette;
  m_hPalette = nullptr;
  return h;
}

void CPalette::DeleteObject() {
  DeletePlatformPalette(m_hPalette);
  m_hPalette = nullptr;
}

std::vector<PaletteEntry> CPalette::GetEntries() const {
  std::vector<PaletteEntry> entries;
  if (m_hPalette && !CurrentImagingPlatform().paletteEntries(m_hPalette, &entries)) entries.clear();
  return entries;
}

LogicalPalette AppPaletteRecord() {
  LogicalPalette p;
  p.entries.resize(256);
  for (int i = 0; i < 256; ++i) p.entries[i] = {AppPaletteRed(i), AppPaletteGreen(i), AppPaletteBlue(i), 0};
  return p;
}

const uint8_t* AppPaletteColorTable() {
  static const std::array<uint8_t, 1024> table = [] {
    std::array<uint8_t, 1024> t{};
    for (int i = 0; i < 256; ++i) {
      t[4 * i] = AppPaletteBlue(i);
      t[4 * i + 1] = AppPaletteGreen(i);
      t[4 * i + 2] = AppPaletteRed(i);
    }
    return t;
  }();
  return table.data();
}

void MakeAppPalette(CPalette& palette) {
  palette.DeleteObject();
  palette.CreatePalette(AppPaletteRecord());
}

CPalette& AppPalette() {
  static CPalette palette;
  return palette;
}

bool CDIBPal::CreateFromSurface(DibHandle surfaceBlock) {
  DibLock lock(surfaceBlock);
  DibView v;
  if (!lock || !ParseDib(lock.data(), lock.size(), &v) || v.bitCount != 8 || v.core || v.colorCount == 0)
    return false;
  LogicalPalette p;
  p.entries.resize(std::min<uint32_t>(v.colorCount, 256));
  for (size_t i = 0; i < p.entries.size(); ++i) {
    const uint8_t* e = v.colorTable + 4 * i;
    p.entries[i] = {e[2], e[1], e[0], 0};
  }
  return CreatePalette(p);
}

int CDIBPal::MakeIdentity() {
  if (!m_hPalette) return 0;
  return CurrentImagingPlatform().makeIdentity(&m_hPalette);
}

void SetIdentityPaletteFlags(std::vector<PaletteEntry>& entries, int colourCount) {
  const int size = static_cast<int>(entries.size());
  const int half = colourCount / 2;
  for (int i = 0; i < size; ++i) entries[i].flags = (i >= half && i < size - half) ? 4 : 0;
}

namespace {

// Tk(e) = (e x k + 8) / 16, halves rounded away from zero, for e in [-256, 255].
struct DiffusionTables {
  int t[4][512];
  DiffusionTables() {
    static constexpr int kWeights[4] = {7, 5, 3, 1};
    for (int w = 0; w < 4; ++w)
      for (int e = -256; e < 256; ++e) {
        const int k = kWeights[w];
        t[w][e + 256] = e >= 0 ? (e * k + 8) / 16 : -((-e * k + 8) / 16);
      }
  }
};

const DiffusionTables& Tables() {
  static const DiffusionTables tables;
  return tables;
}

inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

}  // namespace

bool QuantiseToAppPalette(AppPaletteRows& rows, int width, int height, uint8_t* out, int64_t outStride) {
  if (!PictureSizeAllowed(width, height)) return false;
  if (width == 0 || height == 0) return true;
  if (!out) return false;
  const DiffusionTables& tables = Tables();
  const int* t7 = tables.t[0] + 256;
  const int* t5 = tables.t[1] + 256;
  const int* t3 = tables.t[2] + 256;
  const int* t1 = tables.t[3] + 256;
  const size_t n = 3 * static_cast<size_t>(width);
  std::unique_ptr<int[]> a(new (std::nothrow) int[n]), b(new (std::nothrow) int[n]);
  const bool test = rows.HasTransparentTest();
  std::unique_ptr<int[]> before(test ? new (std::nothrow) int[n] : nullptr);
  if (!a || !b || (test && !before)) return false;
  int* current = a.get();
  int* next = b.get();
  rows.LoadRow(0, next);
  for (int row = 0; row < height; ++row) {
    std::swap(current, next);
    const bool last = row == height - 1;
    if (!last) rows.LoadRow(row + 1, next);
    if (test) std::copy(current, current + n, before.get());
    uint8_t* o = out + row * outStride;
    for (int x = 0; x < width; ++x) {
      int* c = current + 3 * x;
      const int red = Clamp255(c[0]), green = Clamp255(c[1]), blue = Clamp255(c[2]);
      const uint8_t index = AppPaletteIndex(red, green, blue);
      int written = index;
      if (test) {
        const int decided = rows.TransparentIndex(row, x, before.get() + 3 * x);
        if (decided >= 0) written = decided;
      }
      o[x] = static_cast<uint8_t>(written);
      const int e[3] = {red - AppPaletteRed(index), green - AppPaletteGreen(index), blue - AppPaletteBlue(index)};
      for (int ch = 0; ch < 3; ++ch) {
        if (x + 1 < width) c[3 + ch] += t7[e[ch]];
        if (!last) {
          int* below = next + 3 * x + ch;
          below[0] += t5[e[ch]];
          if (x > 0) below[-3] += t3[e[ch]];
          if (x + 1 < width) below[3] += t1[e[ch]];
        }
      }
    }
  }
  return true;
}

}  // namespace qv
