// The whole PNG test suite that libpng's Debian source ships (contrib/pngsuite, unpacked
// by scripts/deps.sh), decoded here and compared with another decoder's pixels (Pillow,
// /usr/bin/python3 with python3-pil) with our gamma correction modelled; see
// tests/data/imaging/pngsuite_reference.py. Skipped where the suite or the reference
// decoder is missing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/cdib.h"
#include "imaging/dib.h"
#include "imaging/imaging_platform.h"
#include "imaging/png_reader.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace qv {
namespace {

namespace fs = std::filesystem;

#ifndef QV_PNGSUITE_DIR
#define QV_PNGSUITE_DIR ""
#endif

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Makes the references once per test process into a fresh folder.
std::string References() {
#ifdef _WIN32
  return {};
#else
  const fs::path suite = QV_PNGSUITE_DIR;
  std::error_code ec;
  if (suite.empty() || !fs::exists(suite / "basn3p01.png", ec) || !fs::exists("/usr/bin/python3", ec)) return {};
  const fs::path out = fs::temp_directory_path() / ("qv-pngsuite-" + std::to_string(::getpid()));
  const fs::path script = fs::path(QV_TEST_DATA_DIR) / "imaging" / "pngsuite_reference.py";
  const std::string command =
      "/usr/bin/python3 '" + script.string() + "' '" + suite.string() + "' '" + out.string() + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  return out.string();
#endif
}

// The palette of a PNG file as stored (PLTE), read straight from the chunks.
std::vector<uint8_t> StoredPalette(const std::vector<uint8_t>& png) {
  for (size_t at = 8; at + 8 <= png.size();) {
    const uint32_t length = uint32_t{png[at]} << 24 | uint32_t{png[at + 1]} << 16 | uint32_t{png[at + 2]} << 8 | png[at + 3];
    if (std::string(png.begin() + static_cast<long>(at) + 4, png.begin() + static_cast<long>(at) + 8) == "PLTE" &&
        at + 8 + length <= png.size())
      return {png.begin() + static_cast<long>(at) + 8, png.begin() + static_cast<long>(at + 8 + length)};
    at += 12 + static_cast<size_t>(length);
  }
  return {};
}

TEST(PngSuite, EveryFileDecodesAsTheReferenceDoes) {
  const std::string dir = References();
  if (dir.empty()) GTEST_SKIP() << "no PngSuite under " << QV_PNGSUITE_DIR << " or no /usr/bin/python3 with Pillow";
  std::ifstream manifest(fs::path(dir) / "manifest.txt");
  int files = 0;
  for (std::string line; std::getline(manifest, line);) {
    std::istringstream words(line);
    std::string name, state;
    int width = 0, height = 0;
    if (!(words >> name >> width >> height >> state)) continue;
    SCOPED_TRACE(name);
    ++files;
    UniqueDib dib(DibLoadPngFile((fs::path(QV_PNGSUITE_DIR) / name).string().c_str()));
    if (state == "corrupt") {
      EXPECT_FALSE(dib);
      continue;
    }
    ASSERT_TRUE(dib);
    CDIB picture;
    picture.Attach(dib.release());
    ASSERT_EQ(picture.GetWidth(), width);
    ASSERT_EQ(picture.GetHeight(), height);
    const std::vector<uint8_t> ref = ReadAll(fs::path(dir) / (name + ".rgba"));
    ASSERT_EQ(ref.size(), 4u * width * height);
    const bool alpha = picture.GetBitCount() == 32;
    int worst = 0, bad = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const uint8_t* r = &ref[4 * (static_cast<size_t>(y) * width + x)];
        int a = 255;
        const Rgb p = DibGetPixelRgb(picture.GetHandle(), x, y);
        if (alpha) picture.GetPixel(x, y, &a);
        int d = std::abs(a - (alpha ? r[3] : 255));
        if (r[3] != 0)  // a clear pixel's colour is nobody's business
          d = std::max({d, std::abs(p.red - r[0]), std::abs(p.green - r[1]), std::abs(p.blue - r[2])});
        worst = std::max(worst, d);
        // Within libpng's own gamma rounding.
        if (d > 2 && bad++ < 3)
          ADD_FAILURE() << "(" << x << "," << y << ") got " << int(p.red) << "," << int(p.green) << ","
                        << int(p.blue) << "," << a << " want " << int(r[0]) << "," << int(r[1]) << ","
                        << int(r[2]) << "," << int(r[3]);
      }
    EXPECT_EQ(bad, 0) << "worst difference " << worst;
  }
  EXPECT_GE(files, 50);
  std::error_code ec;
  fs::remove_all(dir, ec);
}

TEST(PngSuite, TwoColourPaletteKeepsItsColours) {
  const fs::path file = fs::path(QV_PNGSUITE_DIR) / "basn3p01.png";
  std::error_code ec;
  if (!fs::exists(file, ec)) GTEST_SKIP() << "no PngSuite";
  const std::vector<uint8_t> palette = StoredPalette(ReadAll(file));
  ASSERT_EQ(palette.size(), 6u);  // two colours
  UniqueDib dib(DibLoadPngFile(file.string().c_str()));
  ASSERT_TRUE(dib);
  DibLock lock(dib.get());
  DibView v;
  ASSERT_TRUE(ParseDib(lock.data(), lock.size(), &v));
  EXPECT_EQ(v.bitCount, 1);
  // The file's gamma is 1.0: each stored channel c shows as 255 (c / 255)^(1 / 2.2).
  for (int i = 0; i < 2; ++i)
    for (int c = 0; c < 3; ++c) {
      const double want = 255 * std::pow(palette[3 * i + c] / 255.0, 1 / 2.2);
      EXPECT_NEAR(v.colorTable[4 * i + 2 - c], want, 1.0) << "entry " << i << " channel " << c;
    }
}

}  // namespace
}  // namespace qv
