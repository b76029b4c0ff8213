// Where the start-up time of a saver with a 12-megapixel JPEG background goes: the
// runtime's decode into a DIB block beside libjpeg decoding the same file into a plain
// buffer (the peer), libjpeg's reduced-size decodes (scale_num / 8: what decoding at a
// reduced size could save), the temporary-file route embedded pictures take, and the
// stretch to a 1024 x 768 screen with the conversion to the scene surface.
//
//   build/native/bench/bench_startup [--benchmark_repetitions=5]
//
// QV_BENCH_PHOTO=<file.jpg> measures that photograph instead of the generated one (the
// pixel counts reported stay those of a 4000 x 3000 picture).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "bare_jpeg.h"
#include "imaging/dib.h"
#include "imaging/imaging_platform.h"
#include "imaging/jpeg_reader.h"
#include "imaging/resample.h"
#include "imaging/surface.h"
#include "scene/background.h"

namespace {

constexpr int kPhotoWidth = 4000, kPhotoHeight = 3000;
constexpr int kScreenWidth = 1024, kScreenHeight = 768;

// A camera-like photograph: shading in three directions under a fine grain, quality 90
// with chroma halved both ways (libjpeg's defaults), as the JPEG bytes.
std::vector<uint8_t> EncodePhoto() {
  std::vector<uint8_t> row(static_cast<size_t>(kPhotoWidth) * 3);
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = kPhotoWidth;
  c.image_height = kPhotoHeight;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  uint32_t grain = 7;
  while (c.next_scanline < c.image_height) {
    const double v = static_cast<double>(c.next_scanline) / kPhotoHeight;
    for (int x = 0; x < kPhotoWidth; ++x) {
      const double u = static_cast<double>(x) / kPhotoWidth;
      const double ring = std::hypot(u - 0.5, v - 0.5);
      const double shade[3] = {255 * u, 255 * v, 255 * (1 - ring) * (0.6 + 0.4 * std::sin(20 * u * v))};
      for (int k = 0; k < 3; ++k) {
        grain = grain * 1103515245u + 12345u;
        const double noisy = shade[k] + static_cast<int>((grain >> 16) & 15) - 8;
        row[3 * x + k] = static_cast<uint8_t>(noisy < 0 ? 0 : noisy > 255 ? 255 : noisy);
      }
    }
    JSAMPROW line = row.data();
    jpeg_write_scanlines(&c, &line, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<uint8_t> bytes(out, out + size);
  std::free(out);
  return bytes;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// The generated photograph, or the JPEG file QV_BENCH_PHOTO names (read, never removed).
struct Photo {
  std::vector<uint8_t> bytes;
  std::string path;
  bool generated = true;
  Photo() {
    if (const char* own = std::getenv("QV_BENCH_PHOTO")) {
      path = own;
      generated = false;
      std::ifstream in(path, std::ios::binary);
      bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      return;
    }
    bytes = EncodePhoto();
    path = (std::filesystem::temp_directory_path() / "qv-bench-12mp.jpg").string();
    WriteFile(path, bytes);
  }
  ~Photo() {
    if (generated) std::remove(path.c_str());
  }
};

const Photo& ThePhoto() {
  static const Photo photo;
  return photo;
}

// The decoded photograph as the document holds it (24 bits), decoded once.
qv::DibHandle DecodedPhoto() {
  static const qv::DibHandle block = qv::DibLoadJpegFile(ThePhoto().path.c_str());
  return block;
}

void SetPixels(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * kPhotoWidth * kPhotoHeight); }

// The runtime's decode of the background picture's file into a 24-bit block.
void PhotoDecode(benchmark::State& state) {
  const std::string& path = ThePhoto().path;
  for (auto _ : state) {
    qv::DibHandle block = qv::DibLoadJpegFile(path.c_str());
    if (!block) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(block);
    qv::DibFree(block);
  }
  SetPixels(state);
}

// The peer: libjpeg's file source and RGB scan lines into a plain buffer, at
// scale_num / 8 of the size (8: full size; 4: half; 3: 1500 x 1125, the smallest that
// still covers the screen).
void PhotoDecodeBare(benchmark::State& state) {
  const std::string& path = ThePhoto().path;
  const unsigned eighths = static_cast<unsigned>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(BareJpegDecode(path.c_str(), eighths).get());
  SetPixels(state);
}

// Embedded pictures reach the decoder through a temporary file: written, then deleted.
void PhotoTempFile(benchmark::State& state) {
  const Photo& photo = ThePhoto();
  const std::string path = photo.path + ".tmp";
  for (auto _ : state) {
    WriteFile(path, photo.bytes);
    std::remove(path.c_str());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(photo.bytes.size()));
}

// The scene's background: the picture stretched to the screen, then taken by the 32-bit
// scene surface.
void PhotoBackground(benchmark::State& state) {
  qv::BackgroundSpec background;
  background.kind = qv::kBackgroundPicture;
  background.picture = DecodedPhoto();
  for (auto _ : state) {
    qv::CDibKSV surface(32);
    if (!surface.SetFromDib(qv::BuildBackground(background, kScreenWidth, kScreenHeight, 32)))
      state.SkipWithError("no background");
    benchmark::DoNotOptimize(surface.Block());
  }
  SetPixels(state);
}

// Not on the start-up path (the background uses the stretch above): the filtered
// resampling the sprites use, applied to the same picture for comparison.
void PhotoResample(benchmark::State& state) {
  const qv::DibHandle picture = DecodedPhoto();
  for (auto _ : state) {
    qv::DibHandle scaled = qv::DibResample(picture, kScreenWidth, kScreenHeight);
    if (!scaled) state.SkipWithError("resample failed");
    qv::DibFree(scaled);
  }
  SetPixels(state);
}

}  // namespace

BENCHMARK(PhotoDecode)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PhotoDecodeBare)->Arg(8)->Arg(4)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PhotoTempFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PhotoBackground)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PhotoResample)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
