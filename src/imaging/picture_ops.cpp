#include "imaging/picture_ops.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>

#include "imaging/dib.h"
#include "imaging/palette.h"
#include "imaging/picture_limits.h"
#include "imaging/pixel_rows.h"
#include "imaging/surface.h"

namespace qv {
namespace {

bool OutputSizeAllowed(int width, int height) {
  return width > 0 && height > 0 && PictureSizeAllowed(width, height);
}

// a x b / c rounded to the nearest integer, for a, b >= 0 and c > 0.
inline int64_t MulDiv(int64_t a, int64_t b, int64_t c) { return (a * b + c / 2) / c; }

inline uint8_t Lighten(int c) { return static_cast<uint8_t>(c + (256 - c) / 2); }

// --- Rendering rows into 24-bit or quantised 8-bit blocks ---------------------------

// What an operation draws: storage row `row` (0 = bottom) of its area as blue, green, red.
class RowPainter {
 public:
  virtual ~RowPainter() = default;
  virtual void Paint(int row, uint8_t* bgr) = 0;
  // Every row the same: paint one, copy the rest.
  virtual bool RowsAlike() const { return false; }
};

// Paints a width x height area whose bottom-left pixel is at storage (x, y) of a 24-bit view.
void PaintArea24(RowPainter& painter, const DibView& d, int x, int y, int width, int height) {
  for (int r = 0; r < height; ++r) {
    uint8_t* row = d.Row(y + r) + 3 * static_cast<int64_t>(x);
    if (r > 0 && painter.RowsAlike())
      std::memcpy(row, d.Row(y) + 3 * static_cast<int64_t>(x), 3 * static_cast<size_t>(width));
    else
      painter.Paint(r, row);
  }
}

// Feeds painted rows to the quantiser as red, green, blue ints.
class QuantiserRows : public AppPaletteRows {
 public:
  QuantiserRows(RowPainter& painter, uint8_t* scratch, int width)
      : m_painter(painter), m_scratch(scratch), m_width(width) {}
  void LoadRow(int row, int* rgb) override {
    m_painter.Paint(row, m_scratch);
    const uint8_t* p = m_scratch;
    for (int x = 0; x < m_width; ++x, p += 3, rgb += 3) rgb[0] = p[2], rgb[1] = p[1], rgb[2] = p[0];
  }

 private:
  RowPainter& m_painter;
  uint8_t* m_scratch;
  int m_width;
};

bool PaintArea8(RowPainter& painter, const DibView& d, int x, int y, int width, int height) {
  auto scratch = NewArray<uint8_t>(3 * static_cast<uint64_t>(width));
  if (!scratch) return false;
  QuantiserRows rows(painter, scratch.get(), width);
  return QuantiseToAppPalette(rows, width, height, d.Row(y) + x, d.stride);
}

// A new block of the output size: 24 bits (black), or 8 bits (index 0, black) carrying the
// application palette.
DibHandle NewOutput(int width, int height, bool eight, DibView* view) {
  if (!OutputSizeAllowed(width, height)) return nullptr;
  UniqueDib block(DibCreate(width, height, eight ? 8 : 24));
  DibLock lock(block.get());
  if (!lock || !ParseDib(lock.data(), lock.size(), view) || view->bitCount != (eight ? 8 : 24)) return nullptr;
  if (eight) std::memcpy(view->colorTable, AppPaletteColorTable(), 1024);
  return block.release();
}

// Renders a whole output. The view stays valid while the returned block is locked, so
// this locks it again around the painting.
DibHandle Render(RowPainter& painter, int width, int height, bool eight) {
  DibView d;
  UniqueDib block(NewOutput(width, height, eight, &d));
  if (!block) return nullptr;
  DibLock lock(block.get());
  if (!lock || !ParseDib(lock.data(), lock.size(), &d)) return nullptr;
  if (eight) {
    if (!PaintArea8(painter, d, 0, 0, width, height)) return nullptr;
  } else {
    PaintArea24(painter, d, 0, 0, width, height);
  }
  return block.release();
}

// --- Solid and gradient ---------------------------------------------------------------

inline void PutColour(uint8_t* bgr, uint32_t colour) {
  bgr[0] = static_cast<uint8_t>(colour >> 16);
  bgr[1] = static_cast<uint8_t>(colour >> 8);
  bgr[2] = static_cast<uint8_t>(colour);
}

class SolidPainter : public RowPainter {
 public:
  SolidPainter(uint32_t colour, int width) : m_colour(colour), m_width(width) {}
  void Paint(int, uint8_t* bgr) override {
    for (int x = 0; x < m_width; ++x) PutColour(bgr + 3 * x, m_colour);
  }
  bool RowsAlike() const override { return true; }

