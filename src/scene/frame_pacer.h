// Pacing of the full-screen frame loop: frame n is due at n x P milliseconds from the
// start, and a loop that fell more than two periods behind skips the missed frames.
#pragma once
#include <cstdint>

namespace qv {

class FramePacer {
 public:
  explicit FramePacer(double periodMs) : m_dPeriodMs(periodMs) {}

  // After a tick: when more than two frames late, jump to the frame due now.
  void CatchUp(double elapsedMs) {
    if (elapsedMs > static_cast<double>(m_nFrame + 2) * m_dPeriodMs)
      m_nFrame = static_cast<int64_t>(elapsedMs) / static_cast<int64_t>(m_dPeriodMs);
  }
  bool MustWait(double elapsedMs) const { return elapsedMs < DueMs(); }
  void Advance() { ++m_nFrame; }

  double DueMs() const { return static_cast<double>(m_nFrame) * m_dPeriodMs; }
  int64_t Frame() const { return m_nFrame; }

 private:
  double m_dPeriodMs;
  int64_t m_nFrame = 1;
};

inline constexpr double kFastFramePeriodMs = 14.0;
inline constexpr double kNormalFramePeriodMs = 50.0;

}  // namespace qv
