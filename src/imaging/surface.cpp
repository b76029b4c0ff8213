#include "imaging/surface.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "imaging/blit.h"
#include "imaging/dib.h"
#include "imaging/palette.h"
#include "imaging/picture_limits.h"

namespace qv {

int SurfaceDepthFor(int screenDepth) {
  if (screenDepth == 15 || screenDepth == 16) return 16;
  if (screenDepth >= 24) return 32;
  return 8;
}

class CDibKSV::Pin {
 public:
  explicit Pin(CDibKSV& s) : m_s(s), m_bOwn(!s.m_pBits) {
    if (m_bOwn) s.Lock();
  }
  ~Pin() {
    if (m_bOwn) m_s.Unlock();
  }
  uint8_t* bits() const { return m_s.m_pBits; }

 private:
  CDibKSV& m_s;
  bool m_bOwn;
};

CDibKSV::CDibKSV() : m_nDepth(SurfaceDepthFor(ScreenDepth())) {}
CDibKSV::CDibKSV(int depth) : m_nDepth(SurfaceDepthFor(depth)) {}

CDibKSV::~CDibKSV() { ReplaceBlock(nullptr); }

void CDibKSV::ReplaceBlock(DibHandle block) {
  Unlock();
  DibFree(m_hBlock);
  m_hBlock = block;
}

uint8_t* CDibKSV::Lock() {
  if (!m_pBits && m_hBlock) m_pBits = DibLockBlock(m_hBlock);
  return m_pBits;
}

void CDibKSV::Unlock() {
  if (m_pBits) DibUnlockBlock(m_hBlock);
  m_pBits = nullptr;
}

int CDibKSV::GetWidth() const {
  if (!m_hBlock) return 0;
  if (m_pBits) return DibWidth(m_pBits);
  DibLock lock(m_hBlock);
  return lock ? DibWidth(lock.data()) : 0;
}

int CDibKSV::GetHeight() const {
  if (!m_hBlock) return 0;
  if (m_pBits) return DibHeight(m_pBits);
  DibLock lock(m_hBlock);
  return lock ? DibHeight(lock.data()) : 0;
}

int CDibKSV::RowBytes() const {
  const int64_t width = GetWidth();
  switch (m_nDepth) {
    case 8: return static_cast<int>((width + 3) & ~int64_t{3});
    case 16: return static_cast<int>((2 * width + 3) & ~int64_t{3});
    default: return static_cast<int>(4 * width);
  }
}

bool CDibKSV::Create(int width, int height) {
  ReplaceBlock(nullptr);
  if (width <= 0 || height <= 0 || !PictureSizeAllowed(width, height)) return false;
  const int64_t stride = m_nDepth == 8    ? (int64_t{width} + 3) & ~int64_t{3}
                         : m_nDepth == 16 ? (2 * int64_t{width} + 3) & ~int64_t{3}
                                          : 4 * int64_t{width};
  const uint64_t table = m_nDepth == 8 ? 1024 : 0;
  const uint64_t pixels = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
  DibHandle block = DibAlloc(kDibHeaderSize + table + pixels, false);
  if (!block) return false;
  {
    DibLock lock(block);
    if (!lock) {
      DibFree(block);
      return false;
    }
    DibHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = static_cast<uint16_t>(m_nDepth);
    h.biSizeImage = m_nDepth == 8 ? 0 : static_cast<uint32_t>(pixels);
    WriteDibHeader(lock.data(), h);
    if (m_nDepth == 8) std::memcpy(lock.data() + kDibHeaderSize, AppPaletteColorTable(), 1024);
  }
  m_hBlock = block;
  return true;
}

bool CDibKSV::SetFromDib(DibHandle block) {
  if (!block) return false;
  if (m_nDepth == 8) {
    // Only an 8-bit picture with a full table can be used as it is.
    bool usable = false;
    {
      DibLock lock(block);
      DibView v;
      usable = lock && ParseDib(lock.data(), lock.size(), &v) && v.bitCount == 8 && v.pixels &&
               v.colorCount == 256 && !v.core;
    }
    if (!usable) {
      DibFree(block);
      return false;
    }
    ReplaceBlock(block);
    return true;
  }
  DibHandle converted = m_nDepth == 16 ? DibToRgb555(block) : DibToBgra32(block);
  DibFree(block);
  if (!converted) return false;
  ReplaceBlock(converted);
  return true;
}

uint8_t* CDibKSV::PixelAddress(int x, int y) {
  if (!m_pBits) return nullptr;  // callers pin the surface first
  const int width = DibWidth(m_pBits), height = DibHeight(m_pBits);
  if (x < 0 || y < 0 || x >= width || y >= height) return nullptr;
  const int64_t header = kDibHeaderSize + (m_nDepth == 8 ? 1024 : 0);
  return m_pBits + header + static_cast<int64_t>(height - y - 1) * RowBytes() +
         static_cast<int64_t>(x) * (m_nDepth / 8);
}

uint32_t CDibKSV::GetPixelValue(int x, int y) {
  Pin pin(*this);
  const uint8_t* p = PixelAddress(x, y);
  if (!p) return 0;
  switch (m_nDepth) {
    case 8: return p[0];
    case 16: return static_cast<uint32_t>(p[0] | p[1] << 8);
    default: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
  }
}

uint8_t* CDibKSV::ColorTable() {
  if (m_nDepth != 8) return nullptr;
  return Lock() ? m_pBits + kDibHeaderSize : nullptr;  // stays locked: the address is handed out
}

int CDibKSV::ColorCount() {
  if (m_nDepth != 8) return 0;
  Pin pin(*this);
  return pin.bits() ? static_cast<int>(DibColorCount(pin.bits())) : 0;
}

Rect32 CDibKSV::Blit(const BlitRequest& r) {
  CDibKSV* const dest = r.dest;
  if (!dest || r.width <= 0 || r.height <= 0 || dest->m_nDepth != m_nDepth) return Rect32{};
  // Compositing over dest itself is the plain case.
  CDibKSV* const under = r.under == dest ? nullptr : r.under;
  if (under && under->m_nDepth != m_nDepth) return Rect32{};
  Pin srcPin(*this);
  Pin dstPin(*dest);
  if (!srcPin.bits() || !dstPin.bits()) return Rect32{};
  const int sw = DibWidth(srcPin.bits()), sh = DibHeight(srcPin.bits());
  const int dw = DibWidth(dstPin.bits()), dh = DibHeight(dstPin.bits());

  // Clip the rectangle to both surfaces, moving both corners together (64-bit sums).
  int64_t x0 = 0, y0 = 0, x1 = r.width, y1 = r.height;  // offsets within the rectangle
  x0 = std::max<int64_t>({x0, -int64_t{r.srcX}, -int64_t{r.destX}});
  y0 = std::max<int64_t>({y0, -int64_t{r.srcY}, -int64_t{r.destY}});
  x1 = std::min<int64_t>({x1, int64_t{sw} - r.srcX, int64_t{dw} - r.destX});
  y1 = std::min<int64_t>({y1, int64_t{sh} - r.srcY, int64_t{dh} - r.destY});
  if (x1 <= x0 || y1 <= y0) return Rect32{};
  const int sx = static_cast<int>(r.srcX + x0), sy = static_cast<int>(r.srcY + y0);
  const int dx = static_cast<int>(r.destX + x0), dy = static_cast<int>(r.destY + y0);
  const int w = static_cast<int>(x1 - x0), h = static_cast<int>(y1 - y0);

  BlitRows b;
  std::optional<Pin> underPin;
  if (under) {
    underPin.emplace(*under);
    if (!underPin->bits() || DibWidth(underPin->bits()) != dw || DibHeight(underPin->bits()) != dh)
      return Rect32{};
    b.under = under->PixelAddress(dx, dy + h - 1);
    b.underStride = under->RowBytes();
  }
  b.depth = m_nDepth;
  b.width = w;
  b.height = h;
  b.src = PixelAddress(sx, sy + h - 1);
  b.srcStride = RowBytes();
  b.dst = dest->PixelAddress(dx, dy + h - 1);
  b.dstStride = dest->RowBytes();
  if (r.mask) {
    b.mask = r.mask + static_cast<int64_t>(sh - sy - h) * sw + sx;
    b.maskStride = sw;
  }
  b.key = r.key;
  b.opacity = std::clamp(r.opacity, 0, 100);
  b.solidBack = r.solidBack;
  b.backColor = r.backColor;
  BlitPixels(b);
  return Rect32{dx, dy, dx + w, dy + h};
}

namespace {
// Writes each pixel of a 1, 4, 8 or 24-bit picture as fn(red, green, blue) into a new
// block of outBits bits.
template <class Pixel>
DibHandle ConvertPicture(DibHandle block, int outBits, Pixel fn) {
  DibLock in(block);
  DibView s;
  if (!in || !ParseDib(in.data(), in.size(), &s) || !s.pixels) return nullptr;
  if (s.bitCount != 1 && s.bitCount != 4 && s.bitCount != 8 && s.bitCount != 24) return nullptr;
  if (s.bitCount <= 8 && s.colorCount == 0) return nullptr;
  UniqueDib out(DibCreate(s.width, s.height, outBits));
  DibLock o(out.get());
  DibView d;
  if (!o || !ParseDib(o.data(), o.size(), &d)) return nullptr;
  for (int r = 0; r < s.height; ++r) {
    const uint8_t* row = s.Row(r);
    uint8_t* outRow = d.Row(r);
    std::memset(outRow, 0, static_cast<size_t>(d.stride));
    for (int x = 0; x < s.width; ++x) {
      const uint8_t* bgr;
      switch (s.bitCount) {
        case 1: bgr = s.Entry((row[x >> 3] >> (7 - (x & 7))) & 1); break;
        case 4: bgr = s.Entry((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xF); break;
        case 8: bgr = s.Entry(row[x]); break;
        default: bgr = row + 3 * x; break;
      }
      fn(outRow, x, bgr[2], bgr[1], bgr[0]);
    }
  }
  return out.release();
}
}  // namespace

DibHandle DibToRgb555(DibHandle block) {
  return ConvertPicture(block, 16, [](uint8_t* row, int x, int red, int green, int blue) {
    const uint16_t v = static_cast<uint16_t>((red / 8) << 10 | (green / 8) << 5 | blue / 8);
    row[2 * x] = static_cast<uint8_t>(v);
    row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
  });
}

DibHandle DibToBgra32(DibHandle block) {
  return ConvertPicture(block, 32, [](uint8_t* row, int x, int red, int green, int blue) {
    row[4 * x] = static_cast<uint8_t>(blue);
    row[4 * x + 1] = static_cast<uint8_t>(green);
    row[4 * x + 2] = static_cast<uint8_t>(red);
    row[4 * x + 3] = 255;
  });
}

}  // namespace qv
