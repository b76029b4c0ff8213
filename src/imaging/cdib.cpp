#include "imaging/cdib.h"

#include <cctype>

#include "imaging/bmp_codec.h"
#include "imaging/core_services.h"
#include "imaging/dib.h"
#include "imaging/jpeg_reader.h"
#include "imaging/picture_limits.h"
#include "imaging/png_reader.h"

namespace qv {

bool CDIB::s_bNoPaletteOnAttach = false;

namespace {

bool HasColorTable(DibHandle block) {
  DibLock lock(block);
  DibView v;
  return lock && ParseDib(lock.data(), lock.size(), &v) && v.colorCount > 0;
}

bool SameWord(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return i == a.size() && !b[i];
}

}  // namespace

int PictureTypeCode(const std::string& name) {
  if (name.empty()) return 0;
  const size_t dot = name.rfind('.');
  const std::string ext = dot == std::string::npos ? name : name.substr(dot + 1);
  for (const char* e : {"bmp", "dib", "rle"})
    if (SameWord(ext, e)) return kFileTypeBmp;
  for (const char* e : {"jpg", "jpe", "jpeg"})
    if (SameWord(ext, e)) return kFileTypeJpeg;
  if (SameWord(ext, "png")) return kFileTypePng;
  return 0;
}

CDIB::CDIB(const CDIB& other) { *this = other; }

CDIB& CDIB::operator=(const CDIB& other) {
  if (this == &other) return *this;
  m_hDib = DibFree(m_hDib);
  m_hDib = DibDuplicate(other.m_hDib);
  RebuildPalette();
  return *this;
}

CDIB::~CDIB() { DibFree(m_hDib); }

void CDIB::RebuildPalette() {
  if (!HasColorTable(m_hDib)) return;
  m_palette.Attach(DibMakePalette(m_hDib));
}

void CDIB::Attach(DibHandle block) {
  if (block == m_hDib) return;
  DibFree(m_hDib);
  m_hDib = block;
  if (!s_bNoPaletteOnAttach) RebuildPalette();
}

DibHandle CDIB::Detach() {
  DibHandle h = m_hDib;
  m_hDib = nullptr;
  return h;
}

void CDIB::Free() {
  m_hDib = DibFree(m_hDib);
  m_palette.DeleteObject();
}

void CDIB::Replace(DibHandle block) {
  DibFree(m_hDib);
  m_hDib = block;
  RebuildPalette();
}

int CDIB::GetBitCount() const {
  DibLock lock(m_hDib);
  DibView v;
  return lock && ParseDib(lock.data(), lock.size(), &v) ? v.bitCount : 0;
}

int CDIB::GetWidth() const {
  DibLock lock(m_hDib);
  DibView v;
  return lock && ParseDib(lock.data(), lock.size(), &v) ? v.width : 0;
}

int CDIB::GetHeight() const {
  DibLock lock(m_hDib);
  DibView v;
  return lock && ParseDib(lock.data(), lock.size(), &v) ? v.height : 0;
}

int32_t CDIB::GetPixel(int x, int y, int* alpha) const {
  DibLock lock(m_hDib);
  DibView v;
  if (!lock || !ParseDib(lock.data(), lock.size(), &v) || !v.pixels) return -1;
  if (v.bitCount < 8 || x < 0 || y < 0 || x >= v.width || y >= v.height) return -1;
  const uint8_t* p = v.Row(v.height - 1 - y) + static_cast<int64_t>(x) * v.bitCount / 8;
  // The four bytes are read whatever the depth; bytes past the block read as 0.
  const uint8_t* end = lock.data() + lock.size();
  uint8_t b[4] = {};
  for (int i = 0; i < 4 && p + i < end; ++i) b[i] = p[i];
  if (alpha) *alpha = b[3];
  return b[2] | b[1] << 8 | b[0] << 16;
}

bool CDIB::LoadFile(const std::string& path, const std::string& typeName, LoadInfo* info) {
  Free();
  if (info) *info = {};
  if (path.empty() || !IsRegularFile(path.c_str())) return false;
  const int type = PictureTypeCode(typeName.empty() ? path : typeName);
  DibHandle block = nullptr;
  switch (type) {
    case kFileTypeBmp: block = DibLoadBmpFile(path.c_str()); break;
    case kFileTypeJpeg: block = DibLoadJpegFile(path.c_str()); break;
    case kFileTypePng: block = DibLoadPngFile(path.c_str()); break;
    default: return false;
  }
  if (!block) return false;
  {
    DibLock lock(block);
    DibView v;
    if (!lock || !ParseDib(lock.data(), lock.size(), &v)) {
      DibFree(block);
      return false;
    }
    if (info) *info = {static_cast<uint16_t>(type == kFileTypeJpeg ? 24 : v.bitCount), v.width, v.height};
  }
  m_hDib = block;
  RebuildPalette();
  return true;
}

bool CDIB::Serialize(DibArchiveSource& archive) {
  uint8_t word[4];
  if (!archive.Read(word, 4)) return false;
  if (GetU32(word) == 0) {
    Free();
    return true;
  }
  if (!archive.Read(word, 4)) return false;
  const uint32_t size = GetU32(word);
  if (size > kMaxBlockBytes || size > archive.BytesLeft()) return false;
  UniqueDib block(DibAlloc(size, false));
  if (!block) return false;
  {
    DibLock lock(block.get());
    if (!lock) return false;
    for (uint32_t done = 0; done < size;) {
      const uint32_t piece = size - done < 32768 ? size - done : 32768;
      if (!archive.Read(lock.data() + done, piece)) return false;
      done += piece;
    }
    DibView v;
    if (!ParseDib(lock.data(), lock.size(), &v)) {
      // Not a picture we can use: no picture, but the archive reads on.
      Free();
      return true;
    }
  }
  DibFree(m_hDib);
  m_hDib = block.release();
  RebuildPalette();
  return true;
}

bool CDIB::FlattenAlpha(uint32_t colour) {
  if (GetBitCount() < 8) return false;
  DibHandle flat = DibFlattenAlpha(m_hDib, colour);
  if (!flat) return false;
  Replace(flat);
  return true;
}

bool CDIB::KeyToAlpha(bool enable, uint32_t keyColour) {
  const KeyToAlphaOperation keyToAlpha = Services().keyToAlpha;
  if (!m_hDib || !keyToAlpha) return false;
  DibHandle keyed = keyToAlpha(m_hDib, enable, keyColour);
  if (!keyed) return false;
  Replace(keyed);
  return true;
}

bool CDIB::Resample(int width, int height) {
  const ResampleOperation resample = Services().resample;
  if (GetBitCount() <= 23 || !resample) return false;
  DibHandle scaled = resample(m_hDib, width, height);
  if (!scaled) return false;
  Replace(scaled);
  return true;
}

}  // namespace qv