 private:
  uint32_t m_colour;
  int m_width;
};

// Colour of position i (column, or storage row) along a gradient of n steps.
uint32_t GradientColour(int i, uint32_t colour1, uint32_t colour2, int n, bool mirrored) {
  if (!mirrored) return ColorLerp(i, colour1, colour2, n);
  const int half = n / 2 + 2;
  return i <= n / 2 ? ColorLerp(i, colour1, colour2, half) : ColorLerp(i - n / 2, colour2, colour1, half);
}

class GradientPainter : public RowPainter {
 public:
  GradientPainter(uint32_t colour1, uint32_t colour2, int width, int height, bool horizontal, bool mirrored)
      : m_colour1(colour1), m_colour2(colour2), m_width(width), m_height(height), m_horizontal(horizontal),
        m_mirrored(mirrored) {}
  void Paint(int row, uint8_t* bgr) override {
    if (m_horizontal) {
      for (int x = 0; x < m_width; ++x) PutColour(bgr + 3 * x, GradientColour(x, m_colour1, m_colour2, m_width, m_mirrored));
      return;
    }
    // Storage row 0 is the bottom: colour2 there and colour1 at the top, unless mirrored.
    const uint32_t c = m_mirrored ? GradientColour(row, m_colour1, m_colour2, m_height, true)
                                  : ColorLerp(row, m_colour2, m_colour1, m_height);
    for (int x = 0; x < m_width; ++x) PutColour(bgr + 3 * x, c);
  }
  bool RowsAlike() const override { return m_horizontal; }

 private:
  uint32_t m_colour1, m_colour2;
  int m_width, m_height;
  bool m_horizontal, m_mirrored;
};

// --- Pictures -------------------------------------------------------------------------

// A locked, parsed source picture of an accepted bit count, with one converted row cached.
class Source {
 public:
  Source(DibHandle block, std::initializer_list<int> bitCounts, Sixteen sixteen = Sixteen::k565)
      : m_lock(block), m_sixteen(sixteen) {
    if (!m_lock || !ParseDib(m_lock.data(), m_lock.size(), &m_view) || !RowReadable(m_view)) return;
    if (std::find(bitCounts.begin(), bitCounts.end(), m_view.bitCount) == bitCounts.end()) return;
    if (m_view.width <= 0 || m_view.height <= 0) return;
    m_row = NewArray<uint8_t>(4 * static_cast<uint64_t>(m_view.width));
    m_ok = m_row != nullptr;
  }
  explicit operator bool() const { return m_ok; }
  int Width() const { return m_view.width; }
  int Height() const { return m_view.height; }
  int BitCount() const { return m_view.bitCount; }
  // Storage row r as blue, green, red, alpha.
  const uint8_t* Row(int r) {
    if (r != m_cached) {
      ReadRowBgra(m_view, r, m_row.get(), m_sixteen);
      m_cached = r;
    }
    return m_row.get();
  }

