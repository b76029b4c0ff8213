#include "scene/rect_list.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qv;

namespace {
std::vector<Rect32> All(const CRectList& l) { return {l.Rects().begin(), l.Rects().end()}; }
}  // namespace

TEST(RectList, AMovingSpriteDamagesOneMergedRectangle) {
  CRectList l;
  l.AddDamaged({100, 100, 164, 164});  // old position
  l.AddDamaged({105, 100, 169, 164});  // moved by 5 pixels
  EXPECT_EQ(All(l), (std::vector<Rect32>{{100, 100, 169, 164}}));
}

TEST(RectList, OnlyTheNewestRectangleIsComparedOnAdd) {
  CRectList l;
  l.AddDamaged({0, 0, 10, 10});
  l.AddDamaged({50, 50, 60, 60});
  l.AddDamaged({5, 5, 15, 15});  // overlaps the older one only: added at the head
  EXPECT_EQ(l.GetCount(), 3u);
  l.AddDamaged({10, 6, 20, 14});  // touches {0,0,10,10}'s edge, overlaps the head
  EXPECT_EQ(All(l).front(), (Rect32{5, 5, 20, 15}));
  l.AddDamaged({14, 14, 40, 40});  // overlaps the head at a corner: kept apart
  EXPECT_EQ(l.GetCount(), 4u);
  l.RemoveAll();
  l.AddDamaged({0, 0, 10, 10});
  l.AddDamaged({50, 50, 60, 60});
  l.AddDamaged({5, 5, 15, 15});
  l.AddDamaged({});  // empty: ignored
  EXPECT_EQ(l.GetCount(), 3u);
}

TEST(RectList, MergeJoinsOnlyWhereTheUnionCostsNoMoreThanItsParts) {
  CRectList l;
  l.AddDamaged({0, 0, 10, 10});
  l.AddDamaged({100, 0, 110, 10});
  l.MergeDamaged();
  EXPECT_EQ(l.GetCount(), 2u);  // separate areas stay separate
  l.AddDamaged({200, 200, 210, 210});
  l.AddDamaged({5, 5, 105, 8});  // overlaps both, but their union would be 10 times larger
  l.MergeDamaged();
  EXPECT_EQ(l.GetCount(), 4u);
  // A chain along a row merges step by step: each union is smaller than its parts.
  CRectList c;
  c.AddDamaged({0, 0, 10, 10});
  c.AddDamaged({100, 100, 110, 110});
  c.AddDamaged({16, 0, 26, 10});
  c.AddDamaged({8, 0, 18, 10});  // overlaps the head and the first
  c.MergeDamaged();
  EXPECT_EQ(All(c), (std::vector<Rect32>{{0, 0, 26, 10}, {100, 100, 110, 110}}));
  // Two sprites that overlap at a corner stay apart: the union would be mostly empty.
  CRectList d;
  d.AddDamaged({0, 0, 128, 128});
  d.AddDamaged({100, 100, 228, 228});
  d.MergeDamaged();
  EXPECT_EQ(d.GetCount(), 2u);
  // Adjacent rectangles share no pixel and are not merged.
  CRectList a;
  a.AddDamaged({0, 0, 10, 10});
  a.AddDamaged({10, 0, 20, 10});
  a.MergeDamaged();
  EXPECT_EQ(a.GetCount(), 2u);
}
