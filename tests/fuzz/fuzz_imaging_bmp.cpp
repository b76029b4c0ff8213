// libFuzzer target: the BMP reader, and the 8-bit run-length expander on its own.
#include <cstdint>
#include <vector>

#include "fuzz_imaging_common.h"
#include "imaging/bmp_codec.h"
#include "imaging/picture_source.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qv::InstallCoreServices(qv::CoreServices{.pictureDecoderMessages = false});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::MemoryCursor source(data, size);
  if (qv::DibHandle block = qv::DibReadBmp(source)) {
    qv::fuzz::ExercisePicture(block);
    qv::DibFree(block);
  }
  // The expander over a small picture whose size comes from the first two bytes, with
  // its output exactly as large as the rows: anything outside is a heap overflow.
  if (size >= 2) {
    const int width = 1 + data[0] % 61, height = 1 + data[1] % 37;
    uint8_t header[40] = {40};
    qv::PutU32(header + 4, static_cast<uint32_t>(width));
    qv::PutU32(header + 8, static_cast<uint32_t>(height));
    std::vector<uint8_t> rows(static_cast<size_t>(height) * ((width + 3) & ~3));
    qv::DibDecodeRle8(header, rows.data(), rows.size(), data + 2, size - 2);
  }
  return 0;
}
