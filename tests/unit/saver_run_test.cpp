// The run object over the headless platform: which platform calls each tick makes, in
// order, for the runtime's and the renderer's timing; and the run's random generator.
#include "shell/headless_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/crt_random.h"
#include "media_fli_writer.h"

using namespace qv;

namespace {

const char* Name(RunCall call) {
  static const char* const kNames[] = {"Splash",   "EndSplash", "Media",  "ShowMedia", "HideMedia",
                                       "Activate", "HideCursor", "Frame", "Feed"};
  return kNames[static_cast<int>(call)];
}

// The call log as "tick:Call,Call" groups, consecutive ticks with the same calls joined
// ("5-8:Frame,Feed"); ticks without calls are left out.
std::string Summary(const std::vector<RunCallRecord>& calls) {
  std::vector<std::pair<uint32_t, std::string>> ticks;
  for (const RunCallRecord& c : calls) {
    if (ticks.empty() || ticks.back().first != c.tick) ticks.push_back({c.tick, ""});
    std::string& line = ticks.back().second;
    if (!line.empty()) line += ',';
    line += Name(c.call);
  }
  std::string out;
  for (size_t i = 0; i < ticks.size();) {
    size_t j = i;
    while (j + 1 < ticks.size() && ticks[j + 1].first == ticks[j].first + 1 && ticks[j + 1].second == ticks[i].second)
      ++j;
    if (!out.empty()) out += ' ';
    out += std::to_string(ticks[i].first);
    if (j > i) {
      out += '-';
      out += std::to_string(ticks[j].first);
    }
    out += ':';
    out += ticks[i].second;
    i = j + 1;
  }
  return out;
}

struct Scenario {
  const char* name;
  RunConfig config;
  bool playOnceMedia;
  int ticks;
  const char* expected;
};

RunConfig Config(RunTimingRule timing, bool fast, bool noSplash, uint32_t splashSeconds, bool preview = false) {
  RunConfig c;
  c.timing = timing;
  c.scene = SceneMode{preview, fast, true};
  c.noSplash = noSplash;
  c.splashSeconds = splashSeconds;
  c.sceneRect = Rect32{0, 0, 64, 48};
  return c;
}

}  // namespace

TEST(SaverRun, PlatformCallsTickByTick) {
  using enum RunTimingRule;
  const Scenario scenarios[] = {
      {"no splash: media on the 4th tick, a step and the feed every tick", Config(Runtime, true, true, 0), false, 6,
       "1-3:Frame,Feed 4:Media,Frame,Feed 5-6:Frame,Feed"},
      // 20 ticks a second: the splash ends on tick 20, the feed is due after tick 60.
      {"a one-second splash at slow timing", Config(Runtime, false, false, 1), false, 62,
       "0:Splash 20:EndSplash,Media,Activate 21-60:Frame 61-62:Frame,Feed"},
      {"a preview never shows the splash", Config(Runtime, true, false, 2, true), false, 5,
       "1-3:Frame,Feed 4:Media,Frame,Feed 5:Frame,Feed"},
      // The play-once intro holds the sprites from the start; its window shows at tick 4.
      {"a play-once intro without splash", Config(Runtime, true, true, 0), true, 5,
       "1-3:Feed 4:Media,ShowMedia,Feed 5:Feed"},
      {"a splash over a play-once intro", Config(Runtime, true, false, 1), true, 102,
       "0:Splash 100:EndSplash,Media,ShowMedia,Activate"},
      {"the renderer's timing: media before the first tick, a step every tick", Config(Authoring, true, false, 1),
       false, 3, "0:Media 1-3:Frame"},
  };
  const std::vector<uint8_t> flic = test::MakeEveryChunkFlic(20, 10, nullptr);
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.name);
    HeadlessRun run(s.config, 1);
    if (s.playOnceMedia) {
      CScreenSaverDoc& doc = run.Run().Document();
      doc.m_MediaFile = MediaSlot{"intro.flc", flic};
      doc.m_bMediaPlayOnce = 1;
    }
    run.LogCalls(true);
    std::string note;
    run.Start(note);
    EXPECT_EQ(note, "");
    for (int i = 0; i < s.ticks; ++i) run.Tick();
    EXPECT_EQ(Summary(run.Calls()), s.expected);
  }
}

TEST(SaverRun, AFinishedIntroShowsTheSpritesAfterItsPause) {
  HeadlessRun run(Config(RunTimingRule::Runtime, true, true, 0), 1);
  CScreenSaverDoc& doc = run.Run().Document();
  doc.m_MediaFile = MediaSlot{"intro.flc", test::MakeEveryChunkFlic(20, 10, nullptr)};
  doc.m_bMediaPlayOnce = 1;
  run.LogCalls(true);
  std::string note;
  run.Start(note);
  for (int i = 0; i < 1000; ++i) run.Tick();
  uint32_t firstFrame = 0;
  for (const RunCallRecord& c : run.Calls())
    if (c.call == RunCall::SceneFrame && !firstFrame) firstFrame = c.tick;
  // Six frames at 80 ms from tick 4 (10 ms ticks), then the 1.5 s pause.
  EXPECT_GE(firstFrame, 4u + 150u);
  EXPECT_LE(firstFrame, 4u + 150u + 6u * 8u + 8u);
  EXPECT_TRUE(run.Run().SpritesVisible());
}

TEST(SaverRun, InactiveTicksDoNotCountAndReturningHidesTheCursor) {
  HeadlessRun run(Config(RunTimingRule::Runtime, true, true, 0), 1);
  run.LogCalls(true);
  std::string note;
  run.Start(note);
  run.Tick();
  for (int i = 0; i < 3; ++i) run.Tick(false);
  run.Tick();
  EXPECT_EQ(Summary(run.Calls()), "1:Frame,Feed 2:Frame,Feed,HideCursor");
  EXPECT_EQ(run.Run().RunTicks(), 2u);
}

TEST(CrtRandom, TheWindowsLibrarysSequence) {
  // The formula worked in 64 bits and cut to 32, apart from the generator's own.
  for (const uint32_t seed : {0u, 1u, 12345u}) {
    CrtRandom random(seed);
    uint64_t state = seed;
    for (int i = 0; i < 1000; ++i) {
      state = (state * 214013 + 2531011) % 4294967296ull;
      ASSERT_EQ(random.Next(), static_cast<int>(state / 65536 % 32768)) << seed << " draw " << i;
    }
  }
  CrtRandom one(1);
  for (const int expected : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(one.Next(), expected);
  CrtRandom unseeded;
  EXPECT_EQ(unseeded.Next(), 41);  // as if seeded with 1
}

TEST(CrtRandom, EachRunDrawsFromItsOwnGenerator) {
  HeadlessRun a(Config(RunTimingRule::Runtime, true, true, 0), 1);
  HeadlessRun b(Config(RunTimingRule::Runtime, true, true, 0), 1);
  const MotionContext& ma = a.Run().Scene().Environment().motion;
  const MotionContext& mb = b.Run().Scene().Environment().motion;
  EXPECT_EQ(ma.Draw(), 41);
  EXPECT_EQ(ma.Draw(), 18467);
  EXPECT_EQ(mb.Draw(), 41);  // a's draws left b's state alone
}
