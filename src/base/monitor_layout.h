// The list of monitor rectangles a full-screen run works with: at most five, no
// repeats, the primary monitor first. The Win32 layer enumerates; this orders.
#pragma once
#include <array>
#include <cstdint>
#include <span>

#include "base/geometry.h"

namespace qv {

inline constexpr int kMaxMonitors = 5;

struct MonitorLayout {
  std::array<Rect32, kMaxMonitors> rects{};
  int count = 0;  // 1 to kMaxMonitors after ArrangeMonitors
};

// enumerated: the monitor rectangles in the system's order (any number; only the first
// five count). desktop: the desktop window's rectangle, i.e. the primary screen.
MonitorLayout ArrangeMonitors(std::span<const Rect32> enumerated, Rect32 desktop);

}  // namespace qv
