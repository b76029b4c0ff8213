// One scene tick at 1920 x 1080 with 50 moving 128 x 128 alpha sprites over a gradient,
// as the frame loop runs it (motion, the merged damaged rectangles recomposed, then
// collisions), beside the naive way of drawing the same scene: the same motion followed
// by a recomposition of the whole frame. Both replay the same ticks from the same seed;
// the presenter only adds up the area it is handed, so composition is what is timed. A
// memcpy of the whole frame runs beside them: a tick that must blend every moving pixel
// can save at most that copy, so full / (full - memcpy) is the ceiling of its gain. At
// the end the per-tick times are printed with the gain and its share of the ceiling, and
// the final frames are compared: they must be the same pixels.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/screen_saver_doc.h"
#include "imaging/blit.h"
#include "imaging/dib.h"
#include "imaging/imaging_platform.h"
#include "scene/anim_scene.h"
#include "scene/sprite_drawing.h"
#include "scene/sprite_motion.h"

namespace {

using namespace qv;

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kSpriteSize = 128;
constexpr int kTicks = 1000;  // about 14 s of fast-timing frames

// The same draws for both benchmarks, whatever the C library's rand() does.
struct Lcg {
  uint32_t state = 12345;
  int operator()() {
    state = state * 1103515245u + 12345u;
    return static_cast<int>((state >> 16) & 0x7FFF);
  }
};

// A 32-bit disc in one colour, lit towards the top left, with a soft anti-aliased rim
// in the alpha channel and clear corners.
DecodedPicture SoftBall(int size, uint8_t red, uint8_t green, uint8_t blue) {
  DibHandle block = DibCreate(size, size, 32);
  {
    DibLock lock(block);
    DibView v;
    ParseDib(lock.data(), lock.size(), &v);
    const double radius = size / 2.0 - 1;
    for (int row = 0; row < size; ++row) {
      uint8_t* px = v.Row(row);
      for (int x = 0; x < size; ++x, px += 4) {
        const double dx = x + 0.5 - size / 2.0, dy = row + 0.5 - size / 2.0;
        const double d = std::hypot(dx, dy);
        const double alpha = std::clamp((radius - d + 0.5) * 255.0, 0.0, 255.0);
        const double light = 0.45 + 0.55 * std::clamp(1.0 - std::hypot(dx + size / 5.0, dy - size / 5.0) / size, 0.0, 1.0);
        px[0] = static_cast<uint8_t>(blue * light);
        px[1] = static_cast<uint8_t>(green * light);
        px[2] = static_cast<uint8_t>(red * light);
        px[3] = static_cast<uint8_t>(alpha);
      }
    }
  }
  DecodedPicture picture;
  picture.Attach(block);
  return picture;
}

// Gradient background, design size equal to the scene (no scaling), up to 50 bouncing
// balls in one collision group on a 10 x 5 grid so that none overlap at the start.
void MakeDocument(CScreenSaverDoc& doc, int spriteCount) {
  doc.m_nDesignWidth = kWidth;
  doc.m_nDesignHeight = kHeight;
  doc.m_nBackgroundKind = 1;
  doc.m_crGradientFrom = 0x402010;
  doc.m_crGradientTo = 0xE0A060;
  doc.m_bGradientMirrored = 1;
  Lcg draw;
  for (int i = 0; i < spriteCount; ++i) {
    auto sprite = std::make_unique<CAnimSprite>();
    sprite->m_Dib = SoftBall(kSpriteSize, static_cast<uint8_t>(80 + draw() % 176),
                             static_cast<uint8_t>(80 + draw() % 176), static_cast<uint8_t>(80 + draw() % 176));
    sprite->m_nX = 24 + (i % 10) * (kWidth / 10);
    sprite->m_nY = 24 + (i / 10) * (kHeight / 5);
    // 1 to 3 pixels a tick under fast timing, in every direction.
    sprite->m_dVx = (100 + draw() % 200) * (draw() % 2 ? 1 : -1);
    sprite->m_dVy = (100 + draw() % 200) * (draw() % 2 ? 1 : -1);
    sprite->m_nMotion = 1;
    sprite->m_nEdgeMode = 2;
    sprite->m_nCollisionGroup = 1;
    doc.m_SpriteList.Insert(std::move(sprite));
  }
}

// Counts what would be transferred, nothing more.
struct CountingPresenter : ScenePresenter {
  int64_t pixels = 0;
  void Present(CDibKSV& buffer, const Rect32* rect) override {
    const Rect32 r = rect ? *rect : buffer.GetRect();
    pixels += int64_t{r.Width()} * r.Height();
  }
};

struct BenchScene {
  CScreenSaverDoc doc;
  CountingPresenter presenter;
  CAnimScene scene;
  int spriteCount;

