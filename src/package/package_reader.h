// Reading the package: locating it through the certificate-table pointer and the
// trailer, inflating and parsing the header block, and decoding the compressed blocks.
// Every length is checked against the bytes really present before it is used.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/byte_source.h"
#include "package/package_header.h"

namespace qv {

// The certificate-table pointer's file offset, the part of the file the executable
// image itself occupies, and the pointer's value.
struct ExecutableLayout {
  bool isPe = false;
  bool hasDirectoryEntry = false;  // the optional header has data directory entry 4
  uint64_t pointerOffset = 456;    // where the pointer is read
  uint64_t imageEnd = 0;           // end of headers, sections and symbol table
};
ExecutableLayout InspectExecutable(ByteSource& file);

// Reads the header: fills everything but the final Description (left raw: the caller
// picks its language, see FinishDescription in settings/language.h). Returns a
// PackageErrorCode.
int ReadPackageHeader(ByteSource& file, PackageHeader& out);

// Parses the inflated header's fields in their order. False when a field or string
// would reach past its end.
bool ParseHeaderFields(std::span<const uint8_t> header, PackageHeader& out);

// Splits a stored web-address text at its first bar into the address and the feed list.
void SplitWebAddress(const std::string& stored, PackageHeader& out);

// Inflates a zlib stream of exactly size bytes (size at most cap).
bool InflateExactly(std::span<const uint8_t> stream, uint64_t size, uint64_t cap,
                    std::vector<uint8_t>& out);

// Blocks 2 to 5: "QVZB" (any case), u32 S, then a zlib stream of S bytes.
inline constexpr uint64_t kMaxBlockBytes = 256u << 20;
bool DecodeCompressedBlock(std::span<const uint8_t> block, std::vector<uint8_t>& out);

// Reads block (2 to 5) from the executable and decodes it; false for an absent,
// truncated or damaged block.
bool ReadPackageBlock(ByteSource& file, const PackageHeader& h, PackageBlock block,
                      std::vector<uint8_t>& out);

// A 32-bit process on 64-bit Windows reads the system folder through "\Sysnative\".
std::string RedirectToSysnative(std::string path);

// The file extension of a picture format code, with its dot; empty for unknown codes.
const char* PictureExtension(uint32_t format);

}  // namespace qv
