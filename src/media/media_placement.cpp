#include "media/media_placement.h"

#include <algorithm>
#include <climits>

namespace qv {

namespace {

constexpr int64_t kInt32Min = INT32_MIN, kInt32Max = INT32_MAX;
// Far beyond any coordinate, far below what a sum of a few of them could overflow.
constexpr int64_t kWideLimit = int64_t{1} << 50;

// a * b / c, truncating. Operands taken to 32 bits cannot overflow the 64-bit product; a
// result beyond 32 bits only ever ends up clamped to the coordinate range.
int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
  if (c == 0) return 0;
  const int64_t q = std::clamp(a, kInt32Min, kInt32Max) * std::clamp(b, kInt32Min, kInt32Max) / c;
  return std::clamp(q, -kWideLimit, kWideLimit);
}

struct Size64 {
  int64_t w, h;
};

// Full width first; when that is too tall, full height instead.
Size64 FitInside(int64_t boxW, int64_t boxH, int64_t w, int64_t h) {
  const int64_t height = MulDiv(h, boxW, w);
  if (height > boxH) return {MulDiv(w, boxH, h), boxH};
  return {boxW, height};
}

int32_t ClampCoord(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, kMediaCoordMin, kMediaCoordMax)); }

// A size below zero shows nothing.
Rect32 At(int64_t left, int64_t top, Size64 s) {
  return {ClampCoord(left), ClampCoord(top), ClampCoord(left + std::max<int64_t>(s.w, 0)),
          ClampCoord(top + std::max<int64_t>(s.h, 0))};
}

}  // namespace

Rect32 FitCentred(int32_t width, int32_t height, int32_t w, int32_t h) {
  if (w <= 0 || h <= 0) return At(0, 0, {width, height});
  const Size64 s = FitInside(width, height, w, h);
  return At((int64_t{width} - s.w) / 2, (int64_t{height} - s.h) / 2, s);
}

Rect32 PlaceMedia(const MediaPlacement& p, int32_t w, int32_t h) {
  const int64_t A = p.areaWidth, B = p.areaHeight;
  if (w <= 0 || h <= 0) return At(0, 0, {A, B});
  switch (p.fitMode) {
    case kMediaFitCustom: {
      const int64_t baseW = p.sizeBase == 1 ? A : w;
      const int64_t baseH = p.sizeBase == 1 ? B : h;
      const Size64 s = FitInside(MulDiv(baseW, p.sizeX, 100), MulDiv(baseH, p.sizeY, 100), w, h);
      const int64_t cx = MulDiv(p.centreX, A, 100);
      const int64_t cy = MulDiv(p.centreY, B, 100);
      return At(cx - s.w / 2, cy - s.h / 2, s);
    }
    case kMediaFitFill: {
      Size64 s{A, MulDiv(h, A, w)};
      if (s.h < B) s = {MulDiv(w, B, h), B};
      return At((A - s.w) / 2, (B - s.h) / 2, s);
    }
    default:
      return FitCentred(p.areaWidth, p.areaHeight, w, h);
  }
}

Rect32 ScaleFromPreviewArea(const Rect32& r, int32_t previewWidth, int32_t previewHeight) {
  const int64_t left = MulDiv(r.left, previewWidth, kPreviewAreaWidth);
  const int64_t top = MulDiv(r.top, previewHeight, kPreviewAreaHeight);
  const int64_t width = MulDiv(int64_t{r.right} - r.left, previewWidth, kPreviewAreaWidth);
  const int64_t height = MulDiv(int64_t{r.bottom} - r.top, previewHeight, kPreviewAreaHeight);
  return At(left, top, {width, height});
}

}  // namespace qv
