// Points and rectangles in signed 32-bit pixel coordinates, shared by every subsystem.
// Rectangles are half-open: right and bottom are exclusive.
#pragma once
#include <algorithm>
#include <cstdint>

namespace qv {

struct Point32 {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const Point32&) const = default;
};

struct Rect32 {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool operator==(const Rect32&) const = default;
};

// The common part of two rectangles; empty (all zero) when they do not overlap.
inline Rect32 Intersect(const Rect32& a, const Rect32& b) {
  const Rect32 r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
  return r.IsEmpty() ? Rect32{} : r;
}

}  // namespace qv
