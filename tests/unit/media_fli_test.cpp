#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "imaging/dib.h"
#include "media/fli_doc.h"
#include "media_fli_writer.h"

namespace qv {
namespace {

using test::FliColour;
using test::FliPicture;
using test::FliWriter;
using test::MakeFliPicture;

// The frame surface as the writer's picture type (top-down) and its colour table.
FliPicture SurfacePicture(const CFliDoc& doc) {
  DibLock lock(doc.m_hFrame);
  DibView v;
  EXPECT_TRUE(lock && ParseDib(lock.data(), lock.size(), &v));
  FliPicture p{v.width, v.height, std::vector<uint8_t>(static_cast<size_t>(v.width) * v.height)};
  for (int y = 0; y < v.height; ++y)
    for (int x = 0; x < v.width; ++x) p.At(x, y) = v.Row(v.height - 1 - y)[x];
  return p;
}

FliColour SurfaceColour(const CFliDoc& doc, int index) {
  DibLock lock(doc.m_hFrame);
  DibView v;
  if (!lock || !ParseDib(lock.data(), lock.size(), &v)) return {};
  const uint8_t* e = v.colorTable + 4 * index;
  return {e[2], e[1], e[0]};
}

// Loads bytes and walks every frame; the pictures after each step.
struct Decoded {
  CFliDoc doc;
  std::vector<uint8_t> bytes;
  MemoryByteSource source{std::span<const uint8_t>()};
  explicit Decoded(std::vector<uint8_t> b) : bytes(std::move(b)), source(bytes) { doc.Load(source); }
};

// A loaded animation and its player, started.
struct Played {
  CFliDoc doc;
  MemoryByteSource file, stream;
  FliPlayback play;
  Played(const std::vector<uint8_t>& bytes, bool loop) : file(bytes), stream(bytes) {
    EXPECT_TRUE(doc.Load(file));
    play.Start(&doc, &stream, loop);
  }
};

TEST(FliDecoder, EveryChunkTypeIsPixelExactThroughTheRingFrame) {
  // Even and odd widths: the odd one uses the word delta's last-pixel word.
  for (const auto& [w, h] : {std::pair{64, 48}, std::pair{37, 21}, std::pair{300, 7}}) {
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    std::vector<FliPicture> frames;
    std::vector<std::array<FliColour, 256>> colours;
    Decoded d(test::MakeEveryChunkFlic(w, h, &frames, &colours));
    ASSERT_EQ(d.doc.m_nLoadState, kFliLoaded);
    EXPECT_EQ(d.doc.m_nFrameCount, 6);
    EXPECT_EQ(d.doc.m_nWidth, w);
    EXPECT_EQ(d.doc.m_nHeight, h);
    EXPECT_EQ(d.doc.m_nSpeed, 5);
    EXPECT_EQ(SurfacePicture(d.doc), frames[0]);
    uint64_t offset = d.doc.m_nFirstFrameEnd;
    for (size_t i = 1; i < frames.size(); ++i) {
      SCOPED_TRACE(i);
      const FliFrameResult r = d.doc.DecodeFrame(d.source, offset);
      EXPECT_TRUE(r.found);
      EXPECT_EQ(r.colorChanged, i == 1 || i == 5);
      EXPECT_EQ(SurfacePicture(d.doc), frames[i]);
      for (int c = 0; c < 256; ++c) ASSERT_EQ(SurfaceColour(d.doc, c), colours[i][c]) << c;
    }
    EXPECT_EQ(SurfacePicture(d.doc), frames[0]);  // the ring frame
    EXPECT_FALSE(d.doc.DecodeFrame(d.source, offset).found);
    EXPECT_EQ(offset, d.bytes.size());
  }
}

TEST(FliPlayback, FramesEverySecondTickThenLoopOrEnd) {
  std::vector<FliPicture> frames;
  const std::vector<uint8_t> bytes = test::MakeEveryChunkFlic(20, 10, &frames);
  for (const bool loop : {false, true}) {
    SCOPED_TRACE(loop);
    CFliDoc doc;
    MemoryByteSource file(bytes), stream(bytes);
    ASSERT_TRUE(doc.Load(file));
    FliPlayback play;
    play.Start(&doc, &stream, loop);
    std::vector<FliPicture> shown{SurfacePicture(doc)};
    int ended = 0;
    for (int tick = 0; tick < 40; ++tick) {
      const FliPlayback::Step s = play.OnTick();
      EXPECT_EQ(s.advanced, tick % 2 == 1 && (loop || shown.size() < 6)) << tick;
      if (s.advanced) shown.push_back(SurfacePicture(doc));
      ended += play.Ended();
    }
    if (!loop) {
      // The last frame stays; the end is reported from the step that showed it.
      ASSERT_EQ(shown.size(), 6u);
      for (size_t i = 0; i < 6; ++i) EXPECT_EQ(shown[i], frames[i]);
      EXPECT_FALSE(play.Playing());
      EXPECT_EQ(ended, 40 - 9);
    } else {
      // Through the ring frame back to the start: frame 0 is decoded by the ring frame
      // and replaced by frame 1 within the same step, then the cycle repeats.
      ASSERT_EQ(shown.size(), 21u);
      const std::vector<size_t> expect{0, 1, 2, 3, 4, 5, 1, 2, 3, 4, 5, 0, 1, 2, 3, 4, 5, 0, 1, 2, 3};
      for (size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i], frames[expect[i]]) << i;
      EXPECT_TRUE(play.Playing());
      EXPECT_EQ(ended, 0);
    }
  }
}

TEST(FliPlayback, NoFramesOrNoStreamKeepsTheFirstFrameAndEnds) {
  std::vector<FliPicture> frames;
  std::vector<uint8_t> bytes = test::MakeEveryChunkFlic(16, 8, &frames);
  bytes[6] = bytes[7] = 0;  // a frame count of 0
  CFliDoc doc;
  MemoryByteSource file(bytes), stream(bytes);
  ASSERT_TRUE(doc.Load(file));
  FliPlayback play;
  play.Start(&doc, &stream, false);
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(play.OnTick().advanced);
  EXPECT_TRUE(play.Ended());
  EXPECT_EQ(SurfacePicture(doc), frames[0]);
  // The same file looping just stays on its first frame.
  play.Start(&doc, &stream, true);
  for (int i = 0; i < 10; ++i) play.OnTick();
  EXPECT_FALSE(play.Ended());
  // No second reader: the first frame stays, a play-once animation still ends.
  bytes[6] = 6;
  CFliDoc doc2;
  MemoryByteSource file2(bytes);
  ASSERT_TRUE(doc2.Load(file2));
  play.Start(&doc2, nullptr, false);
  play.OnTick();
  play.OnTick();
  EXPECT_TRUE(play.Ended());
  EXPECT_EQ(SurfacePicture(doc2), frames[0]);
}

TEST(FliPlayback, AFileShorterThanItsHeaderEndsOrLoopsWhereItsFramesRunOut) {
  std::vector<FliPicture> frames;
  std::vector<uint8_t> bytes = test::MakeEveryChunkFlic(20, 10, &frames);
  bytes[6] = bytes[7] = 0xFF;  // 65,535 frames promised: 87 minutes at 80 ms a frame
  for (const bool loop : {false, true}) {
    SCOPED_TRACE(loop);
    Played p(bytes, loop);
    std::vector<FliPicture> shown;
    for (int tick = 0; tick < 40; ++tick)
      if (p.play.OnTick().advanced) shown.push_back(SurfacePicture(p.doc));
    // Frames 1 to 5, then the ring frame read as a seventh frame; then the file ends.
    EXPECT_EQ(p.play.Ended(), !loop);
    ASSERT_GE(shown.size(), 6u);
    EXPECT_EQ(shown[5], frames[0]);
    if (loop) EXPECT_EQ(shown[6], frames[1]);  // from the top again
    else EXPECT_EQ(shown.size(), 6u);
  }
}

TEST(FliPlayback, WithoutATimerAPlayOnceAnimationEndsAndALoopFails) {
  const std::vector<uint8_t> bytes = test::MakeEveryChunkFlic(16, 8, nullptr);
  for (const bool loop : {false, true}) {
    Played p(bytes, loop);
    p.play.Fail();
    EXPECT_TRUE(p.play.Failed());
    EXPECT_EQ(p.play.Ended(), !loop) << loop;
    EXPECT_FALSE(p.play.Playing());
    EXPECT_FALSE(p.play.OnTick().advanced || p.play.OnTick().advanced);
  }
}

TEST(FliLoad, RejectsBadHeadersBeforeAllocating) {
  std::vector<uint8_t> good = test::MakeEveryChunkFlic(8, 8, nullptr);
  auto withSize = [&](int w, int h) {
    std::vector<uint8_t> b = good;
    b[8] = static_cast<uint8_t>(w), b[9] = static_cast<uint8_t>(w >> 8);
    b[10] = static_cast<uint8_t>(h), b[11] = static_cast<uint8_t>(h >> 8);
    return b;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    int32_t state;
  };
  std::vector<uint8_t> wrongMagic = good;
  wrongMagic[4] = 0x13;
  const Case cases[] = {
      {"wrong magic", wrongMagic, kFliNotFlic},
      {"short header", std::vector<uint8_t>(good.begin(), good.begin() + 17), kFliNotFlic},
      {"empty", {}, kFliNotFlic},
      {"width 0", withSize(0, 8), kFliNoSurface},
      {"height 0", withSize(8, 0), kFliNoSurface},
      {"side beyond 16384", withSize(16385, 2), kFliNoSurface},
      {"too many pixels", withSize(16384, 16384), kFliNoSurface},
  };
  for (const Case& c : cases) {
    CFliDoc doc;
    MemoryByteSource source(c.bytes);
    EXPECT_FALSE(doc.Load(source)) << c.name;
    EXPECT_EQ(doc.m_nLoadState, c.state) << c.name;
    EXPECT_EQ(doc.m_hFrame, nullptr) << c.name;
  }
  // A speed below 1 reads as 1; a header frame that is only garbage leaves the picture black.
  std::vector<uint8_t> slow = withSize(8, 8);
  slow[16] = slow[17] = 0;
  slow.resize(128);
  slow.insert(slow.end(), 100, 0x42);
  CFliDoc doc;
  MemoryByteSource source(slow);
  ASSERT_TRUE(doc.Load(source));
  EXPECT_EQ(doc.m_nSpeed, 1);
  EXPECT_EQ(doc.m_nFirstFrameEnd, slow.size());
  EXPECT_EQ(SurfacePicture(doc), MakeFliPicture(8, 8, [](int, int) { return 0; }));
}

// A file of one frame made of the given chunk bytes (each a complete chunk).
std::vector<uint8_t> OneFrame(int w, int h, const std::vector<std::vector<uint8_t>>& chunks, uint32_t frameSize = 0) {
  FliWriter writer(w, h, true);
  std::vector<uint8_t> file = writer.Finish(1);
  std::vector<uint8_t> body;
  for (const auto& c : chunks) body.insert(body.end(), c.begin(), c.end());
  const uint32_t size = frameSize ? frameSize : static_cast<uint32_t>(16 + body.size());
  const uint8_t header[16] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size >> 16),
                              static_cast<uint8_t>(size >> 24), 0xFA, 0xF1, static_cast<uint8_t>(chunks.size()), 0};
  file.insert(file.end(), header, header + 16);
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

