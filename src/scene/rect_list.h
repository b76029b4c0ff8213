// CRectList: the scene's damaged rectangles, waiting to be recomposed and transferred.
// New damage is merged into the newest rectangle when the two overlap; before a flush
// all overlapping rectangles are merged so that no area is drawn twice in a tick.
#pragma once
#include <list>

#include "base/geometry.h"

namespace qv {

// True when the rectangles share at least one pixel (touching edges do not count).
bool Overlaps(const Rect32& a, const Rect32& b);
// The smallest rectangle holding both; an empty one adds nothing.
Rect32 Union(const Rect32& a, const Rect32& b);

class CRectList {
 public:
  // Only the first (newest) rectangle is compared: overlapping it widens it, otherwise
  // the rectangle is added at the head. Empty rectangles are ignored.
  void AddDamaged(const Rect32& rect);
  // Repeats until stable: a rectangle overlapping a later one absorbs it, and the scan
  // starts again from the head.
  void MergeDamaged();
  void RemoveAll() { m_rects.clear(); }

  bool IsEmpty() const { return m_rects.empty(); }
  size_t GetCount() const { return m_rects.size(); }
  const std::list<Rect32>& Rects() const { return m_rects; }

 private:
  std::list<Rect32> m_rects;
};

}  // namespace qv
