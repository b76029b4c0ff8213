#include "base/win32/startup_marks.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "base/win32/win32_handles.h"

namespace qv {

namespace {

struct StartupMark {
  const char* name;
  uint64_t time;  // FILETIME units: 100 ns since 1601
};

StartupMark Marks[kMaxStartupMarks];
int MarkCount = 0;

uint64_t FromFileTime(const FILETIME& t) { return (uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime; }

// The system's wall clock, precise where the system offers it (Windows 8 and later; the
// plain clock ticks in 10 to 16 ms steps on older systems).
uint64_t WallClockNow() {
  using PreciseFn = void(WINAPI*)(LPFILETIME);
  static const PreciseFn precise =
      ProcAddress<PreciseFn>(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime");
  FILETIME now{};
  if (precise) precise(&now);
  else GetSystemTimeAsFileTime(&now);
  return FromFileTime(now);
}

constexpr uint64_t kUnixEpoch = 116444736000000000ull;  // 1970-01-01 in FILETIME units

double Milliseconds(uint64_t ticks) { return static_cast<double>(ticks) / 10000.0; }

}  // namespace

void MarkStartup(const char* name) {
  if (MarkCount >= kMaxStartupMarks) return;
  for (int i = 0; i < MarkCount; ++i)
    if (std::strcmp(Marks[i].name, name) == 0) return;
  Marks[MarkCount++] = StartupMark{name, WallClockNow()};
}

void WriteStartupMarks(std::FILE* file) {
  FILETIME creation{}, exit{}, kernel{}, user{};
  if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user)) return;
  const uint64_t created = FromFileTime(creation);
  if (created < kUnixEpoch) return;
  std::fprintf(file, "# process-start-unix-ms=%.3f\n", Milliseconds(created - kUnixEpoch));
  for (int i = 0; i < MarkCount; ++i) {
    // A mark before the creation time would be a clock step; it is shown as negative.
    const double ms = Marks[i].time >= created ? Milliseconds(Marks[i].time - created)
                                               : -Milliseconds(created - Marks[i].time);
    std::fprintf(file, "# %s-ms=%.3f\n", Marks[i].name, ms);
  }
}

}  // namespace qv
