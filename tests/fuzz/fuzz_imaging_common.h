// What the imaging fuzz targets do with a picture once a reader accepted it: every query
// and conversion a later stage of the saver might run on it.
#pragma once
#include <cstdint>

#include "imaging/cdib.h"
#include "imaging/dib.h"

namespace qv::fuzz {

inline void ExercisePicture(DibHandle block) {
  int w = 0, h = 0;
  {
    DibLock lock(block);
    DibView v;
    if (!lock || !ParseDib(lock.data(), lock.size(), &v)) return;
    w = v.width;
    h = v.height;
  }
  // Whole-picture conversions only on pictures of a size the fuzzer can afford often.
  if (static_cast<int64_t>(w) * h <= (1 << 20)) {
    DibFree(DibToRgb24(block));
    DibFree(DibFlattenAlpha(block, 0x00FFFFFF));
    DibFree(DibFlattenAlpha(block, 0xFF000000));
    DibFree(DibDuplicate(block));
    DibHasAlpha(block);
  }
  for (int y : {0, h / 2, h - 1})
    for (int x : {0, w / 2, w - 1}) DibGetPixelRgb(block, x, y);
  LogicalPalette palette;
  DibLogicalPalette(block, &palette);
  CDIB dib;
  dib.Attach(DibDuplicate(block));
  dib.GetPixel(w - 1, 0);
}

}  // namespace qv::fuzz
