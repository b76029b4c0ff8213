#include "media/fli_doc.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/dib.h"
#include "imaging/picture_limits.h"

namespace qv {

namespace {

// Sequential reads over a byte source through a small window. A read past the end
// fails, returns zeros and sticks; the caller checks ok() once per record.
class SourceCursor {
 public:
  SourceCursor(ByteSource& source, uint64_t pos) : m_source(source), m_pos(pos) {}

  uint8_t U8() {
    if (!m_ok) return 0;
    if (m_pos < m_windowStart || m_pos >= m_windowStart + m_windowLength) {
      m_windowStart = m_pos;
      m_windowLength = m_source.ReadAt(m_pos, m_window, sizeof m_window);
      if (m_windowLength == 0) {
        m_ok = false;
        return 0;
      }
    }
    return m_window[m_pos++ - m_windowStart];
  }
  uint16_t U16() {
    const uint8_t lo = U8();
    return static_cast<uint16_t>(lo | U8() << 8);
  }
  uint32_t U32() {
    const uint32_t lo = U16();
    return lo | static_cast<uint32_t>(U16()) << 16;
  }
  void Skip(uint64_t n) { m_pos += n; }
  void Seek(uint64_t pos) { m_pos = pos; }
  uint64_t Pos() const { return m_pos; }
  bool ok() const { return m_ok; }

 private:
  ByteSource& m_source;
  uint64_t m_pos;
  uint8_t m_window[4096];
  uint64_t m_windowStart = 0;
  size_t m_windowLength = 0;
  bool m_ok = true;
};

// Reads over a chunk's bytes in memory; running out stops the decoder.
struct ChunkData {
  const uint8_t* p;
  const uint8_t* end;
  bool Has(size_t n) const { return static_cast<size_t>(end - p) >= n; }
  size_t Left() const { return static_cast<size_t>(end - p); }
};

// The frame surface's pixels, addressed by animation row (0 at the top). Every write
// goes through Fill or Copy, which clip to the frame.
struct Canvas {
  uint8_t* pixels = nullptr;  // storage row 0 (the bottom row)
  int64_t stride = 0;
  int64_t width = 0, height = 0;