std::vector<uint8_t> RawChunk(uint16_t type, std::vector<uint8_t> data, uint32_t sizeOverride = 0) {
  const uint32_t size = sizeOverride ? sizeOverride : static_cast<uint32_t>(6 + data.size());
  // The header is written into the data's own vector: inserting into a six-byte vector
  // draws a false out-of-bounds warning from GCC 12 in the 32-bit build.
  const uint8_t header[6] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                             static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24),
                             static_cast<uint8_t>(type), static_cast<uint8_t>(type >> 8)};
  data.insert(data.begin(), header, header + 6);
  return data;
}

TEST(FliDecoder, HostileChunksAreClippedToTheFrame) {
  const auto picture = [](std::vector<uint8_t> bytes) {
    Decoded d(std::move(bytes));
    EXPECT_EQ(d.doc.m_nLoadState, kFliLoaded);
    return SurfacePicture(d.doc);
  };
  // Byte run, 4 x 2: a literal packet of 6 overruns row 0 and ends it; row 1 reads on
  // after the whole packet. A repeat of 100 is cut at the width.
  EXPECT_EQ(picture(OneFrame(4, 2, {RawChunk(15, {1, 0xFA, 1, 2, 3, 4, 5, 6, 1, 100, 9})})).pixels,
            (std::vector<uint8_t>{1, 2, 3, 4, 9, 9, 9, 9}));
  // Byte delta: rows beyond the bottom and columns beyond the width write nothing; a
  // repeat that runs past the width stops there.
  EXPECT_EQ(picture(OneFrame(4, 2, {RawChunk(12, {1, 0, 3, 0,                 // rows 1..3
                                                  2, 2, 0xFE, 7, 250, 3, 1, 2, 3,  // row 1
                                                  1, 0, 0x80, 5,                 // row 2: outside
                                                  1, 0, 2, 8, 8})}))           // row 3: outside
                .pixels,
            (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 7, 7}));
  EXPECT_EQ(picture(OneFrame(4, 2, {RawChunk(12, {0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0x80, 5})})).pixels,
            std::vector<uint8_t>(8, 0));
  // Word delta, 5 x 3: a row skip of 1, a last-pixel word, a repeated pair running past
  // the width; then a skip far past the bottom with a last pixel there.
  EXPECT_EQ(picture(OneFrame(5, 3, {RawChunk(7, {2, 0,                  // 2 lines
                                                 0xFF, 0xFF,            // skip 1 row
                                                 0x09, 0x80,            // last pixel 9
                                                 1, 0,                  // 1 packet
                                                 1, 0xFD, 4, 5,         // skip 1, pair (4,5) x3
                                                 0x00, 0xC0,            // skip 16384 rows
                                                 0x07, 0x80, 1, 0, 0, 0x7F})}))  // outside
                .pixels,
            (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 4, 5, 4, 9, 0, 0, 0, 0, 0}));
  // Colour packets beyond entry 255 are dropped.
  {
    std::vector<uint8_t> data{1, 0, 250, 10};
    for (int i = 0; i < 30; ++i) data.push_back(static_cast<uint8_t>(i));
    Decoded d(OneFrame(2, 2, {RawChunk(4, data)}));
    EXPECT_EQ(SurfaceColour(d.doc, 255), (FliColour{15, 16, 17}));
  }
}

