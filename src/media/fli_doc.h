// FLIC animations (.FLI and .FLC): CFliDoc reads the 128-byte header and decodes frames
// one at a time into a single 8-bit packed DIB, the frame surface; FliPlayback is the
// player's state machine (timer ticks, frame steps, the ring frame, looping, the end).
// Both read through a ByteSource and never allocate more than the file can justify.
#pragma once
#include <cstdint>

#include "imaging/imaging_platform.h"
#include "base/byte_source.h"

namespace qv {

inline constexpr uint16_t kFliMagic = 0xAF11;
inline constexpr uint16_t kFlcMagic = 0xAF12;
inline constexpr uint16_t kFliFrameType = 0xF1FA;
inline constexpr uint16_t kFliPrefixType = 0xF100;
inline constexpr uint64_t kFliHeaderBytes = 128;
inline constexpr uint64_t kFliFrameHeaderBytes = 16;
inline constexpr uint64_t kFliChunkHeaderBytes = 6;

// Chunk types.
inline constexpr uint16_t kFliColor256 = 4, kFliDeltaWord = 7, kFliColor64 = 11, kFliDeltaByte = 12,
                          kFliBlack = 13, kFliByteRun = 15, kFliLiteral = 16;

enum FliLoadState : int32_t { kFliLoaded = 0, kFliNotFlic = 1, kFliNoSurface = 2 };

struct FliFrameResult {
  bool found = false;         // a frame header was found (its chunks were handled)
  bool colorChanged = false;  // a colour chunk was met
};

class CFliDoc {
 public:
  CFliDoc() = default;
  ~CFliDoc();
  CFliDoc(const CFliDoc&) = delete;
  CFliDoc& operator=(const CFliDoc&) = delete;

  // Reads the header, creates the zero-filled frame surface and decodes the first frame.
  // Returns whether m_nLoadState is kFliLoaded. A size of 0 or beyond the picture limits
  // fails with kFliNoSurface before anything is allocated.
  bool Load(ByteSource& source);

  // Finds the next frame header at or after offset (resynchronising over garbage,
  // skipping prefix frames) and applies its chunks to the frame surface. offset moves
  // past everything read. End of data while searching: found stays false.
  FliFrameResult DecodeFrame(ByteSource& source, uint64_t& offset);

  // Frees the frame surface.
  void Release();

  int32_t m_nFrameCount = 0;  // frames, not counting the ring frame
  int32_t m_nWidth = 0;
  int32_t m_nHeight = 0;
  int32_t m_nDepth = 0;
  int32_t m_nFlags = 0;
  int32_t m_nSpeed = 1;
  DibHandle m_hFrame = nullptr;  // 8-bit packed DIB, bottom-up
  uint64_t m_nFirstFrameEnd = 0;
  int32_t m_nLoadState = kFliNotFlic;
};

// The animation player's clock and frame stepping, without a window. Each timer message
// adds 20 to an accumulator; at the 40 of the frame period one frame is decoded, so a
// frame is shown every second 40 ms tick whatever the file's speed says. A file that
// holds fewer frames than its header promises ends (or, looping, starts again) where
// its frames run out.
class FliPlayback {
 public:
  static constexpr int32_t kTickStep = 20;
  static constexpr int32_t kFramePeriod = 40;
  static constexpr uint32_t kTimerMs = 40;

  struct Step {
    bool advanced = false;      // a frame step ran: repaint
    bool colorChanged = false;  // the colour table changed: refresh the palette
  };

  // doc is loaded; stream is a second reader on the same file, or none when it could not
  // be opened (the first frame then stays on screen).
  void Start(CFliDoc* doc, ByteSource* stream, bool loop);
  // One timer message.
  Step OnTick();
  // One frame step (the timer's every second tick).
  Step Advance();

  // The animation cannot play at all (its frame timer could not be started): it stops,
  // and a play-once animation ends at once, so an intro never holds the scene back.
  void Fail();

  bool Playing() const { return m_bPlaying; }
  bool Ended() const { return m_bEnded; }
  bool Failed() const { return m_bFailed; }
  int32_t CurrentFrame() const { return m_nCurrentFrame; }
  void SetPlaying(bool playing) { m_bPlaying = playing; }

 private:
  void Finish();

  CFliDoc* m_pDoc = nullptr;
  ByteSource* m_pStream = nullptr;
  uint64_t m_nStreamPos = 0;
  bool m_bLoop = false;
  bool m_bPlaying = true;
  bool m_bEnded = false;
  bool m_bFailed = false;
  int32_t m_nTickAccum = 0;
  int32_t m_nCurrentFrame = 0;
};

}  // namespace qv
