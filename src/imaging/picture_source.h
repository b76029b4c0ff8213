// Where the picture decoders read their bytes from: a ByteCursor (base/byte_source.h)
// over a file or a block of memory. The decoders never see a path; the file layer (the
// Dib*File functions) sits on top of them, and the tests and fuzzers feed them memory.
#pragma once
#include "base/byte_source.h"

namespace qv {

// Whether the path names an existing regular file (a directory does not count).
bool IsRegularFile(const char* path);

}  // namespace qv
