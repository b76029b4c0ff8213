#include "imaging_test_util.h"

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace qv::test {

Bytes PngChunkBytes(const std::string& kind, const Bytes& data) {
  Bytes out;
  const uint32_t n = static_cast<uint32_t>(data.size());
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(n >> (8 * i)));
  Bytes body(kind.begin(), kind.end());
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  const uint32_t crc = static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size())));
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(crc >> (8 * i)));
  return out;
}

Bytes PngFile(uint32_t width, uint32_t height, int depth, int colourType, const std::vector<Bytes>& rows,
              const std::vector<PngChunk>& extra) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  for (uint32_t v : {width, height})
    for (int i = 3; i >= 0; --i) ihdr.push_back(static_cast<uint8_t>(v >> (8 * i)));
  ihdr.insert(ihdr.end(), {static_cast<uint8_t>(depth), static_cast<uint8_t>(colourType), 0, 0, 0});
  auto append = [&out](const Bytes& b) { out.insert(out.end(), b.begin(), b.end()); };
  append(PngChunkBytes("IHDR", ihdr));
  for (const PngChunk& c : extra) append(PngChunkBytes(c.kind, c.data));
  Bytes raw;
  for (const Bytes& r : rows) {
    raw.push_back(0);
    raw.insert(raw.end(), r.begin(), r.end());
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  Bytes packed(packedSize);
  compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
  packed.resize(packedSize);
  append(PngChunkBytes("IDAT", packed));
  append(PngChunkBytes("IEND", {}));
  return out;
}

namespace {

struct VectorDestination {
  jpeg_destination_mgr pub;
  Bytes* out;
  uint8_t buffer[4096];
};

void InitDestination(j_compress_ptr c) {
  auto* d = reinterpret_cast<VectorDestination*>(c->dest);
  d->pub.next_output_byte = d->buffer;
  d->pub.free_in_buffer = sizeof d->buffer;
}

boolean EmptyOutput(j_compress_ptr c) {
  auto* d = reinterpret_cast<VectorDestination*>(c->dest);
  d->out->insert(d->out->end(), d->buffer, d->buffer + sizeof d->buffer);
  d->pub.next_output_byte = d->buffer;
  d->pub.free_in_buffer = sizeof d->buffer;
  return TRUE;
}

void TermDestination(j_compress_ptr c) {
  auto* d = reinterpret_cast<VectorDestination*>(c->dest);
  d->out->insert(d->out->end(), d->buffer, d->buffer + (sizeof d->buffer - d->pub.free_in_buffer));
}

}  // namespace

Bytes JpegFile(int width, int height, int components, const Bytes& pixels, int quality, bool progressive) {
  Bytes out;
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  VectorDestination dest{};
  dest.out = &out;
  dest.pub.init_destination = InitDestination;
  dest.pub.empty_output_buffer = EmptyOutput;
  dest.pub.term_destination = TermDestination;
  c.dest = &dest.pub;
  c.image_width = static_cast<JDIMENSION>(width);
  c.image_height = static_cast<JDIMENSION>(height);
  c.input_components = components;
  c.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + static_cast<size_t>(c.next_scanline) * width * components);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return out;
}

std::string TempDir() { return std::filesystem::temp_directory_path().string(); }

TempFile::TempFile(const std::string& name, const Bytes& contents) {
  static int counter = 0;
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  m_path = (std::filesystem::temp_directory_path() /
            ("qvimg-" + std::to_string(stamp) + "-" + std::to_string(++counter) + "-" + name))
               .string();
  if (std::FILE* f = std::fopen(m_path.c_str(), "wb")) {
    if (!contents.empty()) std::fwrite(contents.data(), 1, contents.size(), f);
    std::fclose(f);
  }
}

TempFile::~TempFile() { std::remove(m_path.c_str()); }

}  // namespace qv::test
