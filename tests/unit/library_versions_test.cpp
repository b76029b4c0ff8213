#include "imaging/library_versions.h"

#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

TEST(LibraryVersions, ReportsTheLinkedLibraries) {
  const std::string text = qv::ImagingLibraryVersions();
  EXPECT_NE(text.find(std::string("zlib ") + zlibVersion()), std::string::npos) << text;
  EXPECT_NE(text.find("libpng 1.6."), std::string::npos) << text;
  EXPECT_NE(text.find("libjpeg "), std::string::npos) << text;
}
