// Conversion of the archive's 16-bit texts into the 8-bit texts the document holds.
// The portable build converts to Windows-1252; the Win32 layer installs a converter to
// the thread's ANSI code page before it loads a document.
#pragma once
#include <cstddef>
#include <string>

namespace qv {

// Converts count UTF-16LE code units (2 × count bytes, little-endian) into 8-bit text.
using Utf16ToAnsiFn = std::string (*)(const unsigned char* utf16le, size_t count);

// Windows-1252 with '?' for every character the code page lacks (a surrogate pair
// becomes one '?').
std::string Utf16ToWindows1252(const unsigned char* utf16le, size_t count);

// The converter the archive reader uses; Utf16ToWindows1252 until one is installed.
Utf16ToAnsiFn GetUtf16ToAnsi();
void SetUtf16ToAnsi(Utf16ToAnsiFn fn);

}  // namespace qv
