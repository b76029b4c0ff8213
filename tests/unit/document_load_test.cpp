#include <gtest/gtest.h>

#include <algorithm>

#include "document_test_support.h"

using namespace qv;
using namespace qvtest;

namespace {

DocumentLoadError Load(CScreenSaverDoc& d, const std::vector<uint8_t>& bytes,
                       PlainDocumentServices& services) {
  MemoryCursor in(bytes);
  return ReadDocument(d, in, &services);
}

std::unique_ptr<CSprite> PictureSprite(const std::string& name, std::vector<uint8_t> bytes) {
  auto s = std::make_unique<CPhasedSprite>();
  s->m_strName = name;
  s->m_Picture = Slot(name + ".bmp", std::move(bytes));
  s->m_nPhaseCount = 0;  // a stored 0 means one phase
  return s;
}

}  // namespace

TEST(DocumentLoad, SignatureVersionAndReservedMode) {
  CScreenSaverDoc source;
  FillDocument(source);
  source.m_nReservedMode = 3;
  std::vector<uint8_t> bytes = WriteDocument(source, 399);
  CScreenSaverDoc d;
  MemoryCursor in(bytes);
  int version = -1;
  ASSERT_EQ(ReadDocument(d, in, nullptr, ArchiveReader::kBufferSize, &version), DocumentLoadError::None);
  EXPECT_EQ(version, 399);
  EXPECT_EQ(d.m_nReservedMode, 0);
  EXPECT_EQ(d.m_bExtraPicture, 0);
  EXPECT_EQ(d.m_wExtraA, 0);
  EXPECT_EQ(d.m_wExtraB, 100);
  EXPECT_EQ(d.m_ExtraPicture.name, "");

  // The first five characters are not compared; non-digits give version 0, which has
  // the oldest layout (no extra picture here).
  bytes = WriteDocument(source, 349);
  std::copy_n("XXXXX04a9", 9, bytes.begin());
  CScreenSaverDoc old;
  MemoryCursor in2(bytes);
  ASSERT_EQ(ReadDocument(old, in2, nullptr, ArchiveReader::kBufferSize, &version), DocumentLoadError::None);
  EXPECT_EQ(version, 0);
  const uint8_t sig[9] = {'Q', 'V', 'K', 'S', 'V', '0', '4', '1', '0'};
  EXPECT_EQ(ParseDocVersion(sig), 410);
}

TEST(DocumentLoad, BackgroundPictureResolution) {
  PlainDocumentServices services;
  UseDibDecoder(services);
  CScreenSaverDoc source;
  source.m_nBackgroundKind = 0;
  std::vector<uint8_t> dib = MakeDib(2, 1, 32);
  dib[40 + 2] = 255;  // red, alpha 0: white after flattening
  dib[40 + 4 + 3] = 255;  // second pixel black and opaque
  source.m_BackgroundPicture = Slot("back.png", dib);
  CScreenSaverDoc d;
  ASSERT_EQ(Load(d, WriteDocument(source), services), DocumentLoadError::None);
  ASSERT_TRUE(d.m_pBackgroundDib);
  EXPECT_EQ(d.m_pBackgroundDib->GetBitCount(), 24);
  const auto& flat = d.m_pBackgroundDib->Block();
  EXPECT_EQ(std::vector<uint8_t>(flat.begin() + 40, flat.begin() + 46),
            (std::vector<uint8_t>{255, 255, 255, 0, 0, 0}));
  EXPECT_EQ(d.m_nBackgroundKind, 0);

  // Undecodable bytes: the slot is cleared and the background becomes the gradient.
  source.m_BackgroundPicture = Slot("back.png", {1, 2, 3});
  ASSERT_EQ(Load(d, WriteDocument(source), services), DocumentLoadError::None);
  EXPECT_EQ(d.m_nBackgroundKind, 1);
  EXPECT_EQ(d.m_BackgroundPicture, MediaSlot{});
  EXPECT_FALSE(d.m_pBackgroundDib);

  // An external picture is not loaded and the kind stays.
  source.m_BackgroundPicture = Slot("C:\\pics\\back.bmp");
  services.m_files["C:\\pics\\back.bmp"] = dib;
  ASSERT_EQ(Load(d, WriteDocument(source), services), DocumentLoadError::None);
  EXPECT_EQ(d.m_nBackgroundKind, 0);
  EXPECT_FALSE(d.m_pBackgroundDib);
  EXPECT_EQ(services.m_nFilesDecoded, 0);
}