TEST(FliDecoder, SizesSmallerThanTheirHeaderEndTheFrame) {
  // A chunk of size 3 would seek backwards for ever: the frame ends after its header
  // and the next search goes on from there.
  {
    std::vector<uint8_t> bytes = OneFrame(2, 2, {RawChunk(15, {}, 3), RawChunk(13, {})});
    Decoded d(bytes);
    ASSERT_EQ(d.doc.m_nLoadState, kFliLoaded);
    EXPECT_EQ(d.doc.m_nFirstFrameEnd, 128u + 16 + 6);
    uint64_t offset = d.doc.m_nFirstFrameEnd;
    EXPECT_FALSE(d.doc.DecodeFrame(d.source, offset).found);
  }
  // A prefix frame claiming 4 bytes.
  {
    std::vector<uint8_t> bytes = FliWriter(2, 2, true).Finish(1);
    const uint8_t prefix[16] = {4, 0, 0, 0, 0x00, 0xF1};
    bytes.insert(bytes.end(), prefix, prefix + 16);
    const std::vector<uint8_t> frame = OneFrame(2, 2, {RawChunk(16, {1, 2, 3, 4})});
    bytes.insert(bytes.end(), frame.begin() + 128, frame.end());
    Decoded d(bytes);
    ASSERT_EQ(d.doc.m_nLoadState, kFliLoaded);
    EXPECT_EQ(d.doc.m_nFirstFrameEnd, 128u + 16);
    EXPECT_EQ(SurfacePicture(d.doc).pixels, std::vector<uint8_t>(4, 0));
    uint64_t offset = d.doc.m_nFirstFrameEnd;
    EXPECT_TRUE(d.doc.DecodeFrame(d.source, offset).found);
    EXPECT_EQ(SurfacePicture(d.doc).pixels, (std::vector<uint8_t>{1, 2, 3, 4}));
  }
  // The 24-bit size: a top byte of 0xFF is not part of a skipped chunk's size.
  {
    std::vector<uint8_t> bytes = OneFrame(2, 1, {RawChunk(18, {0, 0}, 0xFF000008u), RawChunk(16, {6, 7})});
    Decoded d(bytes);
    EXPECT_EQ(SurfacePicture(d.doc).pixels, (std::vector<uint8_t>{6, 7}));
  }
}

