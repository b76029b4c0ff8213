// The compositing rules of screen-depth surfaces, on raw rows. A surface's rows are
// stored bottom-up: the rectangle is given by the address of its bottom row's first
// pixel, and each further row lies `stride` bytes above. Every combination of depth,
// mask, key and opacity has its own loop, chosen from one table of fast paths (by depth,
// source kind, opacity, background and processor); the results are fixed to the bit by
// integer formulas, and the fast paths are checked against BlitReference exhaustively.
#pragma once
#include <cstdint>

namespace qv {

// Transparent markers of prepared sprite pictures: never produced for visible pixels.
inline constexpr uint16_t kMarker16 = 0xFFFF;
inline constexpr uint32_t kMarker32 = 0x01FFFFFF;
// Below this mask value an 8-bit pixel is transparent.
inline constexpr uint8_t kMaskThreshold8 = 230;
// `key` value meaning "no transparent colour".
inline constexpr int32_t kNoKey = -1;

struct BlitRows {
  int depth = 32;            // 8, 16 or 32
  int width = 0, height = 0;
  uint8_t* dst = nullptr;    // bottom row of the destination rectangle
  int64_t dstStride = 0;
  const uint8_t* src = nullptr;  // bottom row of the source rectangle
  int64_t srcStride = 0;
  const uint8_t* mask = nullptr;  // bottom row of the mask rectangle, or none
  int64_t maskStride = 0;         // the source width: mask rows have no padding
  int32_t key = kNoKey;      // depth 8: low byte is the transparent index
  int opacity = 100;         // 0..100
  bool solidBack = false;    // masked pixels fall back to backColor instead of the destination
  uint32_t backColor = 0;    // 0x00BBGGRR
  // When set, the destination's old pixels are read from here (rows laid out as dst's)
  // and dst only receives the result: compositing over a background and copying it in
  // one pass gives the same pixels as copying first and compositing after.
  const uint8_t* under = nullptr;
  int64_t underStride = 0;
};

// The fast implementation (SIMD where the processor has it).
void BlitPixels(const BlitRows& b);
// The plain per-pixel statement of the rules, kept for the tests and the benchmarks.
void BlitReference(const BlitRows& b);

}  // namespace qv
