#include <vector>

#include "base/win32/win32_handles.h"
#include "imaging/dib.h"
#include "imaging/picture_limits.h"
#include "imaging/surface.h"
#include "imaging/win32/imaging_win32.h"

namespace qv {

int DibPaint(HDC dc, const RECT& dest, DibHandle block, const RECT& src, HPALETTE palette) {
  if (!dc || !block) return 0;
  DibLock lock(block);
  DibView v;
  // Only a block whose rows really are inside it goes to GDI.
  if (!lock || !ParseDib(lock.data(), lock.size(), &v) || !v.pixels) return 0;
  HPALETTE previous = nullptr;
  if (palette) {
    previous = SelectPalette(dc, palette, TRUE);
    RealizePalette(dc);
  }
  SetStretchBltMode(dc, COLORONCOLOR);
  const auto* info = reinterpret_cast<const BITMAPINFO*>(lock.data());
  const int dw = dest.right - dest.left, dh = dest.bottom - dest.top;
  const int sw = src.right - src.left, sh = src.bottom - src.top;
  // Bottom-up rows: a source rectangle's origin is counted from the picture's bottom.
  const int sy = v.height - src.bottom;
  int result;
  if (dw == sw && dh == sh) {
    result = SetDIBitsToDevice(dc, dest.left, dest.top, dw, dh, src.left, sy, 0, v.height, v.pixels, info,
                               DIB_RGB_COLORS);
  } else {
    result = StretchDIBits(dc, dest.left, dest.top, dw, dh, src.left, sy, sw, sh, v.pixels, info, DIB_RGB_COLORS,
                           SRCCOPY);
  }
  if (palette && previous) SelectPalette(dc, previous, FALSE);
  return result;
}

DibHandle DibFromBitmap(HBITMAP bitmap, HPALETTE palette) {
  BITMAP bm{};
  if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm)) return nullptr;
  if (bm.bmWidth <= 0 || bm.bmHeight <= 0 || !PictureSizeAllowed(bm.bmWidth, bm.bmHeight)) return nullptr;
  if (!palette) palette = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
  const int depth = bm.bmPlanes * bm.bmBitsPixel;
  const int bits = depth <= 1 ? 1 : depth <= 4 ? 4 : depth <= 8 ? 8 : 24;
  DibHeader h;
  h.biWidth = bm.bmWidth;
  h.biHeight = bm.bmHeight;
  h.biBitCount = static_cast<uint16_t>(bits);
  h.biClrUsed = bits < 15 ? 1u << bits : 0;
  const uint64_t head = kDibHeaderSize + 4ull * h.biClrUsed;

  const WindowDC screen(nullptr);
  const HDC dc = screen.get();
  if (!dc) return nullptr;
  const HPALETTE previous = SelectPalette(dc, palette, FALSE);
  RealizePalette(dc);
  UniqueDib block(DibAlloc(head, true));
  bool ok = false;
  uint64_t image = 0;
  if (block) {
    DibLock lock(block.get());
    if (lock) {
      WriteDibHeader(lock.data(), h);
      auto* info = reinterpret_cast<BITMAPINFO*>(lock.data());
      if (GetDIBits(dc, bitmap, 0, bm.bmHeight, nullptr, info, DIB_RGB_COLORS)) {
        const uint64_t rows = static_cast<uint64_t>(bm.bmHeight) * DibRowBytes(bm.bmWidth, bits);
        image = info->bmiHeader.biSizeImage;
        if (image < rows) image = rows;
        info->bmiHeader.biSizeImage = static_cast<DWORD>(image);
        ok = info->bmiHeader.biBitCount == bits && info->bmiHeader.biCompression == BI_RGB;
      }
    }
  }
  if (ok) {
    DibHandle grown = DibResizeBlock(block.get(), head + image);
    ok = grown != nullptr;
    if (grown) {
      block.release();
      block.reset(grown);
    }
  }
  if (ok) {
    DibLock lock(block.get());
    auto* info = reinterpret_cast<BITMAPINFO*>(lock.data());
    ok = lock && GetDIBits(dc, bitmap, 0, bm.bmHeight, lock.data() + head, info, DIB_RGB_COLORS) == bm.bmHeight;
  }
  SelectPalette(dc, previous, FALSE);
  RealizePalette(dc);
  return ok ? block.release() : nullptr;
}

DibHandle DibFromScreenRect(const RECT& rect) {
  if (IsRectEmpty(&rect)) return nullptr;
  OwnedDC display(CreateDCA("DISPLAY", nullptr, nullptr, nullptr));
  const HDC screen = display.get();
  if (!screen) return nullptr;
  RECT r = rect;
  if (r.left < 0) r.left = 0;
  if (r.top < 0) r.top = 0;
  if (r.right > GetSystemMetrics(SM_CXSCREEN)) r.right = GetSystemMetrics(SM_CXSCREEN);
  if (r.bottom > GetSystemMetrics(SM_CYSCREEN)) r.bottom = GetSystemMetrics(SM_CYSCREEN);
  if (IsRectEmpty(&r)) return nullptr;
  const int w = r.right - r.left, h = r.bottom - r.top;
  const GdiBitmap bitmap(CreateCompatibleBitmap(screen, w, h));
  bool copied = false;
  if (const OwnedDC memory(bitmap ? CreateCompatibleDC(screen) : nullptr); memory) {
    const SelectedObject selected(memory.get(), bitmap.get());  // selected back out before the DC goes
    copied = BitBlt(memory.get(), 0, 0, w, h, screen, r.left, r.top, SRCCOPY) != FALSE;
  }
  // On a palette display the picture's indices mean the current system palette.
  GdiPalette palette;
  int count = GetDeviceCaps(screen, SIZEPALETTE);
  if (count == 0) count = GetDeviceCaps(screen, NUMCOLORS);
  if (copied && count > 0 && count <= 65535) {
    std::vector<BYTE> record(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(record.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = static_cast<WORD>(count);
    GetSystemPaletteEntries(screen, 0, count, lp->palPalEntry);
    palette.reset(CreatePalette(lp));
  }
  display.reset();
  return copied ? DibFromBitmap(bitmap.get(), palette.get()) : nullptr;  // then the palette goes, then the bitmap
}

int DrawSurface(HDC dc, CDibKSV& surface, int x, int y) {
  const bool wasLocked = surface.IsLocked();
  uint8_t* block = surface.Lock();
  if (!dc || !block) return 0;
  const int width = surface.GetWidth(), height = surface.GetHeight();
  const int lines = SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                                      static_cast<UINT>(height), surface.PixelAddress(0, height - 1),
                                      reinterpret_cast<const BITMAPINFO*>(block), DIB_RGB_COLORS);
  if (!wasLocked) surface.Unlock();
  return lines;
}

}  // namespace qv
