#include "base/monitor_layout.h"

#include <gtest/gtest.h>

#include <vector>

using namespace qv;

namespace {
const Rect32 kPrimary{0, 0, 1920, 1080};
const Rect32 kLeft{-1280, 0, 0, 1024};
const Rect32 kRight{1920, 0, 3840, 1080};
}  // namespace

TEST(MonitorLayout, OneMonitorOrNone) {
  const std::vector<Rect32> one{kPrimary};
  MonitorLayout l = ArrangeMonitors(one, kPrimary);
  EXPECT_EQ(l.count, 1);
  EXPECT_EQ(l.rects[0], kPrimary);

  l = ArrangeMonitors({}, kPrimary);  // nothing enumerated: the primary screen alone
  EXPECT_EQ(l.count, 1);
  EXPECT_EQ(l.rects[0], kPrimary);
}

TEST(MonitorLayout, PrimaryMovesToTheFront) {
  const std::vector<Rect32> found{kLeft, kPrimary};
  const MonitorLayout l = ArrangeMonitors(found, kPrimary);
  ASSERT_EQ(l.count, 2);
  EXPECT_EQ(l.rects[0], kPrimary);
  EXPECT_EQ(l.rects[1], kLeft);
}

TEST(MonitorLayout, SwapKeepsTheOthersInPlace) {
  const Rect32 far{3840, 0, 5760, 1080};
  const std::vector<Rect32> found{kLeft, kRight, kPrimary, far};
  const MonitorLayout l = ArrangeMonitors(found, kPrimary);
  ASSERT_EQ(l.count, 4);
  EXPECT_EQ(l.rects[0], kPrimary);
  EXPECT_EQ(l.rects[1], kRight);
  EXPECT_EQ(l.rects[2], kLeft);  // swapped with entry 0, not shifted
  EXPECT_EQ(l.rects[3], far);
}

TEST(MonitorLayout, MirroredOutputsCountOnce) {
  const std::vector<Rect32> found{kPrimary, kRight, kPrimary, kRight, kPrimary};
  const MonitorLayout l = ArrangeMonitors(found, kPrimary);
  ASSERT_EQ(l.count, 2);
  EXPECT_EQ(l.rects[0], kPrimary);
  EXPECT_EQ(l.rects[1], kRight);
}

TEST(MonitorLayout, SixMonitorsKeepTheFirstFive) {
  std::vector<Rect32> found;
  for (int i = 0; i < 6; ++i) found.push_back({i * 1000, 0, i * 1000 + 1000, 800});
  const MonitorLayout l = ArrangeMonitors(found, Rect32{0, 0, 1000, 800});
  ASSERT_EQ(l.count, 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(l.rects[i].left, i * 1000);
}

TEST(MonitorLayout, PrimaryNotAmongTheFirstFive) {
  std::vector<Rect32> found;
  for (int i = 1; i <= 6; ++i) found.push_back({i * 1000, 0, i * 1000 + 1000, 800});
  const Rect32 primary{0, 0, 1000, 800};  // enumerated sixth, so not collected
  found.push_back(primary);
  const MonitorLayout l = ArrangeMonitors(found, primary);
  ASSERT_EQ(l.count, 1);
  EXPECT_EQ(l.rects[0], primary);  // the full primary screen, not a shrunk one
}

TEST(MonitorLayout, CentreMustLieTenPixelsInside) {
  // A monitor whose centre is within the desktop but in its 10-pixel rim is not primary.
  const Rect32 desktop{0, 0, 100, 100};
  const Rect32 rim{-82, 0, 100, 100};  // centre x = 9
  const Rect32 inside{-80, 0, 100, 100};  // centre x = 10
  const std::vector<Rect32> a{rim, desktop};
  EXPECT_EQ(ArrangeMonitors(a, desktop).rects[0], desktop);
  const std::vector<Rect32> b{inside, desktop};
  EXPECT_EQ(ArrangeMonitors(b, desktop).rects[0], inside);
  // Negative centres truncate toward zero: (-3 + 0) / 2 is -1, outside [10, 90).
  const std::vector<Rect32> c{{-3, -3, 0, 0}, desktop};
  EXPECT_EQ(ArrangeMonitors(c, desktop).rects[0], desktop);
}
