// The benchmarks' peer for JPEG decoding: libjpeg's own file source and RGB scan lines
// into a plain buffer, at eighths / 8 of the picture's size.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>

#include <jpeglib.h>

inline std::unique_ptr<uint8_t[]> BareJpegDecode(const char* path, unsigned eighths = 8) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return nullptr;
  jpeg_decompress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_decompress(&c);
  jpeg_stdio_src(&c, f);
  jpeg_read_header(&c, TRUE);
  c.scale_num = eighths;
  c.scale_denom = 8;
  c.out_color_space = JCS_RGB;
  jpeg_start_decompress(&c);
  const size_t stride = static_cast<size_t>(c.output_width) * c.output_components;
  std::unique_ptr<uint8_t[]> pixels(new uint8_t[stride * c.output_height]);
  while (c.output_scanline < c.output_height) {
    JSAMPROW rows[16];
    for (int i = 0; i < 16; ++i) rows[i] = &pixels[stride * std::min(c.output_scanline + i, c.output_height - 1)];
    jpeg_read_scanlines(&c, rows, 16);
  }
  jpeg_finish_decompress(&c);
  jpeg_destroy_decompress(&c);
  std::fclose(f);
  return pixels;
}
