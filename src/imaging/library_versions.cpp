#include "imaging/library_versions.h"

#include <cstdio>
#include <cstdlib>

#include <png.h>
#include <zlib.h>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace qv {

std::string ImagingLibraryVersions() {
  const png_uint_32 png = png_access_version_number();  // e.g. 10639
  // libjpeg has no run-time version query; its decompressor checks the struct size
  // against the library it was built from, so a tiny create/destroy proves the link.
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);

  char text[96];
  std::snprintf(text, sizeof text, "zlib %s, libpng %u.%u.%u, libjpeg %d", zlibVersion(),
                static_cast<unsigned>(png / 10000), static_cast<unsigned>(png / 100 % 100),
                static_cast<unsigned>(png % 100), JPEG_LIB_VERSION);
  return text;
}

}  // namespace qv
