// quorvex-render: plays a saver's scene without a screen, tick by tick with no waiting,
// and writes PNG frames, so that authors on any machine can see what their saver shows.
//
//   quorvex-render SAVER.scr|MANIFEST.toml --out DIR [--size WxH] [--ticks N] [--every K]
//                  [--seed S] [--depth 8|16|32] [--trace FILE] [--fast|--slow]
//                  [--runtime-timing]
//
// frame-NNNNN.png is the scene after NNNNN ticks; frames are written every K ticks from
// tick 0 (the scene as it starts) up to N. --trace writes one JSON line per tick after
// the step: {"tick": n, "sprites": [[left, top, right, bottom, phase], ...]}, head first.
// The size defaults to the document's design size (1024 x 768 when it has none), the
// depth to 32 bits, the tick rate to the document's own; the random generator is the
// runtime's (CrtRandom), seeded with S (1). The run is the runtime's own run object
// (SaverRun) over a headless platform: by default with the authoring timing (no splash,
// media and sprites from tick 0), with --runtime-timing by the runtime's tick rules (the
// splash period, media at its end or on the 4th tick, steps after the splash).
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
#include "file_services.h"
#include "document/plain_services.h"
#include "document/screen_saver_doc.h"
#include "imaging/bmp_codec.h"
#include "imaging/cdib.h"
#include "imaging/dib.h"
#include "imaging/jpeg_reader.h"
#include "imaging/picture_source.h"
#include "imaging/png_reader.h"
#include "base/byte_source.h"
#include "package/package_reader.h"
#include "scene/anim_scene.h"
#include "shell/headless_run.h"
#include "document_manifest.h"

#include <toml++/toml.h>

using namespace qv;

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: quorvex-render SAVER.scr|MANIFEST.toml --out DIR [--size WxH] [--ticks N]\n"
               "                      [--every K] [--seed S] [--depth 8|16|32] [--trace FILE]\n"
               "                      [--fast|--slow] [--runtime-timing]\n");
  return 2;
}

// The header's splash fields, which the runtime timing follows.
struct SplashFields {
  bool noSplash = true;
  uint32_t splashSeconds = 0;
};

// A manifest's number or boolean, as quorvex-pack reads it.
uint32_t ManifestNumber(const toml::table& manifest, const char* key, uint32_t fallback) {
  const auto node = manifest[key];
  if (const auto b = node.value_exact<bool>()) return *b ? 1 : 0;
  const auto n = node.value_exact<int64_t>();
  return n && *n >= 0 && *n <= 0xFFFF ? static_cast<uint32_t>(*n) : fallback;
}

// The document archive of a packed saver, or of a manifest's [Document] table (written
// as quorvex-pack writes it), and the splash fields of its header. Empty with a message
// on failure.
std::vector<uint8_t> ArchiveOf(const std::string& input, SplashFields& splash, std::string& error) {
  if (input.size() > 5 && input.compare(input.size() - 5, 5, ".toml") == 0) {
    try {
      const toml::table manifest = toml::parse_file(input);
      splash.noSplash = ManifestNumber(manifest, "NoSplash", 1) != 0;
      splash.splashSeconds = ManifestNumber(manifest, "SplashSeconds", 0);
      CScreenSaverDoc doc;
      int version = kCurrentDocVersion;
      std::vector<std::string> warnings;
      if (const auto node = manifest["Document"]; node && node.is_table())
        version = tools::DocumentFromManifest(*node.as_table(), std::filesystem::path(input).parent_path(), doc,
                                              warnings);
      return WriteDocument(doc, version);
    } catch (const toml::parse_error& e) {
      error = std::string(e.description());
    } catch (const tools::ManifestError& e) {
      error = e.message;
    }
    return {};
  }
  FileByteSource file;
  PackageHeader header;
  const int code = file.Open(input) ? ReadPackageHeader(file, header) : kCannotOpen;
  if (code != kPackageOk) {
    error = "no package (PackageError " + std::to_string(code) + ")";
    return {};
  }
  splash.noSplash = header.NoSplash != 0;
  splash.splashSeconds = header.SplashSeconds;
  const uint64_t length = BlockLength(header, PackageBlock::Document);
  if (length == 0 || length > (uint64_t{1} << 31)) {
    error = "no document";
    return {};
  }
  std::vector<uint8_t> archive(static_cast<size_t>(length));
  if (file.ReadAt(BlockOffset(header, PackageBlock::Document), archive.data(), archive.size()) != archive.size()) {
    error = "the document is cut short";
    return {};
  }
  return archive;
}

