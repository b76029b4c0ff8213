// The package appended to a saver executable: its header values (one process-wide
// record, filled when the package is loaded) and where its blocks lie in the file.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace qv {

// Causes of a failed header read, as shown to the user.
enum PackageErrorCode : int {
  kPackageOk = 0,
  kNoCertificatePointer = 1,  // the certificate-table pointer could not be read
  kNoTrailer = 2,             // PackageTrailer could not be read (or lies inside the image)
  kNoHeaderLength = 3,        // N could not be read (PackageStart outside the package area)
  kNoHeaderMemory = 4,        // N is more than a header may take
  kShortHeader = 5,           // the N bytes are not all there
  kBadHeader = 6,             // inflating or parsing the header failed
  kCannotOpen = 7,            // the executable could not be opened
};

// A header, compressed or not, never exceeds this; anything larger is damage.
inline constexpr uint32_t kMaxHeaderBytes = 16u << 20;

// Picture format codes of blocks 3 to 5.
inline constexpr uint32_t kPictureBmp = 0, kPictureJpeg = 1, kPicturePng = 2;

struct PackageHeader {
  std::string ScrName;
  std::string CompanyName;
  std::string RightsLine;                     // cut at its first "|"
  std::string WebAddress;                     // the text before the first "|"
  std::optional<std::string> FeedAddresses;   // after the "|", "*" dropped; none without a bar
  bool FeedListEditable = false;
  std::string Description;                    // raw as read; selected and expanded by the loader
  uint32_t ModuleBlockSize = 0;
  uint32_t DialogPictureSize = 0;
  uint32_t DialogPictureFormat = 0;
  uint32_t SplashPictureSize = 0;
  uint32_t SplashPictureFormat = 0;
  uint32_t NoSplash = 1;
  uint32_t SplashSeconds = 0;
  uint32_t FixedPreviewSize = 0;
  uint32_t FixedPreviewFormat = 0;
  uint32_t FixedPreview = 0;

  // The texts as stored, for the tools that rebuild a package: the rights line before
  // its cut, the web address before its split, and whether the reserved section was
  // present (the reader skips it).
  std::string StoredRightsLine;
  std::string StoredWebAddress;
  bool HasReservedSection = false;

  // Where the package lies in the executable.
  uint32_t PackageStart = 0;
  uint32_t HeaderBlockLength = 0;  // 4 + N
  uint64_t PackageEnd = 0;         // file offset of the trailer: the document ends there
};

enum class PackageBlock { Module, DialogPicture, SplashPicture, FixedPreview, Document };

// File offset of a block (64-bit: the sizes are u32 each and may add up past 4 GiB).
uint64_t BlockOffset(const PackageHeader& h, PackageBlock block);
// Stored length of a block; for the document, what lies between its start and the
// trailer (0 when the blocks already reach past it).
uint64_t BlockLength(const PackageHeader& h, PackageBlock block);

}  // namespace qv
