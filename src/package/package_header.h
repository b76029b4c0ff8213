// Values of the package header that the run and the dialogs read. One process-wide
// instance is filled when the package is loaded; until then it holds these defaults.
#pragma once
#include <cstdint>
#include <string>

namespace qv {

struct PackageHeader {
  std::string ScrName;
  std::string CompanyName;
  std::string RightsLine;
  std::string WebAddress;
  std::string FeedAddresses;   // bar-separated list after the web address, may be empty
  bool FeedListEditable = false;
  std::string Description;
  uint32_t ModuleBlockSize = 0;
  uint32_t DialogPictureSize = 0;
  uint16_t DialogPictureFormat = 0;
  uint32_t SplashPictureSize = 0;
  uint16_t SplashPictureFormat = 0;
  bool NoSplash = true;
  uint16_t SplashSeconds = 0;
  uint32_t FixedPreviewSize = 0;
  uint16_t FixedPreviewFormat = 0;
  bool FixedPreview = false;
};

}  // namespace qv
