// The wave image reader and WaveClip over a recording device: whatever the bytes, the
// samples handed to the device lie inside the image and are whole frames.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "media/wave_clip.h"
#include "media/wave_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> image(data, size);
  const qv::WaveImageInfo info = qv::ReadWaveImage(image);
  if (info.ok) {
    const uint64_t end = static_cast<uint64_t>(info.dataOffset) + info.dataLength;
    if (end > size || info.dataLength == 0 || info.format.blockAlign == 0 ||
        info.dataLength % info.format.blockAlign != 0 || info.format.channels == 0 ||
        info.format.samplesPerSec == 0)
      std::abort();
  }
  qv::RecordingWaveOut out;
  qv::WaveClip clip(out);
  clip.LoadBlock(image);
  if (const qv::WaveHeader* h = clip.Play(false)) {
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < h->length; i += 64) sink = sink + h->data[i];  // ASan checks the range
    if (h->length) sink = sink + h->data[h->length - 1];
  }
  clip.Play(true);
  clip.Stop();
  return 0;
}
