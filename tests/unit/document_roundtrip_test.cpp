#include <gtest/gtest.h>

#include <algorithm>

#include "document/document_fields.h"
#include "document_test_support.h"

using namespace qv;
using namespace qvtest;

namespace {

constexpr int kVersions[] = {349, 350, 355, 360, 361, 399, 400, 410};

// One sprite of each class and repeats, so that both class tags are exercised.
void AddSprites(CScreenSaverDoc& d) {
  std::unique_ptr<CSprite> sprites[] = {
      std::make_unique<CAnimSprite>(), std::make_unique<CSprite>(),
      std::make_unique<CPhasedSprite>(), std::make_unique<CAnimSprite>(),
      std::make_unique<CSprite>()};
  int seed = 0;
  for (auto& s : sprites) {
    FillSprite(*s, seed++);
    d.m_SpriteList.Insert(std::move(s));
  }
  for (int i = 0; i < 2; ++i) {
    auto slide = std::make_unique<CSsSlideObject>();
    slide->m_strText1 = "one" + std::to_string(i);
    slide->m_strText2 = "two";
    slide->m_wParam1 = 1;
    slide->m_wParam2 = 2;
    slide->m_wParam3 = 3;
    slide->m_wParam4 = 4;
    slide->m_SlidePicture = Slot("slide.jpg", {1, 2, 3});
    slide->m_nValue1 = -1;
    slide->m_nValue2 = 99;
    slide->m_wParam5 = 5;
    slide->m_wParam6 = 6;
    slide->m_wParam7 = 7;
    slide->m_SlideSound = Slot("missing.wav");
    slide->m_wIgnored1 = 8;
    slide->m_wIgnored2 = 9;
    d.m_SlideList.AddTail(std::move(slide));
  }
}

void ExpectSprite(const CSprite& got, const CSprite& want, int v) {
  SCOPED_TRACE(want.m_strName);
  ASSERT_EQ(got.GetRuntimeClass(), want.GetRuntimeClass());
  EXPECT_EQ(got.m_strName, want.m_strName);
  EXPECT_EQ(got.m_strComment, want.m_strComment);
  EXPECT_EQ(got.m_nX, want.m_nX);
  EXPECT_EQ(got.m_nY, want.m_nY);
  EXPECT_EQ(got.m_nZ, want.m_nZ);
  EXPECT_EQ(got.m_nHotX, want.m_nHotX);
  EXPECT_EQ(got.m_nHotY, want.m_nHotY);
  EXPECT_EQ(got.m_nScaleX, want.m_nScaleX);
  EXPECT_EQ(got.m_nScaleY, want.m_nScaleY);
  EXPECT_EQ(got.m_nKeyRed, want.m_nKeyRed);
  EXPECT_EQ(got.m_nKeyGreen, want.m_nKeyGreen);
  EXPECT_EQ(got.m_nKeyBlue, want.m_nKeyBlue);
  EXPECT_EQ(got.m_nKeyTolerance, want.m_nKeyTolerance);
  EXPECT_EQ(got.m_bTransparent, want.m_bTransparent);
  EXPECT_EQ(got.m_nOpacity, v >= 350 ? want.m_nOpacity : 100);
  EXPECT_EQ(got.m_nSpareWord, v >= 350 ? want.m_nSpareWord : 0);
  EXPECT_EQ(got.m_bFitScreen, v >= 360 ? want.m_bFitScreen : 0);
  EXPECT_EQ(got.m_bSolidBack, v >= 360 ? want.m_bSolidBack : 0);
  EXPECT_EQ(got.m_crSolidBack, v >= 360 ? want.m_crSolidBack : 0u);
  EXPECT_EQ(got.m_bRandomStart, v >= 361 ? want.m_bRandomStart : 0);
  EXPECT_EQ(got.m_nSpare1, want.m_nSpare1);
  EXPECT_EQ(got.m_nSpare2, want.m_nSpare2);
  EXPECT_EQ(got.m_Picture, want.m_Picture);
  EXPECT_EQ(got.m_nPictureFileSize, want.m_nPictureFileSize);
  EXPECT_EQ(got.m_bPictureEmbedded, want.m_bPictureEmbedded);
  EXPECT_EQ(got.m_nCollisionGroup, want.m_nCollisionGroup);
  EXPECT_EQ(got.m_SoundCollide, want.m_SoundCollide);
  EXPECT_EQ(got.m_SoundBounceX, want.m_SoundBounceX);
  EXPECT_EQ(got.m_SoundBounceY, want.m_SoundBounceY);
  EXPECT_EQ(got.m_bCollisionMoves, want.m_bCollisionMoves);
  if (auto* p = dynamic_cast<const CPhasedSprite*>(&want)) {
    auto& g = dynamic_cast<const CPhasedSprite&>(got);
    EXPECT_EQ(g.m_nPhaseCount, p->m_nPhaseCount);
    EXPECT_EQ(g.m_nPhaseSpeed, p->m_nPhaseSpeed);
    EXPECT_EQ(g.m_PhaseDurations, v >= 350 ? p->m_PhaseDurations : std::vector<uint16_t>{});
    EXPECT_EQ(g.m_bHorizontalStrip, v >= 400 ? p->m_bHorizontalStrip : 0);
    EXPECT_EQ(g.m_nPhase, 0);
  }
  if (auto* a = dynamic_cast<const CAnimSprite*>(&want)) {
    auto& g = dynamic_cast<const CAnimSprite&>(got);
    EXPECT_EQ(g.m_dVx, a->m_dVx);
    EXPECT_EQ(g.m_dVy, a->m_dVy);
    EXPECT_EQ(g.m_nMotion, a->m_nMotion);
    EXPECT_EQ(g.m_nEdgeMode, a->m_nEdgeMode);
    EXPECT_EQ(g.m_bRandomSpeed, v >= 361 ? a->m_bRandomSpeed : 0);
    EXPECT_EQ(g.m_nRandomVx, v >= 361 ? a->m_nRandomVx : 0);
    EXPECT_EQ(g.m_nRandomVy, v >= 361 ? a->m_nRandomVy : 0);
  }
}

}  // namespace