TEST(FliDecoder, EveryTruncationEndsCleanly) {
  std::vector<FliPicture> frames;
  const std::vector<uint8_t> full = test::MakeEveryChunkFlic(23, 9, &frames);
  for (size_t cut = 0; cut < full.size(); ++cut) {
    const std::vector<uint8_t> part(full.begin(), full.begin() + static_cast<ptrdiff_t>(cut));
    CFliDoc doc;
    MemoryByteSource source(part);
    if (!doc.Load(source)) continue;
    uint64_t offset = doc.m_nFirstFrameEnd;
    int found = 0;
    for (;;) {
      const uint64_t before = offset;
      if (!doc.DecodeFrame(source, offset).found) break;
      ASSERT_GT(offset, before) << cut;
      ASSERT_LT(++found, 10) << cut;
    }
  }
}

// With QV_WRITE_FLI_SEEDS naming a folder, writes the writer's files there (the fuzz
// seeds in tests/fuzz/corpus/fuzz_flic were made this way).
TEST(FliWriterFiles, WriteSeedsOnRequest) {
  const char* folder = std::getenv("QV_WRITE_FLI_SEEDS");
  if (!folder) GTEST_SKIP() << "QV_WRITE_FLI_SEEDS not set";
  const std::pair<int, int> sizes[] = {{16, 8}, {37, 21}, {5, 3}, {64, 2}};
  for (const auto& [w, h] : sizes) {
    const std::vector<uint8_t> bytes = test::MakeEveryChunkFlic(w, h, nullptr);
    std::ofstream out(std::filesystem::path(folder) / ("every_chunk_" + std::to_string(w) + "x" + std::to_string(h) + ".flc"),
                      std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
}

}  // namespace
}  // namespace qv
