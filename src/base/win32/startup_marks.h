// Wall-clock marks of a run's start-up (WinMain entered, document loaded, first frame
// shown), kept so the frame-time diagnostic can tell how long the saver took from the
// creation of its process to its first frame. Recording a mark costs one clock read and
// no allocation; nothing is written anywhere unless the diagnostic asks for it. The marks
// are process-wide state, kept inside startup_marks.cpp.
#pragma once
#include <cstdio>

namespace qv {

// Records that the named stage was reached now. Only the first mark of each name counts,
// and at most kMaxStartupMarks are kept. name must outlive the process (a literal).
void MarkStartup(const char* name);

constexpr int kMaxStartupMarks = 12;

// Writes the marks as comment lines: "# process-start-unix-ms=<creation time, ms since
// 1970>" and then "# <name>-ms=<ms after the process's creation>" per mark, in the order
// they were taken. Writes nothing when the creation time is unknown.
void WriteStartupMarks(std::FILE* file);

}  // namespace qv
