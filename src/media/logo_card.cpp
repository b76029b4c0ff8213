#include "media/logo_card.h"

namespace qv {

namespace {
Rect32 Shrink(const Rect32& r, int32_t dx, int32_t dy) { return {r.left + dx, r.top + dy, r.right - dx, r.bottom - dy}; }
}  // namespace

LogoCardLayout LayoutLogoCard(int32_t width, int32_t height, bool hasRightsLine) {
  LogoCardLayout layout;
  layout.card = {0, 0, width, height};
  layout.innerFrame = Shrink(layout.card, 1, 1);
  const Rect32 text = Shrink(layout.card, 10, 4);
  if (hasRightsLine) {
    Rect32 r = Shrink(text, 5, 4);
    r.bottom = r.top + 27;
    layout.name = r;
    layout.rights = {r.left, r.top + 29, r.right, r.bottom + 29};
  } else {
    layout.name = Shrink(text, 5, 15);
  }
  return layout;
}

Rect32 CentreOnMonitor(int32_t monitorWidth, int32_t monitorHeight, int32_t width, int32_t height) {
  const int32_t left = (monitorWidth - width) / 2;
  const int32_t top = (monitorHeight - height) / 2;
  return {left, top, left + width, top + height};
}

}  // namespace qv