TEST(DocumentRoundTrip, EveryFieldOfEveryClassInEveryVersion) {
  CScreenSaverDoc source;
  FillDocument(source);
  AddSprites(source);

  for (int v : kVersions) {
    SCOPED_TRACE(v);
    const std::vector<uint8_t> bytes = WriteDocument(source, v);
    CScreenSaverDoc d;
    MemoryCursor in(bytes);
    int version = -1;
    ASSERT_EQ(ReadDocument(d, in, nullptr, ArchiveReader::kBufferSize, &version), DocumentLoadError::None);
    EXPECT_EQ(version, v);

    EXPECT_EQ(d.m_wHeaderWord, source.m_wHeaderWord);
    EXPECT_EQ(d.m_strSourceFolder, source.m_strSourceFolder);
    EXPECT_EQ(d.m_nDesignWidth, 1440);
    EXPECT_EQ(d.m_nDesignHeight, 900);
    EXPECT_EQ(d.m_nReservedMode, 2);
    EXPECT_EQ(d.m_strTitle, source.m_strTitle);
    EXPECT_EQ(d.m_strNotice, source.m_strNotice);
    EXPECT_EQ(d.m_strAuthor, source.m_strAuthor);
    EXPECT_EQ(d.m_strDescription, source.m_strDescription);
    EXPECT_EQ(d.m_bFastTiming, 0);
    EXPECT_TRUE(d.m_bFastTimingLoaded);
    EXPECT_EQ(d.m_nBackgroundKind, 0);
    EXPECT_EQ(d.m_nDesktopDimming, 3);
    EXPECT_EQ(d.m_bGradientHorizontal, 1);
    EXPECT_EQ(d.m_nPictureFit, 2);
    EXPECT_EQ(d.m_bGradientMirrored, 1);
    EXPECT_EQ(d.m_crBackColor, source.m_crBackColor);
    EXPECT_EQ(d.m_crGradientFrom, source.m_crGradientFrom);
    EXPECT_EQ(d.m_crGradientTo, source.m_crGradientTo);
    EXPECT_EQ(d.m_wSettings, source.m_wSettings);
    EXPECT_EQ(d.m_strFontFace, "Tahoma");
    EXPECT_EQ(d.m_crSettingsColor, source.m_crSettingsColor);
    EXPECT_EQ(d.m_BackgroundPicture, source.m_BackgroundPicture);
    EXPECT_EQ(d.m_MediaFile, source.m_MediaFile);
    EXPECT_EQ(d.m_nMediaCentreX, 11);
    EXPECT_EQ(d.m_nMediaCentreY, 22);
    EXPECT_EQ(d.m_nMediaSizeX, 33);
    EXPECT_EQ(d.m_nMediaSizeY, 44);
    EXPECT_EQ(d.m_nMediaFit, 3);
    EXPECT_EQ(d.m_nMediaSizeBase, 5);
    EXPECT_EQ(d.m_bMediaPlayOnce, 1);
    EXPECT_EQ(d.m_Sound, source.m_Sound);
    EXPECT_EQ(d.m_bSoundLoop, 0);
    EXPECT_EQ(d.m_wIgnored, source.m_wIgnored);
    if (v >= 400) {
      EXPECT_EQ(d.m_bExtraPicture, 1);
      EXPECT_EQ(d.m_wExtraA, 2);
      EXPECT_EQ(d.m_wExtraB, 3);
      EXPECT_EQ(d.m_ExtraPicture, source.m_ExtraPicture);
    } else {
      EXPECT_EQ(d.m_bExtraPicture, 0);
      EXPECT_EQ(d.m_wExtraA, 0);
      EXPECT_EQ(d.m_wExtraB, 100);
      EXPECT_EQ(d.m_ExtraPicture, MediaSlot{});
    }

    ASSERT_EQ(d.m_SpriteList.GetCount(), source.m_SpriteList.GetCount());
    for (size_t i = 0; i < d.m_SpriteList.GetCount(); ++i) {
      ExpectSprite(*d.m_SpriteList.GetAt(i), *source.m_SpriteList.GetAt(i), v);
    }
    ASSERT_EQ(d.m_SlideList.GetCount(), 2u);
    for (size_t i = 0; i < 2; ++i) {
      const CSsSlideObject& g = *d.m_SlideList.GetAt(i);
      const CSsSlideObject& w = *source.m_SlideList.GetAt(i);
      EXPECT_EQ(g.m_strText1, w.m_strText1);
      EXPECT_EQ(g.m_strText2, w.m_strText2);
      EXPECT_EQ(g.m_wParam1 + g.m_wParam2 * 10 + g.m_wParam3 * 100 + g.m_wParam4 * 1000, 4321);
      EXPECT_EQ(g.m_SlidePicture, w.m_SlidePicture);
      EXPECT_EQ(g.m_nValue1, -1);
      EXPECT_EQ(g.m_nValue2, 99);
      EXPECT_EQ(g.m_wParam5, 5);
      EXPECT_EQ(g.m_wParam6, 6);
      EXPECT_EQ(g.m_wParam7, 7);
      EXPECT_EQ(g.m_SlideSound, w.m_SlideSound);
      EXPECT_EQ(g.m_wIgnored1, 8);
      EXPECT_EQ(g.m_wIgnored2, 9);
    }

    // What was read writes back to the same bytes.
    EXPECT_EQ(WriteDocument(d, v), bytes);
  }
}

