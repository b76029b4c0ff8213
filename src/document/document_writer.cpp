#include <cstdio>

#include "document/archive_writer.h"
#include "document/screen_saver_doc.h"

namespace qv {

std::vector<uint8_t> WriteDocument(const CScreenSaverDoc& doc, int version) {
  if (version < 0) version = 0;
  if (version > 9999) version = 9999;
  ArchiveWriter ar(version);
  char signature[16];
  std::snprintf(signature, sizeof signature, "QVKSV%04d", version);
  ar.WriteRaw(signature, 9);

  const auto word = [&ar](int32_t v) { ar.WriteWord(static_cast<uint16_t>(v)); };
  const auto dword = [&ar](int32_t v) { ar.WriteDword(static_cast<uint32_t>(v)); };
  word(doc.m_wHeaderWord);
  ar.WriteString(doc.m_strSourceFolder);
  word(doc.m_nDesignWidth);
  word(doc.m_nDesignHeight);
  word(doc.m_nReservedMode);
  ar.WriteString(doc.m_strTitle);
  ar.WriteString(doc.m_strNotice);
  ar.WriteString(doc.m_strAuthor);
  ar.WriteString(doc.m_strDescription);
  for (int32_t v : {doc.m_bFastTiming, doc.m_nBackgroundKind, doc.m_nDesktopDimming,
                    doc.m_bGradientHorizontal, doc.m_nPictureFit, doc.m_bGradientMirrored}) {
    word(v);
  }
  ar.WriteDword(doc.m_crBackColor);
  ar.WriteDword(doc.m_crGradientFrom);
  ar.WriteDword(doc.m_crGradientTo);
  for (int i = 0; i < 4; ++i) ar.WriteWord(doc.m_wSettings[i]);
  ar.WriteString(doc.m_strFontFace);
  ar.WriteWord(doc.m_wSettings[4]);
  ar.WriteWord(doc.m_wSettings[5]);
  ar.WriteDword(doc.m_crSettingsColor);
  for (int i = 6; i < 14; ++i) ar.WriteWord(doc.m_wSettings[i]);

  ar.WriteSlot(doc.m_BackgroundPicture);
  ar.WriteString(doc.m_MediaFile.name);
  for (int32_t v : {doc.m_nMediaCentreX, doc.m_nMediaCentreY, doc.m_nMediaSizeX, doc.m_nMediaSizeY,
                    doc.m_nMediaFit, doc.m_nMediaSizeBase}) {
    dword(v);
  }
  word(doc.m_bMediaPlayOnce);
  ar.WriteWord(doc.m_wIgnored[0]);
  ar.WriteSlotBytes(doc.m_MediaFile);
  ar.WriteWord(doc.m_wIgnored[1]);
  word(doc.m_bSoundLoop);
  ar.WriteSlot(doc.m_Sound);
  if (version >= 400) {
    word(doc.m_bExtraPicture);
    word(doc.m_wExtraA);
    word(doc.m_wExtraB);
    ar.WriteSlot(doc.m_ExtraPicture);
  }
  ar.WriteWord(doc.m_wIgnored[2]);
  ar.WriteDword(static_cast<uint32_t>(doc.m_SpriteList.GetCount()));
  for (size_t i = 0; i < doc.m_SpriteList.GetCount(); ++i) {
    ar.WriteObject(*doc.m_SpriteList.GetAt(i));
  }
  ar.WriteWord(doc.m_wIgnored[3]);
  doc.m_SlideList.Store(ar);
  return ar.TakeBytes();
}

}  // namespace qv
