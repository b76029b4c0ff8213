// Conversion of the archive's 16-bit texts into the 8-bit texts the document holds.
// The portable build converts to Windows-1252; the runtime's services name a converter to
// the thread's ANSI code page (CoreServices::utf16ToAnsi).
#pragma once
#include <cstddef>
#include <string>

#include "imaging/core_services.h"

namespace qv {

// Windows-1252 with '?' for every character the code page lacks (a surrogate pair
// becomes one '?').
std::string Utf16ToWindows1252(const unsigned char* utf16le, size_t count);

// The converter the archive reader uses: the services' one, Utf16ToWindows1252 without.
Utf16ToAnsiFn GetUtf16ToAnsi();

}  // namespace qv
