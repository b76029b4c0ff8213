#include "scene/rect_list.h"

#include <algorithm>

namespace qv {

namespace {

int64_t Area(const Rect32& r) { return r.IsEmpty() ? 0 : int64_t{r.Width()} * r.Height(); }

}  // namespace

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

bool WorthMerging(const Rect32& a, const Rect32& b) {
  return Overlaps(a, b) && Area(Union(a, b)) <= Area(a) + Area(b);
}

void CRectList::AddDamaged(const Rect32& rect) {
  if (rect.IsEmpty()) return;
  if (!m_rects.empty() && WorthMerging(m_rects.front(), rect)) {
    m_rects.front() = Union(m_rects.front(), rect);
    return;
  }
  m_rects.push_front(rect);
}

void CRectList::MergeDamaged() {
  bool changed = true;
  while (changed) {
    changed = false;
    for (auto p = m_rects.begin(); p != m_rects.end(); ++p) {
      // p may grow: look at the rest again until it takes nothing more.
      for (bool grew = true; grew;) {
        grew = false;
        for (auto q = std::next(p); q != m_rects.end();) {
          if (WorthMerging(*p, *q)) {
            *p = Union(*p, *q);
            q = m_rects.erase(q);
            grew = changed = true;
          } else {
            ++q;
          }
        }
      }
    }
  }
}

}  // namespace qv
