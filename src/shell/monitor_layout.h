// The list of monitor rectangles a full-screen run works with: at most five, no
// repeats, the primary monitor first. The Win32 layer enumerates; this orders.
#pragma once
#include <array>
#include <cstdint>
#include <span>

namespace qv {

struct Rect32 {
  int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool operator==(const Rect32&) const = default;
};

inline constexpr int kMaxMonitors = 5;

struct MonitorLayout {
  std::array<Rect32, kMaxMonitors> rects{};
  int count = 0;  // 1 to kMaxMonitors after ArrangeMonitors
};

// enumerated: the monitor rectangles in the system's order (any number; only the first
// five count). desktop: the desktop window's rectangle, i.e. the primary screen.
MonitorLayout ArrangeMonitors(std::span<const Rect32> enumerated, Rect32 desktop);

}  // namespace qv
