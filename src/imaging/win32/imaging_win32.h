// The imaging subsystem's Win32 side: the platform table filled with GlobalAlloc blocks,
// the desktop's colour depth, GDI palettes and the module's resources; and the operations
// that meet the display: drawing a DIB block on a device context, and reading a device
// bitmap or a rectangle of the screen back into a block.
#pragma once
#include <windows.h>

#include "imaging/imaging_platform.h"

namespace qv {

// The Win32 platform table, for the runtime's services.
const ImagingPlatform& Win32ImagingPlatform();

inline HPALETTE ToHPalette(PaletteHandle palette) { return reinterpret_cast<HPALETTE>(palette); }
inline PaletteHandle FromHPalette(HPALETTE palette) { return reinterpret_cast<PaletteHandle>(palette); }

// Draws the source rectangle of the block (picture coordinates, y from the top) into the
// destination rectangle: unscaled when both have the same size, otherwise stretched with
// COLORONCOLOR. With a palette, it is selected as a background palette and realised for
// the call. Returns what GDI returned (scan lines drawn), 0 on failure.
int DibPaint(HDC dc, const RECT& dest, DibHandle block, const RECT& src, HPALETTE palette);

// The bitmap's pixels as a new 1-, 4-, 8- or 24-bit block, through the palette (the
// default palette when none is given). None on any failure.
DibHandle DibFromBitmap(HBITMAP bitmap, HPALETTE palette);

class CDibKSV;
// CDibKSV's Draw: the whole surface, unscaled, at (x, y), colours as RGB values. Returns
// what GDI returned (scan lines drawn), 0 on failure.
int DrawSurface(HDC dc, CDibKSV& surface, int x, int y);

// A capture of a rectangle of the primary screen, clamped to it; none for an empty one.
DibHandle DibFromScreenRect(const RECT& rect);

}  // namespace qv
