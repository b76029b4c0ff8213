#include "imaging/bmp_codec.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/dib.h"
#include "imaging/picture_limits.h"

namespace qv {
namespace {

// A channel described by a bit mask, scaled to 8 bits.
struct MaskChannel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;  // largest value after the shift

  explicit MaskChannel(uint32_t m = 0) : mask(m) {
    if (!m) return;
    while (!((m >> shift) & 1)) ++shift;
    max = m >> shift;
  }
  uint8_t Get(uint32_t pixel) const {
    if (!max) return 0;
    const uint64_t v = (pixel & mask) >> shift;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
  }
};

struct BmpLayout {
  int64_t width = 0, height = 0;
  bool topDown = false;
  int bits = 0;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  int32_t xPels = 0, yPels = 0;
  uint32_t colors = 0;
  bool core = false;
  uint32_t masks[4] = {};  // red, green, blue, alpha
  bool useMasks = false;
};

std::unique_ptr<uint8_t[]> NewBytes(uint64_t n) {
  if (n > kMaxBlockBytes) return nullptr;
  return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[n ? static_cast<size_t>(n) : 1]);
}

// Reads the info header after its size field and checks it; the source then stands at
// the colour table (or the masks of a 40-byte bit-field header).
bool ReadLayout(ByteCursor& f, BmpLayout* l) {
  uint8_t h[124] = {};
  if (!f.ReadExact(h, 4)) return false;
  const uint32_t size = GetU32(h);
  if (size == kDibCoreHeaderSize) {
    if (!f.ReadExact(h + 4, 8)) return false;
    l->core = true;
    l->width = GetU16(h + 4);
    l->height = GetU16(h + 6);
    l->bits = GetU16(h + 10);
  } else if (size == 40 || size == 52 || size == 56 || size == 108 || size == 124) {
    if (!f.ReadExact(h + 4, size - 4)) return false;
    l->width = GetI32(h + 4);
    l->height = GetI32(h + 8);
    l->bits = GetU16(h + 14);
    l->compression = GetU32(h + 16);
    l->sizeImage = GetU32(h + 20);
    l->xPels = GetI32(h + 24);
    l->yPels = GetI32(h + 28);
    l->colors = GetU32(h + 32);
    if (size >= 52)
      for (int i = 0; i < 3; ++i) l->masks[i] = GetU32(h + 40 + 4 * i);
    if (size >= 56) l->masks[3] = GetU32(h + 52);
  } else {
    return false;
  }
  if (l->height < 0) {
    l->topDown = true;
    l->height = -l->height;
  }
  if (l->width <= 0 || l->height <= 0 || !PictureSizeAllowed(l->width, l->height)) return false;
  switch (l->bits) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  switch (l->compression) {
    case kBiRgb:
      if (l->bits == 16) {
        // 16-bit files without masks are 5-5-5; they are widened like bit-field files.
        l->useMasks = true;
        l->masks[0] = 0x7C00, l->masks[1] = 0x03E0, l->masks[2] = 0x001F, l->masks[3] = 0;
      }
      break;
    case kBiRle8:
      if (l->bits != 8 || l->topDown) return false;
      break;
    case kBiBitfields:
      if (l->bits != 16 && l->bits != 32) return false;
      l->useMasks = true;
      if (size == 40) {
        uint8_t m[12];
        if (!f.ReadExact(m, 12)) return false;
        for (int i = 0; i < 3; ++i) l->masks[i] = GetU32(m + 4 * i);
        l->masks[3] = 0;
      }
      break;
    default:  // 4-bit run-length data, embedded JPEG or PNG, anything unknown
      return false;
  }
  if (l->core) {
    l->colors = l->bits <= 8 ? 1u << l->bits : 0;
  } else if (l->colors == 0 && l->bits < 15) {
    l->colors = 1u << l->bits;
  }
  return l->colors <= 256;
}

// Uncompressed rows, copied as they are.
DibHandle ReadPlain(ByteCursor& f, const BmpLayout& l, const uint8_t* table) {
  const int64_t stride = DibRowBytes(l.width, l.bits);
  const uint64_t image = static_cast<uint64_t>(l.height) * static_cast<uint64_t>(stride);
  if (f.Left() < image) return nullptr;
  UniqueDib block(DibAlloc(kDibHeaderSize + 4ull * l.colors + image, false));
  DibLock lock(block.get());
  if (!lock) return nullptr;
  DibHeader h;
  h.biWidth = static_cast<int32_t>(l.width);
  h.biHeight = static_cast<int32_t>(l.height);
  h.biBitCount = static_cast<uint16_t>(l.bits);
  h.biSizeImage = static_cast<uint32_t>(image);
  h.biXPelsPerMeter = l.xPels;
  h.biYPelsPerMeter = l.yPels;
  h.biClrUsed = h.biClrImportant = l.colors;
  WriteDibHeader(lock.data(), h);
  std::memcpy(lock.data() + kDibHeaderSize, table, 4ull * l.colors);
  uint8_t* pixels = lock.data() + kDibHeaderSize + 4ull * l.colors;
  if (!l.topDown) {
    if (!f.ReadExact(pixels, static_cast<size_t>(image))) return nullptr;
  } else {
    for (int64_t r = l.height - 1; r >= 0; --r)
      if (!f.ReadExact(pixels + r * stride, static_cast<size_t>(stride))) return nullptr;
  }
  return block.release();
}

