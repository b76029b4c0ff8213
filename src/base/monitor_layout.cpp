#include "base/monitor_layout.h"

#include <algorithm>
#include <utility>

namespace qv {

namespace {
bool CentreInside(const Rect32& r, const Rect32& area) {
  const int64_t cx = (static_cast<int64_t>(r.left) + r.right) / 2;
  const int64_t cy = (static_cast<int64_t>(r.top) + r.bottom) / 2;
  return cx >= area.left && cx < area.right && cy >= area.top && cy < area.bottom;
}
}  // namespace

MonitorLayout ArrangeMonitors(std::span<const Rect32> enumerated, Rect32 desktop) {
  MonitorLayout layout;
  for (const Rect32& r : enumerated) {
    if (layout.count == kMaxMonitors) break;
    layout.rects[layout.count++] = r;
  }
  if (layout.count > 1) {  // mirrored outputs report the same rectangle twice
    int kept = 0;
    for (int i = 0; i < layout.count; ++i) {
      const auto begin = layout.rects.begin();
      if (std::find(begin, begin + kept, layout.rects[i]) == begin + kept)
        layout.rects[kept++] = layout.rects[i];
    }
    layout.count = kept;
  }
  if (layout.count == 0) {
    layout.rects[0] = desktop;
    layout.count = 1;
    return layout;
  }
  // The primary monitor is the one whose centre lies well inside the desktop window.
  const Rect32 inner{desktop.left + 10, desktop.top + 10, desktop.right - 10, desktop.bottom - 10};
  for (int i = 0; i < layout.count; ++i) {
    if (CentreInside(layout.rects[i], inner)) {
      std::swap(layout.rects[0], layout.rects[i]);
      return layout;
    }
  }
  // The primary monitor was not among the first five: without it the list cannot say
  // where the scene goes, so fall back to the primary screen alone, at full size.
  layout.rects[0] = desktop;
  layout.count = 1;
  return layout;
}

}  // namespace qv
