// Where a full-screen media window goes: the fit modes over the monitor (or the 640 x 480
// preview scene), the rescale into the preview window, and the centred fit of a video
// inside its window. Multiplication first, division truncating; the arithmetic is wide,
// so that hostile document values cannot overflow it, and every coordinate is clamped
// to the range window positions and sizes travel in (16-bit words in WM_MOVE, WM_SIZE).
#pragma once
#include <cstdint>

#include "base/geometry.h"

namespace qv {

enum MediaFitMode : int32_t { kMediaFitInside = 0, kMediaFitCustom = 1, kMediaFitFill = 2 };

struct MediaPlacement {
  int32_t fitMode = kMediaFitInside;
  int32_t sizeBase = 0;  // custom size: 0 of the media's size, 1 of the area's
  int32_t centreX = 50, centreY = 50;  // percent of the area
  int32_t sizeX = 100, sizeY = 100;    // percent of the base
  int32_t areaWidth = 0, areaHeight = 0;
};

inline constexpr int32_t kMediaCoordMin = -32768;
inline constexpr int32_t kMediaCoordMax = 32767;

inline constexpr int32_t kPreviewAreaWidth = 640;
inline constexpr int32_t kPreviewAreaHeight = 480;

// The media window's rectangle in area coordinates for media of mediaWidth x
// mediaHeight. Media without a size fill the area.
Rect32 PlaceMedia(const MediaPlacement& placement, int32_t mediaWidth, int32_t mediaHeight);

// A rectangle of the 640 x 480 preview scene in the preview window's coordinates.
Rect32 ScaleFromPreviewArea(const Rect32& rect, int32_t previewWidth, int32_t previewHeight);

// w x h fitted inside width x height keeping its shape (full width first, else full
// height), centred: the video layout and fit mode 0.
Rect32 FitCentred(int32_t width, int32_t height, int32_t w, int32_t h);

}  // namespace qv
