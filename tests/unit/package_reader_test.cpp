#include <gtest/gtest.h>

#include <zlib.h>

#include "base/byte_reader.h"
#include "package/package_reader.h"
#include "settings/language.h"
#include "package/package_writer.h"
#include "package_test_util.h"

namespace qv {
namespace {
using namespace std::string_literals;

using test::CertificateEntryOffset;
using test::MakeExecutable;
using test::PutU32At;

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

PackageContents FullContents() {
  PackageContents c;
  c.ScrName = "Company Logo";
  c.CompanyName = "";
  c.RightsLine = "(c) 2026 Example|hidden part";
  c.WebAddress = ComposeWebAddress("http://example.test", "http://a.test/rss;http://b.test/rss", false);
  c.Description = "#if german\r\nHallo\r\n#endif\r\n{ScrName}";
  c.DialogPictureFormat = 1;
  c.SplashPictureFormat = 2;
  c.FixedPreviewFormat = 0;
  c.NoSplash = 0;
  c.SplashSeconds = 3;
  c.FixedPreview = 1;
  c.Module = Bytes("module bytes");
  c.DialogPicture = Bytes(std::string(5000, 'd'));
  c.SplashPicture = Bytes("splash");
  c.FixedPreviewPicture = Bytes("preview");
  c.Document = Bytes("document archive");
  return c;
}

int Read(const std::vector<uint8_t>& file, PackageHeader& h) {
  MemoryByteSource src(file);
  return ReadPackageHeader(src, h);
}

TEST(PackageReader, RoundTripsEveryFieldAndBlockThroughAPe32AtTheClassicOffset) {
  const PackageContents c = FullContents();
  const auto runtime = MakeExecutable(false);
  ASSERT_EQ(CertificateEntryOffset(false), 456u);
  const auto file = AppendPackage(runtime, BuildPackage(c));
  EXPECT_EQ(file.size() % 8, 0u);

  PackageHeader h;
  ASSERT_EQ(Read(file, h), kPackageOk);
  EXPECT_EQ(h.ScrName, "Company Logo");
  EXPECT_EQ(h.CompanyName, "");
  EXPECT_EQ(h.RightsLine, "(c) 2026 Example");
  EXPECT_EQ(h.WebAddress, "http://example.test");
  ASSERT_TRUE(h.FeedAddresses.has_value());
  EXPECT_EQ(*h.FeedAddresses, "http://a.test/rss;http://b.test/rss");
  EXPECT_FALSE(h.FeedListEditable);
  EXPECT_EQ(h.Description, c.Description);
  EXPECT_EQ(h.DialogPictureFormat, 1u);
  EXPECT_EQ(h.SplashPictureFormat, 2u);
  EXPECT_EQ(h.NoSplash, 0u);
  EXPECT_EQ(h.SplashSeconds, 3u);
  EXPECT_EQ(h.FixedPreview, 1u);
  EXPECT_GE(h.PackageStart, runtime.size());
  EXPECT_EQ(h.PackageEnd, file.size() - 4);

  MemoryByteSource src(file);
  std::vector<uint8_t> out;
  const std::pair<PackageBlock, const std::vector<uint8_t>*> blocks[] = {
      {PackageBlock::Module, &c.Module},
      {PackageBlock::DialogPicture, &c.DialogPicture},
      {PackageBlock::SplashPicture, &c.SplashPicture},
      {PackageBlock::FixedPreview, &c.FixedPreviewPicture}};
  for (const auto& [block, data] : blocks) {
    ASSERT_TRUE(ReadPackageBlock(src, h, block, out));
    EXPECT_EQ(out, *data);
  }
  const uint64_t doc = BlockOffset(h, PackageBlock::Document);
  ASSERT_EQ(BlockLength(h, PackageBlock::Document), c.Document.size());
  EXPECT_TRUE(std::equal(c.Document.begin(), c.Document.end(), file.begin() + static_cast<long>(doc)));

  FinishDescription(h, 3);
  EXPECT_EQ(h.Description, "Hallo\r\nCompany Logo");
}

TEST(PackageReader, FindsTheTrailerBeforeACertificateTableInPe32Plus) {
  auto file = AppendPackage(MakeExecutable(true, 0x80), BuildPackage(FullContents()));
  // What a signer does: append the table and point data directory entry 4 at it.
  const uint32_t table = static_cast<uint32_t>(file.size());
  file.resize(file.size() + 0x300, 0xCC);
  PutU32At(file, CertificateEntryOffset(true, 0x80), table);
  PutU32At(file, CertificateEntryOffset(true, 0x80) + 4, 0x300);
  PackageHeader h;
  ASSERT_EQ(Read(file, h), kPackageOk);
  EXPECT_EQ(h.ScrName, "Company Logo");
  EXPECT_EQ(h.PackageEnd, table - 4u);
  // The document still ends at the trailer, not at the table's end.
  EXPECT_EQ(BlockLength(h, PackageBlock::Document), FullContents().Document.size());
}

TEST(PackageReader, ImageEndCoversASymbolTableOf18ByteEntries) {
  // Symbols at 0x400: 10 entries of 18 bytes, then a string table whose first dword is
  // its size. A package never starts before the end of the strings.
  auto exe = MakeExecutable(false);  // its one section ends at 0x400
  exe.resize(0x600);
  PutU32At(exe, 0x130 + 12, 0x400);
  PutU32At(exe, 0x130 + 16, 10);
  PutU32At(exe, 0x400 + 10 * 18, 0x40);
  MemoryByteSource src(exe);
  EXPECT_EQ(InspectExecutable(src).imageEnd, 0x400u + 180 + 0x40);
  // A string table beyond the file: the symbols alone.
  PutU32At(exe, 0x130 + 16, 80);
  MemoryByteSource beyond(exe);
  EXPECT_EQ(InspectExecutable(beyond).imageEnd, 0x400u + 80 * 18);
}

TEST(PackageReader, ErrorCodesForEveryBrokenLayer) {
  PackageHeader h;
  // Not an executable and too short for the pointer at 456.
  EXPECT_EQ(Read(std::vector<uint8_t>(100, 0), h), kNoCertificatePointer);
  // An executable cut off before data directory 4 (400 bytes: the header stops short).
  auto cut = MakeExecutable(false);
  cut.resize(400);
  ASSERT_LT(cut.size(), CertificateEntryOffset(false) + 4);
  EXPECT_EQ(Read(cut, h), kNoCertificatePointer);
  cut = MakeExecutable(true);
  cut.resize(CertificateEntryOffset(true) + 3);
  EXPECT_EQ(Read(cut, h), kNoCertificatePointer);
  // Pointer at 456 past the end of the file.
  std::vector<uint8_t> odd(600, 0);
  PutU32At(odd, 456, 0x7FFFFFFF);
  EXPECT_EQ(Read(odd, h), kNoTrailer);
  // A bare runtime: its last bytes lie inside the image.
  EXPECT_EQ(Read(MakeExecutable(false), h), kNoTrailer);

  const auto runtime = MakeExecutable(false);
  auto withTrailer = [&](uint32_t start, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> f = runtime;
    f.insert(f.end(), body.begin(), body.end());
    f.resize(f.size() + 4);
    PutU32At(f, f.size() - 4, start);
    return f;
  };
  const auto start = static_cast<uint32_t>(runtime.size());
  EXPECT_EQ(Read(withTrailer(0xFFFFFF00u, {1, 2, 3, 4}), h), kNoHeaderLength);  // outside the file
  EXPECT_EQ(Read(withTrailer(16, {1, 2, 3, 4}), h), kNoHeaderLength);          // inside the image
  EXPECT_EQ(Read(withTrailer(start + 2, {1, 2, 3, 4}), h), kNoHeaderLength);   // N runs into the trailer

  std::vector<uint8_t> huge(8, 0);
  PutU32At(huge, 0, kMaxHeaderBytes + 1);
  EXPECT_EQ(Read(withTrailer(start, huge), h), kNoHeaderMemory);
  std::vector<uint8_t> shortBlock(8, 0);
  PutU32At(shortBlock, 0, 100);
  EXPECT_EQ(Read(withTrailer(start, shortBlock), h), kShortHeader);

  // Inflation: garbage stream, a stream longer than U, N too small for U.
  auto block = EncodeHeaderBlock(FullContents(), 0, 0, 0, 0);
  auto damaged = block;
  damaged[10] ^= 0xFF;
  damaged[11] ^= 0xFF;
  EXPECT_EQ(Read(withTrailer(start, damaged), h), kBadHeader);
  auto smallU = block;
  PutU32At(smallU, 4, 10);
  EXPECT_EQ(Read(withTrailer(start, smallU), h), kBadHeader);
  std::vector<uint8_t> tiny = {2, 0, 0, 0, 0, 0};
  EXPECT_EQ(Read(withTrailer(start, tiny), h), kBadHeader);
  auto bigU = block;
  PutU32At(bigU, 4, kMaxHeaderBytes + 1);
  EXPECT_EQ(Read(withTrailer(start, bigU), h), kBadHeader);
}

std::vector<uint8_t> FieldsBlock(const std::string& fields) {
  std::vector<uint8_t> f(fields.begin(), fields.end());
  return f;
}

TEST(PackageReader, HeaderFieldsStopAtTheEndOfTheHeader) {
  std::string fields;
  PutU32(fields, 0);
  PutU32(fields, 1000);  // ScrName claims more than there is
  fields += "abc";
  PackageHeader h;
  EXPECT_FALSE(ParseHeaderFields(FieldsBlock(fields), h));

  // Every field present except the trailing reserved u16: whole.
  PackageContents c;
  c.ScrName = "S";
  auto block = EncodeHeaderBlock(c, 0, 0, 0, 0);
  std::vector<uint8_t> header(c.ScrName.size() + 200);
  uLongf len = static_cast<uLongf>(header.size());
  ASSERT_EQ(uncompress(header.data(), &len, block.data() + 8, static_cast<uLong>(block.size() - 8)), Z_OK);
  header.resize(len);
  EXPECT_TRUE(ParseHeaderFields(std::span(header).first(header.size() - 2), h));
  EXPECT_FALSE(ParseHeaderFields(std::span(header).first(header.size() - 3), h));
}

TEST(PackageReader, ReservedSectionStringsBarsAndFeedLists) {
  PackageContents c;
  c.ScrName = "Name";
  c.CompanyName = "Co";
  c.reserved = ReservedSection{1, 2, 3, 4, {"one", "two", "", "four"}};
  PackageHeader h;
  auto file = AppendPackage(MakeExecutable(false), BuildPackage(c));
  ASSERT_EQ(Read(file, h), kPackageOk);
  EXPECT_EQ(h.CompanyName, "Co");  // read after the section

  // One 0xFFFFFFFF in the pair: no section follows, so the section's bytes are taken for
  // the company name, whose length (the two u16 3 and 4: 0x00040003) runs past the header.
  c.reserved = ReservedSection{0xFFFFFFFF, 2, 3, 4, {"a", "b", "c", "d"}};
  file = AppendPackage(MakeExecutable(false), BuildPackage(c));
  PackageHeader misread;
  EXPECT_EQ(Read(file, misread), kBadHeader);

  // Zero-length, unterminated and zero-carrying strings.
  std::string fields;
  PutU32(fields, 0);
  PutU32(fields, 0);  // ScrName with L = 0
  PutU32(fields, 0xFFFFFFFF);
  PutU32(fields, 0xFFFFFFFF);
  PutU32(fields, 3);
  fields += "Co\0"s;
  PutU32(fields, 4);
  fields += "abcd";  // no terminator
  PutU32(fields, 6);
  fields += "ab\0cd\0"s;
  PutU32(fields, 1);
  fields += '\0';
  fields += std::string(28, '\0');
  ASSERT_TRUE(ParseHeaderFields(FieldsBlock(fields), h));
  EXPECT_EQ(h.ScrName, "");
  EXPECT_EQ(h.CompanyName, "Co");
  EXPECT_EQ(h.RightsLine, "abcd");
  EXPECT_EQ(h.WebAddress, "ab");
  EXPECT_FALSE(h.FeedAddresses);

  const struct {
    const char* stored;
    const char* address;
    const char* feeds;  // nullptr: none
    bool editable;
  } cases[] = {
      {"http://x", "http://x", nullptr, false},
      {"http://x|*a;b", "http://x", "a;b", false},
      {"http://x|a;b", "http://x", "a;b", true},
      {"|", "", "", true},
      {"x|*", "x", "", false},
      {"x|a|b", "x", "a|b", true},
  };
  for (const auto& t : cases) {
    SplitWebAddress(t.stored, h);
    EXPECT_EQ(h.WebAddress, t.address) << t.stored;
    EXPECT_EQ(h.FeedAddresses.has_value(), t.feeds != nullptr) << t.stored;
    if (t.feeds) {
      EXPECT_EQ(*h.FeedAddresses, t.feeds) << t.stored;
    }
    EXPECT_EQ(h.FeedListEditable, t.editable) << t.stored;
  }
}

TEST(PackageReader, CompressedBlocks) {
  const auto data = Bytes("some picture bytes, some picture bytes");
  auto block = EncodeCompressedBlock(data);
  std::vector<uint8_t> out;
  ASSERT_TRUE(DecodeCompressedBlock(block, out));
  EXPECT_EQ(out, data);
  block[0] = 'q';
  block[2] = 'z';
  EXPECT_TRUE(DecodeCompressedBlock(block, out)) << "magic in any letter case";
  block[1] = 'X';
  EXPECT_FALSE(DecodeCompressedBlock(block, out));
  block[1] = 'V';

  auto wrongSize = block;
  PutU32At(wrongSize, 4, static_cast<uint32_t>(data.size() + 1));
  EXPECT_FALSE(DecodeCompressedBlock(wrongSize, out));
  PutU32At(wrongSize, 4, static_cast<uint32_t>(data.size() - 1));
  EXPECT_FALSE(DecodeCompressedBlock(wrongSize, out));
  PutU32At(wrongSize, 4, 0xFFFFFFFF);  // refused before any allocation
  EXPECT_FALSE(DecodeCompressedBlock(wrongSize, out));
  EXPECT_FALSE(DecodeCompressedBlock(std::span(block).first(7), out));
  EXPECT_FALSE(DecodeCompressedBlock(std::span(block).first(block.size() - 3), out));
  EXPECT_TRUE(out.empty());

  // A block whose stored length runs past the trailer is not read.
  PackageContents c = FullContents();
  auto file = AppendPackage(MakeExecutable(false), BuildPackage(c));
  PackageHeader h;
  ASSERT_EQ(Read(file, h), kPackageOk);
  h.FixedPreviewSize += 64;
  MemoryByteSource src(file);
  EXPECT_FALSE(ReadPackageBlock(src, h, PackageBlock::FixedPreview, out));
  h.ModuleBlockSize = 0;
  EXPECT_FALSE(ReadPackageBlock(src, h, PackageBlock::Module, out));
}

TEST(PackageReader, SysnativeRewriteAndPictureExtensions) {
  EXPECT_EQ(RedirectToSysnative("C:\\Windows\\System32\\x.scr"), "C:\\Windows\\Sysnative\\x.scr");
  EXPECT_EQ(RedirectToSysnative("C:\\Windows\\system32\\a\\System32\\x.scr"),
            "C:\\Windows\\Sysnative\\a\\Sysnative\\x.scr");
  EXPECT_EQ(RedirectToSysnative("C:\\Windows\\SYSTEM32\\x.scr"), "C:\\Windows\\SYSTEM32\\x.scr");
  EXPECT_EQ(RedirectToSysnative("C:\\System32x\\y"), "C:\\System32x\\y");
  EXPECT_STREQ(PictureExtension(0), ".bmp");
  EXPECT_STREQ(PictureExtension(1), ".jpg");
  EXPECT_STREQ(PictureExtension(2), ".png");
  EXPECT_STREQ(PictureExtension(3), "");
}

TEST(PackageReader, FileSourceReadsWhatMemoryReads) {
  const auto file = AppendPackage(MakeExecutable(true, 0x80), BuildPackage(FullContents()));
  const std::string path = ::testing::TempDir() + "qv_package_test.scr";
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  FileByteSource src;
  ASSERT_TRUE(src.Open(path));
  PackageHeader h;
  EXPECT_EQ(ReadPackageHeader(src, h), kPackageOk);
  EXPECT_EQ(h.ScrName, "Company Logo");
  FileByteSource missing;
  EXPECT_FALSE(missing.Open(path + ".absent"));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace qv
