// Real picture files of every supported kind, written by ImageMagick (and by hand for the
// forms it does not write), decoded here and compared pixel by pixel with what the
// converter decodes from the same file. The files come from
// tests/data/imaging/make_fixtures.py: natively the test runs it once per build tree; in
// other builds (under Wine) QV_IMAGING_FIXTURES names a folder it made.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "imaging/cdib.h"
#include "imaging/dib.h"
#include "imaging_test_util.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

struct Fixture {
  std::string file;
  int bits = 0, width = 0, height = 0, tolerance = 0;
  bool alpha = false, pal8 = false;
};

#ifndef _WIN32
// The fixtures are made once per build tree and script version; concurrent test
// processes race harmlessly (each makes its own folder, the first rename wins).
std::string MakeFixtures() {
  const fs::path script = fs::path(QV_TEST_DATA_DIR) / "imaging" / "make_fixtures.py";
  std::ifstream in(script, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : text.str()) hash = (hash ^ c) * 1099511628211ull;
  char name[64];
  std::snprintf(name, sizeof name, "imaging-fixtures-%016llx", static_cast<unsigned long long>(hash));
  std::error_code ec;
  const fs::path dir = fs::read_symlink("/proc/self/exe", ec).parent_path() / name;
  if (fs::exists(dir / "manifest.txt")) return dir.string();
  const fs::path tmp = dir.string() + ".tmp-" + std::to_string(getpid());
  const std::string command = "python3 '" + script.string() + "' '" + tmp.string() + "' > /dev/null";
  if (std::system(command.c_str()) != 0) return {};
  fs::rename(tmp, dir, ec);
  if (ec) fs::remove_all(tmp, ec);
  // Fixtures of earlier versions of the script go.
  for (const auto& entry : fs::directory_iterator(dir.parent_path(), ec)) {
    const std::string other = entry.path().filename().string();
    if (other.rfind("imaging-fixtures-", 0) == 0 && other.find(".tmp") == std::string::npos && entry.path() != dir)
      fs::remove_all(entry.path(), ec);
  }
  return fs::exists(dir / "manifest.txt") ? dir.string() : std::string();
}
#endif

std::string FixtureDir() {
  if (const char* env = std::getenv("QV_IMAGING_FIXTURES"); env && *env) return env;
#ifdef _WIN32
  return {};
#else
  static const std::string dir = MakeFixtures();
  return dir;
#endif
}

std::vector<Fixture> Manifest(const std::string& dir, const std::string& prefix) {
  std::vector<Fixture> out;
  std::ifstream in(fs::path(dir) / "manifest.txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    Fixture f;
    if (!(words >> f.file >> f.bits >> f.width >> f.height >> f.tolerance)) continue;
    for (std::string flag; words >> flag;) {
      f.alpha |= flag == "alpha";
      f.pal8 |= flag == "pal8";
    }
    if (f.file.rfind(prefix, 0) == 0) out.push_back(f);
  }
  return out;
}

test::Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return test::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Compares a loaded picture with the reference; returns a description of the first
// differences, or an empty text.
std::string Compare(const CDIB& dib, const test::Bytes& ref, const Fixture& f, double* meanError) {
  std::ostringstream problems;
  int bad = 0;
  double total = 0;
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) {
      const uint8_t* r = &ref[4 * (static_cast<size_t>(y) * f.width + x)];
      const Rgb p = DibGetPixelRgb(dib.GetHandle(), x, y);
      int alpha = 255;
      if (f.alpha) dib.GetPixel(x, y, &alpha);
      const int d[4] = {p.red - r[0], p.green - r[1], p.blue - r[2], f.alpha ? alpha - r[3] : 0};
      int worst = 0;
      for (int v : d) {
        worst = std::max(worst, std::abs(v));
        total += std::abs(v);
      }
      if (worst > f.tolerance && bad++ < 3)
        problems << " (" << x << "," << y << ") got " << int(p.red) << "," << int(p.green) << "," << int(p.blue)
                 << "," << alpha << " want " << int(r[0]) << "," << int(r[1]) << "," << int(r[2]) << "," << int(r[3]);
    }
  if (meanError) *meanError = total / (3.0 * f.width * f.height);
  if (bad) problems << " -- " << bad << " pixels differ";
  return problems.str();
}

void CheckFiles(const std::string& prefix, size_t expected) {
  const std::string dir = FixtureDir();
  if (dir.empty()) GTEST_SKIP() << "no fixtures (natively: python3 and /usr/bin/convert; elsewhere QV_IMAGING_FIXTURES)";
  const std::vector<Fixture> fixtures = Manifest(dir, prefix);
  ASSERT_EQ(fixtures.size(), expected) << "manifest in " << dir;
  for (const Fixture& f : fixtures) {
    SCOPED_TRACE(f.file);
    const std::string path = (fs::path(dir) / f.file).string();
    const test::Bytes ref = ReadAll(path + ".rgba");
    ASSERT_EQ(ref.size(), 4u * f.width * f.height);
    CDIB dib;
    LoadInfo info;
    ASSERT_TRUE(dib.LoadFile(path, {}, &info));
    EXPECT_EQ(dib.GetBitCount(), f.bits);
    EXPECT_EQ(dib.GetWidth(), f.width);
    EXPECT_EQ(dib.GetHeight(), f.height);
    EXPECT_EQ(info.bitCount, prefix == "jpeg" ? 24 : f.bits);
    EXPECT_EQ(info.width, f.width);
    EXPECT_EQ(info.height, f.height);
    EXPECT_EQ(Compare(dib, ref, f, nullptr), "");
    if (f.pal8) {
      // On a 256-colour screen: 8 bits, dithered from the quantiser's colours.
      ScopedCoreServices screen8(test::AtDepth(8));
      CDIB q;
      ASSERT_TRUE(q.LoadFile(path));
      EXPECT_EQ(q.GetBitCount(), 8);
      double mean = 0;
      Fixture loose = f;
      loose.tolerance = 255;
      Compare(q, ref, loose, &mean);
      EXPECT_LT(mean, 10.0) << "mean channel error on a 256-colour screen";
    }
  }
}

using ImagingFiles = test::ImagingTest;

TEST_F(ImagingFiles, BmpFilesMatchTheConverter) { CheckFiles("bmp", 17); }
TEST_F(ImagingFiles, PngFilesMatchTheConverter) { CheckFiles("png", 19); }
TEST_F(ImagingFiles, JpegFilesMatchTheConverter) { CheckFiles("jpeg", 5); }

}  // namespace
}  // namespace qv