namespace {

bool SameValue(const tools::FieldValue& a, const tools::FieldValue& b) {
  if (a.value.index() != b.value.index()) return false;
  if (const auto* s = std::get_if<const std::string*>(&a.value)) return **s == *std::get<const std::string*>(b.value);
  if (const auto* m = std::get_if<const MediaSlot*>(&a.value)) return **m == *std::get<const MediaSlot*>(b.value);
  return a.value == b.value;
}

// Every field a table names for the version reads back as written.
template <class T>
void ExpectTableFields(const std::vector<tools::Field<T>>& table, const T& got, const T& want, int version) {
  for (const tools::Field<T>& field : table) {
    if (field.since > version) continue;
    EXPECT_TRUE(SameValue(tools::GetField(got, field), tools::GetField(want, field))) << field.key;
  }
}

}  // namespace

// The field tables the tools use drive this check, so a field added to a table is
// round-tripped here without another line.
TEST(DocumentRoundTrip, EveryTableFieldReadsBackInEveryVersion) {
  CScreenSaverDoc source;
  FillDocument(source);
  AddSprites(source);
  for (int v : kVersions) {
    SCOPED_TRACE(v);
    const std::vector<uint8_t> bytes = WriteDocument(source, v);
    CScreenSaverDoc d;
    MemoryCursor in(bytes);
    ASSERT_EQ(ReadDocument(d, in, nullptr), DocumentLoadError::None);
    ExpectTableFields(tools::DocumentFields(), d, source, v);
    ASSERT_EQ(d.m_SpriteList.GetCount(), source.m_SpriteList.GetCount());
    for (size_t i = 0; i < d.m_SpriteList.GetCount(); ++i) {
      const CSprite& got = *d.m_SpriteList.GetAt(i);
      const CSprite& want = *source.m_SpriteList.GetAt(i);
      ASSERT_STREQ(tools::SpriteClassName(got), tools::SpriteClassName(want));
      ExpectTableFields(tools::SpriteFields(), got, want, v);
      if (const auto* g = dynamic_cast<const CPhasedSprite*>(&got))
        ExpectTableFields(tools::PhasedSpriteFields(), *g, dynamic_cast<const CPhasedSprite&>(want), v);
      if (const auto* g = dynamic_cast<const CAnimSprite*>(&got))
        ExpectTableFields(tools::AnimSpriteFields(), *g, dynamic_cast<const CAnimSprite&>(want), v);
    }
    ASSERT_EQ(d.m_SlideList.GetCount(), source.m_SlideList.GetCount());
    for (size_t i = 0; i < d.m_SlideList.GetCount(); ++i)
      ExpectTableFields(tools::SlideFields(), *d.m_SlideList.GetAt(i), *source.m_SlideList.GetAt(i), v);
  }
}

