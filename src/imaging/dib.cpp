#include "imaging/dib.h"

#include <algorithm>
#include <cstring>

#include "imaging/picture_limits.h"

namespace qv {

DibHeader ReadDibHeader(const uint8_t* p) {
  DibHeader h;
  h.biSize = GetU32(p);
  h.biWidth = GetI32(p + 4);
  h.biHeight = GetI32(p + 8);
  h.biPlanes = GetU16(p + 12);
  h.biBitCount = GetU16(p + 14);
  h.biCompression = GetU32(p + 16);
  h.biSizeImage = GetU32(p + 20);
  h.biXPelsPerMeter = GetI32(p + 24);
  h.biYPelsPerMeter = GetI32(p + 28);
  h.biClrUsed = GetU32(p + 32);
  h.biClrImportant = GetU32(p + 36);
  return h;
}

void WriteDibHeader(uint8_t* p, const DibHeader& h) {
  PutU32(p, h.biSize);
  PutU32(p + 4, static_cast<uint32_t>(h.biWidth));
  PutU32(p + 8, static_cast<uint32_t>(h.biHeight));
  PutU16(p + 12, h.biPlanes);
  PutU16(p + 14, h.biBitCount);
  PutU32(p + 16, h.biCompression);
  PutU32(p + 20, h.biSizeImage);
  PutU32(p + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
  PutU32(p + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
  PutU32(p + 32, h.biClrUsed);
  PutU32(p + 36, h.biClrImportant);
}

namespace {

bool IsCore(const uint8_t* header) { return GetU32(header) == kDibCoreHeaderSize; }
int BitCountOf(const uint8_t* header) { return IsCore(header) ? GetU16(header + 10) : GetU16(header + 14); }

uint32_t CountForBits(int bits) {
  switch (bits) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

// Colour index of pixel x in a row of 1, 4 or 8 bits.
inline uint32_t IndexAt(const uint8_t* row, int x, int bits) {
  switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (x & 1) ? row[x >> 1] & 15u : row[x >> 1] >> 4;
    default: return row[x];
  }
}

// Pixel x of a row as blue, green, red (and alpha for 32 bits); 16 bits read as 5-6-5,
// 15 as 5-5-5.
inline void ReadBgr(const DibView& v, const uint8_t* row, int x, uint8_t* bgr) {
  switch (v.bitCount) {
    case 1:
    case 4:
    case 8: {
      const uint8_t* e = v.Entry(IndexAt(row, x, v.bitCount));
      bgr[0] = e[0], bgr[1] = e[1], bgr[2] = e[2];
      break;
    }
    case 15: {
      const uint32_t w = GetU16(row + 2 * x);
      bgr[0] = static_cast<uint8_t>((w & 31) << 3);
      bgr[1] = static_cast<uint8_t>(((w >> 5) & 31) << 3);
      bgr[2] = static_cast<uint8_t>(((w >> 10) & 31) << 3);
      break;
    }
    case 16: {
      const uint32_t w = GetU16(row + 2 * x);
      bgr[0] = static_cast<uint8_t>((w & 31) << 3);
      bgr[1] = static_cast<uint8_t>(((w >> 5) & 63) << 2);
      bgr[2] = static_cast<uint8_t>((w >> 11) << 3);
      break;
    }
    case 24: std::memcpy(bgr, row + 3 * x, 3); break;
    default: std::memcpy(bgr, row + 4 * x, 3); break;
  }
}

}  // namespace

uint32_t DibColorCount(const uint8_t* header) {
  if (!IsCore(header)) {
    const uint32_t used = GetU32(header + 32);
    if (used) return used;
  }
  return CountForBits(BitCountOf(header));
}

uint32_t DibColorTableBytes(const uint8_t* header) {
  return DibColorCount(header) * (IsCore(header) ? 3u : 4u);
}

uint8_t* DibPixels(uint8_t* header) { return header + GetU32(header) + DibColorTableBytes(header); }

int DibWidth(const uint8_t* header) { return IsCore(header) ? GetU16(header + 4) : GetI32(header + 4); }
int DibHeight(const uint8_t* header) { return IsCore(header) ? GetU16(header + 6) : GetI32(header + 8); }

bool ParseDib(uint8_t* block, uint64_t blockSize, DibView* v) {
  if (!block || blockSize < kDibCoreHeaderSize) return false;
  const uint32_t headerSize = GetU32(block);
  DibView r;
  r.block = block;
  r.blockSize = blockSize;
  if (headerSize == kDibCoreHeaderSize) {
    r.core = true;
    r.entryBytes = 3;
  } else if (headerSize < kDibHeaderSize || headerSize > 124 || blockSize < headerSize) {
    return false;
  }
  r.width = DibWidth(block);
  r.height = DibHeight(block);
  r.bitCount = BitCountOf(block);
  r.compression = r.core ? 0 : GetU32(block + 16);
  if (!PictureSizeAllowed(r.width, r.height)) return false;
  switch (r.bitCount) {
    case 1: case 4: case 8: case 15: case 16: case 24: case 32: break;
    default: return false;
  }
  r.colorCount = DibColorCount(block);
  const uint64_t tableEnd = headerSize + static_cast<uint64_t>(r.colorCount) * r.entryBytes;
  if (tableEnd > blockSize) return false;
  r.colorTable = block + headerSize;
  r.stride = DibRowBytes(r.width, r.bitCount == 15 ? 16 : r.bitCount);
  if (r.compression == kBiRle8 || r.compression == kBiRle4) {
    *v = r;
    return true;
  }
  if (r.compression != kBiRgb && r.compression != kBiBitfields) return false;
  const uint64_t pixelStart = tableEnd + (r.compression == kBiBitfields ? 12 : 0);
  if (pixelStart + static_cast<uint64_t>(r.height) * static_cast<uint64_t>(r.stride) > blockSize) return false;
  r.pixels = block + pixelStart;
  *v = r;
  return true;
}

DibHandle DibCreate(int width, int height, int bitCount) {
  if (!PictureSizeAllowed(width, height)) return nullptr;
  int bits;
  if (bitCount <= 1) bits = 1;
  else if (bitCount <= 4) bits = 4;
  else if (bitCount <= 8) bits = 8;
  else if (bitCount <= 16) bits = 16;
  else if (bitCount <= 24) bits = 24;
  else if (bitCount <= 32) bits = 32;
  else bits = 4;
  const uint32_t tableEntries = CountForBits(bits);
  const uint64_t size = kDibHeaderSize + 4ull * tableEntries +
                        static_cast<uint64_t>(height) * static_cast<uint64_t>(DibRowBytes(width, bits));
  DibHandle block = DibAlloc(size, true);
  uint8_t* p = DibLockBlock(block);
  if (!p) return DibFree(block);
  uint32_t used = 0;
  switch (bitCount) {
    case 1: used = 2; break;
    case 2: used = 4; break;
    case 3: used = 8; break;
    case 4: used = 16; break;
    case 8: used = 256; break;
    default: break;
  }
  DibHeader h;
  h.biWidth = width;
  h.biHeight = height;
  h.biBitCount = static_cast<uint16_t>(bits);
  h.biClrUsed = used;
  h.biClrImportant = used;
  WriteDibHeader(p, h);
  static constexpr uint32_t kStandard[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                             0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                             0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  uint8_t* table = p + kDibHeaderSize;
  for (uint32_t i = 0; i < used / 16 * 16; ++i) {
    const uint32_t rgb = kStandard[i % 16];
    table[4 * i + 0] = static_cast<uint8_t>(rgb);
    table[4 * i + 1] = static_cast<uint8_t>(rgb >> 8);
    table[4 * i + 2] = static_cast<uint8_t>(rgb >> 16);
  }
  DibUnlockBlock(block);
  return block;
}

DibHandle DibDuplicate(DibHandle block) {
  DibLock src(block);
  if (!src) return nullptr;
  DibHandle copy = DibAlloc(src.size(), true);
  {
    DibLock dst(copy);
    if (dst) {
      std::memcpy(dst.data(), src.data(), static_cast<size_t>(src.size()));
      return copy;
    }
  }
  return DibFree(copy);
}

Rgb DibGetPixelRgb(DibHandle block, int x, int y) {
  DibLock lock(block);
  DibView v;
  if (!lock || !ParseDib(lock.data(), lock.size(), &v) || !v.pixels) return {};
  if (x < 0 || y < 0 || x >= v.width || y >= v.height) return {};
  switch (v.bitCount) {
    case 1: case 4: case 8: case 24: case 32: break;
    default: return {};
  }
  uint8_t bgr[3];
  ReadBgr(v, v.Row(v.height - 1 - y), x, bgr);
  return {bgr[2], bgr[1], bgr[0]};
}

bool DibHasAlpha(DibHandle block) {
  DibLock lock(block);
  DibView v;
  if (!lock || !ParseDib(lock.data(), lock.size(), &v) || !v.pixels || v.bitCount != 32) return false;
  for (int r = 0; r < v.height; ++r) {
    const uint8_t* row = v.Row(r);
    for (int x = 0; x < v.width; ++x)
      if (row[4 * x + 3]) return true;
  }
  return false;
}

namespace {

// Shared body of DibToRgb24 and DibFlattenAlpha.
DibHandle ConvertTo24(DibHandle block, bool flatten, uint32_t colour) {
  DibLock src(block);
  DibView s;
  if (!src || !ParseDib(src.data(), src.size(), &s) || !s.pixels) return nullptr;
  switch (s.bitCount) {
    case 15: case 16:
      if (flatten) return nullptr;
      break;
    default: break;
  }
  UniqueDib out(DibCreate(s.width, s.height, 24));
  DibLock dst(out.get());
  DibView d;
  if (!dst || !ParseDib(dst.data(), dst.size(), &d)) return nullptr;
  const bool blend = flatten && s.bitCount == 32 && colour != 0xFF000000u;
  const int bgRed = colour & 0xFF, bgGreen = (colour >> 8) & 0xFF, bgBlue = (colour >> 16) & 0xFF;
  for (int r = 0; r < s.height; ++r) {
    const uint8_t* in = s.Row(r);
    uint8_t* o = d.Row(r);
    if (s.bitCount == 24) {
      std::memcpy(o, in, 3 * static_cast<size_t>(s.width));
      continue;
    }
    if (blend) {
      for (int x = 0; x < s.width; ++x, in += 4, o += 3) {
        const int a = in[3];
        o[0] = static_cast<uint8_t>((bgBlue * (255 - a) + in[0] * a) / 255);
        o[1] = static_cast<uint8_t>((bgGreen * (255 - a) + in[1] * a) / 255);
        o[2] = static_cast<uint8_t>((bgRed * (255 - a) + in[2] * a) / 255);
      }
      continue;
    }
    for (int x = 0; x < s.width; ++x) ReadBgr(s, in, x, o + 3 * x);
  }
  return out.release();
}

}  // namespace

DibHandle DibToRgb24(DibHandle block) { return ConvertTo24(block, false, 0); }

DibHandle DibFlattenAlpha(DibHandle block, uint32_t colour) { return ConvertTo24(block, true, colour); }

bool DibCopyTiled(DibHandle source, int sx, int sy, int sw, int sh, DibHandle destination, int dx, int dy,
                  int dw, int dh) {
  if (!source || !destination) return false;
  DibLock sl(source), dl(destination);
  DibView s, d;
  if (!sl || !dl || !ParseDib(sl.data(), sl.size(), &s) || !ParseDib(dl.data(), dl.size(), &d)) return false;
  if (!s.pixels || !d.pixels || s.bitCount != 32 || d.bitCount != 32) return false;
  if (dw == 0) dw = sw;
  if (dh == 0) dh = sh;
  if (sx < 0 || sy < 0 || sx >= s.width || sy >= s.height) return false;
  if (sw > s.width - sx) sw = s.width - sx;
  if (sh > s.height - sy) sh = s.height - sy;
  if (sw <= 0 || sh <= 0) return false;
  for (int64_t i = 0; i < dh && dy + i < d.height; ++i) {
    if (dy + i < 0) continue;
    const uint8_t* srow = s.Row(static_cast<int>(s.height - 1 - (sy + i % sh)));
    uint8_t* drow = d.Row(static_cast<int>(d.height - 1 - (dy + i)));
    for (int64_t j = 0; j < dw && dx + j < d.width; ++j) {
      if (dx + j < 0) continue;
      std::memcpy(drow + 4 * (dx + j), srow + 4 * (sx + j % sw), 4);
    }
  }
  return true;
}

bool DibOverlayOpaque(DibHandle source, DibHandle destination) {
  if (!source || !destination) return false;
  DibLock sl(source), dl(destination);
  DibView s, d;
  if (!sl || !dl || !ParseDib(sl.data(), sl.size(), &s) || !ParseDib(dl.data(), dl.size(), &d)) return false;
  if (!s.pixels || !d.pixels || s.bitCount != 32 || d.bitCount != 32) return false;
  const int w = std::min(s.width, d.width), h = std::min(s.height, d.height);
  for (int r = 0; r < h; ++r) {
    const uint8_t* in = s.Row(r);
    uint8_t* o = d.Row(r);
    for (int x = 0; x < w; ++x, in += 4, o += 4) {
      if (GetU32(in) == 0) continue;
      o[0] = in[0], o[1] = in[1], o[2] = in[2], o[3] = 255;
    }
  }
  return true;
}

bool DibLogicalPalette(DibHandle block, LogicalPalette* palette) {
  DibLock lock(block);
  DibView v;
  if (!lock || !ParseDib(lock.data(), lock.size(), &v) || v.colorCount == 0) return false;
  if (v.colorCount > 65535) return false;
  palette->version = 0x300;
  palette->entries.assign(v.colorCount, PaletteEntry{});
  for (uint32_t i = 0; i < v.colorCount; ++i) {
    const uint8_t* e = v.colorTable + static_cast<uint64_t>(i) * v.entryBytes;
    palette->entries[i] = {e[2], e[1], e[0], 0};
  }
  return true;
}

PaletteHandle DibMakePalette(DibHandle block) {
  LogicalPalette palette;
  if (!DibLogicalPalette(block, &palette)) return nullptr;
  return CreatePlatformPalette(palette);
}

}  // namespace qv
