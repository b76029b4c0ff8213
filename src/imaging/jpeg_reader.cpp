#include "imaging/jpeg_reader.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imaging/dib.h"
#include "imaging/picture_limits.h"

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <jerror.h>

namespace qv {
namespace {

// A hostile progressive file can hold thousands of tiny scans, each a pass over the
// whole picture; real files have about ten.
constexpr int kMaxScans = 500;
// Whole-picture buffers of the library (progressive coefficients, the quantiser's
// picture): enough for the largest picture we accept, and no more.
constexpr long kMaxLibraryMemory = 768L * 1024 * 1024;
constexpr size_t kSourceBufferBytes = 64 * 1024;

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void OutputMessage(j_common_ptr cinfo) {
  if (!PictureDecoderMessages()) return;
  char text[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, text);
  std::fprintf(stderr, "libjpeg: %s\n", text);
}

void Progress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
    if (PictureDecoderMessages()) std::fprintf(stderr, "libjpeg: more than %d scans, picture abandoned\n", kMaxScans);
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
  }
}

// A data source over a ByteCursor; at the end of the data it supplies an end-of-image
// marker after a warning, as the library's own file source does.
struct SourceManager {
  jpeg_source_mgr pub;
  ByteCursor* source;
  JOCTET* buffer;
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* s = reinterpret_cast<SourceManager*>(cinfo->src);
  size_t n = s->source->Read(s->buffer, kSourceBufferBytes);
  if (n == 0) {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    s->buffer[0] = 0xFF;
    s->buffer[1] = JPEG_EOI;
    n = 2;
  }
  s->pub.next_input_byte = s->buffer;
  s->pub.bytes_in_buffer = n;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  auto* s = reinterpret_cast<SourceManager*>(cinfo->src);
  const size_t n = static_cast<size_t>(count);
  if (n <= s->pub.bytes_in_buffer) {
    s->pub.next_input_byte += n;
    s->pub.bytes_in_buffer -= n;
    return;
  }
  const uint64_t beyond = n - s->pub.bytes_in_buffer;
  const uint64_t target = s->source->Tell() + beyond;
  s->source->Seek(target < s->source->Size() ? target : s->source->Size());
  s->pub.bytes_in_buffer = 0;  // the next read refills (or ends the data)
}

void AttachSource(j_decompress_ptr cinfo, ByteCursor* source) {
  auto* s = static_cast<SourceManager*>(
      (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(SourceManager)));
  s->buffer = static_cast<JOCTET*>(
      (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kSourceBufferBytes));
  s->source = source;
  s->pub.init_source = InitSource;
  s->pub.fill_input_buffer = FillInputBuffer;
  s->pub.skip_input_data = SkipInputData;
  s->pub.resync_to_restart = jpeg_resync_to_restart;
  s->pub.term_source = TermSource;
  s->pub.bytes_in_buffer = 0;
  s->pub.next_input_byte = nullptr;
  cinfo->src = &s->pub;
}

// One decoded scan line into blue, green, red.
void ToBgr(const JSAMPLE* in, int components, bool adobeCmyk, JDIMENSION width, uint8_t* out) {
  switch (components) {
    case 1:
      for (JDIMENSION x = 0; x < width; ++x, out += 3) out[0] = out[1] = out[2] = in[x];
      break;
    case 3:
      for (JDIMENSION x = 0; x < width; ++x, in += 3, out += 3) out[0] = in[2], out[1] = in[1], out[2] = in[0];
      break;
    default:  // CMYK; Adobe's files store it inverted
      for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
        int c = in[0], m = in[1], y = in[2], k = in[3];
        if (!adobeCmyk) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        out[0] = static_cast<uint8_t>(y * k / 255);
        out[1] = static_cast<uint8_t>(m * k / 255);
        out[2] = static_cast<uint8_t>(c * k / 255);
      }
      break;
  }
}

