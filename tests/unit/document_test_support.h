// Builders shared by the document tests: packed pictures, a decoder that accepts them,
// and documents whose every field differs from its default.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/archive_writer.h"
#include "document/plain_services.h"
#include "document/screen_saver_doc.h"

namespace qvtest {

// A packed DIB block with a 40-byte header, a full (black) colour table up to 8 bits,
// and zeroed rows.
inline std::vector<uint8_t> MakeDib(int32_t w, int32_t h, uint16_t bits) {
  const uint32_t stride = ((bits * static_cast<uint32_t>(w) + 31) / 32) * 4;
  const size_t table = bits <= 8 ? (size_t{1} << bits) * 4 : 0;
  std::vector<uint8_t> b(40 + table + static_cast<size_t>(stride) * h, 0);
  auto put32 = [&b](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(0, 40);
  put32(4, static_cast<uint32_t>(w));
  put32(8, static_cast<uint32_t>(h));
  b[12] = 1;
  b[14] = static_cast<uint8_t>(bits);
  return b;
}

// Services whose "files" decode when they are packed DIB blocks.
inline void UseDibDecoder(qv::PlainDocumentServices& services) {
  services.m_decode = [](const std::vector<uint8_t>& bytes, const std::string&) {
    if (bytes.size() < 40 || bytes[0] != 40) return std::unique_ptr<qv::DecodedPicture>();
    return std::make_unique<qv::DecodedPicture>(bytes);
  };
}

inline qv::MediaSlot Slot(const std::string& name, std::vector<uint8_t> bytes = {}) {
  return qv::MediaSlot{name, std::move(bytes)};
}

// Fills a sprite of any class with values that differ from every default.
inline void FillSprite(qv::CSprite& s, int seed) {
  s.m_strName = "sprite" + std::to_string(seed);
  s.m_strComment = std::string(300, 'c');  // the WORD string form
  s.m_nX = -100 - seed;
  s.m_nY = 200;
  s.m_nZ = 7;
  s.m_nHotX = 50;
  s.m_nHotY = 25;
  s.m_nScaleX = 60;
  s.m_nScaleY = 70;
  s.m_nKeyRed = 255;
  s.m_nKeyGreen = 1;
  s.m_nKeyBlue = 2;
  s.m_nKeyTolerance = 9;
  s.m_bTransparent = 0;
  s.m_nOpacity = 40;
  s.m_nSpareWord = 3;
  s.m_bFitScreen = 1;
  s.m_bSolidBack = 1;
  s.m_crSolidBack = 0x123456;
  s.m_bRandomStart = 1;
  s.m_nSpare1 = 11;
  s.m_nSpare2 = 12;
  s.m_Picture = Slot("pic.bmp", MakeDib(8, 6, 24));
  s.m_nPictureFileSize = 1234;
  s.m_bPictureEmbedded = 1;
  s.m_nCollisionGroup = 4;
  s.m_SoundCollide = Slot("hit.wav", {1, 2, 3});
  s.m_SoundBounceX = Slot("bx.wav", {4});
  s.m_SoundBounceY = Slot("by.wav", {5, 6});
  s.m_bCollisionMoves = 0;
  if (auto* p = dynamic_cast<qv::CPhasedSprite*>(&s)) {
    p->m_nPhaseCount = 3;
    p->m_nPhaseSpeed = 22;
    p->m_PhaseDurations = {10, 20, 30};
    p->m_bHorizontalStrip = 1;
  }
  if (auto* a = dynamic_cast<qv::CAnimSprite*>(&s)) {
    a->m_dVx = -35;
    a->m_dVy = 12;
    a->m_nMotion = 2;
    a->m_nEdgeMode = 1;
    a->m_bRandomSpeed = 1;
    a->m_nRandomVx = 5;
    a->m_nRandomVy = -6;
  }
}

inline void FillDocument(qv::CScreenSaverDoc& d) {
  d.m_wHeaderWord = 0xBEEF;
  d.m_strSourceFolder = "C:\\Authoring\\";
  d.m_nDesignWidth = 1440;
  d.m_nDesignHeight = 900;
  d.m_nReservedMode = 2;
  d.m_strTitle = "Title";
  d.m_strNotice = "(c) \xA9 notice";
  d.m_strAuthor = "Author";
  d.m_strDescription = std::string(70000, 'd');  // the DWORD string form
  d.m_bFastTiming = 0;
  d.m_nBackgroundKind = 0;
  d.m_nDesktopDimming = 3;
  d.m_bGradientHorizontal = 1;
  d.m_nPictureFit = 2;
  d.m_bGradientMirrored = 1;
  d.m_crBackColor = 0x010203;
  d.m_crGradientFrom = 0x040506;
  d.m_crGradientTo = 0x070809;
  for (size_t i = 0; i < d.m_wSettings.size(); ++i) d.m_wSettings[i] = static_cast<uint16_t>(100 + i);
  d.m_strFontFace = "Tahoma";
  d.m_crSettingsColor = 0x0A0B0C;
  d.m_BackgroundPicture = Slot("back.bmp", MakeDib(4, 4, 24));
  d.m_MediaFile = Slot("movie.mp4", {9, 9, 9, 9});
  d.m_nMediaCentreX = 11;
  d.m_nMediaCentreY = 22;
  d.m_nMediaSizeX = 33;
  d.m_nMediaSizeY = 44;
  d.m_nMediaFit = 3;
  d.m_nMediaSizeBase = 5;
  d.m_bMediaPlayOnce = 1;
  d.m_Sound = Slot("music.wav", {7, 7});
  d.m_bSoundLoop = 0;
  d.m_bExtraPicture = 1;
  d.m_wExtraA = 2;
  d.m_wExtraB = 3;
  d.m_ExtraPicture = Slot("extra.png", {1});
  d.m_wIgnored = {1, 2, 3, 4};
}

}  // namespace qvtest
