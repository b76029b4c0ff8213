#include "media/wave_image.h"

#include <cstring>

namespace qv {

namespace {

uint16_t U16At(std::span<const uint8_t> b, uint64_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
uint32_t U32At(std::span<const uint8_t> b, uint64_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
bool IdAt(std::span<const uint8_t> b, uint64_t at, const char (&id)[5]) {
  return std::memcmp(b.data() + at, id, 4) == 0;
}

// The 16 bytes of a PCM-style format record at at (the caller checked they are there).
WaveFormat FormatAt(std::span<const uint8_t> b, uint64_t at) {
  WaveFormat f;
  f.formatTag = U16At(b, at);
  f.channels = U16At(b, at + 2);
  f.samplesPerSec = U32At(b, at + 4);
  f.avgBytesPerSec = U32At(b, at + 8);
  f.blockAlign = U16At(b, at + 12);
  f.bitsPerSample = U16At(b, at + 14);
  return f;
}

// Finds "fmt " and "data" in a RIFF/WAVE image. The walk ends at the first "data" chunk,
// at the end of the image, or at a chunk header that does not fit.
bool WalkChunks(std::span<const uint8_t> b, WaveImageInfo& info) {
  const uint64_t size = b.size();
  bool haveFormat = false;
  uint64_t pos = 12;
  while (pos + 8 <= size) {
    const uint64_t length = U32At(b, pos + 4);
    const uint64_t body = pos + 8;
    if (IdAt(b, pos, "fmt ") && !haveFormat) {
      if (length < 16 || body + 16 > size) return false;
      info.format = FormatAt(b, body);
      haveFormat = true;
    } else if (IdAt(b, pos, "data")) {
      if (!haveFormat) return false;
      info.dataOffset = static_cast<uint32_t>(body);
      info.dataLength = static_cast<uint32_t>(length < size - body ? length : size - body);
      return true;
    }
    pos = body + length + (length & 1);  // chunks are padded to even lengths
  }
  return false;
}

}  // namespace

WaveImageInfo ReadWaveImage(std::span<const uint8_t> image) {
  WaveImageInfo info;
  if (image.size() < kWaveHeaderBytes || image.size() > UINT32_MAX) return info;
  const bool riff = IdAt(image, 0, "RIFF") && IdAt(image, 8, "WAVE");
  if (riff) {
    if (!WalkChunks(image, info)) return info;
  } else {
    info.format = FormatAt(image, 20);
    info.dataOffset = kWaveHeaderBytes;
    info.dataLength = static_cast<uint32_t>(image.size() - kWaveHeaderBytes);
  }
  const WaveFormat& f = info.format;
  if (f.channels == 0 || f.samplesPerSec == 0 || f.blockAlign == 0) return info;
  info.dataLength -= info.dataLength % f.blockAlign;  // whole frames only
  info.ok = info.dataLength > 0;
  return info;
}

}  // namespace qv
