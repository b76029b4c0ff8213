#include "imaging/png_reader.h"

#include <png.h>

#include <cstdio>

#include "imaging/dib.h"
#include "imaging/picture_limits.h"

namespace qv {
namespace {

// Ancillary chunks (text, profiles) are of no use here; keep what a hostile file can make
// the library hold for them small.
constexpr png_alloc_size_t kMaxChunkBytes = 8 * 1024 * 1024;
constexpr png_uint_32 kMaxCachedChunks = 1000;

[[noreturn]] void Error(png_structp png, png_const_charp message) {
  if (PictureDecoderMessages()) std::fprintf(stderr, "libpng error: %s\n", message);
  png_longjmp(png, 1);
}

void Warning(png_structp, png_const_charp message) {
  if (PictureDecoderMessages()) std::fprintf(stderr, "libpng warning: %s\n", message);
}

void ReadData(png_structp png, png_bytep data, size_t length) {
  auto* source = static_cast<ByteCursor*>(png_get_io_ptr(png));
  if (source->Read(data, length) != length) png_error(png, "Read Error");
}

// The decoder proper. Only plain locals live across the long jump; the block and its
// lock are volatile so that the error path sees their latest values.
DibHandle Decode(ByteCursor& source) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Error, Warning);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }
  DibHandle volatile block = nullptr;
  uint8_t* volatile pixels = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (pixels) DibUnlockBlock(block);
    DibFree(block);
    return nullptr;
  }
  png_set_read_fn(png, &source, ReadData);
  png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
  png_set_chunk_cache_max(png, kMaxCachedChunks);
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  png_read_info(png, info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  if (!PictureSizeAllowed(width, height)) png_error(png, "picture too large");
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;

  png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth == 2) png_set_expand(png);
  if (trns) png_set_expand(png);
  double fileGamma = 0.45455;
  int intent = 0;
  double gamma = 0;
  if (!png_get_sRGB(png, info, &intent) && png_get_gAMA(png, info, &gamma)) fileGamma = gamma;
  png_set_gamma(png, 2.2, fileGamma);
  if (bitDepth == 2) png_set_packing(png);
  if (colorType & PNG_COLOR_MASK_COLOR) png_set_bgr(png);
  // Grey with alpha (or a transparent grey) would give two bytes a pixel, a form no
  // block of ours has; it becomes blue-green-red with alpha instead.
  if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA || (colorType == PNG_COLOR_TYPE_GRAY && trns)) png_set_gray_to_rgb(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  const int bits = png_get_channels(png, info) * png_get_bit_depth(png, info);
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) png_error(png, "unexpected pixel form");
  block = DibCreate(static_cast<int>(width), static_cast<int>(height), bits);
  if (!block) png_error(png, "out of memory");
  pixels = DibLockBlock(block);
  DibView v;
  if (!pixels || !ParseDib(pixels, DibBlockSize(block), &v)) png_error(png, "out of memory");

  if (bits <= 8) {
    uint8_t* table = v.colorTable;
    if (colorType == PNG_COLOR_TYPE_GRAY) {
      for (uint32_t i = 0; i < v.colorCount; ++i) {
        const auto grey = static_cast<uint8_t>(i * 255 / (v.colorCount - 1));
        table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = grey;
      }
    } else {
      // Palette pictures keep their colours at every depth: a two-colour logo stored
      // at 1 bit is as much the author's as one at 4 or 8.
      png_colorp palette = nullptr;
      int count = 0;
      if (png_get_PLTE(png, info, &palette, &count) && palette) {
        if (count > static_cast<int>(v.colorCount)) count = static_cast<int>(v.colorCount);
        for (int i = 0; i < count; ++i) {
          table[4 * i] = palette[i].blue;
          table[4 * i + 1] = palette[i].green;
          table[4 * i + 2] = palette[i].red;
          table[4 * i + 3] = 0;
        }
      }
    }
  }
  for (int pass = 0; pass < passes; ++pass)
    for (int k = 0; k < v.height; ++k) png_read_row(png, v.Row(v.height - 1 - k), nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  DibUnlockBlock(block);
  return block;
}

}  // namespace

DibHandle DibReadPng(ByteCursor& source) { return Decode(source); }

DibHandle DibLoadPngFile(const char* path) {
  FileCursor file(path);
  if (!file.IsOpen()) return nullptr;
  return Decode(file);
}

}  // namespace qv
