// Writing packages: what the author tools append to a runtime. The reader's exact
// counterpart, kept in the core so that tests and fuzz seeds use the real format.
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qv {

struct ReservedSection {
  uint32_t first = 0, second = 0;  // neither may be 0xFFFFFFFF
  uint16_t a = 0, b = 0;
  std::string texts[4];
};

// Texts are stored exactly as given (Windows-1252). Empty blocks are absent.
struct PackageContents {
  std::string ScrName, CompanyName, RightsLine, WebAddress, Description;
  std::optional<ReservedSection> reserved;  // absent: the pair is all 0xFF bytes
  uint16_t DialogPictureFormat = 0, SplashPictureFormat = 0, FixedPreviewFormat = 0;
  uint16_t NoSplash = 1, SplashSeconds = 0, FixedPreview = 0;
  std::vector<uint8_t> Module, DialogPicture, SplashPicture, FixedPreviewPicture;
  std::vector<uint8_t> Document;
};

// The stored web-address text: the address, and with a feed list a bar, "*" when the
// list is not editable, and the list.
std::string ComposeWebAddress(const std::string& address, const std::optional<std::string>& feeds,
                              bool editable);

// The header block (N, U, zlib stream) for the contents' texts and the given block sizes.
std::vector<uint8_t> EncodeHeaderBlock(const PackageContents& c, uint32_t moduleSize,
                                       uint32_t dialogSize, uint32_t splashSize,
                                       uint32_t previewSize);
// "QVZB", S, zlib stream.
std::vector<uint8_t> EncodeCompressedBlock(std::span<const uint8_t> data);

// The package: header block, present blocks, document. Empty on a size overflow.
std::vector<uint8_t> BuildPackage(const PackageContents& c);

// runtime + padding + package + trailer, padded so that the whole length is a multiple
// of 8: a signer then appends its certificate table right after the trailer. Empty when
// the result would not fit the 32-bit offsets.
std::vector<uint8_t> AppendPackage(std::span<const uint8_t> runtime, std::span<const uint8_t> package);

}  // namespace qv
