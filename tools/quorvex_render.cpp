// quorvex-render: plays a packed saver's scene without a screen and writes frames as PNG
// pictures, so that authors on any machine can see what their saver shows.
//
//   quorvex-render SAVER.scr -o DIR [--frames N] [--every K] [--size WxH] [--depth 8|16|32]
//                  [--seed S] [--fast|--slow]
//
// Frame n is the scene after n ticks (frame 0: as it starts). The size defaults to the
// document's design size (1024 x 768 when it has none), the depth to 32 bits, the tick
// rate to the document's own.
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "document/archive_reader.h"
#include "document/plain_services.h"
#include "document/screen_saver_doc.h"
#include "imaging/bmp_codec.h"
#include "imaging/cdib.h"
#include "imaging/dib.h"
#include "imaging/jpeg_reader.h"
#include "imaging/picture_source.h"
#include "imaging/png_reader.h"
#include "package/byte_source.h"
#include "package/package_reader.h"
#include "scene/anim_scene.h"

using namespace qv;

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: quorvex-render SAVER.scr -o DIR [--frames N] [--every K] [--size WxH]\n"
               "                      [--depth 8|16|32] [--seed S] [--fast|--slow]\n");
  return 2;
}

// Pictures decode from memory by the kind their name gives; external files come from
// the real file system.
class RenderServices final : public DocumentServices {
 public:
  bool FileExists(const std::string& path) override {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
  }
  bool MediaFilesSupported() override { return true; }
  std::unique_ptr<DecodedPicture> DecodePictureBytes(const std::vector<uint8_t>& bytes,
                                                     const std::string& storedName, TempFileForm) override {
    MemoryPictureSource source(bytes.data(), bytes.size());
    DibHandle block = nullptr;
    switch (PictureTypeCode(storedName)) {
      case kFileTypeBmp: block = DibReadBmp(source); break;
      case kFileTypeJpeg: block = DibReadJpeg(source); break;
      case kFileTypePng: block = DibReadPng(source); break;
      default: break;
    }
    if (!block) return nullptr;
    auto picture = std::make_unique<DecodedPicture>();
    picture->Attach(block);
    return picture;
  }
  std::unique_ptr<DecodedPicture> DecodePictureFile(const std::string& path) override {
    std::ifstream in(path, std::ios::binary);
    if (!in) return nullptr;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size <= 0 || size > (int64_t{1} << 30)) return nullptr;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), size);
    return DecodePictureBytes(bytes, path, TempFileForm::Direct);
  }
};

// Counts what the scene hands over, so the summary can tell how much was redrawn.
struct CountingPresenter final : ScenePresenter {
  uint64_t areas = 0, pixels = 0;
  void Present(CDibKSV& buffer, const Rect32* rect) override {
    ++areas;
    const Rect32 r = rect ? Intersect(*rect, buffer.GetRect()) : buffer.GetRect();
    pixels += static_cast<uint64_t>(r.Width()) * static_cast<uint64_t>(std::max(r.Height(), 0));
  }
};

// The surface as 8-bit RGB rows, whatever its depth.
std::vector<uint8_t> ToRgb(CDibKSV& s) {
  const int w = s.GetWidth(), h = s.GetHeight();
  std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
  const uint8_t* table = s.Depth() == 8 ? s.ColorTable() : nullptr;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t v = s.GetPixelValue(x, y);
      uint8_t* out = &rgb[(static_cast<size_t>(y) * w + x) * 3];
      if (s.Depth() == 32) {
        out[0] = static_cast<uint8_t>(v >> 16), out[1] = static_cast<uint8_t>(v >> 8), out[2] = static_cast<uint8_t>(v);
      } else if (s.Depth() == 16) {
        out[0] = static_cast<uint8_t>(((v >> 10) & 0x1F) << 3);
        out[1] = static_cast<uint8_t>(((v >> 5) & 0x1F) << 3);
        out[2] = static_cast<uint8_t>((v & 0x1F) << 3);
      } else if (table) {
        out[0] = table[4 * v + 2], out[1] = table[4 * v + 1], out[2] = table[4 * v];
      }
    }
  if (table) s.Unlock();  // ColorTable left the surface locked
  return rgb;
}

bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
      png_write_row(png, const_cast<png_bytep>(&rgb[static_cast<size_t>(y) * width * 3]));
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(f) == 0 && ok;
}

