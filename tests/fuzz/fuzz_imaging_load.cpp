// libFuzzer target: CDIB::LoadFile over BMP, JPEG and PNG files. The first byte picks the
// kind (0 BMP, 1 JPEG, 2 PNG) and, from 3 on, a 256-colour screen; the rest is the file,
// written to a temporary file with the kind's extension. A picture that loads is written
// back as a BMP file and read again.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "fuzz_imaging_common.h"
#include "imaging/bmp_codec.h"

namespace {

std::string g_dir;

std::string TempPath(const char* ext) { return g_dir + "/qv-fuzz-load-" + std::to_string(getpid()) + ext; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qv::InstallCoreServices(qv::CoreServices{.pictureDecoderMessages = false});
  g_dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const char* const kExt[3] = {".bmp", ".jpg", ".png"};
  const std::string path = TempPath(kExt[data[0] % 3]);
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
  }
  qv::ScopedCoreServices screen({.plainScreenDepth = data[0] % 6 >= 3 ? 8 : 32, .pictureDecoderMessages = false});
  qv::CDIB dib;
  if (dib.LoadFile(path)) {
    qv::fuzz::ExercisePicture(dib.GetHandle());
    const int64_t pixels = static_cast<int64_t>(dib.GetWidth()) * dib.GetHeight();
    if (pixels <= (1 << 18)) {
      const std::string back = TempPath(".back.bmp");
      if (qv::DibWriteBmpFile(dib.GetHandle(), back.c_str()) != 0) __builtin_trap();
      qv::CDIB again;
      if (!again.LoadFile(back) || again.GetWidth() != dib.GetWidth() || again.GetHeight() != dib.GetHeight())
        __builtin_trap();
      std::remove(back.c_str());
    }
  }
  std::remove(path.c_str());
  return 0;
}