TEST(DocumentRoundTrip, DefaultDocumentAndClassTags) {
  CScreenSaverDoc empty;
  const std::vector<uint8_t> bytes = WriteDocument(empty, 410);
  ASSERT_GE(bytes.size(), 9u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 9), "QVKSV0410");
  // Empty lists: a zero count, the ignored word, and a zero count closing the archive.
  const std::vector<uint8_t> tail = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), bytes.end() - 10));
  CScreenSaverDoc d;
  MemoryCursor in(bytes);
  ASSERT_EQ(ReadDocument(d, in, nullptr), DocumentLoadError::None);
  EXPECT_EQ(d.m_strFontFace, "Arial");
  EXPECT_EQ(d.m_nMediaFit, 1);
  EXPECT_EQ(d.m_wExtraB, 100);

  // The first CAnimSprite is named in full; the second refers to class index 1.
  CScreenSaverDoc two;
  for (int i = 0; i < 2; ++i) {
    auto s = std::make_unique<CAnimSprite>();
    s->m_Picture = Slot("p.bmp");
    two.m_SpriteList.Insert(std::move(s));
  }
  const std::vector<uint8_t> withSprites = WriteDocument(two, 410);
  const std::vector<uint8_t> named = {0xFF, 0xFF, 0, 0, 11, 0, 'C', 'A', 'n', 'i', 'm', 'S',
                                      'p',  'r',  'i', 't', 'e'};
  const auto at = std::search(withSprites.begin(), withSprites.end(), named.begin(), named.end());
  ASSERT_NE(at, withSprites.end());
  const size_t recordBytes = (withSprites.size() - bytes.size() - named.size() - 2) / 2;
  EXPECT_EQ(at[named.size() + recordBytes], 0x01);
  EXPECT_EQ(at[named.size() + recordBytes + 1], 0x80);
}
