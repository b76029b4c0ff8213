#include "ui/description_scroll.h"

namespace qv {

void DescriptionScroll::Start(int textHeight, int boxHeight) {
  ScrollCounter = 0;
  ScrollOffset = textHeight > boxHeight ? 0 : (boxHeight - textHeight) / 2;
}

bool DescriptionScroll::Tick(int textHeight, int innerBoxHeight) {
  if (!Scrolls(textHeight, innerBoxHeight)) return false;
  ++ScrollCounter;
  if (ScrollCounter == -5 || ScrollCounter == 0) {
    ScrollOffset = 0;
    return true;
  }
  if (ScrollCounter > 50) {
    --ScrollOffset;
    if (ScrollOffset + textHeight < innerBoxHeight) {
      // The end came into the box one tick ago: rest there as last painted.
      ScrollCounter = -55;
      return false;
    }
    return true;
  }
  return false;
}

}  // namespace qv