// Bit-field and 16-bit rows, widened to 24 bits (32 when there is an alpha mask or the
// file has 32 bits, whose fourth byte is then alpha or 0).
DibHandle ReadMasked(ByteCursor& f, const BmpLayout& l) {
  const int64_t stride = DibRowBytes(l.width, l.bits);
  if (f.Left() < static_cast<uint64_t>(l.height) * static_cast<uint64_t>(stride)) return nullptr;
  const bool alpha = l.bits == 32 || l.masks[3] != 0;
  UniqueDib block(DibCreate(static_cast<int>(l.width), static_cast<int>(l.height), alpha ? 32 : 24));
  DibLock lock(block.get());
  DibView v;
  auto row = NewBytes(static_cast<uint64_t>(stride));
  if (!lock || !row || !ParseDib(lock.data(), lock.size(), &v)) return nullptr;
  PutU32(lock.data() + 24, static_cast<uint32_t>(l.xPels));
  PutU32(lock.data() + 28, static_cast<uint32_t>(l.yPels));
  const MaskChannel red(l.masks[0]), green(l.masks[1]), blue(l.masks[2]), alphaChannel(l.masks[3]);
  const int outBytes = alpha ? 4 : 3;
  for (int64_t i = 0; i < l.height; ++i) {
    if (!f.ReadExact(row.get(), static_cast<size_t>(stride))) return nullptr;
    uint8_t* o = v.Row(static_cast<int>(l.topDown ? l.height - 1 - i : i));
    for (int64_t x = 0; x < l.width; ++x, o += outBytes) {
      const uint32_t px = l.bits == 16 ? GetU16(row.get() + 2 * x) : GetU32(row.get() + 4 * x);
      o[0] = blue.Get(px);
      o[1] = green.Get(px);
      o[2] = red.Get(px);
      if (alpha) o[3] = alphaChannel.Get(px);
    }
  }
  return block.release();
}

DibHandle ReadRle8(ByteCursor& f, const BmpLayout& l, const uint8_t* table) {
  const uint64_t dataBytes = l.sizeImage ? l.sizeImage : f.Left();
  if (dataBytes > f.Left()) return nullptr;
  auto data = NewBytes(dataBytes);
  if (!data || !f.ReadExact(data.get(), static_cast<size_t>(dataBytes))) return nullptr;
  const int64_t stride = DibRowBytes(l.width, 8);
  const uint64_t image = static_cast<uint64_t>(l.height) * static_cast<uint64_t>(stride);
  // Zero-filled: pixels the data skips are colour 0.
  UniqueDib block(DibAlloc(kDibHeaderSize + 4ull * l.colors + image, true));
  DibLock lock(block.get());
  if (!lock) return nullptr;
  DibHeader h;
  h.biWidth = static_cast<int32_t>(l.width);
  h.biHeight = static_cast<int32_t>(l.height);
  h.biBitCount = 8;
  h.biSizeImage = static_cast<uint32_t>(image);
  h.biXPelsPerMeter = l.xPels;
  h.biYPelsPerMeter = l.yPels;
  h.biClrUsed = h.biClrImportant = l.colors;
  WriteDibHeader(lock.data(), h);
  std::memcpy(lock.data() + kDibHeaderSize, table, 4ull * l.colors);
  DibDecodeRle8(lock.data(), lock.data() + kDibHeaderSize + 4ull * l.colors, image, data.get(), dataBytes);
  return block.release();
}

}  // namespace

