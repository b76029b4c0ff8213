// The screen-saver document: design size, background, media file, sound, sprites and
// slides, read from the archive inside the package. One long-lived instance per
// process; the run fills it once and the scene, background and players read it.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/archive_reader.h"
#include "document/document_types.h"
#include "document/slide.h"
#include "document/sprite.h"

namespace qv {

class CScreenSaverDoc {
 public:
  CScreenSaverDoc() = default;
  CScreenSaverDoc(const CScreenSaverDoc&) = delete;
  CScreenSaverDoc& operator=(const CScreenSaverDoc&) = delete;

  // Reads the whole document from a reader at the first byte of the signature, and
  // resolves its media when the reader has services.
  void Serialize(ArchiveReader& ar);
  // Empties the lists, drops the decoded background and the background's bytes.
  void DeleteContents();
  // Takes the picture; a 32-bit one is flattened over white.
  void SetBackgroundPicture(std::unique_ptr<DecodedPicture> picture);

  uint16_t m_wHeaderWord = 0;
  std::string m_strSourceFolder;
  int32_t m_nMissingFiles = 0;
  CSpriteList m_SpriteList;
  CSsSlideObjectList m_SlideList;
  int32_t m_nDesignWidth = 0;
  int32_t m_nDesignHeight = 0;
  int32_t m_nReservedMode = 0;
  std::string m_strTitle;
  std::string m_strNotice;
  std::string m_strAuthor;
  std::string m_strDescription;
  int32_t m_bFastTiming = 1;
  int32_t m_nBackgroundKind = 1;  // 0 picture, 1 gradient, 2 solid colour, 3 desktop
  int32_t m_nDesktopDimming = 0;
  int32_t m_bGradientHorizontal = 0;
  int32_t m_nPictureFit = 0;      // 0 stretch, 1 centre, 2 tile
  int32_t m_bGradientMirrored = 0;
  uint32_t m_crBackColor = 0x000000;
  uint32_t m_crGradientFrom = 0x800000;
  uint32_t m_crGradientTo = 0xFF8000;
  // The settings block: fourteen words, a font face and a colour, carried as read.
  std::array<uint16_t, 14> m_wSettings = {1, 0, 0, 1, 0, 0, 1, 1, 60, 0, 1024, 768, 0, 0};
  std::string m_strFontFace = "Arial";
  uint32_t m_crSettingsColor = 0xFFFFFF;
  MediaSlot m_BackgroundPicture;
  std::unique_ptr<DecodedPicture> m_pBackgroundDib;
  MediaSlot m_MediaFile;
  int32_t m_nMediaCentreX = 320;
  int32_t m_nMediaCentreY = 240;
  int32_t m_nMediaSizeX = 100;
  int32_t m_nMediaSizeY = 100;
  int32_t m_nMediaFit = 1;
  int32_t m_nMediaSizeBase = 0;
  int32_t m_bMediaPlayOnce = 0;
  MediaSlot m_Sound;
  int32_t m_bSoundLoop = 1;
  int32_t m_bExtraPicture = 0;  // these four from version 400 on
  int32_t m_wExtraA = 0;
  int32_t m_wExtraB = 100;
  MediaSlot m_ExtraPicture;
  // The four words between the records that carry no meaning, kept so that a document
  // is written back as it was read.
  std::array<uint16_t, 4> m_wIgnored = {0, 0, 0, 0};

  // True once the load has read m_bFastTiming; the run then copies it to FastTiming.
  bool m_bFastTimingLoaded = false;
};

// The classes a document archive may name.
std::vector<const CRuntimeClass*> DocumentClasses();

// Version from a signature's characters 6 to 9; 0 unless all four are digits.
int ParseDocVersion(const uint8_t signature[9]);

enum class DocumentLoadError {
  None,
  UnexpectedFormat,  // "Unexpected file format."
  FailedToOpen,      // "Failed to open document."
};

// The message a failed load shows; empty for None.
const char* DocumentLoadMessage(DocumentLoadError error);

// Empties the document, reads it from the source through a buffered reader and
// resolves its media through services (none: read only, nothing resolved or dropped).
// On failure the document is emptied again; the fields read before the failure keep
// their values. version (optional) receives the archive's version from its signature,
// 0 when the archive ends before it.
DocumentLoadError ReadDocument(CScreenSaverDoc& doc, ByteCursor& source,
                               DocumentServices* services,
                               size_t bufferSize = ArchiveReader::kBufferSize,
                               int* version = nullptr);

// The archive of a document in the form of the given version (349..410 in the field).
std::vector<uint8_t> WriteDocument(const CScreenSaverDoc& doc, int version = kCurrentDocVersion);

}  // namespace qv
