// The pseudo-random generator the runtime's scene draws from: the formula and range of
// the Windows C library's rand(), so a seed gives the same scene in the runtime, the
// renderer and any other build, whatever C library it links. Each run owns one.
#pragma once
#include <cstdint>

namespace qv {

class CrtRandom {
 public:
  static constexpr int kMax = 32767;  // RAND_MAX of that library

  // An unseeded generator starts as that library's does, as if seeded with 1.
  explicit CrtRandom(uint32_t seed = 1) : m_state(seed) {}
  void Seed(uint32_t seed) { m_state = seed; }
  // One draw in 0..kMax.
  int Next() {
    m_state = m_state * 214013u + 2531011u;
    return static_cast<int>((m_state >> 16) & 0x7FFF);
  }

 private:
  uint32_t m_state;
};

}  // namespace qv
