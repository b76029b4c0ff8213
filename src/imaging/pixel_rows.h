// Reading one storage row of a parsed picture as blue, green, red, alpha bytes (four per
// pixel), whatever its bit count. The scaling and background operations average, blend
// and quantise such rows instead of dealing with every pixel encoding themselves.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "imaging/dib.h"

namespace qv {

// A zeroed working array of count elements, or none when it cannot be had (the count
// comes from picture sizes, so it may be too large to allocate).
template <typename T>
std::unique_ptr<T[]> NewArray(uint64_t count) {
  if (count > SIZE_MAX / sizeof(T)) return nullptr;
  return std::unique_ptr<T[]>(new (std::nothrow) T[static_cast<size_t>(count)]());
}

// How a 16-bit pixel is split: the picture converters read 5-6-5, the screen-depth
// surfaces store 5-5-5 with bit 15 clear.
enum class Sixteen { k565, k555 };

// Whether ReadRowBgra understands the view's pixels.
inline bool RowReadable(const DibView& v) {
  if (!v.pixels) return false;
  switch (v.bitCount) {
    case 1: case 4: case 8: return v.colorCount > 0;
    case 15: case 16: case 24: case 32: return true;
    default: return false;
  }
}

// Fills width x 4 bytes. Pictures without alpha read 255; 15-bit pixels are 5-5-5, each
// channel widened by << 3 (green of 5-6-5 by << 2).
inline void ReadRowBgra(const DibView& v, int storageRow, uint8_t* out, Sixteen sixteen = Sixteen::k565) {
  const uint8_t* row = v.Row(storageRow);
  const int w = v.width;
  switch (v.bitCount) {
    case 1:
    case 4:
    case 8:
      for (int x = 0; x < w; ++x, out += 4) {
        uint32_t index;
        if (v.bitCount == 8) index = row[x];
        else if (v.bitCount == 4) index = (x & 1) ? row[x >> 1] & 15u : row[x >> 1] >> 4;
        else index = (row[x >> 3] >> (7 - (x & 7))) & 1u;
        const uint8_t* e = v.Entry(index);
        out[0] = e[0], out[1] = e[1], out[2] = e[2], out[3] = 255;
      }
      break;
    case 15:
    case 16: {
      const bool five = v.bitCount == 15 || sixteen == Sixteen::k555;
      for (int x = 0; x < w; ++x, out += 4) {
        const uint32_t p = GetU16(row + 2 * x);
        out[0] = static_cast<uint8_t>((p & 31) << 3);
        if (five) {
          out[1] = static_cast<uint8_t>(((p >> 5) & 31) << 3);
          out[2] = static_cast<uint8_t>(((p >> 10) & 31) << 3);
        } else {
          out[1] = static_cast<uint8_t>(((p >> 5) & 63) << 2);
          out[2] = static_cast<uint8_t>((p >> 11) << 3);
        }
        out[3] = 255;
      }
      break;
    }
    case 24:
      for (int x = 0; x < w; ++x, out += 4, row += 3) out[0] = row[0], out[1] = row[1], out[2] = row[2], out[3] = 255;
      break;
    default: std::memcpy(out, row, 4 * static_cast<size_t>(w)); break;
  }
}

}  // namespace qv
