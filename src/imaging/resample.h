// Resampling, cropping and soft colour keying of packed DIB blocks. The input block is
// never changed or freed; every result is a new block the caller owns, or none when the
// bit count is not handled, a size is absurd or memory runs out.
#pragma once
#include <cstdint>

#include "imaging/imaging_platform.h"

namespace qv {

// Scales a 24- or 32-bit picture to width x height (same bit count): an area average with
// integer accumulators when both sides shrink, bilinear otherwise. Transparent pixels
// (alpha below 8) borrow the colour of their visible neighbours first, so that they do
// not darken the edges of what is visible.
DibHandle DibResample(DibHandle block, int width, int height);

// The rectangle left..right, top..bottom (inclusive, y from the top) of an 8-, 24- or
// 32-bit picture, clamped to the picture. An 8-bit result carries 256 colours.
DibHandle DibCrop(DibHandle block, int left, int top, int right, int bottom);

// A 32-bit copy of a 1-, 4-, 8-, 24- or 32-bit picture with an alpha channel (255, or the
// picture's own for 32 bits). With keyOn, pixels near keyColour (0x00BBGGRR) in hue and
// lightness are made transparent with soft edges.
DibHandle DibKeyToAlpha(DibHandle block, bool keyOn, uint32_t keyColour);

// Hue, lightness and saturation of a colour whose components are in [0, 1]. Hue 0 and 1
// are both red. Black leaves hue and saturation 0, greys leave hue 0.
struct Hls {
  double hue = 0, lightness = 0, saturation = 0;
};
Hls RgbToHls(double red, double green, double blue);

}  // namespace qv
