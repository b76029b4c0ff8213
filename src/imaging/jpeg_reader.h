// JPEG pictures into packed DIB blocks, through libjpeg. On a 256-colour screen
// (ScreenDepth 8) the picture is quantised by the library's two-pass quantiser to 256
// colours with Floyd-Steinberg dithering into an 8-bit block carrying the quantiser's
// colours; otherwise it becomes a 24-bit block. A library error abandons the picture
// (none is returned); it never ends the process.
#pragma once
#include "imaging/imaging_platform.h"
#include "imaging/picture_source.h"

namespace qv {

enum class JpegOutput { kForScreen, kRgb24, kPalette8 };

// Decodes the JPEG at the source's position. kForScreen picks the form by ScreenDepth.
DibHandle DibReadJpeg(ByteCursor& source, JpegOutput output = JpegOutput::kForScreen);
DibHandle DibLoadJpegFile(const char* path);
// The executable's resource of type "JPEG" with that name ("PREVIEWPIC"); none when the
// executable does not carry it (as for "BACKGROUND").
DibHandle DibLoadJpegResource(const char* name);

}  // namespace qv
