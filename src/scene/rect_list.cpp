#include "scene/rect_list.h"

#include <algorithm>

namespace qv {

bool Overlaps(const Rect32& a, const Rect32& b) {
  return !a.IsEmpty() && !b.IsEmpty() && a.left < b.right && b.left < a.right && a.top < b.bottom &&
         b.top < a.bottom;
}

Rect32 Union(const Rect32& a, const Rect32& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return Rect32{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

void CRectList::AddDamaged(const Rect32& rect) {
  if (rect.IsEmpty()) return;
  if (!m_rects.empty() && Overlaps(m_rects.front(), rect)) {
    m_rects.front() = Union(m_rects.front(), rect);
    return;
  }
  m_rects.push_front(rect);
}

void CRectList::MergeDamaged() {
  bool changed = true;
  while (changed) {
    changed = false;
    for (auto p = m_rects.begin(); p != m_rects.end() && !changed; ++p) {
      for (auto q = std::next(p); q != m_rects.end(); ++q) {
        if (Overlaps(*p, *q)) {
          *p = Union(*p, *q);
          m_rects.erase(q);
          changed = true;  // start again from the head
          break;
        }
      }
    }
  }
}

}  // namespace qv