  uint8_t* Row(int64_t y) const { return pixels + (height - 1 - y) * stride; }
  bool RowInside(int64_t y) const { return y >= 0 && y < height; }
  // [x, x + n) clipped to the row; false when nothing is left.
  bool Clip(int64_t& x, int64_t& n, int64_t& skipped) const {
    skipped = 0;
    if (x < 0) {
      skipped = -x;
      n += x;
      x = 0;
    }
    if (x + n > width) n = width - x;
    return n > 0;
  }
  void Fill(int64_t y, int64_t x, int64_t n, uint8_t value) const {
    int64_t skipped;
    if (RowInside(y) && Clip(x, n, skipped)) std::memset(Row(y) + x, value, static_cast<size_t>(n));
  }
  void Copy(int64_t y, int64_t x, int64_t n, const uint8_t* from) const {
    int64_t skipped;
    if (RowInside(y) && Clip(x, n, skipped)) std::memcpy(Row(y) + x, from + skipped, static_cast<size_t>(n));
  }
  void Put(int64_t y, int64_t x, uint8_t value) const {
    if (RowInside(y) && x >= 0 && x < width) Row(y)[x] = value;
  }
};

// A literal packet of n bytes at column x of row y; x moves past it. False when the
// chunk ran out first (what there was is copied).
bool CopyPacket(const Canvas& c, ChunkData& d, int64_t y, int64_t& x, int64_t n) {
  const int64_t have = std::min<int64_t>(n, static_cast<int64_t>(d.Left()));
  c.Copy(y, x, have, d.p);
  d.p += have;
  x += n;
  return have == n;
}

// A delta packet's header: the column skip (added to x) and the signed count.
bool NextPacket(ChunkData& d, int64_t& x, int8_t& count) {
  if (!d.Has(2)) return false;
  x += d.p[0];
  count = static_cast<int8_t>(d.p[1]);
  d.p += 2;
  return true;
}

// 15: each row starts with a packet count (ignored); packets fill the row until its
// width is reached or passed. Rows are always inside the frame here, so only the
// columns need clipping, done inline: this is the chunk of every full frame.
void DecodeByteRun(const Canvas& c, ChunkData d) {
  const int64_t width = c.width;
  for (int64_t y = 0; y < c.height; ++y) {
    if (!d.Has(1)) return;
    ++d.p;
    uint8_t* row = c.Row(y);
    int64_t x = 0;
    while (x < width) {
      if (!d.Has(1)) return;
      const int8_t count = static_cast<int8_t>(*d.p++);
      if (count < 0) {
        const int64_t n = -count;
        if (!d.Has(static_cast<size_t>(n))) {
          c.Copy(y, x, static_cast<int64_t>(d.Left()), d.p);
          return;
        }
        if (x + n <= width) std::memcpy(row + x, d.p, static_cast<size_t>(n));
        else std::memcpy(row + x, d.p, static_cast<size_t>(width - x));
        d.p += n;
        x += n;
      } else {
        if (!d.Has(1)) return;
        const uint8_t value = *d.p++;
        std::memset(row + x, value, static_cast<size_t>(std::min<int64_t>(count, width - x)));
        x += count;
      }
    }
  }
}

// 12: a first row, a row count, then per row packets of a column skip and a signed
// count (negative: one byte repeated, positive: bytes copied).
void DecodeByteDelta(const Canvas& c, ChunkData d) {
  if (!d.Has(4)) return;
  const int64_t first = GetU16(d.p);
  const int64_t rows = GetU16(d.p + 2);
  d.p += 4;
  for (int64_t i = 0; i < rows; ++i) {
    const int64_t y = first + i;
    if (!d.Has(1)) return;
    const int packets = *d.p++;
    int64_t x = 0;
    for (int k = 0; k < packets; ++k) {
      int8_t count = 0;
      if (!NextPacket(d, x, count)) return;
      if (count < 0) {
        if (!d.Has(1)) return;
        c.Fill(y, x, -count, *d.p++);
        x += -count;
      } else if (count > 0 && !CopyPacket(c, d, y, x, count)) {
        return;
      }
    }
  }
}

// 7: a line count; each line begins with words that skip rows (bits 15 and 14 set) or
// give the row's last pixel (bit 15 only) before the packet count; packets move two
// pixels at a time.
void DecodeWordDelta(const Canvas& c, ChunkData d) {
  if (!d.Has(2)) return;
  const int64_t lines = GetU16(d.p);
  d.p += 2;
  int64_t y = 0;
  for (int64_t line = 0; line < lines; ++line) {
    int lastByte = -1;
    int packets = 0;
    for (;;) {
      if (!d.Has(2)) return;
      const uint16_t word = GetU16(d.p);
      d.p += 2;
      if (!(word & 0x8000)) {
        packets = word;
        break;
      }
      if (word & 0x4000) y += 0x10000 - word;
      else lastByte = word & 0xFF;
    }
    int64_t x = 0;
    for (int k = 0; k < packets; ++k) {
      int8_t count = 0;
      if (!NextPacket(d, x, count)) return;
      if (count < 0) {
        if (!d.Has(2)) return;
        const uint8_t pair[2] = {d.p[0], d.p[1]};
        d.p += 2;
        if (c.RowInside(y)) {
          for (int j = 0; j < -count; ++j, x += 2) c.Copy(y, x, 2, pair);
        } else {
          x += 2 * static_cast<int64_t>(-count);
        }
      } else if (count > 0) {
        const int64_t bytes = 2 * static_cast<int64_t>(count);
        if (!d.Has(static_cast<size_t>(bytes))) {
          c.Copy(y, x, static_cast<int64_t>(d.Left()), d.p);
          return;
        }
        c.Copy(y, x, bytes, d.p);
        d.p += bytes;
        x += bytes;
      }
    }
    if (lastByte >= 0) c.Put(y, c.width - 1, static_cast<uint8_t>(lastByte));
    ++y;
  }
}

// 16: width x height bytes, row by row; a short chunk fills what it has.
void DecodeLiteral(const Canvas& c, ChunkData d) {
  for (int64_t y = 0; y < c.height && d.Left() > 0; ++y) {
    const int64_t n = std::min<int64_t>(c.width, static_cast<int64_t>(d.Left()));
    c.Copy(y, 0, n, d.p);
    d.p += n;
  }
}

// 4 and 11: colour packets into the surface's colour table (blue, green, red). Reads
// straight from the file; the chunk's size plays no part, and a pad byte keeps the
// count even.
void DecodeColors(SourceCursor& in, uint8_t* table, bool sixBit) {
  const uint32_t packets = in.U16();
  uint64_t consumed = 2;
  uint32_t index = 0;
  for (uint32_t p = 0; p < packets && in.ok(); ++p) {
    index += in.U8();
    uint32_t count = in.U8();
    if (count == 0) count = 256;
    consumed += 2;
    for (uint32_t k = 0; k < count && in.ok(); ++k, ++index) {
      uint8_t red = in.U8(), green = in.U8(), blue = in.U8();
      consumed += 3;
      if (!in.ok()) return;
      if (sixBit) {
        red = static_cast<uint8_t>((red & 0x3F) * 4);
        green = static_cast<uint8_t>((green & 0x3F) * 4);
        blue = static_cast<uint8_t>((blue & 0x3F) * 4);
      }
      if (index < 256) {
        table[4 * index + 0] = blue;
        table[4 * index + 1] = green;
        table[4 * index + 2] = red;
      }
    }
  }
  if (consumed & 1) in.Skip(1);
}

// Reads up to length bytes at offset; a truncated file gives what is there.
bool ReadChunkData(ByteSource& source, uint64_t offset, uint64_t length, std::vector<uint8_t>& buffer) {
  const uint64_t size = source.Size();
  if (offset >= size) return false;
  length = std::min(length, size - offset);
  buffer.resize(static_cast<size_t>(length));
  buffer.resize(source.ReadAt(offset, buffer.data(), buffer.size()));
  return !buffer.empty();
}

// The resynchronising search: six bytes are read; while the last two are neither the
// frame type nor the prefix type, the first is dropped and one more read.
bool FindFrameHeader(SourceCursor& in, uint32_t& size, uint16_t& type) {
  uint8_t w[6];
  for (uint8_t& b : w) b = in.U8();
  while (in.ok() && !(w[5] == 0xF1 && (w[4] == 0xFA || w[4] == 0x00))) {
    std::memmove(w, w + 1, 5);
    w[5] = in.U8();
  }
  if (!in.ok()) return false;
  size = GetU32(w);
  type = GetU16(w + 4);
  return true;
}

}  // namespace

CFliDoc::~CFliDoc() { Release(); }

void CFliDoc::Release() { m_hFrame = DibFree(m_hFrame); }

bool CFliDoc::Load(ByteSource& source) {
  Release();
  m_nLoadState = kFliNotFlic;
  uint8_t h[18];
  if (!ReadExactly(source, 0, h, sizeof h)) return false;
  const uint16_t magic = GetU16(h + 4);
  if (magic != kFliMagic && magic != kFlcMagic) return false;
  m_nFrameCount = GetU16(h + 6);
  m_nWidth = GetU16(h + 8);
  m_nHeight = GetU16(h + 10);
  m_nDepth = GetU16(h + 12);
  m_nFlags = GetU16(h + 14);
  m_nSpeed = std::max<int32_t>(GetU16(h + 16), 1);
  m_nLoadState = kFliNoSurface;
  if (m_nWidth == 0 || m_nHeight == 0 || !PictureSizeAllowed(m_nWidth, m_nHeight)) return false;
  m_hFrame = DibCreate(m_nWidth, m_nHeight, 8);
  if (!m_hFrame) return false;
  uint64_t offset = kFliHeaderBytes;
  DecodeFrame(source, offset);
  m_nFirstFrameEnd = offset;
  m_nLoadState = kFliLoaded;
  return true;
}

FliFrameResult CFliDoc::DecodeFrame(ByteSource& source, uint64_t& offset) {
  FliFrameResult result;
  DibLock lock(m_hFrame);
  DibView view;
  if (!lock || !ParseDib(lock.data(), lock.size(), &view) || view.bitCount != 8) return result;
  const Canvas canvas{view.pixels, view.stride, view.width, view.height};

  SourceCursor in(source, offset);
  uint32_t frameSize = 0;
  uint16_t frameType = 0;
  uint32_t chunks = 0;
  for (;;) {
    if (!FindFrameHeader(in, frameSize, frameType)) {
      offset = in.Pos();
      return result;
    }
    chunks = in.U16();
    in.Skip(8);
    if (!in.ok()) {
      offset = in.Pos();
      return result;
    }
    if (frameType == kFliFrameType) break;
    // A prefix frame is skipped whole, padded to an even size. One claiming less than
    // its own header would send the search backwards: it ends the frame instead.
    if (frameSize < kFliFrameHeaderBytes) {
      offset = in.Pos();
      return result;
    }
    in.Skip(frameSize - kFliFrameHeaderBytes + (frameSize & 1));
  }
  result.found = true;

  std::vector<uint8_t> data;
  for (uint32_t i = 0; i < chunks; ++i) {
    const uint32_t size = in.U32() & 0xFFFFFF;
    const uint16_t type = in.U16();
    if (!in.ok() || size < kFliChunkHeaderBytes) break;
    const uint64_t start = in.Pos();
    const uint64_t length = size - kFliChunkHeaderBytes;
    switch (type) {
      case kFliColor256:
      case kFliColor64:
        DecodeColors(in, view.colorTable, type == kFliColor64);
        result.colorChanged = true;
        continue;  // no seek to the chunk's end
      case kFliLiteral: {
        const uint64_t pixels = static_cast<uint64_t>(canvas.width) * static_cast<uint64_t>(canvas.height);
        if (ReadChunkData(source, start, pixels, data)) DecodeLiteral(canvas, {data.data(), data.data() + data.size()});
        in.Seek(start + pixels);
        continue;
      }
      case kFliBlack:
        for (int64_t y = 0; y < canvas.height; ++y) std::memset(canvas.Row(y), 0, static_cast<size_t>(canvas.width));
        break;
      case kFliDeltaWord:
      case kFliDeltaByte:
      case kFliByteRun:
        if (ReadChunkData(source, start, length, data)) {
          const ChunkData d{data.data(), data.data() + data.size()};
          if (type == kFliDeltaWord) DecodeWordDelta(canvas, d);
          else if (type == kFliDeltaByte) DecodeByteDelta(canvas, d);
          else DecodeByteRun(canvas, d);
        }
        break;
      default:
        break;
    }
    in.Seek(start + length);
  }
  offset = in.Pos();
  return result;
}

// --- Playback -------------------------------------------------------------------------

void FliPlayback::Start(CFliDoc* doc, ByteSource* stream, bool loop) {
  m_pDoc = doc;
  m_pStream = stream;
  m_nStreamPos = doc ? doc->m_nFirstFrameEnd : 0;
  m_bLoop = loop;
  m_bPlaying = true;
  m_bEnded = false;
  m_bFailed = false;
  m_nTickAccum = 0;
  m_nCurrentFrame = 0;
}

void FliPlayback::Fail() {
  m_bFailed = true;
  m_bPlaying = false;
  if (!m_bLoop) m_bEnded = true;
}

FliPlayback::Step FliPlayback::OnTick() {
  if (!m_bPlaying) return {};
  m_nTickAccum += kTickStep;
  if (m_nTickAccum < kFramePeriod) return {};
  m_nTickAccum = 0;
  return Advance();
}

void FliPlayback::Finish() {
  m_bPlaying = false;
  m_bEnded = true;
}

FliPlayback::Step FliPlayback::Advance() {
  Step step;
  if (!m_pDoc) return step;
  const int32_t frames = m_pDoc->m_nFrameCount;
  // Without a second reader, or with no frames beyond the first, the first frame stays.
  // A play-once animation still ends, or the scene would wait for it for ever.
  if (!m_pStream || frames == 0) {
    if (!m_bLoop) Finish();
    return step;
  }
  if (++m_nCurrentFrame == frames) {
    // The ring frame turns the last frame back into the first.
    step.colorChanged = m_pDoc->DecodeFrame(*m_pStream, m_nStreamPos).colorChanged;
    m_nCurrentFrame = 0;
    m_nStreamPos = m_pDoc->m_nFirstFrameEnd;
  }
  FliFrameResult frame = m_pDoc->DecodeFrame(*m_pStream, m_nStreamPos);
  if (!frame.found) {
    // The file ends before the frames its header promises: a play-once animation ends
    // here (its header may promise hours of frames), a looping one starts again.
    if (!m_bLoop) {
      Finish();
      return step;
    }
    m_nCurrentFrame = 0;
    m_nStreamPos = m_pDoc->m_nFirstFrameEnd;
    frame = m_pDoc->DecodeFrame(*m_pStream, m_nStreamPos);
  }
  step.colorChanged |= frame.colorChanged;
  step.advanced = true;
  if (!m_bLoop && m_nCurrentFrame + 1 == frames) Finish();
  return step;
}

}  // namespace qv