void DibDecodeRle8(const uint8_t* header, uint8_t* pixels, uint64_t pixelBytes, const uint8_t* data,
                   uint64_t dataBytes) {
  const int64_t width = DibWidth(header);
  const int64_t rowLength = (width + 3) & ~int64_t{3};
  if (width <= 0 || !pixels) return;
  int64_t height = DibHeight(header);
  if (height <= 0) return;
  if (static_cast<uint64_t>(height) > pixelBytes / static_cast<uint64_t>(rowLength))
    height = static_cast<int64_t>(pixelBytes / static_cast<uint64_t>(rowLength));
  // x may run past the row (its writes are then dropped) but never wraps into the next.
  int64_t x = 0, y = 0;
  uint64_t i = 0;
  while (i + 1 < dataBytes && y < height) {
    const uint8_t count = data[i], value = data[i + 1];
    i += 2;
    if (count > 0) {
      if (x < width) std::memset(pixels + y * rowLength + x, value, static_cast<size_t>(std::min<int64_t>(count, width - x)));
      x += count;
      continue;
    }
    switch (value) {
      case 0:  // end of row
        x = 0;
        ++y;
        break;
      case 1:  // end of picture
        return;
      case 2:  // delta: right and up
        if (i + 1 >= dataBytes) return;
        x += data[i];
        y += data[i + 1];
        i += 2;
        break;
      default: {  // absolute run, padded to an even length
        const uint64_t run = std::min<uint64_t>(value, dataBytes - i);
        if (x < width)
          std::memcpy(pixels + y * rowLength + x, data + i, static_cast<size_t>(std::min<int64_t>(run, width - x)));
        x += value;
        i += value + (value & 1);
        break;
      }
    }
  }
}

DibHandle DibReadBmp(ByteCursor& f) {
  const uint64_t start = f.Tell();
  uint8_t fileHeader[14];
  if (!f.ReadExact(fileHeader, 14) || fileHeader[0] != 'B' || fileHeader[1] != 'M') return nullptr;
  const uint32_t offBits = GetU32(fileHeader + 10);
  BmpLayout l;
  if (!ReadLayout(f, &l)) return nullptr;

  // The colour table, as 4-byte entries.
  uint8_t table[1024] = {};
  if (l.core) {
    uint8_t core[768];
    if (!f.ReadExact(core, 3ull * l.colors)) return nullptr;
    for (uint32_t i = 0; i < l.colors; ++i) std::memcpy(table + 4 * i, core + 3 * i, 3);
  } else if (!f.ReadExact(table, 4ull * l.colors)) {
    return nullptr;
  }
  if (offBits && !f.Seek(start + offBits)) return nullptr;

  if (l.compression == kBiRle8) return ReadRle8(f, l, table);
  if (l.useMasks) return ReadMasked(f, l);
  return ReadPlain(f, l, table);
}

DibHandle DibLoadBmpFile(const char* path) {
  FileCursor file(path);
  if (!file.IsOpen()) return nullptr;
  DibHandle block = DibReadBmp(file);
  bool bits32 = false;
  {
    DibLock lock(block);
    DibView v;
    bits32 = lock && ParseDib(lock.data(), lock.size(), &v) && v.bitCount == 32;
  }
  if (bits32 && !DibHasAlpha(block)) {
    if (DibHandle rgb = DibToRgb24(block)) {
      DibFree(block);
      block = rgb;
    }
  }
  return block;
}

int DibWriteBmpFile(DibHandle block, const char* path) {
  if (!block) return 20;
  std::FILE* f = path && *path ? std::fopen(path, "wb") : nullptr;
  if (!f) return 4;
  int result = 0;
  {
    DibLock lock(block);
    DibView v;
    if (!lock) {
      result = 3;
    } else if (lock.size() < kDibHeaderSize || GetU32(lock.data()) != kDibHeaderSize ||
               !ParseDib(lock.data(), lock.size(), &v)) {
      result = 5;
    } else {
      uint8_t* p = lock.data();
      const bool rle = v.compression == kBiRle8 || v.compression == kBiRle4;
      const uint64_t image = rle ? GetU32(p + 20) : static_cast<uint64_t>(v.height) * static_cast<uint64_t>(v.stride);
      // Bit-field masks travel with the header and table.
      const uint64_t head = kDibHeaderSize + DibColorTableBytes(p) + (v.compression == kBiBitfields ? 12 : 0);
      const uint64_t dataSize = head + image;
      if (dataSize > lock.size() || dataSize + 14 > 0xFFFFFFFFull) {
        result = 5;
      } else {
        if (!rle) PutU32(p + 20, static_cast<uint32_t>(image));
        uint8_t fileHeader[14] = {'B', 'M'};
        PutU32(fileHeader + 2, static_cast<uint32_t>(dataSize + 14));
        PutU32(fileHeader + 10, static_cast<uint32_t>(14 + head));
        if (std::fwrite(fileHeader, 1, 14, f) != 14) result = 4;
        for (uint64_t done = 0; result == 0 && done < dataSize;) {
          const size_t piece = static_cast<size_t>(std::min<uint64_t>(32767, dataSize - done));
          if (std::fwrite(p + done, 1, piece, f) != piece) result = 4;
          done += piece;
        }
      }
    }
  }
  if (std::fclose(f) != 0 && result == 0) result = 4;
  return result;
}

}  // namespace qv
