#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "media/wave_clip.h"
#include "media/wave_image.h"
#include "media/sprite_sounds.h"
#include "media_test_util.h"

namespace qv {
namespace {

using test::MakeWave;
using test::WaveLayout;

uint16_t SampleAt(const uint8_t* p, size_t i) { return static_cast<uint16_t>(p[2 * i] | (p[2 * i + 1] << 8)); }

TEST(WaveImage, CanonicalHeaderReadsAsBefore) {
  const auto image = MakeWave({});
  ASSERT_EQ(image.size(), 44u + 200u);
  const WaveImageInfo info = ReadWaveImage(image);
  ASSERT_TRUE(info.ok);
  EXPECT_EQ(info.dataOffset, 44u);
  EXPECT_EQ(info.dataLength, 200u);
  EXPECT_EQ(info.format, (WaveFormat{1, 1, 22050, 44100, 2, 16}));
}

TEST(WaveImage, ChunksBeforeDataAndLongFormatAreWalkedOver) {
  WaveLayout layout;
  layout.fmtLength = 18;  // 2 bytes longer: the fixed offset would be off by one sample
  layout.extraChunks = {"JUNK"};
  layout.chunksBeforeData = {"LIST", "fact"};
  const auto image = MakeWave(layout);
  const WaveImageInfo info = ReadWaveImage(image);
  ASSERT_TRUE(info.ok);
  EXPECT_EQ(info.format.samplesPerSec, 22050u);
  EXPECT_EQ(info.dataLength, 200u);
  EXPECT_EQ(SampleAt(image.data() + info.dataOffset, 0), 1000) << "the first sample, not header bytes";
  EXPECT_EQ(SampleAt(image.data() + info.dataOffset, 99), 1099);
}

TEST(WaveImage, OddChunkLengthsArePadded) {
  WaveLayout layout;
  layout.fmtLength = 19;
  const auto image = MakeWave(layout);
  const WaveImageInfo info = ReadWaveImage(image);
  ASSERT_TRUE(info.ok);
  EXPECT_EQ(SampleAt(image.data() + info.dataOffset, 0), 1000);
}

TEST(WaveImage, DataIsClippedToBytesPresentAndWholeFrames) {
  WaveLayout layout;
  layout.declaredData = 0x7FFFFFF0;  // a giant declared size
  auto image = MakeWave(layout);
  image.pop_back();                // and a torn last sample
  const WaveImageInfo info = ReadWaveImage(image);
  ASSERT_TRUE(info.ok);
  EXPECT_EQ(info.dataLength, 198u);
}

TEST(WaveImage, RefusesWhatTheDeviceMustNotSee) {
  EXPECT_FALSE(ReadWaveImage(std::vector<uint8_t>(43, 0x11)).ok) << "shorter than 44 bytes";
  EXPECT_FALSE(ReadWaveImage({}).ok);
  for (int field = 0; field < 3; ++field) {
    WaveLayout layout;
    if (field == 0) layout.channels = 0;
    if (field == 1) layout.rate = 0;
    if (field == 2) layout.align = 0;
    EXPECT_FALSE(ReadWaveImage(MakeWave(layout)).ok) << "zero field " << field;
  }
  WaveLayout tiny;
  tiny.fmtLength = 14;  // too short to hold a format
  EXPECT_FALSE(ReadWaveImage(MakeWave(tiny)).ok);
  WaveLayout empty;
  empty.samples = 0;
  EXPECT_FALSE(ReadWaveImage(MakeWave(empty)).ok) << "no samples";
  // RIFF/WAVE without a data chunk: not read at the fixed offsets.
  auto noData = MakeWave({});
  noData[36] = 'x';
  EXPECT_FALSE(ReadWaveImage(noData).ok);
  // A chunk length that points far past the end ends the walk.
  WaveLayout huge;
  huge.extraChunks = {"JUNK"};
  auto wild = MakeWave(huge);
  wild[16] = wild[17] = wild[18] = wild[19] = 0xFF;
  EXPECT_FALSE(ReadWaveImage(wild).ok);
}

TEST(WaveImage, NonRiffImagesUseTheFixedOffsets) {
  auto image = MakeWave({});
  image[0] = 'X';  // not RIFF: the canonical layout is assumed
  const WaveImageInfo info = ReadWaveImage(image);
  ASSERT_TRUE(info.ok);
  EXPECT_EQ(info.dataOffset, 44u);
  EXPECT_EQ(info.dataLength, 200u);
}

struct ClipFixture : ::testing::Test {
  RecordingWaveOut out;
  WaveClip clip{out};
};

TEST_F(ClipFixture, LoadOpensTheMapperOncePerDeviceUntilOneSucceeds) {
  out.numDevs = 3;
  out.openFailures = 2;
  ASSERT_TRUE(clip.LoadBlock(MakeWave({})));
  EXPECT_EQ(out.Count("open"), 3);
  EXPECT_TRUE(clip.DeviceOpen());

  RecordingWaveOut none;
  none.numDevs = 0;
  WaveClip silent(none);
  EXPECT_TRUE(silent.LoadBlock(MakeWave({}))) << "a load without a device still succeeds";
  EXPECT_EQ(none.Count("open"), 0);
  EXPECT_EQ(silent.Play(false), nullptr);
}

TEST_F(ClipFixture, PlayQueuesTheSamplesOnceOrLooping) {
  WaveLayout layout;
  layout.chunksBeforeData = {"LIST"};
  ASSERT_TRUE(clip.LoadBlock(MakeWave(layout)));
  const WaveHeader* once = clip.Play(false);
  ASSERT_NE(once, nullptr);
  EXPECT_EQ(once->length, 200u);
  EXPECT_EQ(SampleAt(once->data, 0), 1000);
  EXPECT_EQ(once->loops, 0u);
  const WaveHeader* looping = clip.Play(true);
  ASSERT_NE(looping, nullptr);
  EXPECT_EQ(looping->loops, 0xFFFFFFFFu);
  EXPECT_EQ(looping->flags, 12u);
  EXPECT_EQ(clip.QueuedCount(), 2u) << "two plays queue two headers";
  clip.Stop();
  EXPECT_EQ(clip.QueuedCount(), 0u);
  EXPECT_EQ(out.Count("unprepare"), 2);
  EXPECT_EQ(out.liveHeaders, 0);
  EXPECT_EQ(out.calls[out.calls.size() - 3], "reset");
}

TEST_F(ClipFixture, FinishedHeadersAreReclaimedOnPlay) {
  ASSERT_TRUE(clip.LoadBlock(MakeWave({})));
  for (int i = 0; i < 1000; ++i) {
    ASSERT_NE(clip.Play(false), nullptr);
    out.MarkAllDone();  // the device played it through
  }
  EXPECT_EQ(clip.QueuedCount(), 1u);
  EXPECT_EQ(out.liveHeaders, 1);
  ASSERT_NE(clip.Play(false), nullptr);
  ASSERT_NE(clip.Play(false), nullptr);
  EXPECT_EQ(clip.QueuedCount(), 2u) << "a header still playing is kept";
}

TEST_F(ClipFixture, HostileImagesLeaveTheClipEmptyAndTheDeviceUntouched) {
  EXPECT_FALSE(clip.LoadBlock(std::vector<uint8_t>(20, 0)));
  WaveLayout zero;
  zero.channels = 0;
  EXPECT_FALSE(clip.LoadBlock(MakeWave(zero)));
  EXPECT_FALSE(clip.LoadBlock({}));
  EXPECT_FALSE(clip.HoldsData());
  EXPECT_EQ(clip.Play(false), nullptr);
  EXPECT_EQ(out.Count("open"), 0);
  EXPECT_EQ(out.Count("write"), 0);
}

TEST_F(ClipFixture, FailedWritesDoNotPileUp) {
  ASSERT_TRUE(clip.LoadBlock(MakeWave({})));
  out.writeOk = false;
  for (int i = 0; i < 50; ++i) EXPECT_EQ(clip.Play(false), nullptr);
  EXPECT_LE(clip.QueuedCount(), 1u);
  clip.Close();
  EXPECT_EQ(out.liveHeaders, 0);
  EXPECT_EQ(out.calls.back(), "close");
}

TEST_F(ClipFixture, LoadFileReadsTheWholeFile) {
  const auto path = std::filesystem::temp_directory_path() / "qv_media_clip_test.wav";
  const auto image = MakeWave({});
  {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  }
  EXPECT_TRUE(clip.LoadFile(path.string()));
  EXPECT_NE(clip.Play(false), nullptr);
  std::filesystem::remove(path);
  EXPECT_FALSE(clip.LoadFile(path.string())) << "a missing file";
  EXPECT_FALSE(clip.HoldsData());
}

TEST(SoundChoice, ShortWaveFilesPlayFromMemory) {
  EXPECT_TRUE(PlaysFromMemory("C:\\a\\b.wav", 1));
  EXPECT_TRUE(PlaysFromMemory("b.WaV", 1048575));
  EXPECT_FALSE(PlaysFromMemory("b.wav", 1048576)) << "exactly 1 MiB goes to the control";
  EXPECT_FALSE(PlaysFromMemory("b.wav", 0)) << "missing or a folder";
  EXPECT_FALSE(PlaysFromMemory("b.mp3", 100));
  EXPECT_FALSE(PlaysFromMemory("wav", 100)) << "no dot";
  EXPECT_FALSE(PlaysFromMemory("a.wav.mid", 100));
  EXPECT_EQ(UpperExtension("x.y.mId"), "MID");
  EXPECT_EQ(UpperExtension("noext"), "");
}

TEST(SoundChoice, PreloadAndStartRoutes) {
  struct Case {
    SoundSlotFacts sound;
    bool muted;
    SoundPreload preload;
    SoundRoute route;
  };
  const Case cases[] = {
      {{"a.wav", true, 0xFFFFF}, false, SoundPreload::Block, SoundRoute::Block},  // 1 MiB - 1 in memory
      {{"a.WAV", true, 0x100000}, false, SoundPreload::None, SoundRoute::Block},  // 1 MiB: the control
      {{"a.wav", false, 0, 0xFFFFF}, false, SoundPreload::File, SoundRoute::File},
      {{"a.wav", false, 0, 0x100000}, false, SoundPreload::None, SoundRoute::File},
      {{"a.wav", false, 0, 0}, false, SoundPreload::None, SoundRoute::File},  // missing: the control decides
      {{"a.wav", true, 100}, true, SoundPreload::None, SoundRoute::Block},   // muted: no device opened
      {{"a.mp3", true, 100}, false, SoundPreload::None, SoundRoute::Block},
      {{"music", true, 100}, false, SoundPreload::None, SoundRoute::None},  // no extension: nothing starts
      {{"C:\\dir.d\\music", false, 0, 100}, false, SoundPreload::None, SoundRoute::File},
      {{"", false}, false, SoundPreload::None, SoundRoute::None},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlanSoundPreload(c.sound, c.muted), c.preload) << c.sound.name << " " << c.sound.embeddedSize;
    EXPECT_EQ(PlanSoundRoute(c.sound), c.route) << c.sound.name;
  }
}

}  // namespace
}  // namespace qv

namespace qv {
namespace {

TEST(SpriteSoundsTest, EachEmbeddedSoundPlaysOnceOnItsOwnDevice) {
  RecordingWaveOut out;
  SpriteSounds sounds(out);
  CAnimSprite ball, silent;
  ball.m_SoundBounceX.bytes = test::MakeWave({});
  ball.m_SoundCollide.name = "C:\\missing.wav";  // a name without bytes is never played
  sounds.Load(ball);
  sounds.Load(silent);
  EXPECT_EQ(sounds.Count(), 1u);
  EXPECT_EQ(out.Count("open"), 1);
  EXPECT_TRUE(sounds.Play(ball, 2));
  EXPECT_EQ(out.calls.back(), "write 200 loops=0 flags=0") << "once, never looping";
  EXPECT_FALSE(sounds.Play(ball, 1));
  EXPECT_FALSE(sounds.Play(ball, 3));
  EXPECT_FALSE(sounds.Play(ball, 4));
  EXPECT_FALSE(sounds.Play(silent, 2));
  sounds.Clear();
  EXPECT_EQ(out.liveHeaders, 0);
  EXPECT_EQ(out.Count("close"), 1);
}

}  // namespace
}  // namespace qv
