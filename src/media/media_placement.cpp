#include "media/media_placement.h"

namespace qv {

namespace {

// a * b / c on 32-bit integers: computed wide so that no intermediate overflows, the
// result truncated toward zero and wrapped to 32 bits as the window code would.
int32_t MulDiv32(int64_t a, int64_t b, int64_t c) {
  if (c == 0) return 0;
  return static_cast<int32_t>(a * b / c);
}

struct Size32 {
  int32_t w, h;
};

// Full width first; when that is too tall, full height instead.
Size32 FitInside(int32_t boxW, int32_t boxH, int32_t w, int32_t h) {
  const int32_t height = MulDiv32(h, boxW, w);
  if (height > boxH) return {MulDiv32(w, boxH, h), boxH};
  return {boxW, height};
}

Rect32 At(int32_t left, int32_t top, Size32 s) { return {left, top, left + s.w, top + s.h}; }

}  // namespace

Rect32 FitCentred(int32_t width, int32_t height, int32_t w, int32_t h) {
  if (w <= 0 || h <= 0) return {0, 0, width, height};
  const Size32 s = FitInside(width, height, w, h);
  return At((width - s.w) / 2, (height - s.h) / 2, s);
}

Rect32 PlaceMedia(const MediaPlacement& p, int32_t w, int32_t h) {
  const int32_t A = p.areaWidth, B = p.areaHeight;
  if (w <= 0 || h <= 0) return {0, 0, A, B};
  switch (p.fitMode) {
    case kMediaFitCustom: {
      const int32_t baseW = p.sizeBase == 1 ? A : w;
      const int32_t baseH = p.sizeBase == 1 ? B : h;
      const Size32 s = FitInside(MulDiv32(baseW, p.sizeX, 100), MulDiv32(baseH, p.sizeY, 100), w, h);
      const int32_t cx = MulDiv32(p.centreX, A, 100);
      const int32_t cy = MulDiv32(p.centreY, B, 100);
      return At(cx - s.w / 2, cy - s.h / 2, s);
    }
    case kMediaFitFill: {
      Size32 s{A, MulDiv32(h, A, w)};
      if (s.h < B) s = {MulDiv32(w, B, h), B};
      return At((A - s.w) / 2, (B - s.h) / 2, s);
    }
    default:
      return FitCentred(A, B, w, h);
  }
}

Rect32 ScaleFromPreviewArea(const Rect32& r, int32_t previewWidth, int32_t previewHeight) {
  const int32_t left = MulDiv32(r.left, previewWidth, kPreviewAreaWidth);
  const int32_t top = MulDiv32(r.top, previewHeight, kPreviewAreaHeight);
  const int32_t width = MulDiv32(r.Width(), previewWidth, kPreviewAreaWidth);
  const int32_t height = MulDiv32(r.Height(), previewHeight, kPreviewAreaHeight);
  return {left, top, left + width, top + height};
}

}  // namespace qv