void TraceTick(FILE* trace, int tick, CSpriteList& sprites) {
  std::fprintf(trace, "{\"tick\": %d, \"sprites\": [", tick);
  for (size_t i = 0; i < sprites.GetCount(); ++i) {
    const CSprite* s = sprites.GetAt(i);
    const Rect32 r = s->GetRect();
    const auto* phased = dynamic_cast<const CPhasedSprite*>(s);
    std::fprintf(trace, "%s[%d, %d, %d, %d, %d]", i ? ", " : "", r.left, r.top, r.right, r.bottom,
                 phased ? phased->m_nPhase : 0);
  }
  std::fprintf(trace, "]}\n");
}

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
  std::string input, outDir, tracePath;
  int ticks = 100, every = 10, width = 0, height = 0, depth = 32, seed = 1, timing = -1;
  bool runtimeTiming = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if ((arg == "--out" || arg == "-o") && hasValue) outDir = argv[++i];
    else if (arg == "--trace" && hasValue) tracePath = argv[++i];
    else if (arg == "--ticks" && hasValue) { if (!ParseInt(argv[++i], 0, 10000000, ticks)) return Usage(); }
    else if (arg == "--every" && hasValue) { if (!ParseInt(argv[++i], 1, 10000000, every)) return Usage(); }
    else if (arg == "--depth" && hasValue) { if (!ParseInt(argv[++i], 8, 32, depth)) return Usage(); }
    else if (arg == "--seed" && hasValue) { if (!ParseInt(argv[++i], 0, 1 << 30, seed)) return Usage(); }
    else if (arg == "--fast") timing = 1;
    else if (arg == "--slow") timing = 0;
    else if (arg == "--runtime-timing") runtimeTiming = true;
    else if (arg == "--size" && hasValue) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 1 || height < 1 || width > 16384 ||
          height > 16384)
        return Usage();
    } else if (!arg.empty() && arg[0] != '-' && input.empty()) input = arg;
    else return Usage();
  }
  if (input.empty() || (outDir.empty() && tracePath.empty()) || (depth != 8 && depth != 16 && depth != 32))
    return Usage();

  std::string error;
  SplashFields splash;
  const std::vector<uint8_t> archive = ArchiveOf(input, splash, error);
  if (archive.empty()) {
    std::fprintf(stderr, "quorvex-render: %s: %s\n", input.c_str(), error.c_str());
    return 2;
  }

  InstallCoreServices(CoreServices{.plainScreenDepth = depth});  // the surfaces take the screen depth asked for
  RunConfig config;
  config.timing = runtimeTiming ? RunTimingRule::Runtime : RunTimingRule::Authoring;
  config.noSplash = splash.noSplash;
  config.splashSeconds = splash.splashSeconds;
  HeadlessRun headless(config, static_cast<uint32_t>(seed));
  SaverRun& run = headless.Run();
  CScreenSaverDoc& doc = run.Document();
  tools::FileDocumentServices services;  // external files as named
  MemoryCursor source(archive);
  const DocumentLoadError docError = ReadDocument(doc, source, &services);
  if (docError != DocumentLoadError::None) {
    std::fprintf(stderr, "quorvex-render: %s: %s\n", input.c_str(), DocumentLoadMessage(docError));
    return 3;
  }
  if (width == 0) {
    width = doc.m_nDesignWidth > 0 ? doc.m_nDesignWidth : 1024;
    height = doc.m_nDesignHeight > 0 ? doc.m_nDesignHeight : 768;
  }
  run.Config().sceneRect = Rect32{0, 0, width, height};
  run.Config().scene.fastTiming = timing < 0 ? doc.m_bFastTiming != 0 : timing == 1;

  CAnimScene& scene = run.Scene();
  CountingPresenter presenter;
  scene.SetPresenter(&presenter);
  std::string mediaNote;
  headless.Start(mediaNote);
  if (!mediaNote.empty())
    std::fprintf(stderr, "quorvex-render: %s: media not shown: %s\n", input.c_str(), mediaNote.c_str());
  if (!outDir.empty() && !scene.BackBuffer()) {
    std::fprintf(stderr, "quorvex-render: %s: the scene has no background to draw on\n", input.c_str());
    return 4;
  }

  std::error_code ec;
  if (!outDir.empty()) std::filesystem::create_directories(outDir, ec);
  FILE* trace = tracePath.empty() ? nullptr : std::fopen(tracePath.c_str(), "w");
  if (!tracePath.empty() && !trace) {
    std::fprintf(stderr, "quorvex-render: cannot write %s\n", tracePath.c_str());
    return 5;
  }
  int written = 0;
  for (int tick = 0;; ++tick) {
    if (!outDir.empty() && tick % every == 0) {
      char name[64];
      std::snprintf(name, sizeof name, "/frame-%05d.png", tick);
      const std::string path = outDir + name;
      std::vector<uint8_t> rgb = ToRgb(*scene.BackBuffer());
      headless.DrawMediaOver(rgb, width, height);
      if (!WritePng(path, width, height, rgb)) {
        std::fprintf(stderr, "quorvex-render: cannot write %s\n", path.c_str());
        if (trace) std::fclose(trace);
        return 5;
      }
      ++written;
    }
    if (tick == ticks) break;
    headless.Tick();
    if (trace) TraceTick(trace, tick + 1, scene.Sprites());
  }
  if (trace) std::fclose(trace);
  std::printf("%d frames of %dx%d at %d bits over %d ticks, %zu sprites; %llu areas redrawn, %.1f%% of the "
              "pixels per tick\n",
              written, width, height, depth, ticks, scene.Sprites().GetCount(),
              static_cast<unsigned long long>(presenter.areas),
              100.0 * static_cast<double>(presenter.pixels) /
                  (static_cast<double>(width) * height * std::max(ticks, 1)));
  return 0;
}
