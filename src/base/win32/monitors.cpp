#include "base/win32/monitors.h"

#include <vector>

#include "base/win32/win32_handles.h"

namespace qv {

namespace {
BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
  auto* rects = reinterpret_cast<std::vector<Rect32>*>(data);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoA(monitor, &info)) {
    const RECT& r = info.rcMonitor;
    rects->push_back(Rect32{r.left, r.top, r.right, r.bottom});
  }
  return TRUE;  // always enumerate to the end
}

}  // namespace

MonitorLayout EnumerateMonitors() {
  std::vector<Rect32> found;
  EnumDisplayMonitors(WindowDC(nullptr).get(), nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&found));
  RECT desktop{};
  GetWindowRect(GetDesktopWindow(), &desktop);
  return ArrangeMonitors(found, Rect32{desktop.left, desktop.top, desktop.right, desktop.bottom});
}

}  // namespace qv
