#include "package/package_writer.h"

#include <zlib.h>

#include "base/byte_reader.h"

namespace qv {

namespace {

void PutString(std::string& out, const std::string& text) {
  // Stored with its terminating zero; an embedded zero would end the text early.
  PutU32(out, static_cast<uint32_t>(text.size() + 1));
  out += text;
  out.push_back('\0');
}

std::vector<uint8_t> Deflate(std::span<const uint8_t> data) {
  uLongf bound = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> out(bound);
  if (compress2(out.data(), &bound, data.data(), static_cast<uLong>(data.size()), 9) != Z_OK) return {};
  out.resize(bound);
  return out;
}

void Append(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void AppendU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

std::string ComposeWebAddress(const std::string& address, const std::optional<std::string>& feeds,
                              bool editable) {
  if (!feeds) return address;
  return address + "|" + (editable ? "" : "*") + *feeds;
}

std::vector<uint8_t> EncodeHeaderBlock(const PackageContents& c, uint32_t moduleSize,
                                       uint32_t dialogSize, uint32_t splashSize,
                                       uint32_t previewSize) {
  std::string fields;
  PutString(fields, c.ScrName);
  if (c.reserved) {
    PutU32(fields, c.reserved->first);
    PutU32(fields, c.reserved->second);
    PutU16(fields, c.reserved->a);
    PutU16(fields, c.reserved->b);
    for (const auto& t : c.reserved->texts) PutString(fields, t);
  } else {
    PutU32(fields, 0xFFFFFFFF);
    PutU32(fields, 0xFFFFFFFF);
  }
  PutString(fields, c.CompanyName);
  PutString(fields, c.RightsLine);
  PutString(fields, c.WebAddress);
  PutString(fields, c.Description);
  PutU32(fields, moduleSize);
  PutU32(fields, dialogSize);
  PutU16(fields, c.DialogPictureFormat);
  PutU32(fields, splashSize);
  PutU16(fields, c.SplashPictureFormat);
  PutU16(fields, c.NoSplash);
  PutU16(fields, c.SplashSeconds);
  PutU32(fields, previewSize);
  PutU16(fields, c.FixedPreviewFormat);
  PutU16(fields, c.FixedPreview);
  PutU16(fields, 0);  // reserved

  std::string header;
  PutU32(header, static_cast<uint32_t>(fields.size()));  // the rest after this field
  header += fields;
  const auto stream = Deflate({reinterpret_cast<const uint8_t*>(header.data()), header.size()});
  std::vector<uint8_t> block;
  AppendU32(block, static_cast<uint32_t>(stream.size() + 4));
  AppendU32(block, static_cast<uint32_t>(header.size()));
  Append(block, stream);
  return block;
}

std::vector<uint8_t> EncodeCompressedBlock(std::span<const uint8_t> data) {
  std::vector<uint8_t> block = {'Q', 'V', 'Z', 'B'};
  AppendU32(block, static_cast<uint32_t>(data.size()));
  Append(block, Deflate(data));
  return block;
}

std::vector<uint8_t> BuildPackage(const PackageContents& c) {
  auto encode = [](const std::vector<uint8_t>& data) {
    return data.empty() ? std::vector<uint8_t>{} : EncodeCompressedBlock(data);
  };
  const auto module = encode(c.Module), dialog = encode(c.DialogPicture),
             splash = encode(c.SplashPicture), preview = encode(c.FixedPreviewPicture);
  for (const auto* b : {&module, &dialog, &splash, &preview, &c.Document})
    if (b->size() > 0xFFFFFFF0u) return {};
  std::vector<uint8_t> out =
      EncodeHeaderBlock(c, static_cast<uint32_t>(module.size()), static_cast<uint32_t>(dialog.size()),
                        static_cast<uint32_t>(splash.size()), static_cast<uint32_t>(preview.size()));
  for (const auto* b : {&module, &dialog, &splash, &preview, &c.Document}) Append(out, *b);
  return out;
}

std::vector<uint8_t> AppendPackage(std::span<const uint8_t> runtime, std::span<const uint8_t> package) {
  const uint64_t unpadded = uint64_t{runtime.size()} + package.size() + 4;
  const uint64_t pad = (8 - unpadded % 8) % 8;
  const uint64_t start = runtime.size() + pad;
  if (start + package.size() + 4 > 0xFFFFFFFFu) return {};
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(start + package.size() + 4));
  Append(out, runtime);
  out.insert(out.end(), static_cast<size_t>(pad), 0);  // between image and package: never read
  Append(out, package);
  AppendU32(out, static_cast<uint32_t>(start));
  return out;
}

}  // namespace qv
