#include "document/screen_saver_doc.h"

#include <cctype>
#include <new>

namespace qv {

namespace {

// The smallest sprite record: a tag word and a CSprite record of the oldest version
// with empty texts and slots.
constexpr uint32_t kMinSpriteBytes = 2 + 2 + 7 * 4 + 5 * 2 + 2 * 2 + 1 + 4 + 2 + 4 + 2 + 3 * 5 + 2;

}  // namespace

std::vector<const CRuntimeClass*> DocumentClasses() {
  return {&CSprite::classCSprite, &CPhasedSprite::classCPhasedSprite,
          &CAnimSprite::classCAnimSprite, &CSsSlideObject::classCSsSlideObject};
}

int ParseDocVersion(const uint8_t signature[9]) {
  int version = 0;
  for (int i = 5; i < 9; ++i) {
    if (signature[i] < '0' || signature[i] > '9') return 0;
    version = version * 10 + (signature[i] - '0');
  }
  return version;
}

void CScreenSaverDoc::DeleteContents() {
  m_SpriteList.DeleteAll();
  m_SlideList.RemoveAll();
  m_pBackgroundDib.reset();
  m_BackgroundPicture.ReleaseBytes();
}

void CScreenSaverDoc::SetBackgroundPicture(std::unique_ptr<DecodedPicture> picture) {
  m_pBackgroundDib = std::move(picture);
  if (m_pBackgroundDib && m_pBackgroundDib->GetBitCount() == 32) {
    m_pBackgroundDib->FlattenAlpha(0xFFFFFF);
  }
}

void CScreenSaverDoc::Serialize(ArchiveReader& ar) {
  DocumentServices* services = ar.Services();
  m_nMissingFiles = 0;

  uint8_t signature[9];
  ar.ReadRaw(signature, sizeof signature);
  ar.SetVersion(ParseDocVersion(signature));

  m_wHeaderWord = ar.ReadWord();
  m_strSourceFolder = ar.ReadString();
  m_nDesignWidth = ar.ReadWord();
  m_nDesignHeight = ar.ReadWord();
  m_nReservedMode = ar.ReadWord();
  if (m_nReservedMode > 2) m_nReservedMode = 0;
  m_strTitle = ar.ReadString();
  m_strNotice = ar.ReadString();
  m_strAuthor = ar.ReadString();
  m_strDescription = ar.ReadString();
  m_bFastTiming = ar.ReadWord();
  m_bFastTimingLoaded = true;
  m_nBackgroundKind = ar.ReadWord();
  m_nDesktopDimming = ar.ReadWord();
  m_bGradientHorizontal = ar.ReadWord();
  m_nPictureFit = ar.ReadWord();
  m_bGradientMirrored = ar.ReadWord();
  m_crBackColor = ar.ReadDword();
  m_crGradientFrom = ar.ReadDword();
  m_crGradientTo = ar.ReadDword();
  for (int i = 0; i < 4; ++i) m_wSettings[i] = ar.ReadWord();
  m_strFontFace = ar.ReadString();
  m_wSettings[4] = ar.ReadWord();
  m_wSettings[5] = ar.ReadWord();
  m_crSettingsColor = ar.ReadDword();
  for (int i = 6; i < 14; ++i) m_wSettings[i] = ar.ReadWord();

  ar.ReadSlot(m_BackgroundPicture);
  if (services && m_BackgroundPicture.IsEmbedded()) {
    // The services decode the embedded bytes (the saver through a temporary file of the
    // replacing form).
    std::unique_ptr<DecodedPicture> picture = services->DecodePictureBytes(
        m_BackgroundPicture.bytes, m_BackgroundPicture.name, TempFileForm::Replacing);
    if (picture && !picture->IsEmpty()) {
      SetBackgroundPicture(std::move(picture));
    } else {
      m_BackgroundPicture.Clear();
      m_nBackgroundKind = 1;
    }
  }

  m_MediaFile.name = ar.ReadString();
  m_nMediaCentreX = static_cast<int32_t>(ar.ReadDword());
  m_nMediaCentreY = static_cast<int32_t>(ar.ReadDword());
  m_nMediaSizeX = static_cast<int32_t>(ar.ReadDword());
  m_nMediaSizeY = static_cast<int32_t>(ar.ReadDword());
  m_nMediaFit = static_cast<int32_t>(ar.ReadDword());
  m_nMediaSizeBase = static_cast<int32_t>(ar.ReadDword());
  m_bMediaPlayOnce = ar.ReadWord();
  m_wIgnored[0] = ar.ReadWord();
  ar.ReadSlotBytes(m_MediaFile);
  if (services) {
    if (DropMissingExternal(m_MediaFile, *services, /*keepAddresses=*/true)) ++m_nMissingFiles;
    if (!services->MediaFilesSupported()) m_MediaFile.name.clear();
  }

  m_wIgnored[1] = ar.ReadWord();
  m_bSoundLoop = ar.ReadWord();
  ar.ReadSlot(m_Sound);
  if (services && DropMissingExternal(m_Sound, *services)) ++m_nMissingFiles;

  if (ar.Version() >= 400) {
    m_bExtraPicture = ar.ReadWord();
    m_wExtraA = ar.ReadWord();
    m_wExtraB = ar.ReadWord();
    ar.ReadSlot(m_ExtraPicture);
    if (services) DropMissingExternal(m_ExtraPicture, *services);  // not counted
  }

  m_wIgnored[2] = ar.ReadWord();
  const uint32_t sprites = ar.ReadListCount(kMinSpriteBytes);
  for (uint32_t i = 0; i < sprites; ++i) {
    std::unique_ptr<CObject> object = ar.ReadObject(&CSprite::classCSprite);
    m_SpriteList.Insert(std::unique_ptr<CSprite>(static_cast<CSprite*>(object.release())));
  }
  m_wIgnored[3] = ar.ReadWord();
  m_SlideList.Serialize(ar);

  // Missing references of the sprites add up; sprites without a picture are dropped,
  // the others keep their order.
  for (size_t i = 0; i < m_SpriteList.GetCount();) {
    CSprite* sprite = m_SpriteList.GetAt(i);
    m_nMissingFiles += sprite->m_nMissing;
    if (sprite->m_nStatus == 1) {
      m_SpriteList.Remove(sprite);
    } else {
      ++i;
    }
  }
}

const char* DocumentLoadMessage(DocumentLoadError error) {
  switch (error) {
    case DocumentLoadError::UnexpectedFormat: return "Unexpected file format.";
    case DocumentLoadError::FailedToOpen: return "Failed to open document.";
    case DocumentLoadError::None: break;
  }
  return "";
}

DocumentLoadError ReadDocument(CScreenSaverDoc& doc, ByteCursor& source,
                               DocumentServices* services, size_t bufferSize, int* version) {
  doc.DeleteContents();
  DocumentLoadError error = DocumentLoadError::None;
  if (version) *version = 0;
  try {
    ArchiveReader ar(source, DocumentClasses(), services, bufferSize);
    ar.SetVersion(0);  // until the signature is read
    try {
      doc.Serialize(ar);
    } catch (...) {
      if (version) *version = ar.Version();
      throw;
    }
    if (version) *version = ar.Version();
  } catch (const ArchiveFailure& failure) {
    error = failure.kind == ArchiveFailureKind::Format ? DocumentLoadError::UnexpectedFormat
                                                       : DocumentLoadError::FailedToOpen;
  } catch (const std::bad_alloc&) {
    error = DocumentLoadError::FailedToOpen;
  }
  if (error != DocumentLoadError::None) doc.DeleteContents();
  return error;
}

}  // namespace qv
