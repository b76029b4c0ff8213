// CDIB: a picture object holding one packed DIB block and a palette made from its colour
// table, the form in which decoded backgrounds, sprite pictures and phase pictures are
// held. It loads from picture files by extension and from the document archive.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/imaging_platform.h"
#include "imaging/palette.h"

namespace qv {

// What CDIB::LoadFile learnt of the file: the source's bit count (24 for any JPEG), width
// and height; all zero after a failed load.
struct LoadInfo {
  uint16_t bitCount = 0;
  int32_t width = 0;
  int32_t height = 0;
};

// The file-type codes of the pictures LoadFile reads (BMP/DIB/RLE, JPG/JPE/JPEG, PNG),
// taken from the name's extension as the file-type table does; 0 for anything else.
inline constexpr int kFileTypeBmp = 5, kFileTypeJpeg = 12, kFileTypePng = 22;
int PictureTypeCode(const std::string& name);

// What loading a CDIB needs from the document archive.
class DibArchiveSource {
 public:
  virtual ~DibArchiveSource() = default;
  // Exactly n bytes, or false.
  virtual bool Read(void* dst, size_t n) = 0;
  virtual uint64_t BytesLeft() const = 0;
};

class CDIB {
 public:
  CDIB() = default;
  CDIB(const CDIB& other);
  CDIB& operator=(const CDIB& other);
  virtual ~CDIB();

  // Loading only (pictures are never stored). A u32 flag; 0 means no picture. Otherwise
  // a u32 byte count and that many bytes of packed DIB block. False when the archive
  // ends early or the count is absurd; a block that is not a usable picture leaves the
  // object empty but the archive correctly positioned.
  virtual bool Serialize(DibArchiveSource& archive);

  // Frees the current block and takes ownership of this one; rebuilds the palette when
  // the new block has a colour table (unless s_bNoPaletteOnAttach is set).
  void Attach(DibHandle block);
  // Gives up the block without freeing it.
  DibHandle Detach();
  // Frees the block and deletes the palette.
  void Free();

  DibHandle GetHandle() const { return m_hDib; }
  const CPalette& GetPalette() const { return m_palette; }
  bool IsEmpty() const { return m_hDib == nullptr; }
  int GetBitCount() const;
  int GetWidth() const;
  int GetHeight() const;
  // For blocks of 8 bits and more (meant for 32): colour red | green << 8 | blue << 16
  // from bytes 2, 1, 0 of the pixel and byte 3 as alpha; y from the top. -1 when the
  // block cannot be locked or the pixel is outside the picture.
  int32_t GetPixel(int x, int y, int* alpha = nullptr) const;

  // Frees the current block, then reads the file by the extension of typeName (or of
  // path when typeName is empty). The object then holds the picture, or is empty. info,
  // when given, receives what the load learnt of the file.
  bool LoadFile(const std::string& path, const std::string& typeName = std::string(),
                LoadInfo* info = nullptr);

  // These replace the block when the conversion succeeds and keep it otherwise.
  // Soft keying and resampling are operations of the surface code, which the installed
  // services name (CoreServices::keyToAlpha, ::resample); without them these two keep
  // the block and return false.
  bool FlattenAlpha(uint32_t colour);
  bool KeyToAlpha(bool enable, uint32_t keyColour);
  bool Resample(int width, int height);

  // Set while the sprite copy copies phase pictures: Attach then leaves the palette.
  static bool s_bNoPaletteOnAttach;


 private:
  void RebuildPalette();
  void Replace(DibHandle block);

  DibHandle m_hDib = nullptr;
  CPalette m_palette;
};

}  // namespace qv
