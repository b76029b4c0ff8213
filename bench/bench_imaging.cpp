// Decoding a 1920 x 1080 JPEG and PNG into a DIB block, against libjpeg and libpng
// decoding the same file into a plain buffer in the same run: the ratio is the cost of
// our layer (the file source, the row order, blue-green-red, the block).
//
//   build/native/bench/bench_imaging [--benchmark_repetitions=5]
#include <benchmark/benchmark.h>

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "bare_jpeg.h"
#include "imaging/dib.h"
#include "imaging/imaging_platform.h"
#include "imaging/jpeg_reader.h"
#include "imaging/png_reader.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

// Something like a photograph: smooth shading, texture and a little noise.
std::vector<uint8_t> Scene() {
  std::vector<uint8_t> rgb(static_cast<size_t>(kWidth) * kHeight * 3);
  uint32_t seed = 1;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 28) - 8;
      const double t = std::sin(x * 0.013) * std::cos(y * 0.021) + std::sin((x + 2 * y) * 0.002);
      uint8_t* p = &rgb[3 * (static_cast<size_t>(y) * kWidth + x)];
      p[0] = static_cast<uint8_t>(std::clamp(120 + 90 * t + noise, 0.0, 255.0));
      p[1] = static_cast<uint8_t>(std::clamp(90 + 60 * std::sin(y * 0.004) + 40 * t + noise, 0.0, 255.0));
      p[2] = static_cast<uint8_t>(std::clamp(60 + 100.0 * x / kWidth + 30 * t + noise, 0.0, 255.0));
    }
  return rgb;
}

std::string WriteJpeg(const std::vector<uint8_t>& rgb) {
  const std::string path = (std::filesystem::temp_directory_path() / "qv-bench-1080p.jpg").string();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = kWidth;
  c.image_height = kHeight;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&rgb[static_cast<size_t>(c.next_scanline) * kWidth * 3]);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
  return path;
}

std::string WritePng(const std::vector<uint8_t>& rgb) {
  const std::string path = (std::filesystem::temp_directory_path() / "qv-bench-1080p.png").string();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < kHeight; ++y) png_write_row(png, &rgb[static_cast<size_t>(y) * kWidth * 3]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
  return path;
}

struct Files {
  std::string jpeg, png;
  Files() {
    const std::vector<uint8_t> rgb = Scene();
    jpeg = WriteJpeg(rgb);
    png = WritePng(rgb);
  }
  ~Files() {
    std::remove(jpeg.c_str());
    std::remove(png.c_str());
  }
};

const Files& TheFiles() {
  static const Files files;
  return files;
}

void JpegToDib(benchmark::State& state) {
  const std::string& path = TheFiles().jpeg;
  for (auto _ : state) {
    qv::DibHandle block = qv::DibLoadJpegFile(path.c_str());
    if (!block) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(block);
    qv::DibFree(block);
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// The library's own file source and RGB scan lines into an uninitialised buffer.
void JpegBare(benchmark::State& state) {
  const std::string& path = TheFiles().jpeg;
  for (auto _ : state) benchmark::DoNotOptimize(BareJpegDecode(path.c_str()).get());
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void JpegToPalette8(benchmark::State& state) {
  const std::string& path = TheFiles().jpeg;
  for (auto _ : state) {
    qv::FileCursor source(path.c_str());
    qv::DibHandle block = qv::DibReadJpeg(source, qv::JpegOutput::kPalette8);
    if (!block) state.SkipWithError("decode failed");
    qv::DibFree(block);
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void PngToDib(benchmark::State& state) {
  const std::string& path = TheFiles().png;
  for (auto _ : state) {
    qv::DibHandle block = qv::DibLoadPngFile(path.c_str());
    if (!block) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(block);
    qv::DibFree(block);
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

// The library's own file reading, rows into an uninitialised buffer.
void PngBare(benchmark::State& state) {
  const std::string& path = TheFiles().png;
  for (auto _ : state) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_read_info(png, info);
    png_read_update_info(png, info);
    const size_t stride = png_get_rowbytes(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    std::unique_ptr<uint8_t[]> pixels(new uint8_t[stride * height]);
    for (png_uint_32 y = 0; y < height; ++y) png_read_row(png, &pixels[stride * y], nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    benchmark::DoNotOptimize(pixels.get());
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

}  // namespace

BENCHMARK(JpegToDib)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(JpegBare)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PngToDib)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PngBare)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(JpegToPalette8)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