 private:
  DibLock m_lock;
  DibView m_view;
  Sixteen m_sixteen;
  std::unique_ptr<uint8_t[]> m_row;
  int m_cached = -1;
  bool m_ok = false;
};

// Which sampling grid a scaling uses.
enum class Grid {
  kStretch,  // row floor(H x i / h), span from floor(W x j / w) to MulDiv(j + 1, W, w)
  kRounded,  // row MulDiv(i, H, h), span from MulDiv(j, W, w) to MulDiv(j + 1, W, w)
};

// Scales by averaging, on each output row, spans of one sampled source row. Span ends are
// held to W - 1 and an empty span is widened to one pixel.
class ScalePainter : public RowPainter {
 public:
  ScalePainter(Source& source, int width, int height, Grid grid, bool checkerboard, bool lighten)
      : m_source(source), m_width(width), m_height(height), m_grid(grid), m_checkerboard(checkerboard),
        m_lighten(lighten) {}

  bool Prepare() {
    const int64_t W = m_source.Width();
    m_x0 = NewArray<int>(m_width);
    m_x1 = NewArray<int>(m_width);
    if (!m_x0 || !m_x1) return false;
    for (int64_t j = 0; j < m_width; ++j) {
      int64_t x0 = m_grid == Grid::kStretch ? W * j / m_width : MulDiv(j, W, m_width);
      int64_t x1 = MulDiv(j + 1, W, m_width);
      x0 = std::min(x0, W - 1);
      x1 = std::min(x1, W - 1);
      if (x1 <= x0) x1 = x0 + 1;
      m_x0[j] = static_cast<int>(x0);
      m_x1[j] = static_cast<int>(x1);
    }
    return true;
  }

  void Paint(int row, uint8_t* bgr) override {
    const int64_t H = m_source.Height();
    int64_t sr = m_grid == Grid::kStretch ? H * row / m_height : MulDiv(row, H, m_height);
    sr = std::min(sr, H - 1);
    const uint8_t* src = m_source.Row(static_cast<int>(sr));
    const bool alpha = m_checkerboard && m_source.BitCount() == 32;
    for (int j = 0; j < m_width; ++j, bgr += 3) {
      uint32_t sum[4] = {0, 0, 0, 0};
      const uint8_t* p = src + 4 * static_cast<int64_t>(m_x0[j]);
      const int n = m_x1[j] - m_x0[j];
      for (int k = 0; k < n; ++k, p += 4) sum[0] += p[0], sum[1] += p[1], sum[2] += p[2], sum[3] += p[3];
      int c[3] = {static_cast<int>(sum[0] / n), static_cast<int>(sum[1] / n), static_cast<int>(sum[2] / n)};
      if (alpha) {
        // Composed over 4 x 4 cells of light grey and white, so that transparency shows.
        const int a = static_cast<int>(sum[3] / n);
        const int u = ((row / 4 + j / 4) & 1) ? 200 : 255;
        for (int& v : c) v = ((255 - a) * u + a * v) / 255;
      }
      for (int ch = 0; ch < 3; ++ch) bgr[ch] = m_lighten ? Lighten(c[ch]) : static_cast<uint8_t>(c[ch]);
    }
  }

 private:
  Source& m_source;
  int m_width, m_height;
  Grid m_grid;
  bool m_checkerboard, m_lighten;
  std::unique_ptr<int[]> m_x0, m_x1;
};

DibHandle Scale(DibHandle picture, int width, int height, std::initializer_list<int> bitCounts, Sixteen sixteen,
                Grid grid, bool checkerboard, bool lighten, bool eight) {
  if (!OutputSizeAllowed(width, height)) return nullptr;
  Source source(picture, bitCounts, sixteen);
  if (!source) return nullptr;
  ScalePainter painter(source, width, height, grid, checkerboard, lighten);
  if (!painter.Prepare()) return nullptr;
  return Render(painter, width, height, eight);
}

// The picture's rows unscaled, optionally dimmed, from source storage row `firstRow` and
// column `firstColumn`.
class CopyPainter : public RowPainter {
 public:
  CopyPainter(Source& source, int firstColumn, int firstRow, int width, int brightness)
      : m_source(source), m_firstColumn(firstColumn), m_firstRow(firstRow), m_width(width),
        m_brightness(brightness) {}
  void Paint(int row, uint8_t* bgr) override {
    const uint8_t* p = m_source.Row(m_firstRow + row) + 4 * static_cast<int64_t>(m_firstColumn);
    if (m_brightness == 100) {
      for (int x = 0; x < m_width; ++x, p += 4, bgr += 3) bgr[0] = p[0], bgr[1] = p[1], bgr[2] = p[2];
      return;
    }
    for (int x = 0; x < m_width; ++x, p += 4, bgr += 3)
      for (int c = 0; c < 3; ++c) bgr[c] = static_cast<uint8_t>(std::clamp(m_brightness * p[c] / 100, 0, 255));
  }

