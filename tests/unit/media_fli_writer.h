// A small FLIC writer for the tests, the fuzz seeds and the benchmark. Each frame is
// written from the picture it is meant to show (and the colours it is meant to set), so
// a decoder can be checked pixel for pixel against what the writer meant. Chunks are
// chosen by the caller, so every chunk type, prefix frames, garbage between frames and
// odd-sized colour packets can be put where a test wants them.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

struct FliPicture {
  int width = 0, height = 0;
  std::vector<uint8_t> pixels;  // top-down, width x height
  uint8_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  uint8_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  bool operator==(const FliPicture&) const = default;
};

struct FliColour {
  uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const FliColour&) const = default;
};

// A run of colours for a colour chunk: skip entries, then count colours.
struct FliColourPacket {
  int skip = 0;
  std::vector<FliColour> colours;  // 1..256
};

class FliWriter {
 public:
  FliWriter(int width, int height, bool flc);

  // The picture and colours the file shows after the frames written so far.
  const FliPicture& Picture() const { return m_picture; }
  const std::array<FliColour, 256>& Colours() const { return m_colours; }

  // --- Chunks of the frame being built ---
  // 4 (8-bit components) or, with sixBit, 11 (components given as 0..63).
  void Colours(const std::vector<FliColourPacket>& packets, bool sixBit);
  void Black();                           // 13
  void Literal(const FliPicture& next);   // 16 (width x height must be even)
  void ByteRun(const FliPicture& next);   // 15
  void ByteDelta(const FliPicture& next); // 12
  void WordDelta(const FliPicture& next); // 7
  // Any other type, skipped by readers.
  void OtherChunk(uint16_t type, const std::vector<uint8_t>& payload);
  // The next chunk's size field carries a non-zero top byte (only the low 24 bits count).
  void HighSizeByteOnNextChunk() { m_highByte = true; }

  // --- Frames ---
  void EndFrame();                                  // writes the frame's header and chunks
  void Prefix(const std::vector<uint8_t>& payload); // a 0xF100 prefix frame (odd sizes padded)
  void Garbage(const std::vector<uint8_t>& bytes);  // bytes between frames (no 0xF1 in them)
  // The file: frameCount is written to the header (the ring frame is not counted).
  std::vector<uint8_t> Finish(int frameCount, int speed = 5);

 private:
  void Chunk(uint16_t type, const std::vector<uint8_t>& data);

  int m_width, m_height;
  bool m_flc;
  bool m_highByte = false;
  FliPicture m_picture;
  std::array<FliColour, 256> m_colours{};
  std::vector<uint8_t> m_file;
  std::vector<uint8_t> m_chunks;
  int m_chunkCount = 0;
};

// A picture of the given size filled by f(x, y).
template <typename F>
FliPicture MakeFliPicture(int width, int height, F f) {
  FliPicture p{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) p.At(x, y) = static_cast<uint8_t>(f(x, y));
  return p;
}

// The file used by the tests and the fuzz seeds: every chunk type, a prefix frame,
// garbage between frames, odd colour packets, a 24-bit size and the ring frame. frames
// receives the picture after the header frame, each further frame and the ring frame.
std::vector<uint8_t> MakeEveryChunkFlic(int width, int height, std::vector<FliPicture>* frames,
                                        std::vector<std::array<FliColour, 256>>* colours = nullptr);

}  // namespace qv::test