bool ParseInt(const char* text, int lo, int hi, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!end || *end || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string saver, outDir;
  int frames = 100, every = 1, width = 0, height = 0, depth = 32, seed = 1, timing = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "-o" && hasValue) outDir = argv[++i];
    else if (arg == "--frames" && hasValue) { if (!ParseInt(argv[++i], 1, 100000, frames)) return Usage(); }
    else if (arg == "--every" && hasValue) { if (!ParseInt(argv[++i], 1, 100000, every)) return Usage(); }
    else if (arg == "--depth" && hasValue) { if (!ParseInt(argv[++i], 8, 32, depth)) return Usage(); }
    else if (arg == "--seed" && hasValue) { if (!ParseInt(argv[++i], 0, 1 << 30, seed)) return Usage(); }
    else if (arg == "--fast") timing = 1;
    else if (arg == "--slow") timing = 0;
    else if (arg == "--size" && hasValue) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 1 || height < 1 || width > 16384 ||
          height > 16384)
        return Usage();
    } else if (!arg.empty() && arg[0] != '-' && saver.empty()) saver = arg;
    else return Usage();
  }
  if (saver.empty() || outDir.empty() || (depth != 8 && depth != 16 && depth != 32)) return Usage();

  FileByteSource file;
  PackageHeader header;
  const int error = file.Open(saver) ? ReadPackageHeader(file, header) : kCannotOpen;
  if (error != kPackageOk) {
    std::fprintf(stderr, "quorvex-render: %s: no package (PackageError %d)\n", saver.c_str(), error);
    return 2;
  }
  const uint64_t length = BlockLength(header, PackageBlock::Document);
  if (length > (uint64_t{1} << 31)) return 2;
  std::vector<uint8_t> archive(static_cast<size_t>(length));
  if (file.ReadAt(BlockOffset(header, PackageBlock::Document), archive.data(), archive.size()) != archive.size()) {
    std::fprintf(stderr, "quorvex-render: %s: the document is cut short\n", saver.c_str());
    return 3;
  }

  SetPlainScreenDepth(depth);  // the surfaces take the screen depth asked for
  CScreenSaverDoc doc;
  RenderServices services;
  MemoryArchiveSource source(archive);
  const DocumentLoadError docError = ReadDocument(doc, source, &services);
  if (docError != DocumentLoadError::None) {
    std::fprintf(stderr, "quorvex-render: %s: %s\n", saver.c_str(), DocumentLoadMessage(docError));
    return 3;
  }
  if (width == 0) {
    width = doc.m_nDesignWidth > 0 ? doc.m_nDesignWidth : 1024;
    height = doc.m_nDesignHeight > 0 ? doc.m_nDesignHeight : 768;
  }

  std::srand(static_cast<unsigned>(seed));
  CAnimScene scene;
  CountingPresenter presenter;
  scene.SetPresenter(&presenter);
  SceneEnvironment& env = scene.Environment();
  env.motion.fastTiming = timing < 0 ? doc.m_bFastTiming != 0 : timing == 1;
  env.motion.random = [] { return std::rand(); };
  scene.Start(&doc, width, height);
  scene.SetSpritesVisible(true);
  scene.UpdateAll();
  if (!scene.BackBuffer()) {
    std::fprintf(stderr, "quorvex-render: %s: the scene has no background to draw on\n", saver.c_str());
    return 4;
  }

  std::error_code ec;
  std::filesystem::create_directories(outDir, ec);
  int written = 0;
  for (int tick = 0; tick < frames * every; ++tick) {
    if (tick % every == 0) {
      char name[64];
      std::snprintf(name, sizeof name, "/frame-%05d.png", tick / every);
      const std::string path = outDir + name;
      if (!WritePng(path, width, height, ToRgb(*scene.BackBuffer()))) {
        std::fprintf(stderr, "quorvex-render: cannot write %s\n", path.c_str());
        return 5;
      }
      ++written;
    }
    scene.StepSprites();
  }
  std::printf("%d frames of %dx%d at %d bits, %zu sprites; %llu areas redrawn, %.1f%% of the pixels per tick\n",
              written, width, height, depth, scene.Sprites().GetCount(),
              static_cast<unsigned long long>(presenter.areas),
              100.0 * static_cast<double>(presenter.pixels) /
                  (static_cast<double>(width) * height * std::max(frames * every, 1)));
  return 0;
}