 private:
  Source& m_source;
  int m_firstColumn, m_firstRow, m_width, m_brightness;
};

DibHandle Centre(DibHandle picture, int width, int height, int brightness, bool eight) {
  if (!OutputSizeAllowed(width, height)) return nullptr;
  Source source(picture, {1, 4, 8, 24});
  if (!source) return nullptr;
  // Keeps brightness x 255 well inside an int.
  brightness = std::clamp(brightness, 0, 100000);
  const int W = source.Width(), H = source.Height();
  const int partW = std::min(W, width), partH = std::min(H, height);
  // Top-down: the part starts at ((W - partW) / 2, (H - partH) / 2) of the picture and is
  // placed at ((width - partW) / 2, (height - partH) / 2). In storage rows its bottom lies
  // that many rows above the bottom of each.
  const int srcLeft = (W - partW) / 2, srcTop = (H - partH) / 2;
  const int dstLeft = (width - partW) / 2, dstTop = (height - partH) / 2;
  const int srcBottom = H - srcTop - partH, dstBottom = height - dstTop - partH;
  DibView d;
  UniqueDib block(NewOutput(width, height, eight, &d));
  if (!block) return nullptr;
  DibLock lock(block.get());
  if (!lock || !ParseDib(lock.data(), lock.size(), &d)) return nullptr;
  CopyPainter painter(source, srcLeft, srcBottom, partW, brightness);
  if (eight) {
    if (!PaintArea8(painter, d, dstLeft, dstBottom, partW, partH)) return nullptr;
  } else {
    PaintArea24(painter, d, dstLeft, dstBottom, partW, partH);
  }
  return block.release();
}

// The picture's bottom-left partW x partH corner repeated over the output.
class TilePainter : public RowPainter {
 public:
  TilePainter(Source& source, int width, int partW, int partH)
      : m_source(source), m_width(width), m_partW(partW), m_partH(partH) {}
  void Paint(int row, uint8_t* bgr) override {
    const uint8_t* src = m_source.Row(row % m_partH);
    for (int x = 0; x < m_width;) {
      const int n = std::min(m_partW, m_width - x);
      const uint8_t* p = src;
      for (int k = 0; k < n; ++k, p += 4, bgr += 3) bgr[0] = p[0], bgr[1] = p[1], bgr[2] = p[2];
      x += n;
    }
  }

 private:
  Source& m_source;
  int m_width, m_partW, m_partH;
};

DibHandle Tile(DibHandle picture, int width, int height, bool eight) {
  if (!OutputSizeAllowed(width, height)) return nullptr;
  Source source(picture, {1, 4, 8, 24});
  if (!source) return nullptr;
  TilePainter painter(source, width, std::min(source.Width(), width), std::min(source.Height(), height));
  return Render(painter, width, height, eight);
}

}  // namespace

uint32_t ColorLerp(int i, uint32_t from, uint32_t to, int n) {
  if (n <= 1) return from;
  const int64_t d = static_cast<int64_t>(n) - 1;
  uint32_t out = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const int64_t f = (from >> shift) & 0xFF, t = (to >> shift) & 0xFF;
    // Steps outside 0..n-1 would leave the byte range; hold them to it.
    const int64_t c = std::clamp<int64_t>(((d - i) * f + i * t) / d, 0, 255);
    out |= static_cast<uint32_t>(c) << shift;
  }
  return out;
}

