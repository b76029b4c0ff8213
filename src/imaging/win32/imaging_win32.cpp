#include "imaging/win32/imaging_win32.h"

#include <vector>

#include "base/win32/win32_handles.h"
#include "imaging/palette.h"
#include "imaging/picture_limits.h"

namespace qv {
namespace {

HGLOBAL Global(DibHandle h) { return reinterpret_cast<HGLOBAL>(h); }

DibHandle GlobalAllocBlock(uint64_t size, bool zeroed) {
  if (size > kMaxBlockBytes || size > static_cast<uint64_t>(SIZE_MAX)) return nullptr;
  return reinterpret_cast<DibHandle>(
      GlobalAlloc(GMEM_MOVEABLE | (zeroed ? GMEM_ZEROINIT : 0), static_cast<SIZE_T>(size ? size : 1)));
}

uint8_t* GlobalLockBlock(DibHandle h) { return static_cast<uint8_t*>(GlobalLock(Global(h))); }
void GlobalUnlockBlock(DibHandle h) { GlobalUnlock(Global(h)); }
uint64_t GlobalBlockSize(DibHandle h) { return GlobalSize(Global(h)); }

DibHandle GlobalResizeBlock(DibHandle h, uint64_t size) {
  if (size > kMaxBlockBytes || size > static_cast<uint64_t>(SIZE_MAX)) return nullptr;
  return reinterpret_cast<DibHandle>(GlobalReAlloc(Global(h), static_cast<SIZE_T>(size ? size : 1), GMEM_MOVEABLE));
}

void GlobalFreeBlock(DibHandle h) { GlobalFree(Global(h)); }

int DesktopDepth() {
  const WindowDC dc(GetDesktopWindow());
  if (!dc) return 0;
  return GetDeviceCaps(dc.get(), PLANES) * GetDeviceCaps(dc.get(), BITSPIXEL);
}

PaletteHandle CreateGdiPalette(const LogicalPalette& palette) {
  const size_t n = palette.entries.size();
  if (n == 0 || n > 65535) return nullptr;
  std::vector<BYTE> record(sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(record.data());
  lp->palVersion = palette.version;
  lp->palNumEntries = static_cast<WORD>(n);
  for (size_t i = 0; i < n; ++i) {
    const PaletteEntry& e = palette.entries[i];
    lp->palPalEntry[i] = {e.red, e.green, e.blue, e.flags};
  }
  return FromHPalette(CreatePalette(lp));
}

void DeleteGdiPalette(PaletteHandle palette) { DeleteObject(ToHPalette(palette)); }

bool GdiPaletteEntries(PaletteHandle palette, std::vector<PaletteEntry>* entries) {
  WORD count = 0;
  if (!palette || !GetObjectA(ToHPalette(palette), sizeof count, &count)) return false;
  std::vector<PALETTEENTRY> raw(count);
  if (count && GetPaletteEntries(ToHPalette(palette), 0, count, raw.data()) != count) return false;
  entries->resize(count);
  for (WORD i = 0; i < count; ++i) (*entries)[i] = {raw[i].peRed, raw[i].peGreen, raw[i].peBlue, raw[i].peFlags};
  return true;
}

int MakeGdiIdentity(PaletteHandle* palette) {
  WindowDC dc(nullptr);
  if (!dc) return 0;
  const int size = GetDeviceCaps(dc.get(), SIZEPALETTE);
  if (!(GetDeviceCaps(dc.get(), RASTERCAPS) & RC_PALETTE) || size != 256) return 0;
  const int colours = GetDeviceCaps(dc.get(), NUMCOLORS);
  // Flushing the system palette this way makes the next realisation start clean.
  SetSystemPaletteUse(dc.get(), SYSPAL_NOSTATIC);
  SetSystemPaletteUse(dc.get(), SYSPAL_STATIC);
  const HPALETTE previous = SelectPalette(dc.get(), ToHPalette(*palette), FALSE);
  RealizePalette(dc.get());
  SelectPalette(dc.get(), previous, FALSE);
  std::vector<PALETTEENTRY> raw(size);
  GetSystemPaletteEntries(dc.get(), 0, size, raw.data());
  dc.reset();
  std::vector<PaletteEntry> entries(size);
  for (int i = 0; i < size; ++i) entries[i] = {raw[i].peRed, raw[i].peGreen, raw[i].peBlue, 0};
  SetIdentityPaletteFlags(entries, colours);
  for (int i = 0; i < size; ++i) raw[i].peFlags = entries[i].flags;
  ResizePalette(ToHPalette(*palette), size);
  SetPaletteEntries(ToHPalette(*palette), 0, size, raw.data());
  return 1;
}

bool LoadModuleResource(const char* type, const char* name, std::vector<uint8_t>* bytes) {
  const HRSRC found = FindResourceA(nullptr, name, type);
  if (!found) return false;
  const HGLOBAL loaded = LoadResource(nullptr, found);
  const DWORD size = SizeofResource(nullptr, found);
  const auto* data = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (!data || size == 0) return false;
  bytes->assign(data, data + size);
  return true;
}

}  // namespace

const ImagingPlatform& Win32ImagingPlatform() {
  static const ImagingPlatform platform = {
      GlobalAllocBlock, GlobalLockBlock,  GlobalUnlockBlock,  GlobalBlockSize,
      GlobalResizeBlock, GlobalFreeBlock, DesktopDepth,       CreateGdiPalette,
      DeleteGdiPalette, GdiPaletteEntries, MakeGdiIdentity,   LoadModuleResource,
  };
  return platform;
}

}  // namespace qv
