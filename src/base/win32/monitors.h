// The process's monitor list, enumerated once by the application object and again when
// a run starts.
#pragma once
#include <windows.h>

#include "base/monitor_layout.h"

namespace qv {

// Process-wide: up to five monitor rectangles, the primary first; rebuilt by
// EnumerateMonitors.
extern MonitorLayout MonitorRects;

void EnumerateMonitors();

inline RECT ToRECT(const Rect32& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

}  // namespace qv
