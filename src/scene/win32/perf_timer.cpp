#include "scene/win32/perf_timer.h"

namespace qv {

namespace {
int64_t g_frequency = 0;  // counts per second; 1 when the counter is missing
int64_t g_overhead = 0;   // counts a start/read pair costs by itself

void MeasureOnce() {
  if (g_frequency) return;
  LARGE_INTEGER f;
  g_frequency = (QueryPerformanceFrequency(&f) && f.QuadPart > 0) ? f.QuadPart : 1;
  LARGE_INTEGER a, b;
  QueryPerformanceCounter(&a);
  QueryPerformanceCounter(&b);
  g_overhead = b.QuadPart > a.QuadPart ? b.QuadPart - a.QuadPart : 0;
}
}  // namespace

CPerfTimer::CPerfTimer() { MeasureOnce(); }

int64_t CPerfTimer::Now() {
  LARGE_INTEGER now;
  return QueryPerformanceCounter(&now) ? now.QuadPart : 0;
}

void CPerfTimer::Start() { m_nStart = Now(); }

double CPerfTimer::ElapsedMs() const {
  int64_t counts = Now() - m_nStart - g_overhead;
  if (counts < 0) counts = 0;
  return static_cast<double>(counts) * 1000.0 / static_cast<double>(g_frequency);
}

}  // namespace qv
