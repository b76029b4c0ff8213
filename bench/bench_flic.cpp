// Decoding one 640 x 480 FLIC frame (byte run, byte delta, word delta, literal) beside a
// memcpy of the frame's pixels: the copy is the floor a decoder can approach.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "media/fli_doc.h"
#include "media_fli_writer.h"

namespace {

using qv::test::FliPicture;
using qv::test::FliWriter;
using qv::test::MakeFliPicture;

constexpr int kW = 640, kH = 480;

// A picture like an animation's: smooth areas, with noise in one pixel of eight unless
// smooth (the byte run's hard and easy cases).
FliPicture Scene(int shift, bool smooth = false) {
  std::mt19937 rng(42 + shift);
  return MakeFliPicture(kW, kH, [&](int x, int y) {
    const int v = ((x + shift) / 16 + y / 12) % 32;
    return (!smooth && rng() % 8 == 0) ? v + 64 : v;
  });
}

// Frame 0 as given; frame 1 made by the chosen chunk. The benchmark decodes frame 1 again
// and again from its offset (a delta applied twice gives the same picture).
struct Prepared {
  std::vector<uint8_t> bytes;
  qv::MemoryByteSource source{std::span<const uint8_t>()};
  qv::CFliDoc doc;
};

void Prepare(Prepared& p, int kind) {
  FliWriter w(kW, kH, true);
  const FliPicture first = Scene(0);
  w.Literal(first);
  w.EndFrame();
  FliPicture next = first;
  for (int y = 100; y < 340; ++y)  // a 200 x 240 block moved, the rest unchanged
    for (int x = 200; x < 400; ++x) next.At(x, y) = first.At(x - 7, y);
  switch (kind) {
    case 0: w.ByteRun(Scene(5)); break;
    case 1: w.ByteDelta(next); break;
    case 2: w.WordDelta(next); break;
    case 3: w.Literal(Scene(9)); break;
    default: w.ByteRun(Scene(5, true)); break;
  }
  w.EndFrame();
  p.bytes = w.Finish(2);
  p.source = qv::MemoryByteSource(p.bytes);
  p.doc.Load(p.source);
}

void BM_FlicDecode(benchmark::State& state) {
  Prepared p;
  Prepare(p, static_cast<int>(state.range(0)));
  for (auto _ : state) {
    uint64_t offset = p.doc.m_nFirstFrameEnd;
    benchmark::DoNotOptimize(p.doc.DecodeFrame(p.source, offset));
  }
  state.SetBytesProcessed(state.iterations() * kW * kH);
}
// 0 byte run (noisy), 1 byte delta, 2 word delta, 3 literal, 4 byte run (smooth).
BENCHMARK(BM_FlicDecode)->DenseRange(0, 4)->ArgNames({"chunk"});

void BM_MemcpyFrame(benchmark::State& state) {
  std::vector<uint8_t> from(kW * kH, 7), to(kW * kH);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_MemcpyFrame);

}  // namespace

BENCHMARK_MAIN();
