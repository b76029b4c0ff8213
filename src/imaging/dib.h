// Packed device-independent bitmaps: one movable block holding a 40-byte header (or the
// old 12-byte core header), an optional colour table (blue, green, red, 0 per entry) and
// bottom-up pixel rows padded to 4 bytes, exactly as a BMP file stores them after its
// 14-byte file header. Every picture travels in this form; whoever receives a block from
// an operation here owns it. None of these throws; failure is a null result.
#pragma once
#include <cstdint>

#include "imaging/imaging_platform.h"

namespace qv {

// Header field offsets and values.
inline constexpr uint32_t kDibHeaderSize = 40;
inline constexpr uint32_t kDibCoreHeaderSize = 12;
inline constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;

// Little-endian field access on raw header bytes.
inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline int32_t GetI32(const uint8_t* p) { return static_cast<int32_t>(GetU32(p)); }
inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The 40-byte header as fields.
struct DibHeader {
  uint32_t biSize = kDibHeaderSize;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
DibHeader ReadDibHeader(const uint8_t* header);  // 40 bytes
void WriteDibHeader(uint8_t* header, const DibHeader& h);

// Row stride: ((bitCount x width + 31) / 32) x 4, in 64 bits.
inline int64_t DibRowBytes(int64_t width, int64_t bitCount) { return (bitCount * width + 31) / 32 * 4; }

// Queries on a header (40 or 12 bytes readable at the address).
uint32_t DibColorCount(const uint8_t* header);
uint32_t DibColorTableBytes(const uint8_t* header);
uint8_t* DibPixels(uint8_t* header);
int DibWidth(const uint8_t* header);
int DibHeight(const uint8_t* header);

// A locked block checked against its size: every field an operation relies on is in
// range, and the colour table and the pixel rows lie inside the block. The pixels are
// located by one rule: after the header and DibColorTableBytes, plus the 12 mask bytes
// when biCompression is 3 (the two rules of the format agree for every block made here).
struct DibView {
  uint8_t* block = nullptr;
  uint64_t blockSize = 0;
  bool core = false;
  int width = 0, height = 0, bitCount = 0;
  uint32_t compression = 0;
  uint32_t colorCount = 0;
  uint8_t* colorTable = nullptr;
  int entryBytes = 4;
  uint8_t* pixels = nullptr;  // null for run-length blocks
  int64_t stride = 0;

  uint8_t* Row(int storageRow) const { return pixels + storageRow * stride; }
  // Entry `index` of the colour table as blue, green, red; an index beyond the table
  // reads the last entry.
  const uint8_t* Entry(uint32_t index) const {
    if (index >= colorCount) index = colorCount - 1;
    return colorTable + static_cast<uint64_t>(index) * entryBytes;
  }
};
// False for a block too small for what its header says, sizes beyond the picture limits,
// negative heights, headers other than 12 bytes or 40 to 124 bytes, or bit counts other
// than 1, 4, 8, 15, 16, 24, 32. Run-length blocks pass with no pixel rows.
bool ParseDib(uint8_t* block, uint64_t blockSize, DibView* view);

// --- Operations ---------------------------------------------------------------------

DibHandle DibCreate(int width, int height, int bitCount);
DibHandle DibDuplicate(DibHandle block);

struct Rgb {
  uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const Rgb&) const = default;
};
// y counted from the top. 1, 4, 8 bits through the colour table, 24 and 32 directly;
// anything else (other depths, coordinates outside, an unusable block) gives black.
Rgb DibGetPixelRgb(DibHandle block, int x, int y);

bool DibHasAlpha(DibHandle block);
// A new 24-bit block of the same size from 1, 4, 8, 15, 16 (read as 5-6-5), 24, 32 bits.
DibHandle DibToRgb24(DibHandle block);
// A new 24-bit block from 1, 4, 8, 24, 32 bits; 32-bit pixels are composed over `colour`
// (0x00BBGGRR) unless it is exactly 0xFF000000, which drops the alpha.
DibHandle DibFlattenAlpha(DibHandle block, uint32_t colour);
// 32-bit blocks only. Coordinates from the top; a destination size of 0 means the source
// size. Fills the destination rectangle with the source rectangle repeated.
bool DibCopyTiled(DibHandle source, int sx, int sy, int sw, int sh, DibHandle destination, int dx,
                  int dy, int dw, int dh);
// 32-bit blocks only: every non-zero source pixel of the common area (aligned at the
// bottom-left) is written to the destination with alpha 255.
bool DibOverlayOpaque(DibHandle source, DibHandle destination);

// The block's colour table as a logical palette; false when it has none.
bool DibLogicalPalette(DibHandle block, LogicalPalette* palette);
// The same created as a platform palette, or none. The caller deletes it.
PaletteHandle DibMakePalette(DibHandle block);

}  // namespace qv
