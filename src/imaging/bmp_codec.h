// BMP files: reading them into packed DIB blocks, and writing blocks back out. The reader
// takes a picture source (bytes or an open file); the *File functions are the file layer.
#pragma once
#include <cstdint>

#include "imaging/imaging_platform.h"
#include "imaging/picture_source.h"

namespace qv {

// Reads one BMP file from the source's current position into a new uncompressed,
// bottom-up block, or none. Core (12-byte) headers are widened to 40 bytes with 4-byte
// colour entries; 8-bit run-length data is expanded; 4-bit run-length data is refused.
// Beyond the basic format: top-down files are turned bottom-up, the longer V4/V5 headers
// are read as 40-byte ones, and bit-field and 16-bit (5-5-5) files become 24-bit blocks
// (32-bit when they carry alpha).
DibHandle DibReadBmp(ByteCursor& file);
// DibReadBmp of the file; a 32-bit result whose alpha is all 0 becomes 24-bit.
DibHandle DibLoadBmpFile(const char* path);

// Expands 8-bit run-length data into the bottom-up rows of an 8-bit picture of the
// header's width and height, rows (width + 3) & ~3 bytes apart. Writes never leave the
// picture's rows, whatever counts, deltas and escapes say; pixels the data skips keep
// their value. Stops at the end-of-picture escape or at the end of the data.
void DibDecodeRle8(const uint8_t* header, uint8_t* pixels, uint64_t pixelBytes, const uint8_t* data,
                   uint64_t dataBytes);

// Writes the block as a BMP file. 0 on success; 20 no block, 4 file not creatable or a
// write failed, 3 block not lockable, 5 not a block of this system (header other than 40
// bytes, or smaller than its header says).
int DibWriteBmpFile(DibHandle block, const char* path);

}  // namespace qv