  explicit BenchScene(int count) : spriteCount(count) {
    MakeDocument(doc, count);  // on the plain platform's 32-bit screen
    scene.SetPresenter(&presenter);
    static constexpr SceneMode kFast{.fastTiming = true};
    scene.SetMode(&kFast);
    MotionContext& motion = scene.Environment().motion;
    motion.fastTiming = true;  // the whole-frame ticks call the motion without the scene
    motion.random = Lcg{};
    scene.Start(&doc, kWidth, kHeight);
    scene.SetSpritesVisible(true);
    scene.UpdateAll();
    presenter.pixels = 0;
  }
  bool Ready() { return scene.BackBuffer() && scene.Sprites().GetCount() == static_cast<size_t>(spriteCount); }
};

// The final frame of each benchmark by (name, sprite count): both replay the same ticks,
// so the damaged-rectangle frame must come out identical to the full recomposition.
std::map<std::pair<std::string, int>, uint64_t> FinalFrames;

uint64_t FrameHash(CDibKSV& buffer) {
  uint64_t hash = 1469598103934665603ull;  // FNV-1a over the visible pixels
  if (!buffer.Lock()) return 0;
  for (int y = 0; y < buffer.GetHeight(); ++y) {
    const uint8_t* row = buffer.PixelAddress(0, y);
    for (int i = 0; i < buffer.GetWidth() * 4; ++i) hash = (hash ^ row[i]) * 1099511628211ull;
  }
  buffer.Unlock();
  return hash;
}

void Finish(benchmark::State& state, BenchScene& s, const char* name) {

  state.counters["presented%"] =
      100.0 * static_cast<double>(s.presenter.pixels) / (static_cast<double>(state.iterations()) * kWidth * kHeight);
  FinalFrames[{name, s.spriteCount}] = FrameHash(*s.scene.BackBuffer());
}

// The frame loop's sprite step: only the merged damaged rectangles are recomposed.
void SceneTick_DamagedRects(benchmark::State& state) {
  BenchScene s(static_cast<int>(state.range(0)));
  if (!s.Ready()) {
    state.SkipWithError("the scene did not start");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(s.scene.StepSprites());
  Finish(state, s, "damaged");
}

// The scene's motion and collisions without any damage bookkeeping, then redraw(scene)
// for the whole frame, every tick.
template <class Redraw>
void TickWholeFrames(benchmark::State& state, const char* name, Redraw redraw) {
  BenchScene s(static_cast<int>(state.range(0)));
  if (!s.Ready()) {
    state.SkipWithError("the scene did not start");
    return;
  }
  s.scene.Sprites().AttachScene(nullptr);
  CSpriteList& list = s.scene.Sprites();
  const MotionContext& motion = s.scene.Environment().motion;
  for (auto _ : state) {
    bool moved = false;
    for (size_t i = 0; i < list.GetCount(); ++i)
      moved |= Step(*static_cast<CAnimSprite*>(list.GetAt(i)), kWidth, kHeight, motion);
    if (moved) CollisionPass(list, motion);
    redraw(s.scene);
  }
  Finish(state, s, name);
}

// The naive recomposition: the whole background, then every sprite over it, tail to head.
void SceneTick_FullFrame(benchmark::State& state) {
  TickWholeFrames(state, "full", [](CAnimScene& scene) {
    CDibKSV& buffer = *scene.BackBuffer();
    const Rect32 whole = buffer.GetRect();
    scene.Background()->Blit({.dest = &buffer, .width = whole.right, .height = whole.bottom});
    CSpriteList& list = scene.Sprites();
    for (size_t i = list.GetCount(); i-- > 0;)
      if (auto* phased = dynamic_cast<CPhasedSprite*>(list.GetAt(i))) DrawInto(*phased, buffer, whole);
    scene.Present(nullptr);
  });
}

// The scene's own whole-frame redraw (what an update of everything costs; it composites
// the lowest sprite of the frame over the background in one pass).
void SceneTick_Redraw(benchmark::State& state) {
  TickWholeFrames(state, "redraw", [](CAnimScene& scene) { scene.UpdateAll(); });
}

// The limit the tick is measured against: one memcpy of the whole frame from the scene's
// background into its back buffer, the part of the full recomposition that a tick which
// blends every moving pixel can save at most. It is timed here, in the same run and on
// the same surfaces as the ticks, so the ceiling full / (full - memcpy) reads true on a
// shared machine.
void SceneFrame_Memcpy(benchmark::State& state) {
  BenchScene s(0);
  if (!s.scene.BackBuffer()) {
    state.SkipWithError("the scene did not start");
    return;
  }
  CDibKSV& buffer = *s.scene.BackBuffer();
  CDibKSV& background = *s.scene.Background();
  buffer.Lock();
  background.Lock();
  // Rows are stored bottom-up: the last row's address is the start of the pixels.
  uint8_t* to = buffer.PixelAddress(0, kHeight - 1);
  const uint8_t* from = background.PixelAddress(0, kHeight - 1);
  const size_t bytes = static_cast<size_t>(buffer.RowBytes()) * kHeight;
  for (auto _ : state) {
    std::memcpy(to, from, bytes);
    benchmark::ClobberMemory();
  }
  background.Unlock();
  buffer.Unlock();
}

// 50 sprites is the case that matters; 10 shows the gain where the damage is sparse.
BENCHMARK(SceneTick_DamagedRects)->Arg(50)->Arg(10)->Iterations(kTicks)->Unit(benchmark::kMillisecond);
BENCHMARK(SceneTick_FullFrame)->Arg(50)->Arg(10)->Iterations(kTicks)->Unit(benchmark::kMillisecond);
BENCHMARK(SceneTick_Redraw)->Arg(50)->Arg(10)->Iterations(kTicks)->Unit(benchmark::kMillisecond);
BENCHMARK(SceneFrame_Memcpy)->Iterations(kTicks)->Unit(benchmark::kMillisecond);

// Passes everything to the console and keeps each benchmark's CPU time per tick for the
// closing ratio (the last run of a name wins, or its median with repetitions). The tick
// is single-threaded, so CPU time is its cost; on a machine shared with other work the
// real time mostly measures waiting for a core.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  explicit RatioReporter(OutputOptions options) : ConsoleReporter(options) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type == Run::RT_Iteration || median)
        m_msPerTick[{run.run_name.function_name, run.run_name.args}] = run.GetAdjustedCPUTime();  // ms
    }
    ConsoleReporter::ReportRuns(runs);
  }
  // Per sprite count: the three times, the gain, and the gain as a share of its ceiling
  // full / (full - memcpy). That share is (full - memcpy) / tick: how close the tick
  // comes to costing no more than blending the sprites.
  void PrintRatios() const {
    const auto memcpyRow = m_msPerTick.find({"SceneFrame_Memcpy", ""});
    for (const auto& [key, oursMs] : m_msPerTick) {
      if (key.first != "SceneTick_DamagedRects") continue;
      const auto naive = m_msPerTick.find({"SceneTick_FullFrame", key.second});
      const auto redraw = m_msPerTick.find({"SceneTick_Redraw", key.second});
      if (naive == m_msPerTick.end() || oursMs <= 0) continue;
      const int count = std::atoi(key.second.c_str());
      const auto ours = FinalFrames.find({"damaged", count});
      bool same = ours != FinalFrames.end();
      for (const char* other : {"full", "redraw"}) {
        const auto frame = FinalFrames.find({other, count});
        if (frame != FinalFrames.end()) same = same && frame->second == ours->second;
      }
      const double full = naive->second, gain = full / oursMs;
      std::printf("%s sprites, ms per tick: damaged rectangles %.3f, full recomposition %.3f, gain %.2fx",
                  key.second.c_str(), oursMs, full, gain);
      if (redraw != m_msPerTick.end())
        std::printf("; the scene's own whole-frame redraw %.3f (%.2fx)", redraw->second, redraw->second / oursMs);
      if (memcpyRow != m_msPerTick.end() && full > memcpyRow->second) {
        const double ceiling = full / (full - memcpyRow->second);
        std::printf("\n  frame memcpy %.3f, ceiling %.2fx, the tick at %.0f %% of it", memcpyRow->second,
                    ceiling, 100.0 * gain / ceiling);
      }
      std::printf("%s\n", same ? "" : "  ** FINAL FRAMES DIFFER **");
    }
    std::printf("(CPU time; goals: under 2 ms per tick at 50 sprites, gain 3x at 50 and 5x at 10, "
                "the tick at 80 %% of its ceiling)\n");
  }

 private:
  std::map<std::pair<std::string, std::string>, double> m_msPerTick;  // (name, args)
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Colour only on a terminal, as the library's own reporter does by default.
  RatioReporter reporter(isatty(fileno(stdout)) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
