// Picture scaling and background rendering beside their peers, in one run: pixman's
// scaled compositing (bilinear for enlarging, a box convolution for shrinking) on the same
// geometry, and memcpy of the output bytes as the limit. These run once per picture or
// scene start, so the question is whether a full-screen picture costs milliseconds.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/dib.h"
#include "imaging/picture_ops.h"
#include "imaging/resample.h"

namespace {

qv::DibHandle RandomPicture(int w, int h, int bits) {
  qv::DibHandle pic = qv::DibCreate(w, h, bits);
  qv::DibLock lock(pic);
  qv::DibView v;
  qv::ParseDib(lock.data(), lock.size(), &v);
  std::mt19937 rng(static_cast<unsigned>(w * 7 + h + bits));
  for (int r = 0; r < h; ++r)
    for (int64_t i = 0; i < v.stride; ++i) v.Row(r)[i] = static_cast<uint8_t>(rng());
  if (bits == 32) {
    // A sprite's alpha: an opaque disc with a soft rim on transparent corners.
    for (int r = 0; r < h; ++r)
      for (int x = 0; x < w; ++x) {
        const double dx = (x - w / 2.0) / (w / 2.0), dy = (r - h / 2.0) / (h / 2.0), d = dx * dx + dy * dy;
        v.Row(r)[4 * x + 3] = static_cast<uint8_t>(d >= 1 ? 0 : d <= 0.8 ? 255 : 128);
      }
  }
  return pic;
}

struct Geometry {
  int sw, sh, dw, dh;
};
constexpr Geometry kShrinkBy3{1920, 1080, 640, 360};
constexpr Geometry kShrinkFraction{1920, 1080, 800, 600};
constexpr Geometry kEnlarge{640, 480, 1920, 1080};
// A 12-megapixel photograph as a background at 1024 x 768: what delays a saver's first frame.
constexpr Geometry kPhoto{4000, 3000, 1024, 768};

void Resample(benchmark::State& state, Geometry g, int bits) {
  qv::UniqueDib src(RandomPicture(g.sw, g.sh, bits));
  for (auto _ : state) {
    qv::UniqueDib out(qv::DibResample(src.get(), g.dw, g.dh));
    benchmark::DoNotOptimize(out.get());
  }
  state.SetItemsProcessed(state.iterations() * g.dw * g.dh);
}

// pixman: scale an a8r8g8b8 picture onto a destination of the output size.
void Pixman(benchmark::State& state, Geometry g, bool box) {
  std::vector<uint32_t> src(static_cast<size_t>(g.sw) * g.sh), dst(static_cast<size_t>(g.dw) * g.dh);
  std::mt19937 rng(1);
  for (auto& p : src) p = rng();
  pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, g.sw, g.sh, src.data(), g.sw * 4);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, g.dw, g.dh, dst.data(), g.dw * 4);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(static_cast<double>(g.sw) / g.dw),
                              pixman_double_to_fixed(static_cast<double>(g.sh) / g.dh));
  pixman_image_set_transform(s, &t);
  if (box) {
    int n = 0;
    const pixman_fixed_t sx = pixman_double_to_fixed(static_cast<double>(g.sw) / g.dw);
    const pixman_fixed_t sy = pixman_double_to_fixed(static_cast<double>(g.sh) / g.dh);
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &n, sx, sy, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_IMPULSE, PIXMAN_KERNEL_IMPULSE, 1, 1);
    pixman_image_set_filter(s, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
    free(params);
  } else {
    pixman_image_set_filter(s, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  }
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, s, nullptr, d, 0, 0, 0, 0, 0, 0, g.dw, g.dh);
    benchmark::DoNotOptimize(dst.data());
  }
  pixman_image_unref(s);
  pixman_image_unref(d);
  state.SetItemsProcessed(state.iterations() * g.dw * g.dh);
}

void Memcpy(benchmark::State& state, Geometry g, int bytesPerPixel) {
  const size_t n = static_cast<size_t>(g.dw) * g.dh * bytesPerPixel;
  std::vector<uint8_t> a(n, 1), b(n);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), n);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetItemsProcessed(state.iterations() * g.dw * g.dh);
}

BENCHMARK_CAPTURE(Resample, shrink3_32, kShrinkBy3, 32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pixman, shrink3_box, kShrinkBy3, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Resample, shrinkFraction_32, kShrinkFraction, 32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Resample, shrinkFraction_24, kShrinkFraction, 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pixman, shrinkFraction_box, kShrinkFraction, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Resample, enlarge_32, kEnlarge, 32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Resample, enlarge_24, kEnlarge, 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pixman, enlarge_bilinear, kEnlarge, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Resample, photo12M_24, kPhoto, 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Resample, photo12M_32, kPhoto, 32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Pixman, photo12M_box, kPhoto, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Memcpy, frame32, kEnlarge, 4)->Unit(benchmark::kMillisecond);

// --- Backgrounds of a 1920 x 1080 screen -------------------------------------------------

void KeyToAlpha(benchmark::State& state) {
  qv::UniqueDib src(RandomPicture(512, 512, 24));
  for (auto _ : state) {
    qv::UniqueDib out(qv::DibKeyToAlpha(src.get(), true, 0x00FF00));
    benchmark::DoNotOptimize(out.get());
  }
  state.SetItemsProcessed(state.iterations() * 512 * 512);
}
BENCHMARK(KeyToAlpha)->Unit(benchmark::kMillisecond);

void Stretch(benchmark::State& state, bool eight) {
  qv::UniqueDib src(RandomPicture(1024, 768, 24));
  for (auto _ : state) {
    qv::UniqueDib out(eight ? qv::DibStretch8(src.get(), 1920, 1080) : qv::DibStretch(src.get(), 1920, 1080, 0));
    benchmark::DoNotOptimize(out.get());
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK_CAPTURE(Stretch, to24, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Stretch, to8, true)->Unit(benchmark::kMillisecond);

void Gradient(benchmark::State& state, bool eight) {
  for (auto _ : state) {
    qv::UniqueDib out(eight ? qv::DibGradient8(0xFF8000, 0x0040FF, 1920, 1080, false, true)
                            : qv::DibGradient(0xFF8000, 0x0040FF, 1920, 1080, false, true));
    benchmark::DoNotOptimize(out.get());
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK_CAPTURE(Gradient, to24, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Gradient, to8, true)->Unit(benchmark::kMillisecond);

void Tile(benchmark::State& state) {
  qv::UniqueDib src(RandomPicture(256, 256, 24));
  for (auto _ : state) {
    qv::UniqueDib out(qv::DibTile(src.get(), 1920, 1080));
    benchmark::DoNotOptimize(out.get());
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
}
BENCHMARK(Tile)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Memcpy, frame24, (Geometry{0, 0, 1920, 1080}), 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
