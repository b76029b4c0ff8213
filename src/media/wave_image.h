// The wave image reader: where a wave file's format and sample data lie. A RIFF/WAVE
// image is walked chunk by chunk ("fmt " and "data" may come after any other chunks and
// the format chunk may be longer than 16 bytes); an image that is not RIFF/WAVE but holds
// at least 44 bytes is read at the fixed offsets of the canonical 44-byte header. Every
// offset and length is checked against the bytes present; the sample data is clipped to
// them and to whole sample frames.
#pragma once
#include <cstdint>
#include <span>

namespace qv {

inline constexpr uint32_t kWaveHeaderBytes = 44;  // the canonical header's size

// The format record handed to the wave-out device (extra size is always 0).
struct WaveFormat {
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  bool operator==(const WaveFormat&) const = default;
};

struct WaveImageInfo {
  bool ok = false;          // a format the device may be given and sample data to play
  WaveFormat format;
  uint32_t dataOffset = 0;  // where the samples begin in the image
  uint32_t dataLength = 0;  // sample bytes, a whole number of frames, > 0 when ok
};

// Reads the layout of a wave image. Not ok: shorter than 44 bytes, a RIFF/WAVE image
// without a usable "fmt " or "data" chunk, zero channels, rate or block alignment, or
// no whole sample frame.
WaveImageInfo ReadWaveImage(std::span<const uint8_t> image);

}  // namespace qv