DibHandle DibSolid(uint32_t colour, int width, int height) {
  if (!OutputSizeAllowed(width, height)) return nullptr;
  SolidPainter painter(colour, width);
  return Render(painter, width, height, false);
}

DibHandle DibSolid8(uint32_t colour, int width, int height) {
  if (!OutputSizeAllowed(width, height)) return nullptr;
  SolidPainter painter(colour, width);
  return Render(painter, width, height, true);
}

DibHandle DibGradient(uint32_t colour1, uint32_t colour2, int width, int height, bool horizontal, bool mirrored) {
  if (!OutputSizeAllowed(width, height)) return nullptr;
  GradientPainter painter(colour1, colour2, width, height, horizontal, mirrored);
  return Render(painter, width, height, false);
}

DibHandle DibGradient8(uint32_t colour1, uint32_t colour2, int width, int height, bool horizontal, bool mirrored) {
  if (!OutputSizeAllowed(width, height)) return nullptr;
  GradientPainter painter(colour1, colour2, width, height, horizontal, mirrored);
  return Render(painter, width, height, true);
}

DibHandle DibStretch(DibHandle picture, int width, int height, int lighten) {
  return Scale(picture, width, height, {1, 4, 8, 15, 16, 24, 32}, Sixteen::k565, Grid::kStretch, true, lighten != 0,
               false);
}

DibHandle DibStretch8(DibHandle picture, int width, int height) {
  return Scale(picture, width, height, {1, 4, 8, 24}, Sixteen::k565, Grid::kRounded, false, false, true);
}

DibHandle DibScaleSurface(DibHandle surfaceBlock, int width, int height, int lighten) {
  return Scale(surfaceBlock, width, height, {1, 4, 8, 15, 16, 24, 32}, Sixteen::k555, Grid::kRounded, false,
               lighten != 0, false);
}

DibHandle DibScaleSurface(const CDibKSV& surface, int width, int height, int lighten) {
  return DibScaleSurface(surface.Block(), width, height, lighten);
}

DibHandle DibTo8(DibHandle picture) {
  Source source(picture, {1, 4, 8, 24});
  if (!source) return nullptr;
  CopyPainter painter(source, 0, 0, source.Width(), 100);
  return Render(painter, source.Width(), source.Height(), true);
}

DibHandle DibCentre(DibHandle picture, int width, int height, int brightness) {
  return Centre(picture, width, height, brightness, false);
}

DibHandle DibCentre8(DibHandle picture, int width, int height, int brightness) {
  return Centre(picture, width, height, brightness, true);
}

DibHandle DibTile(DibHandle picture, int width, int height) { return Tile(picture, width, height, false); }

DibHandle DibTile8(DibHandle picture, int width, int height) { return Tile(picture, width, height, true); }

bool DibPaste(DibHandle destination, DibHandle source, int x, int y) {
  DibLock dl(destination), sl(source);
  DibView d, s;
  if (!dl || !sl || !ParseDib(dl.data(), dl.size(), &d) || !ParseDib(sl.data(), sl.size(), &s)) return false;
  if (!d.pixels || !s.pixels || d.bitCount != s.bitCount) return false;
  switch (d.bitCount) {
    case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  if (x < 0 || y < 0) return true;
  const int64_t cols = std::min<int64_t>(s.width, static_cast<int64_t>(d.width) - x);
  const int64_t rows = std::min<int64_t>(s.height, static_cast<int64_t>(d.height) - y);
  const int64_t bpp = d.bitCount / 8;
  for (int64_t r = 0; r < rows && cols > 0; ++r) {
    const uint8_t* from = s.Row(static_cast<int>(s.height - 1 - r));
    uint8_t* to = d.Row(static_cast<int>(d.height - 1 - (y + r))) + x * bpp;
    // memmove: a picture pasted into itself overlaps.
    std::memmove(to, from, static_cast<size_t>(cols * bpp));
  }
  return true;
}

}  // namespace qv
