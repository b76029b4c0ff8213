// Stopwatch over the high-resolution counter. The frequency and the cost of a
// start/read pair are measured once per process; the cost is subtracted.
#pragma once
#include <windows.h>

#include <cstdint>

namespace qv {

class CPerfTimer {
 public:
  CPerfTimer();
  virtual ~CPerfTimer() = default;
  virtual void Lock() {}
  virtual void Unlock() {}

  void Start();              // reset and start counting
  double ElapsedMs() const;  // elapsed time, without stopping

 private:
  static int64_t Now();
  int64_t m_nStart = 0;
};

}  // namespace qv
