#include <gtest/gtest.h>

#include "package/file_types.h"
#include "package/package_reader.h"
#include "package/package_writer.h"
#include "package/temp_files.h"
#include "package_test_util.h"

namespace qv {
namespace {

constexpr char kFolder[] = "C:\\Users\\u\\AppData\\Local\\Quorvex\\";

struct TempFixture : ::testing::Test {
  MemoryFileSystem fs;
  TempFiles temp{fs};
  void SetUp() override {
    fs.folders["c:\\"] = true;
    for (const char* f : {"C:\\Users\\", "C:\\Users\\u\\", "C:\\Users\\u\\AppData\\",
                          "C:\\Users\\u\\AppData\\Local\\", kFolder})
      fs.CreateFolder(f);
    temp.TempFolder = kFolder;
  }
  void Touch(const std::string& name, const std::string& content = "x") {
    ASSERT_TRUE(fs.WriteFile(kFolder + name, {reinterpret_cast<const uint8_t*>(content.data()), content.size()}, true));
  }
  bool Has(const std::string& name) { return fs.IsFile(kFolder + name); }
};

TEST_F(TempFixture, NamesTakeTheFirstFreeNumberInBothForms) {
  Touch("pksv0001.wav");
  Touch("pksv0002.bmp");
  EXPECT_EQ(temp.UniqueTempName("jpg"), std::string(kFolder) + "pksv0003.jpg");
  const uint8_t bytes[] = {1, 2, 3};
  EXPECT_EQ(temp.WriteBlockToTempFile(bytes, "jpg", TempFiles::NameForm::Replacing),
            std::string(kFolder) + "pksv0003.jpg");
  EXPECT_FALSE(Has("pksv0003.tmp")) << "the reservation is given back";
  EXPECT_EQ(temp.WriteBlockToTempFile(bytes, "WAV", TempFiles::NameForm::Direct),
            std::string(kFolder) + "pksv0004.wav");
  EXPECT_EQ(temp.UniqueTempName("x", "C:\\Other", "STEM"), "C:\\Other\\stem0001.x");
}

TEST_F(TempFixture, StoredExtensionsContributeOnlyLettersAndDigits) {
  EXPECT_EQ(SafeExtension("..\\..\\evil.exe"), "evilexe");
  EXPECT_EQ(SafeExtension("mp3:stream"), "mp3strea");
  EXPECT_EQ(SafeExtension("JPEG"), "jpeg");
  EXPECT_EQ(SafeExtension("\xE9t\xE9"), "t");
  EXPECT_EQ(SafeExtension(""), "bin");
  EXPECT_EQ(SafeExtension("/\\:"), "bin");
  const uint8_t b[] = {0};
  const std::string path = temp.WriteBlockToTempFile(b, "a\\..\\b", TempFiles::NameForm::Direct);
  EXPECT_EQ(path, std::string(kFolder) + "pksv0001.ab");
}

TEST_F(TempFixture, ReplacingFormNeverOverwritesAndNamesRunOut) {
  Touch("pksv0001.jpg", "keep me");
  const uint8_t bytes[] = {9};
  const std::string path = temp.WriteBlockToTempFile(bytes, "jpg", TempFiles::NameForm::Replacing);
  EXPECT_EQ(path, std::string(kFolder) + "pksv0002.jpg");
  EXPECT_EQ(fs.files["c:\\users\\u\\appdata\\local\\quorvex\\pksv0001.jpg"],
            std::vector<uint8_t>({'k', 'e', 'e', 'p', ' ', 'm', 'e'}));

  for (int n = 1; n <= 9999; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "pksv%04d.tmp", n);
    Touch(name);
  }
  EXPECT_EQ(temp.UniqueTempName("tmp"), "");
  EXPECT_EQ(temp.WriteBlockToTempFile(bytes, "tmp", TempFiles::NameForm::Direct), "");
  EXPECT_EQ(temp.WriteBlockToTempFile(bytes, "jpg", TempFiles::NameForm::Replacing), "");
  EXPECT_EQ(temp.UniqueTempName("tmp", "C:\\" + std::string(250, 'x')), "") << "longer than a path may be";
}

TEST_F(TempFixture, FolderChoiceAndCreation) {
  EXPECT_FALSE(temp.CreateFolderPath("C:\\a\\b"));
  EXPECT_TRUE(temp.CreateFolderPath("C:\\a\\b\\c\\"));
  EXPECT_TRUE(fs.FolderExists("C:\\a\\b\\"));
  EXPECT_FALSE(temp.CreateFolderPath("Q:\\x\\"));

  EXPECT_TRUE(temp.ChooseTempFolder({"", "Q:\\nowhere\\Quorvex\\", "C:\\Temp2", "C:\\third\\"}));
  EXPECT_EQ(temp.TempFolder, "C:\\Temp2\\");
  EXPECT_TRUE(fs.ListFiles("C:\\Temp2\\", "").empty()) << "the probe file is gone";

  fs.readOnly = true;
  EXPECT_FALSE(temp.ChooseTempFolder({"C:\\Temp2\\"}));
  EXPECT_EQ(temp.TempFolder, "");
}

TEST_F(TempFixture, WipeDeletesOnlyStemFilesInTheFolder) {
  Touch("pksv0001.wav");
  Touch("PKSV0002.TMP");
  Touch("pksvanything");
  Touch("other.txt");
  Touch("xpksv0001.tmp");
  fs.CreateFolder(std::string(kFolder) + "pksvdir");
  fs.CreateFolder("C:\\Users\\u\\elsewhere\\");
  fs.WriteFile("C:\\Users\\u\\elsewhere\\pksv0001.tmp", {}, false);

  EXPECT_TRUE(temp.WipeTempFiles(kFolder));
  EXPECT_FALSE(Has("pksv0001.wav"));
  EXPECT_FALSE(Has("PKSV0002.TMP"));
  EXPECT_FALSE(Has("pksvanything"));
  EXPECT_TRUE(Has("other.txt"));
  EXPECT_TRUE(Has("xpksv0001.tmp"));
  EXPECT_TRUE(fs.FolderExists(std::string(kFolder) + "pksvdir\\"));
  EXPECT_TRUE(fs.IsFile("C:\\Users\\u\\elsewhere\\pksv0001.tmp"));
  EXPECT_FALSE(temp.WipeTempFiles("")) << "an empty folder is not the current directory";

  // A file still in use stops the wipe; the next start removes the rest.
  Touch("pksv0001.a");
  Touch("pksv0002.b");
  Touch("pksv0003.c");
  fs.locked["c:\\users\\u\\appdata\\local\\quorvex\\pksv0002.b"] = true;
  EXPECT_FALSE(temp.WipeTempFiles(kFolder));
  EXPECT_FALSE(Has("pksv0001.a"));
  EXPECT_TRUE(Has("pksv0003.c"));

  EXPECT_TRUE(IsWipeCandidate("pksv1.x"));
  EXPECT_FALSE(IsWipeCandidate("pks"));
  EXPECT_FALSE(IsWipeCandidate("pksv\\..\\x"));
}

TEST_F(TempFixture, DeletionStaysInsideTheTempFolder) {
  fs.CreateFolder("C:\\Users\\u\\elsewhere\\");
  fs.WriteFile("C:\\Users\\u\\elsewhere\\keep.txt", {}, false);
  temp.DeleteFileIfPresent("C:\\Users\\u\\elsewhere\\keep.txt");
  temp.DeleteFileIfPresent(std::string(kFolder) + "..\\elsewhere\\keep.txt");
  EXPECT_TRUE(fs.IsFile("C:\\Users\\u\\elsewhere\\keep.txt"));
  Touch("mine.wav");
  temp.DeleteFileIfPresent(std::string(kFolder) + "MINE.WAV");
  EXPECT_FALSE(Has("mine.wav"));
  temp.DeleteFileIfPresent(std::string(kFolder) + "absent.wav");  // nothing to do
}

TEST_F(TempFixture, ExtractionWritesTheBlocksEachModeNeeds) {
  PackageContents c;
  c.ScrName = "S";
  c.Module = {'d', 'l', 'l'};
  c.DialogPicture = {'j', 'p', 'g'};
  c.DialogPictureFormat = 1;
  c.SplashPicture = {'p', 'n', 'g'};
  c.SplashPictureFormat = 2;
  c.FixedPreviewPicture = {'?'};
  c.FixedPreviewFormat = 9;
  const auto file = AppendPackage(test::MakeExecutable(false), BuildPackage(c));
  MemoryByteSource src(file);
  PackageHeader h;
  ASSERT_EQ(ReadPackageHeader(src, h), kPackageOk);

  ExtractedFiles out;
  ExtractPackageBlocks(src, h, ExtractMode::Dialog, false, temp, out);
  EXPECT_EQ(out.dialog, std::string(kFolder) + "dialog.jpg");
  EXPECT_EQ(out.module, "");
  ExtractPackageBlocks(src, h, ExtractMode::Run, false, temp, out);
  EXPECT_EQ(out.module, std::string(kFolder) + "qvmmp.dll");
  EXPECT_EQ(out.splash, std::string(kFolder) + "splash.png");
  EXPECT_EQ(fs.files["c:\\users\\u\\appdata\\local\\quorvex\\splash.png"], c.SplashPicture);
  ExtractPackageBlocks(src, h, ExtractMode::FixedPreview, false, temp, out);
  EXPECT_EQ(out.fixedPreview, std::string(kFolder) + "fixedpreview") << "unknown format: no extension";

  DeleteExtractedFiles(temp, out);
  EXPECT_TRUE(out.module.empty() && out.dialog.empty() && out.splash.empty() && out.fixedPreview.empty());
  EXPECT_TRUE(fs.ListFiles(kFolder, "").empty());

  // Muted: no module. A damaged splash block: no file, no path.
  auto damaged = file;
  damaged[BlockOffset(h, PackageBlock::SplashPicture) + 1] = 'X';
  MemoryByteSource bad(damaged);
  ExtractPackageBlocks(bad, h, ExtractMode::Run, true, temp, out);
  EXPECT_EQ(out.module, "");
  EXPECT_EQ(out.splash, "");
  EXPECT_FALSE(Has("splash.png"));
}

TEST(FileTypes, CodesByExtension) {
  const std::pair<const char*, int> cases[] = {
      {"movie.Mp4", 52}, {"song.mid", 14}, {"x.saux", 42}, {"x.SAU", 42}, {"wav", 34}, {"wave", 0},
      {"", 0}, {"a.b.JPEG", 12}, {"a.jpe", 12}, {"x.tmp", 0}, {"page.shtm", 48}, {"x.del", 100},
      {"x.ksv", 30}, {"x.png", 22}, {"clip.flc", 7}, {"clip.fli", 8}, {"x.3g2", 53}, {"x.swf", 50},
      {"x.", 0}, {"x.wm", 44}, {"x.wma", 45}, {"x.aifc", 43}, {"x.rle", 5}, {"x.qtif", 38}};
  for (const auto& [name, code] : cases) EXPECT_EQ(FileTypeCode(name), code) << name;
  EXPECT_EQ(FileExtension("Movie.MP4"), "mp4");
  EXPECT_EQ(FileExtension("a.tar.GZ"), "gz");
  EXPECT_EQ(FileExtension("noext"), "");
  EXPECT_EQ(FileExtension("dir.x\\file"), "x\\file");
}

}  // namespace
}  // namespace qv
