// CRectList: the scene's damaged rectangles, waiting to be recomposed and transferred.
// Two overlapping rectangles are merged only when their union costs no more to redraw
// than the two apart (its area is at most the sum of theirs): a sprite's old and new
// positions become one rectangle, but neighbouring sprites do not snowball into a
// rectangle covering half the screen. Where rectangles still overlap, that area is
// recomposed twice; composition starts from the background each time, so the pixels
// are the same.
#pragma once
#include <cstdint>
#include <list>

#include "base/geometry.h"

namespace qv {

// True when the rectangles share at least one pixel (touching edges do not count).
bool Overlaps(const Rect32& a, const Rect32& b);
// The smallest rectangle holding both; an empty one adds nothing.
Rect32 Union(const Rect32& a, const Rect32& b);
// Whether a and b (overlapping) are better redrawn as their union.
bool WorthMerging(const Rect32& a, const Rect32& b);

class CRectList {
 public:
  // Only the first (newest) rectangle is compared: when the two overlap and are worth
  // merging it is widened, otherwise the rectangle is added at the head. Empty
  // rectangles are ignored.
  void AddDamaged(const Rect32& rect);
  // Repeats until stable: a rectangle absorbs every later one it overlaps and is worth
  // merging with.
  void MergeDamaged();
  void RemoveAll() { m_rects.clear(); }

  bool IsEmpty() const { return m_rects.empty(); }
  size_t GetCount() const { return m_rects.size(); }
  const std::list<Rect32>& Rects() const { return m_rects; }

 private:
  std::list<Rect32> m_rects;
};

}  // namespace qv
