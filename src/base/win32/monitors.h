// The monitor list of the screen, and RECT from our rectangles.
#pragma once
#include <windows.h>

#include "base/monitor_layout.h"

namespace qv {

// Up to five monitor rectangles, the primary first. The application object keeps the list
// (theApp.MonitorRects), made at its construction and again when a run starts.
MonitorLayout EnumerateMonitors();

inline RECT ToRECT(const Rect32& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

}  // namespace qv
