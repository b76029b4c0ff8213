// libFuzzer target: the FLIC reader. Loads the file, decodes every frame it can find
// and plays it through the ring frame as the animation window would.
#include <cstdint>

#include "media/fli_doc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Frames up to the full 64-megapixel limit go through the same code; keeping them
  // small here keeps the fuzzer fast.
  if (size >= 12 && static_cast<uint64_t>(data[8] | data[9] << 8) * (data[10] | data[11] << 8) > (1u << 22)) return 0;
  qv::MemoryByteSource file({data, size}), stream({data, size});
  qv::CFliDoc doc;
  if (!doc.Load(file)) return 0;
  uint64_t offset = doc.m_nFirstFrameEnd;
  for (int i = 0; i < 64 && doc.DecodeFrame(file, offset).found; ++i) {
  }
  qv::FliPlayback play;
  play.Start(&doc, &stream, size & 1);
  for (int tick = 0; tick < 64; ++tick) play.OnTick();
  return 0;
}
