#include "ui/dialog_gradient.h"

#include "imaging/picture_ops.h"

namespace qv {

uint32_t GradientLineColor(int i, int n, uint32_t from, uint32_t to, bool mirrored) {
  if (!mirrored) return ColorLerp(i, from, to, n);
  const int h = n / 2;
  return i <= h ? ColorLerp(i, from, to, h + 2) : ColorLerp(i - h, to, from, h + 2);
}

}  // namespace qv