TEST(DocumentLoad, MediaSoundAndExtraNamesAreChecked) {
  PlainDocumentServices services;
  services.m_files["C:\\here.wav"] = {};
  CScreenSaverDoc source;
  CScreenSaverDoc d;
  struct Case {
    const char* stored;
    const char* kept;
    int missing;
  };
  for (const Case& c : {Case{"www.example.com/v.mp4", "www.example.com/v.mp4", 0},
                        Case{"HTTPS:/x.mp4", "HTTPS:/x.mp4", 0},
                        Case{"ftp.host/x", "ftp.host/x", 0},
                        Case{"Ftp://host/x", "Ftp://host/x", 0},
                        Case{"http://host/x.mp4", "", 1},
                        Case{"  C:\\here.wav\t", "C:\\here.wav", 0},
                        Case{"C:\\gone.avi", "", 1},
                        Case{"   ", "", 0}}) {
    source.m_MediaFile = Slot(c.stored);
    ASSERT_EQ(Load(d, WriteDocument(source), services), DocumentLoadError::None);
    EXPECT_EQ(d.m_MediaFile.name, c.kept) << c.stored;
    EXPECT_EQ(d.m_nMissingFiles, c.missing) << c.stored;
  }

  // Before Windows 7 the media name goes even when its bytes are embedded.
  source.m_MediaFile = Slot("clip.mp4", {1, 2});
  services.m_bMediaFilesSupported = false;
  ASSERT_EQ(Load(d, WriteDocument(source), services), DocumentLoadError::None);
  EXPECT_EQ(d.m_MediaFile.name, "");
  services.m_bMediaFilesSupported = true;

  // A missing sound is counted, a missing extra picture is only emptied, embedded
  // names are not looked up.
  source.m_MediaFile = Slot("clip.mp4", {1, 2});
  source.m_Sound = Slot("C:\\nosound.mid");
  source.m_ExtraPicture = Slot("C:\\noextra.png");
  ASSERT_EQ(Load(d, WriteDocument(source, 410), services), DocumentLoadError::None);
  EXPECT_EQ(d.m_MediaFile.name, "clip.mp4");
  EXPECT_EQ(d.m_Sound.name, "");
  EXPECT_EQ(d.m_ExtraPicture.name, "");
  EXPECT_EQ(d.m_nMissingFiles, 1);
}

TEST(DocumentLoad, SpritesWithoutPictureAreDroppedInOrder) {
  PlainDocumentServices services;
  UseDibDecoder(services);
  services.m_files["C:\\sound.wav"] = {};
  services.m_files["disk.bmp"] = MakeDib(4, 9, 24);
  CScreenSaverDoc source;
  source.m_SpriteList.Insert(PictureSprite("a", MakeDib(4, 9, 24)));
  source.m_SpriteList.Insert(PictureSprite("broken", {0, 1, 2}));
  auto c = PictureSprite("c", MakeDib(4, 9, 8));
  c->m_SoundCollide = Slot("C:\\missing.wav");
  c->m_SoundBounceX = Slot(" C:\\sound.wav ");
  source.m_SpriteList.Insert(std::move(c));
  auto noName = PictureSprite("", MakeDib(1, 1, 24));
  noName->m_Picture.name.clear();
  source.m_SpriteList.Insert(std::move(noName));
  // Embedded bytes that are not to be used: the picture comes from the stored path.
  auto fromPath = PictureSprite("d", {0xEE});
  fromPath->m_bPictureEmbedded = 0;
  fromPath->m_Picture.name = "disk.bmp";
  fromPath->m_SoundBounceY = Slot("C:\\also-missing.wav");
  source.m_SpriteList.Insert(std::move(fromPath));

  CScreenSaverDoc d;
  ASSERT_EQ(Load(d, WriteDocument(source), services), DocumentLoadError::None);
  ASSERT_EQ(d.m_SpriteList.GetCount(), 3u);
  EXPECT_EQ(d.m_SpriteList.GetAt(0)->m_strName, "a");
  EXPECT_EQ(d.m_SpriteList.GetAt(1)->m_strName, "c");
  EXPECT_EQ(d.m_SpriteList.GetAt(2)->m_strName, "d");
  EXPECT_EQ(services.m_nFilesDecoded, 1);
  const auto& cs = static_cast<const CPhasedSprite&>(*d.m_SpriteList.GetAt(1));
  EXPECT_EQ(cs.m_SoundCollide.name, "");
  EXPECT_EQ(cs.m_SoundBounceX.name, "C:\\sound.wav");
  EXPECT_EQ(cs.m_nMissing, 1);
  EXPECT_EQ(cs.m_nPhaseCount, 1);
  EXPECT_EQ(cs.m_nPhaseSize, 9);  // the decoded height over one phase
  EXPECT_EQ(d.m_nMissingFiles, 2);
}

TEST(DocumentLoad, FailureKeepsEarlierFieldsAndEmptiesLists) {
  PlainDocumentServices services;
  UseDibDecoder(services);
  CScreenSaverDoc source;
  source.m_nDesignWidth = 800;
  source.m_BackgroundPicture = Slot("b.bmp", MakeDib(2, 2, 24));
  source.m_SpriteList.Insert(PictureSprite("a", MakeDib(4, 4, 24)));
  source.m_SpriteList.Insert(PictureSprite("b", MakeDib(4, 4, 24)));
  std::vector<uint8_t> bytes = WriteDocument(source);
  // The new-class tag of the first sprite with schema 1.
  const std::vector<uint8_t> tag = {0xFF, 0xFF, 0x00, 0x00, 13, 0};
  auto at = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end());
  ASSERT_NE(at, bytes.end());
  at[2] = 1;
  CScreenSaverDoc d;
  EXPECT_EQ(Load(d, bytes, services), DocumentLoadError::UnexpectedFormat);
  EXPECT_STREQ(DocumentLoadMessage(DocumentLoadError::UnexpectedFormat), "Unexpected file format.");
  EXPECT_STREQ(DocumentLoadMessage(DocumentLoadError::FailedToOpen), "Failed to open document.");
  EXPECT_EQ(d.m_nDesignWidth, 800);
  EXPECT_TRUE(d.m_SpriteList.IsEmpty());
  EXPECT_FALSE(d.m_pBackgroundDib);
  EXPECT_EQ(d.m_BackgroundPicture.Count(), 0u);
  EXPECT_EQ(d.m_BackgroundPicture.name, "b.bmp");
}
