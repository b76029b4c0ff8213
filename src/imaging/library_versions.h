// Versions of the picture and compression libraries linked into this build, as shown
// in the configuration dialog and by the tools.
#pragma once
#include <string>

namespace qv {

// "zlib 1.2.13, libpng 1.6.39, libjpeg 62" style text; the numbers come from the
// libraries themselves at run time, not from their headers.
std::string ImagingLibraryVersions();

}  // namespace qv
