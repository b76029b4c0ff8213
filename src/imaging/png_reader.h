// PNG pictures into packed DIB blocks, through libpng, row by row (interlaced pictures
// included): 16-bit samples are stripped to 8, 2-bit pictures widened to 8, transparency
// becomes an alpha channel, colour pictures come out blue-green-red. Palette and grey
// pictures stay 1, 4 or 8 bits with their colours in the table; colour pictures become
// 24 bits, or 32 with alpha. A library error abandons the picture (none is returned).
#pragma once
#include "imaging/imaging_platform.h"
#include "imaging/picture_source.h"

namespace qv {

DibHandle DibReadPng(ByteCursor& source);
DibHandle DibLoadPngFile(const char* path);

}  // namespace qv
