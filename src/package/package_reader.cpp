#include "package/package_reader.h"

#include <zlib.h>

#include <cstring>
#include <limits>

#include "base/byte_reader.h"

namespace qv {

namespace {

constexpr uint32_t kNoReservedSection = 0xFFFFFFFF;

// Inflates stream into at most limit bytes; out holds what the complete stream gave.
// A stream that is damaged, cut short or longer than limit fails.
bool InflateAtMost(std::span<const uint8_t> stream, uint64_t limit, std::vector<uint8_t>& out) {
  out.clear();
  if (stream.size() > std::numeric_limits<uInt>::max() || limit > std::numeric_limits<uInt>::max())
    return false;
  out.resize(static_cast<size_t>(limit) + 1);  // one spare byte: a stream that goes on fails
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(limit);
  const int rc = inflate(&z, Z_FINISH);
  const uint64_t produced = z.total_out;
  inflateEnd(&z);
  if (rc != Z_STREAM_END) {
    out.clear();
    return false;
  }
  out.resize(static_cast<size_t>(produced));
  return true;
}

uint16_t ReadU16(ByteSource& f, uint64_t offset, bool& ok) {
  uint8_t b[2] = {0, 0};
  if (!ReadExactly(f, offset, b, 2)) ok = false;
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}

uint32_t ReadU32(ByteSource& f, uint64_t offset, bool& ok) {
  uint32_t v = 0;
  if (!ReadU32At(f, offset, v)) ok = false;
  return v;
}

}  // namespace

ExecutableLayout InspectExecutable(ByteSource& f) {
  ExecutableLayout layout;
  uint8_t mz[2] = {0, 0};
  bool ok = ReadExactly(f, 0, mz, 2) && mz[0] == 'M' && mz[1] == 'Z';
  const uint64_t pe = ok ? ReadU32(f, 0x3C, ok) : 0;
  uint8_t sig[4] = {0, 0, 0, 0};
  if (!ok || !ReadExactly(f, pe, sig, 4) || std::memcmp(sig, "PE\0\0", 4) != 0) return layout;

  // An executable header of any layout: the pointer is the first dword of data
  // directory entry 4, wherever this header's optional header puts it.
  const uint16_t sections = ReadU16(f, pe + 6, ok);
  const uint32_t symbolTable = ReadU32(f, pe + 12, ok);
  const uint32_t symbolCount = ReadU32(f, pe + 16, ok);
  const uint16_t optionalSize = ReadU16(f, pe + 20, ok);
  const uint64_t opt = pe + 24;
  const uint16_t magic = ReadU16(f, opt, ok);
  if (!ok || (magic != 0x10B && magic != 0x20B)) return layout;
  layout.isPe = true;
  const uint64_t countAt = magic == 0x10B ? opt + 92 : opt + 108;
  const uint64_t directories = countAt + 4;
  const uint32_t directoryCount = ReadU32(f, countAt, ok);
  const uint64_t entry = directories + 4 * 8;
  layout.hasDirectoryEntry = ok && directoryCount > 4 && entry + 8 <= opt + optionalSize;
  layout.pointerOffset = entry;

  // The image: headers, the raw data of every section and a COFF symbol table with its
  // string table. A package never starts inside it.
  uint64_t end = ReadU32(f, opt + 60, ok);  // SizeOfHeaders
  const uint64_t table = opt + optionalSize;
  for (uint32_t i = 0; i < sections && ok; ++i) {
    const uint32_t rawSize = ReadU32(f, table + 40 * i + 16, ok);
    const uint32_t rawPointer = ReadU32(f, table + 40 * i + 20, ok);
    if (rawSize && uint64_t{rawPointer} + rawSize > end) end = uint64_t{rawPointer} + rawSize;
  }
  if (ok && symbolTable) {
    const uint64_t strings = uint64_t{symbolTable} + uint64_t{symbolCount} * 18;
    bool stringsOk = true;
    const uint32_t stringBytes = ReadU32(f, strings, stringsOk);
    const uint64_t symbolsEnd = strings + (stringsOk ? stringBytes : 0);
    if (symbolsEnd > end) end = symbolsEnd;
  }
  layout.imageEnd = ok ? end : 0;
  return layout;
}

int ReadPackageHeader(ByteSource& file, PackageHeader& out) {
  const ExecutableLayout layout = InspectExecutable(file);
  const uint64_t size = file.Size();

  uint32_t pointer = 0;
  if (!layout.isPe || layout.hasDirectoryEntry) {
    if (!ReadU32At(file, layout.pointerOffset, pointer)) return kNoCertificatePointer;
  }
  uint64_t trailer = 0;
  if (pointer == 0) {
    if (size < 4) return kNoTrailer;
    trailer = size - 4;
  } else {
    if (pointer < 4 || pointer > size) return kNoTrailer;
    trailer = uint64_t{pointer} - 4;
  }
  // A trailer inside the executable image means nothing was appended.
  uint32_t start = 0;
  if (trailer < layout.imageEnd || !ReadU32At(file, trailer, start)) return kNoTrailer;

  uint32_t n = 0;
  if (start < layout.imageEnd || uint64_t{start} + 4 > trailer || !ReadU32At(file, start, n))
    return kNoHeaderLength;
  if (n > kMaxHeaderBytes) return kNoHeaderMemory;
  if (uint64_t{start} + 4 + n > trailer) return kShortHeader;
  std::vector<uint8_t> block(n);
  if (!ReadExactly(file, uint64_t{start} + 4, block.data(), n)) return kShortHeader;

  if (n < 4) return kBadHeader;
  ByteReader r(block);
  const uint32_t u = r.U32();
  if (u > kMaxHeaderBytes) return kBadHeader;
  std::vector<uint8_t> header;
  if (!InflateAtMost(std::span<const uint8_t>(block).subspan(4), u, header)) return kBadHeader;

  PackageHeader h;
  if (!ParseHeaderFields(header, h)) return kBadHeader;
  h.PackageStart = start;
  h.HeaderBlockLength = n + 4;
  h.PackageEnd = trailer;
  out = std::move(h);
  return kPackageOk;
}

bool ParseHeaderFields(std::span<const uint8_t> header, PackageHeader& out) {
  ByteReader r(header);
  r.U32();  // length of the rest; the fields carry their own lengths
  out.ScrName = r.LengthPrefixedString();
  const uint32_t reservedA = r.U32();
  const uint32_t reservedB = r.U32();
  out.HasReservedSection = reservedA != kNoReservedSection && reservedB != kNoReservedSection;
  if (out.HasReservedSection) {
    r.U16();
    r.U16();
    for (int i = 0; i < 4; ++i) r.LengthPrefixedString();
  }
  out.CompanyName = r.LengthPrefixedString();
  out.StoredRightsLine = r.LengthPrefixedString();
  out.RightsLine = out.StoredRightsLine.substr(0, out.StoredRightsLine.find('|'));
  out.StoredWebAddress = r.LengthPrefixedString();
  SplitWebAddress(out.StoredWebAddress, out);
  out.Description = r.LengthPrefixedString();
  out.ModuleBlockSize = r.U32();
  out.DialogPictureSize = r.U32();
  out.DialogPictureFormat = r.U16();
  out.SplashPictureSize = r.U32();
  out.SplashPictureFormat = r.U16();
  out.NoSplash = r.U16();
  out.SplashSeconds = r.U16();
  out.FixedPreviewSize = r.U32();
  out.FixedPreviewFormat = r.U16();
  out.FixedPreview = r.U16();
  // A reserved u16 follows; nothing reads it, so a header that ends before it is whole.
  return r.ok();
}

void SplitWebAddress(const std::string& stored, PackageHeader& out) {
  const size_t bar = stored.find('|');
  out.FeedListEditable = false;
  if (bar == std::string::npos) {
    out.WebAddress = stored;
    out.FeedAddresses.reset();
    return;
  }
  out.WebAddress = stored.substr(0, bar);
  std::string feeds = stored.substr(bar + 1);
  if (!feeds.empty() && feeds[0] == '*') {
    feeds.erase(0, 1);
  } else {
    out.FeedListEditable = true;
  }
  out.FeedAddresses = std::move(feeds);
}

bool InflateExactly(std::span<const uint8_t> stream, uint64_t size, uint64_t cap,
                    std::vector<uint8_t>& out) {
  if (size > cap) return false;
  if (!InflateAtMost(stream, size, out) || out.size() != size) {
    out.clear();
    return false;
  }
  return true;
}

bool DecodeCompressedBlock(std::span<const uint8_t> block, std::vector<uint8_t>& out) {
  out.clear();
  if (block.size() < 8) return false;
  static constexpr char kMagic[] = "QVZB";
  for (int i = 0; i < 4; ++i) {
    const uint8_t c = block[static_cast<size_t>(i)];
    const uint8_t upper = (c >= 'a' && c <= 'z') ? static_cast<uint8_t>(c - 'a' + 'A') : c;
    if (upper != static_cast<uint8_t>(kMagic[i])) return false;
  }
  ByteReader r(block.subspan(4, 4));
  const uint64_t s = r.U32();
  const auto stream = block.subspan(8);
  // zlib expands at most about 1032 to 1: a larger S is a lie, refused before allocating.
  if (s > uint64_t{stream.size()} * 1032 + 64) return false;
  return InflateExactly(stream, s, kMaxBlockBytes, out);
}

uint64_t BlockOffset(const PackageHeader& h, PackageBlock block) {
  uint64_t offset = uint64_t{h.PackageStart} + h.HeaderBlockLength;
  if (block == PackageBlock::Module) return offset;
  offset += h.ModuleBlockSize;
  if (block == PackageBlock::DialogPicture) return offset;
  offset += h.DialogPictureSize;
  if (block == PackageBlock::SplashPicture) return offset;
  offset += h.SplashPictureSize;
  if (block == PackageBlock::FixedPreview) return offset;
  return offset + h.FixedPreviewSize;
}

uint64_t BlockLength(const PackageHeader& h, PackageBlock block) {
  switch (block) {
    case PackageBlock::Module: return h.ModuleBlockSize;
    case PackageBlock::DialogPicture: return h.DialogPictureSize;
    case PackageBlock::SplashPicture: return h.SplashPictureSize;
    case PackageBlock::FixedPreview: return h.FixedPreviewSize;
    case PackageBlock::Document: {
      const uint64_t start = BlockOffset(h, block);
      return h.PackageEnd > start ? h.PackageEnd - start : 0;
    }
  }
  return 0;
}

bool ReadPackageBlock(ByteSource& file, const PackageHeader& h, PackageBlock block,
                      std::vector<uint8_t>& out) {
  out.clear();
  const uint64_t length = BlockLength(h, block);
  const uint64_t offset = BlockOffset(h, block);
  // Incompressible data grows a little under zlib; allow for that above the data cap.
  if (block == PackageBlock::Document || length == 0 || length > kMaxBlockBytes + (1u << 20) ||
      offset + length > h.PackageEnd)
    return false;
  std::vector<uint8_t> stored(static_cast<size_t>(length));
  if (!ReadExactly(file, offset, stored.data(), stored.size())) return false;
  return DecodeCompressedBlock(stored, out);
}

std::string RedirectToSysnative(std::string path) {
  static constexpr std::string_view kSysnative = "\\Sysnative\\";
  for (const std::string_view from : {std::string_view("\\System32\\"), std::string_view("\\system32\\")}) {
    for (size_t at = path.find(from); at != std::string::npos; at = path.find(from, at + kSysnative.size()))
      path.replace(at, from.size(), kSysnative);
  }
  return path;
}

const char* PictureExtension(uint32_t format) {
  switch (format) {
    case kPictureBmp: return ".bmp";
    case kPictureJpeg: return ".jpg";
    case kPicturePng: return ".png";
    default: return "";
  }
}

}  // namespace qv
