// Blit against its peers, in one run: memcpy for the plain copies (the limit) and
// pixman's OVER compositing for the blends. Pictures live in plain memory here; the
// surfaces' blocks add nothing per pixel.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/blit.h"

namespace {

using qv::BlitRows;

struct Frame {
  int width, height, depth;
  int64_t stride;
  std::vector<uint8_t> bytes;
  Frame(int w, int h, int d)
      : width(w), height(h), depth(d), stride((int64_t{w} * d / 8 + 3) & ~3),
        bytes(static_cast<size_t>(stride * h)) {
    std::mt19937 rng(static_cast<unsigned>(w * 131 + h + d));
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  }
  uint8_t* At(int x, int row) { return bytes.data() + row * stride + int64_t{x} * depth / 8; }
};

std::vector<uint8_t> Mask(int w, int h) {
  std::vector<uint8_t> m(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)  // a soft disc: opaque middle, graded rim, clear corners
    for (int x = 0; x < w; ++x) {
      const int dx = x - w / 2, dy = y - h / 2, r2 = dx * dx + dy * dy, R = w / 2;
      m[static_cast<size_t>(y) * w + x] =
          static_cast<uint8_t>(r2 >= R * R ? 0 : r2 <= (R - 16) * (R - 16) ? 255 : 128);
    }
  return m;
}

BlitRows Rows(Frame& dst, int dx, int drow, Frame& src, const std::vector<uint8_t>* mask) {
  BlitRows b;
  b.depth = src.depth;
  b.width = src.width;
  b.height = src.height;
  b.dst = dst.At(dx, drow);
  b.dstStride = dst.stride;
  b.src = src.bytes.data();
  b.srcStride = src.stride;
  if (mask) {
    b.mask = mask->data();
    b.maskStride = src.width;
  }
  return b;
}

// --- Plain copies of a whole 1920 x 1080 frame ----------------------------------------

void FrameCopy(benchmark::State& state, int depth, bool ours) {
  Frame src(1920, 1080, depth), dst(1920, 1080, depth);
  const BlitRows b = Rows(dst, 0, 0, src, nullptr);
  for (auto _ : state) {
    if (ours) qv::BlitPixels(b);
    else std::memcpy(dst.bytes.data(), src.bytes.data(), src.bytes.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(src.bytes.size()));
}
BENCHMARK_CAPTURE(FrameCopy, ours_32, 32, true);
BENCHMARK_CAPTURE(FrameCopy, memcpy_32, 32, false);
BENCHMARK_CAPTURE(FrameCopy, ours_16, 16, true);
BENCHMARK_CAPTURE(FrameCopy, memcpy_16, 16, false);

// --- A 256 x 256 sprite into a 1920 x 1080 frame ---------------------------------------

enum Kind { kMask100, kMask60, kKey, kOpacity60 };

void SpriteOurs(benchmark::State& state, int depth, Kind kind) {
  Frame src(256, 256, depth), dst(1920, 1080, depth);
  const auto mask = Mask(256, 256);
  BlitRows b = Rows(dst, 800, 400, src, kind == kMask100 || kind == kMask60 ? &mask : nullptr);
  b.opacity = kind == kMask60 || kind == kOpacity60 ? 60 : 100;
  if (kind == kKey) {
    b.key = static_cast<int32_t>(qv::kMarker32);
    for (int i = 0; i < 256 * 256; i += 3) {  // a third of the pixels transparent
      if (depth == 32) std::memcpy(src.bytes.data() + 4 * i, &qv::kMarker32, 4);
      else std::memcpy(src.bytes.data() + 2 * i, &qv::kMarker16, 2);
    }
  }
  for (auto _ : state) {
    qv::BlitPixels(b);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 256 * 256);
}

void SpritePixman(benchmark::State& state, int depth, Kind kind) {
  Frame src(256, 256, 32), dst(1920, 1080, depth);
  auto mask = Mask(256, 256);
  pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, 256, 256,
                                               reinterpret_cast<uint32_t*>(src.bytes.data()), 256 * 4);
  pixman_image_t* d = pixman_image_create_bits(
      depth == 32 ? PIXMAN_x8r8g8b8 : PIXMAN_x1r5g5b5, 1920, 1080,
      reinterpret_cast<uint32_t*>(dst.bytes.data()), static_cast<int>(dst.stride));
  pixman_image_t* m = nullptr;
  if (kind == kMask100 || kind == kMask60) {
    m = pixman_image_create_bits(PIXMAN_a8, 256, 256, reinterpret_cast<uint32_t*>(mask.data()), 256);
  } else if (kind == kOpacity60) {
    const pixman_color_t alpha{0, 0, 0, static_cast<uint16_t>(0.6 * 0xFFFF)};
    m = pixman_image_create_solid_fill(&alpha);
  }
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, s, m, d, 0, 0, 0, 0, 800, 400, 256, 256);
    benchmark::ClobberMemory();
  }
  if (m) pixman_image_unref(m);
  pixman_image_unref(s);
  pixman_image_unref(d);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 256 * 256);
}

BENCHMARK_CAPTURE(SpriteOurs, d32_mask100, 32, kMask100);
BENCHMARK_CAPTURE(SpritePixman, d32_mask100, 32, kMask100);
BENCHMARK_CAPTURE(SpriteOurs, d32_mask60, 32, kMask60);
BENCHMARK_CAPTURE(SpritePixman, d32_mask60, 32, kMask60);
BENCHMARK_CAPTURE(SpriteOurs, d32_key, 32, kKey);
BENCHMARK_CAPTURE(SpritePixman, d32_key, 32, kKey);
BENCHMARK_CAPTURE(SpriteOurs, d32_opacity60, 32, kOpacity60);
BENCHMARK_CAPTURE(SpritePixman, d32_opacity60, 32, kOpacity60);
BENCHMARK_CAPTURE(SpriteOurs, d16_mask100, 16, kMask100);
BENCHMARK_CAPTURE(SpritePixman, d16_mask100, 16, kMask100);
BENCHMARK_CAPTURE(SpriteOurs, d16_mask60, 16, kMask60);
BENCHMARK_CAPTURE(SpritePixman, d16_mask60, 16, kMask60);
BENCHMARK_CAPTURE(SpriteOurs, d16_key, 16, kKey);
BENCHMARK_CAPTURE(SpritePixman, d16_key, 16, kKey);
BENCHMARK_CAPTURE(SpriteOurs, d16_opacity60, 16, kOpacity60);
BENCHMARK_CAPTURE(SpritePixman, d16_opacity60, 16, kOpacity60);

// --- A whole frame: 20 damaged rectangles restored, 20 masked sprites drawn -------------

void WholeFrame(benchmark::State& state) {
  Frame back(1920, 1080, 32), buffer(1920, 1080, 32), sprite(256, 256, 32);
  const auto mask = Mask(256, 256);
  for (auto _ : state) {
    for (int i = 0; i < 20; ++i) {
      const int x = (i * 83) % (1920 - 256), row = (i * 47) % (1080 - 256);
      BlitRows restore;
      restore.depth = 32;
      restore.width = restore.height = 256;
      restore.src = back.At(x, row);
      restore.srcStride = back.stride;
      restore.dst = buffer.At(x, row);
      restore.dstStride = buffer.stride;
      qv::BlitPixels(restore);
      qv::BlitPixels(Rows(buffer, x, row, sprite, &mask));
    }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(WholeFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