// The decoder proper. Only plain locals live across the long jump; the block and its
// lock are volatile so that the error path sees their latest values.
DibHandle Decode(ByteCursor& source, bool palette8) {
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  ErrorManager err;
  jpeg_progress_mgr progress{};
  DibHandle volatile block = nullptr;
  uint8_t* volatile pixels = nullptr;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.output_message = OutputMessage;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    if (pixels) DibUnlockBlock(block);
    DibFree(block);
    return nullptr;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = kMaxLibraryMemory;
  progress.progress_monitor = Progress;
  cinfo.progress = &progress;
  AttachSource(&cinfo, &source);
  jpeg_read_header(&cinfo, TRUE);

  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  const bool knownThree = cinfo.jpeg_color_space == JCS_YCbCr || cinfo.jpeg_color_space == JCS_RGB;
  const bool usable = cmyk ? !palette8
                           : (cinfo.jpeg_color_space == JCS_GRAYSCALE || knownThree || cinfo.num_components == 1 ||
                              cinfo.num_components == 3);
  if (!usable || cinfo.image_width == 0 || cinfo.image_height == 0 ||
      !PictureSizeAllowed(cinfo.image_width, cinfo.image_height)) {
    jpeg_destroy_decompress(&cinfo);
    return nullptr;
  }
  const int width = static_cast<int>(cinfo.image_width), height = static_cast<int>(cinfo.image_height);

  bool direct = palette8;  // scan lines land in the block as they are
  if (palette8) {
    block = DibCreate(width, height, 8);
    if (!block) ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 1);
    cinfo.quantize_colors = TRUE;
    cinfo.desired_number_of_colors = 256;
    cinfo.dither_mode = JDITHER_FS;
    cinfo.two_pass_quantize = TRUE;
  } else if (cmyk) {
    cinfo.out_color_space = JCS_CMYK;
  } else {
#ifdef JCS_EXTENSIONS
    if (cinfo.jpeg_color_space == JCS_GRAYSCALE || knownThree) {
      cinfo.out_color_space = JCS_EXT_BGR;
      direct = true;
    }
#endif
  }
  jpeg_start_decompress(&cinfo);
  if (!palette8) {
    block = DibCreate(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height), 24);
    if (!block) ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 2);
  }
  pixels = DibLockBlock(block);
  if (!pixels) ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 3);
  DibView v;
  if (!ParseDib(pixels, DibBlockSize(block), &v) || v.width != static_cast<int>(cinfo.output_width) ||
      v.height != static_cast<int>(cinfo.output_height))
    ERREXIT1(&cinfo, JERR_OUT_OF_MEMORY, 4);

  JSAMPARRAY scratch = nullptr;
  if (!direct)
    scratch = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                         cinfo.output_width * cinfo.output_components, 1);
  while (cinfo.output_scanline < cinfo.output_height) {
    const int k = static_cast<int>(cinfo.output_scanline);
    if (direct) {
      // Several rows per call where the library offers them; scan line k is storage row
      // height - k - 1.
      JSAMPROW rows[16];
      int n = 0;
      for (; n < 16 && k + n < v.height; ++n) rows[n] = v.Row(v.height - 1 - (k + n));
      jpeg_read_scanlines(&cinfo, rows, static_cast<JDIMENSION>(n));
    } else {
      jpeg_read_scanlines(&cinfo, scratch, 1);
      ToBgr(scratch[0], cinfo.output_components, cinfo.saw_Adobe_marker, cinfo.output_width,
            v.Row(v.height - 1 - k));
    }
  }
  if (palette8) {
    const int colours = cinfo.actual_number_of_colors < 256 ? cinfo.actual_number_of_colors : 256;
    const bool rgb = cinfo.out_color_components > 2;
    for (int i = 0; i < colours; ++i) {
      uint8_t* e = v.colorTable + 4 * i;
      e[0] = cinfo.colormap[rgb ? 2 : 0][i];
      e[1] = cinfo.colormap[rgb ? 1 : 0][i];
      e[2] = cinfo.colormap[0][i];
      e[3] = 0;
    }
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  DibUnlockBlock(block);
  return block;
}

}  // namespace

DibHandle DibReadJpeg(ByteCursor& source, JpegOutput output) {
  const bool palette8 = output == JpegOutput::kPalette8 || (output == JpegOutput::kForScreen && ScreenDepth() == 8);
  return Decode(source, palette8);
}

DibHandle DibLoadJpegFile(const char* path) {
  FileCursor file(path);
  if (!file.IsOpen()) return nullptr;
  return DibReadJpeg(file);
}

DibHandle DibLoadJpegResource(const char* name) {
  std::vector<uint8_t> bytes;
  if (!name || !CurrentImagingPlatform().loadResource("JPEG", name, &bytes) || bytes.empty()) return nullptr;
  MemoryCursor source(bytes.data(), bytes.size());
  return DibReadJpeg(source);
}

}  // namespace qv
