// Sprite picture preparation: turns an authored sprite picture (a strip holding every
// animation phase, or a list of phase pictures) into the form Blit draws every frame:
// scaled to the sprite's size percentages, phases stacked, converted to the surface
// depth, the transparent colour replaced by the depth's marker (0x01FFFFFF at 32 bits,
// 0xFFFF at 16, palette index 255 at 8), and an alpha mask for pictures with alpha.
//
// Every routine returns a new block at the surface depth, or none (unsupported bit count,
// failed allocation, a picture that cannot be read); nothing is left allocated on failure.
#pragma once
#include <cstdint>
#include <vector>

#include "imaging/imaging_platform.h"

namespace qv {

class CDIB;

// The transparent colour and how far from it a pixel may be. The colour distance
// |red - keyRed| + |green - keyGreen| + |blue - keyBlue| (0..765) is compared with
// tolerance x 1530 / 100, so tolerance 100 makes every pixel transparent.
struct SpriteKey {
  uint8_t keyRed = 0, keyGreen = 0, keyBlue = 0;
  int tolerance = 0;  // percent, 0..100
  bool keyOn = false;
};

// The mask, when asked for, is width x height bytes of the result, bottom-up rows, no
// padding; it is only made for pictures with alpha (32-bit sources).
using SpriteMask = std::vector<uint8_t>;

DibHandle PrepareStrip8(DibHandle strip, const SpriteKey& key, int widthPercent, int heightPercent,
                        SpriteMask* maskOut, int phaseCount);
DibHandle PrepareStrip16(DibHandle strip, const SpriteKey& key, int widthPercent, int heightPercent,
                         SpriteMask* maskOut, int phaseCount);
DibHandle PrepareStrip32(DibHandle strip, const SpriteKey& key, int widthPercent, int heightPercent,
                         SpriteMask* maskOut, int phaseCount, bool horizontal);

// Phase lists: every phase is taken at the first phase's size; the result stacks them,
// phase 0 at the top. totalHeightOut receives the result's height.
DibHandle PreparePhases8(const std::vector<const CDIB*>& phases, const SpriteKey& key,
                         int* totalHeightOut, int widthPercent, int heightPercent, SpriteMask* maskOut);
DibHandle PreparePhases16(const std::vector<const CDIB*>& phases, const SpriteKey& key,
                          int* totalHeightOut, int widthPercent, int heightPercent, SpriteMask* maskOut);
DibHandle PreparePhases32(const std::vector<const CDIB*>& phases, const SpriteKey& key,
                          int* totalHeightOut, int widthPercent, int heightPercent, SpriteMask* maskOut);

// a x b / c with a 64-bit intermediate, rounded to the nearest integer (halves away from
// zero); -1 when c is 0.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

}  // namespace qv
