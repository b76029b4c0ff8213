// Rendering of scene backgrounds and the preview's scaled back buffer. Each operation
// yields a new packed DIB block of exactly the requested size that the caller owns: 24
// bits for screens of 16 bits and more; the ...8 variants yield 8-bit pictures quantised
// with error diffusion onto the application palette's layout, whose 256 colours they carry.
// Source pictures are never changed. Every operation returns none (or false) for a bit
// count it does not handle, a size that is not positive or beyond the picture limits, or
// when memory runs out; nothing partial is returned.
#pragma once
#include <cstdint>

#include "imaging/imaging_platform.h"

namespace qv {

class CDibKSV;

// Step i of n from `from` to `to` (colour values 0x00BBGGRR), channel by channel with
// integer division: ((n - 1 - i) x from + i x to) / (n - 1). n <= 1 gives `from`.
uint32_t ColorLerp(int i, uint32_t from, uint32_t to, int n);

DibHandle DibSolid(uint32_t colour, int width, int height);
// Horizontal: colour1 at the left edge, colour2 at the right. Vertical: colour1 at the top,
// colour2 at the bottom. Mirrored: colour1 at the edges, colour2 in the middle.
DibHandle DibGradient(uint32_t colour1, uint32_t colour2, int width, int height, bool horizontal, bool mirrored);
// A 1-, 4-, 8-, 15-, 16- (5-6-5), 24- or 32-bit picture scaled to width x height by
// averaging spans of each sampled row; 32-bit pictures are composed over a light
// checkerboard. lighten (0 in this program) pulls every channel halfway to white.
DibHandle DibStretch(DibHandle picture, int width, int height, int lighten);
// A 1-, 4-, 8- or 24-bit picture centred on black, cut around its centre when larger;
// brightness is a percentage applied to every channel (100 leaves them).
DibHandle DibCentre(DibHandle picture, int width, int height, int brightness);
// A 1-, 4-, 8- or 24-bit picture repeated from the bottom-left corner.
DibHandle DibTile(DibHandle picture, int width, int height);
// Copies the source (top-down) into the destination with its top-left corner at (x, y),
// clipped to the destination's right and bottom; x or y below 0 copies nothing. Both
// must have the same bit count, 8, 16, 24 or 32; false otherwise.
bool DibPaste(DibHandle destination, DibHandle source, int x, int y);
// The preview's scaling of a surface block (1, 4, 8, 15, 16 or 24 bits, 16 read as the
// surfaces' 5-5-5; 32 with the fourth byte ignored): each output pixel averages a span of
// the nearest source row.
DibHandle DibScaleSurface(DibHandle surfaceBlock, int width, int height, int lighten);
DibHandle DibScaleSurface(const CDibKSV& surface, int width, int height, int lighten);

// 8-bit variants. Pictures of 1, 4, 8 or 24 bits.
DibHandle DibTo8(DibHandle picture);
DibHandle DibSolid8(uint32_t colour, int width, int height);
DibHandle DibGradient8(uint32_t colour1, uint32_t colour2, int width, int height, bool horizontal, bool mirrored);
DibHandle DibStretch8(DibHandle picture, int width, int height);
// Outside the picture every index is 0 (black); the picture's error does not spill there.
DibHandle DibCentre8(DibHandle picture, int width, int height, int brightness);
DibHandle DibTile8(DibHandle picture, int width, int height);

}  // namespace qv
