// A package header and a document archive assembled byte by byte from the format
// tables, every field holding its own value, read without the project's writers: two
// fields of one width swapped in reader and writer alike would still round-trip, but
// not here.
#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "base/byte_reader.h"
#include "byte_builder.h"
#include "document/screen_saver_doc.h"
#include "package/package_reader.h"
#include "package_test_util.h"

namespace {

using qvtest::Bytes;

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> out(size);
  EXPECT_EQ(compress(out.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
  out.resize(size);
  return out;
}

// "QVZB", the inflated size, the zlib stream.
std::vector<uint8_t> CompressedBlock(const std::string& data, const char* magic = "QVZB") {
  const std::vector<uint8_t> plain(data.begin(), data.end());
  Bytes b;
  b.raw(std::string(magic, 4)).u32(static_cast<uint32_t>(plain.size())).raw(Deflate(plain));
  return b.b;
}

}  // namespace

TEST(HandAssembled, PackageHeaderEveryFieldInItsPlace) {
  const auto module = CompressedBlock("the module");
  const auto dialog = CompressedBlock("dialog picture, a little longer");
  const auto splash = CompressedBlock("splash", "qvzb");  // the magic in any case
  const auto preview = CompressedBlock("fixed preview picture bytes, longer still .......");
  ASSERT_NE(module.size(), dialog.size());
  ASSERT_NE(splash.size(), preview.size());

  Bytes fields;
  fields.text("Saver Name")
      .u32(0x11111111).u32(0x22222222)            // reserved pair: the section follows
      .u16(0x3333).u16(0x4444).text("r1").text("r2").text("").text("r4")
      .text("Company")
      .text("(c) Rights|cut")
      .text("http://web.test|*http://feed.test/rss")
      .text("")                                   // no description: nothing to expand
      .u32(static_cast<uint32_t>(module.size()))
      .u32(static_cast<uint32_t>(dialog.size()))
      .u16(2)                                     // dialog picture: PNG
      .u32(static_cast<uint32_t>(splash.size()))
      .u16(1)                                     // splash picture: JPEG
      .u16(7)                                     // NoSplash
      .u16(9)                                     // SplashSeconds
      .u32(static_cast<uint32_t>(preview.size()))
      .u16(0)                                     // fixed preview: BMP
      .u16(5)                                     // FixedPreview
      .u16(0xABCD);                               // reserved
  Bytes header;
  header.u32(static_cast<uint32_t>(fields.b.size())).raw(fields.b);  // rest length: not used
  const auto stream = Deflate(header.b);

  std::vector<uint8_t> file = qv::test::MakeExecutable(false);
  const auto start = static_cast<uint32_t>(file.size());
  Bytes package;
  package.u32(static_cast<uint32_t>(4 + stream.size())).u32(static_cast<uint32_t>(header.b.size())).raw(stream);
  const uint64_t headerBlockLength = package.b.size();
  package.raw(module).raw(dialog).raw(splash).raw(preview).raw("document bytes");
  file.insert(file.end(), package.b.begin(), package.b.end());
  Bytes trailer;
  trailer.u32(start);
  file.insert(file.end(), trailer.b.begin(), trailer.b.end());

  qv::MemoryByteSource src(file);
  qv::PackageHeader h;
  ASSERT_EQ(qv::ReadPackageHeader(src, h), qv::kPackageOk);
  EXPECT_EQ(h.ScrName, "Saver Name");
  EXPECT_TRUE(h.HasReservedSection);
  EXPECT_EQ(h.CompanyName, "Company");
  EXPECT_EQ(h.RightsLine, "(c) Rights");
  EXPECT_EQ(h.WebAddress, "http://web.test");
  ASSERT_TRUE(h.FeedAddresses.has_value());
  EXPECT_EQ(*h.FeedAddresses, "http://feed.test/rss");
  EXPECT_FALSE(h.FeedListEditable);
  EXPECT_EQ(h.Description, "");
  EXPECT_EQ(h.ModuleBlockSize, module.size());
  EXPECT_EQ(h.DialogPictureSize, dialog.size());
  EXPECT_EQ(h.DialogPictureFormat, 2u);
  EXPECT_EQ(h.SplashPictureSize, splash.size());
  EXPECT_EQ(h.SplashPictureFormat, 1u);
  EXPECT_EQ(h.NoSplash, 7u);
  EXPECT_EQ(h.SplashSeconds, 9u);
  EXPECT_EQ(h.FixedPreviewSize, preview.size());
  EXPECT_EQ(h.FixedPreviewFormat, 0u);
  EXPECT_EQ(h.FixedPreview, 5u);
  EXPECT_EQ(h.PackageStart, start);
  EXPECT_EQ(h.HeaderBlockLength, headerBlockLength);
  EXPECT_EQ(h.PackageEnd, file.size() - 4);
  EXPECT_EQ(qv::BlockOffset(h, qv::PackageBlock::Document), file.size() - 4 - std::string("document bytes").size());

  std::vector<uint8_t> out;
  const std::pair<qv::PackageBlock, std::string> blocks[] = {
      {qv::PackageBlock::Module, "the module"},
      {qv::PackageBlock::DialogPicture, "dialog picture, a little longer"},
      {qv::PackageBlock::SplashPicture, "splash"},
      {qv::PackageBlock::FixedPreview, "fixed preview picture bytes, longer still ......."}};
  for (const auto& [block, text] : blocks) {
    ASSERT_TRUE(qv::ReadPackageBlock(src, h, block, out)) << static_cast<int>(block);
    EXPECT_EQ(std::string(out.begin(), out.end()), text);
  }
}

TEST(HandAssembled, DocumentArchiveEveryFieldInItsPlace) {
  Bytes a;
  a.raw("QVKSV0410")
      .u16(0x0101)                  // header word
      .archiveText("C:\\src\\")
      .u16(801).u16(602)            // design width, height
      .u16(2)                       // reserved mode
      .archiveText("Title").archiveText("Notice").archiveText("Author").archiveText("About")
      .u16(0)                       // fast timing (default 1)
      .u16(3)                       // background kind: desktop
      .u16(2)                       // desktop dimming
      .u16(4)                       // gradient horizontal
      .u16(1)                       // picture fit
      .u16(5)                       // gradient mirrored
      .u32(0x00010203).u32(0x00040506).u32(0x00070809)
      .u16(11).u16(12).u16(13).u16(14)
      .archiveText("Face")
      .u16(15).u16(16)
      .u32(0x000A0B0C)
      .u16(17)
      .u16(18).u16(19).u16(20).u16(21).u16(22).u16(23)
      .u16(24)
      .archiveText("back.bmp").u32(0)      // background picture, external
      .archiveText("movie.avi")            // media name
      .u32(301).u32(302).u32(303).u32(304)  // centre x, y, size x, y
      .u32(305).u32(306)                   // fit, size base
      .u16(6)                              // play once
      .u16(0x0A0A)                         // ignored
      .u32(3).raw("MOV")                   // media bytes
      .u16(0x0B0B)                         // ignored
      .u16(0)                              // sound loop (default 1)
      .archiveText("s.wav").u32(2).raw("SW")
      .u16(7).u16(8).u16(9)                // extra picture words
      .archiveText("extra.png").u32(0)
      .u16(0x0C0C)                         // ignored
      .u32(0)                              // no sprites
      .u16(0x0D0D)                         // ignored
      .u32(0);                             // no slides

  qv::CScreenSaverDoc d;
  qv::MemoryCursor in(a.b);
  int version = 0;
  ASSERT_EQ(qv::ReadDocument(d, in, nullptr, qv::ArchiveReader::kBufferSize, &version), qv::DocumentLoadError::None);
  EXPECT_EQ(version, 410);
  EXPECT_EQ(d.m_wHeaderWord, 0x0101);
  EXPECT_EQ(d.m_strSourceFolder, "C:\\src\\");
  EXPECT_EQ(d.m_nDesignWidth, 801);
  EXPECT_EQ(d.m_nDesignHeight, 602);
  EXPECT_EQ(d.m_nReservedMode, 2);
  EXPECT_EQ(d.m_strTitle, "Title");
  EXPECT_EQ(d.m_strNotice, "Notice");
  EXPECT_EQ(d.m_strAuthor, "Author");
  EXPECT_EQ(d.m_strDescription, "About");
  EXPECT_EQ(d.m_bFastTiming, 0);
  EXPECT_EQ(d.m_nBackgroundKind, 3);
  EXPECT_EQ(d.m_nDesktopDimming, 2);
  EXPECT_EQ(d.m_bGradientHorizontal, 4);
  EXPECT_EQ(d.m_nPictureFit, 1);
  EXPECT_EQ(d.m_bGradientMirrored, 5);
  EXPECT_EQ(d.m_crBackColor, 0x00010203u);
  EXPECT_EQ(d.m_crGradientFrom, 0x00040506u);
  EXPECT_EQ(d.m_crGradientTo, 0x00070809u);
  const std::array<uint16_t, 14> settings = {11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
  EXPECT_EQ(d.m_wSettings, settings);
  EXPECT_EQ(d.m_strFontFace, "Face");
  EXPECT_EQ(d.m_crSettingsColor, 0x000A0B0Cu);
  EXPECT_EQ(d.m_BackgroundPicture.name, "back.bmp");
  EXPECT_FALSE(d.m_BackgroundPicture.IsEmbedded());
  EXPECT_EQ(d.m_MediaFile.name, "movie.avi");
  EXPECT_EQ(std::string(d.m_MediaFile.bytes.begin(), d.m_MediaFile.bytes.end()), "MOV");
  EXPECT_EQ(d.m_nMediaCentreX, 301);
  EXPECT_EQ(d.m_nMediaCentreY, 302);
  EXPECT_EQ(d.m_nMediaSizeX, 303);
  EXPECT_EQ(d.m_nMediaSizeY, 304);
  EXPECT_EQ(d.m_nMediaFit, 305);
  EXPECT_EQ(d.m_nMediaSizeBase, 306);
  EXPECT_EQ(d.m_bMediaPlayOnce, 6);
  EXPECT_EQ(d.m_bSoundLoop, 0);
  EXPECT_EQ(d.m_Sound.name, "s.wav");
  EXPECT_EQ(std::string(d.m_Sound.bytes.begin(), d.m_Sound.bytes.end()), "SW");
  EXPECT_EQ(d.m_bExtraPicture, 7);
  EXPECT_EQ(d.m_wExtraA, 8);
  EXPECT_EQ(d.m_wExtraB, 9);
  EXPECT_EQ(d.m_ExtraPicture.name, "extra.png");
  const std::array<uint16_t, 4> ignored = {0x0A0A, 0x0B0B, 0x0C0C, 0x0D0D};
  EXPECT_EQ(d.m_wIgnored, ignored);
  EXPECT_EQ(d.m_SpriteList.GetCount(), 0u);
  EXPECT_EQ(d.m_SlideList.GetCount(), 0u);
}
