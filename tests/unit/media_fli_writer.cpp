#include "media_fli_writer.h"

#include <cstdlib>
#include <stdexcept>

namespace qv::test {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// Length of the run of equal values starting at x (at most limit).
int RunLength(const uint8_t* row, int x, int width, int limit) {
  int n = 1;
  while (x + n < width && n < limit && row[x + n] == row[x]) ++n;
  return n;
}

// Byte packets for one row span [x, end) of target: repeats (returned as negative
// counts when repeatNegative) and literal copies. Appends to out, returns packets.
int EncodeChangedSpan(const uint8_t* row, int x, int end, bool repeatNegative, std::vector<uint8_t>& out,
                      int skip) {
  int packets = 0;
  while (x < end) {
    const int run = RunLength(row, x, end, repeatNegative ? 128 : 127);
    out.push_back(static_cast<uint8_t>(skip));
    skip = 0;
    if (run >= 3) {
      out.push_back(static_cast<uint8_t>(repeatNegative ? -run : run));
      out.push_back(row[x]);
      x += run;
    } else {
      int n = 0;
      while (x + n < end && n < (repeatNegative ? 127 : 128) && RunLength(row, x + n, end, 3) < 3) ++n;
      if (n == 0) n = 1;
      out.push_back(static_cast<uint8_t>(repeatNegative ? n : -n));
      out.insert(out.end(), row + x, row + x + n);
      x += n;
    }
    ++packets;
  }
  return packets;
}

}  // namespace

FliWriter::FliWriter(int width, int height, bool flc)
    : m_width(width), m_height(height), m_flc(flc),
      m_picture{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height)} {
  m_file.resize(128);
}

void FliWriter::Chunk(uint16_t type, const std::vector<uint8_t>& data) {
  uint32_t size = static_cast<uint32_t>(6 + data.size());
  if (m_highByte) size |= 0x5A000000u;
  m_highByte = false;
  Put32(m_chunks, size);
  Put16(m_chunks, type);
  m_chunks.insert(m_chunks.end(), data.begin(), data.end());
  ++m_chunkCount;
}

void FliWriter::Colours(const std::vector<FliColourPacket>& packets, bool sixBit) {
  std::vector<uint8_t> d;
  Put16(d, static_cast<uint32_t>(packets.size()));
  int index = 0;
  for (const FliColourPacket& p : packets) {
    d.push_back(static_cast<uint8_t>(p.skip));
    d.push_back(static_cast<uint8_t>(p.colours.size() & 0xFF));  // 256 is written as 0
    index += p.skip;
    for (const FliColour& c : p.colours) {
      d.push_back(c.red);
      d.push_back(c.green);
      d.push_back(c.blue);
      if (index < 256)
        m_colours[index] = sixBit ? FliColour{static_cast<uint8_t>((c.red & 63) * 4), static_cast<uint8_t>((c.green & 63) * 4),
                                              static_cast<uint8_t>((c.blue & 63) * 4)}
                                  : c;
      ++index;
    }
  }
  if (d.size() & 1) d.push_back(0);
  Chunk(sixBit ? 11 : 4, d);
}

void FliWriter::Black() {
  Chunk(13, {});
  std::fill(m_picture.pixels.begin(), m_picture.pixels.end(), 0);
}

void FliWriter::Literal(const FliPicture& next) {
  if (next.pixels.size() & 1) throw std::logic_error("literal chunks need an even pixel count");
  Chunk(16, next.pixels);
  m_picture = next;
}

void FliWriter::ByteRun(const FliPicture& next) {
  std::vector<uint8_t> d;
  for (int y = 0; y < m_height; ++y) {
    const size_t countAt = d.size();
    d.push_back(0);
    const uint8_t* row = &next.pixels[static_cast<size_t>(y) * m_width];
    int x = 0, packets = 0;
    while (x < m_width) {
      const int run = RunLength(row, x, m_width, 127);
      if (run >= 2) {
        d.push_back(static_cast<uint8_t>(run));
        d.push_back(row[x]);
        x += run;
      } else {
        int n = 0;
        while (x + n < m_width && n < 128 && RunLength(row, x + n, m_width, 2) < 2) ++n;
        if (n == 0) n = 1;
        d.push_back(static_cast<uint8_t>(-n));
        d.insert(d.end(), row + x, row + x + n);
        x += n;
      }
      ++packets;
    }
    d[countAt] = static_cast<uint8_t>(packets < 256 ? packets : 0);
  }
  if (d.size() & 1) d.push_back(0);
  Chunk(15, d);
  m_picture = next;
}

void FliWriter::ByteDelta(const FliPicture& next) {
  int first = 0, last = m_height - 1;
  auto rowChanged = [&](int y) {
    return !std::equal(next.pixels.begin() + static_cast<ptrdiff_t>(y) * m_width,
                       next.pixels.begin() + static_cast<ptrdiff_t>(y + 1) * m_width,
                       m_picture.pixels.begin() + static_cast<ptrdiff_t>(y) * m_width);
  };
  while (first < m_height && !rowChanged(first)) ++first;
  while (last >= first && !rowChanged(last)) --last;
  std::vector<uint8_t> d;
  const int rows = first <= last ? last - first + 1 : 0;
  Put16(d, static_cast<uint32_t>(rows ? first : 0));
  Put16(d, static_cast<uint32_t>(rows));
  for (int y = first; y < first + rows; ++y) {
    const size_t countAt = d.size();
    d.push_back(0);
    const uint8_t* row = &next.pixels[static_cast<size_t>(y) * m_width];
    const uint8_t* old = &m_picture.pixels[static_cast<size_t>(y) * m_width];
    int x = 0, packets = 0, skip = 0;
    while (x < m_width) {
      if (row[x] == old[x]) {
        ++x;
        if (++skip == 255) {  // a packet that only skips
          d.push_back(255);
          d.push_back(0);
          skip = 0;
          ++packets;
        }
        continue;
      }
      int end = x;
      while (end < m_width && row[end] != old[end]) ++end;
      packets += EncodeChangedSpan(row, x, end, true, d, skip);
      skip = 0;
      x = end;
    }
    if (packets > 255) throw std::logic_error("too many packets in a delta row");
    d[countAt] = static_cast<uint8_t>(packets);
  }
  if (d.size() & 1) d.push_back(0);
  Chunk(12, d);
  m_picture = next;
}

void FliWriter::WordDelta(const FliPicture& next) {
  std::vector<uint8_t> body;
  int lines = 0, pendingSkip = 0;
  const int pairs = m_width / 2;
  for (int y = 0; y < m_height; ++y) {
    const uint8_t* row = &next.pixels[static_cast<size_t>(y) * m_width];
    const uint8_t* old = &m_picture.pixels[static_cast<size_t>(y) * m_width];
    const bool lastChanged = (m_width & 1) && row[m_width - 1] != old[m_width - 1];
    bool changed = lastChanged;
    for (int i = 0; i < 2 * pairs && !changed; ++i) changed = row[i] != old[i];
    if (!changed) {
      ++pendingSkip;
      continue;
    }
    if (pendingSkip) Put16(body, static_cast<uint32_t>(0x10000 - pendingSkip));
    pendingSkip = 0;
    if (lastChanged) Put16(body, 0x8000u | row[m_width - 1]);
    std::vector<uint8_t> packets;
    int count = 0, skip = 0, p = 0;
    auto pairSame = [&](int a, int b) { return row[2 * a] == row[2 * b] && row[2 * a + 1] == row[2 * b + 1]; };
    auto pairChanged = [&](int a) { return row[2 * a] != old[2 * a] || row[2 * a + 1] != old[2 * a + 1]; };
    while (p < pairs) {
      if (!pairChanged(p)) {
        skip += 2;
        ++p;
        if (skip >= 254) {
          packets.push_back(static_cast<uint8_t>(skip));
          packets.push_back(0);
          skip = 0;
          ++count;
        }
        continue;
      }
      int run = 1;
      while (p + run < pairs && run < 128 && pairSame(p, p + run)) ++run;
      packets.push_back(static_cast<uint8_t>(skip));
      skip = 0;
      if (run >= 2) {
        packets.push_back(static_cast<uint8_t>(-run));
        packets.push_back(row[2 * p]);
        packets.push_back(row[2 * p + 1]);
        p += run;
      } else {
        int n = 0;
        while (p + n < pairs && n < 127 && pairChanged(p + n) && !(p + n + 1 < pairs && pairSame(p + n, p + n + 1))) ++n;
        if (n == 0) n = 1;
        packets.push_back(static_cast<uint8_t>(n));
        packets.insert(packets.end(), row + 2 * p, row + 2 * (p + n));
        p += n;
      }
      ++count;
    }
    Put16(body, static_cast<uint32_t>(count));
    body.insert(body.end(), packets.begin(), packets.end());
    ++lines;
  }
  std::vector<uint8_t> d;
  Put16(d, static_cast<uint32_t>(lines));
  d.insert(d.end(), body.begin(), body.end());
  if (d.size() & 1) d.push_back(0);
  Chunk(7, d);
  m_picture = next;
}

void FliWriter::OtherChunk(uint16_t type, const std::vector<uint8_t>& payload) { Chunk(type, payload); }

void FliWriter::EndFrame() {
  Put32(m_file, static_cast<uint32_t>(16 + m_chunks.size()));
  Put16(m_file, 0xF1FA);
  Put16(m_file, static_cast<uint32_t>(m_chunkCount));
  m_file.insert(m_file.end(), 8, 0);
  m_file.insert(m_file.end(), m_chunks.begin(), m_chunks.end());
  m_chunks.clear();
  m_chunkCount = 0;
}

void FliWriter::Prefix(const std::vector<uint8_t>& payload) {
  Put32(m_file, static_cast<uint32_t>(16 + payload.size()));
  Put16(m_file, 0xF100);
  Put16(m_file, 0);
  m_file.insert(m_file.end(), 8, 0);
  m_file.insert(m_file.end(), payload.begin(), payload.end());
  if (payload.size() & 1) m_file.push_back(0);
}

void FliWriter::Garbage(const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes)
    if (b == 0xF1) throw std::logic_error("garbage must not hold 0xF1");
  m_file.insert(m_file.end(), bytes.begin(), bytes.end());
}

std::vector<uint8_t> FliWriter::Finish(int frameCount, int speed) {
  std::vector<uint8_t> file = m_file;
  Set32(file, 0, static_cast<uint32_t>(file.size()));
  file[4] = m_flc ? 0x12 : 0x11;
  file[5] = 0xAF;
  file[6] = static_cast<uint8_t>(frameCount);
  file[7] = static_cast<uint8_t>(frameCount >> 8);
  file[8] = static_cast<uint8_t>(m_width);
  file[9] = static_cast<uint8_t>(m_width >> 8);
  file[10] = static_cast<uint8_t>(m_height);
  file[11] = static_cast<uint8_t>(m_height >> 8);
  file[12] = 8;
  file[14] = 3;
  Set32(file, 16, static_cast<uint32_t>(speed));
  return file;
}

std::vector<uint8_t> MakeEveryChunkFlic(int width, int height, std::vector<FliPicture>* frames,
                                        std::vector<std::array<FliColour, 256>>* colours) {
  FliWriter w(width, height, true);
  auto record = [&] {
    if (frames) frames->push_back(w.Picture());
    if (colours) colours->push_back(w.Colours());
  };
  const FliPicture f0 = MakeFliPicture(width, height, [](int x, int y) { return (x / 5 + y / 3) % 7 + (x > 20 ? 40 : 0); });
  const FliPicture f1 = MakeFliPicture(width, height, [&](int x, int y) {
    return (y % 9 == 2 || (x > width / 2 && y > height / 3)) ? (x * 3 + y) % 251 : f0.At(x, y);
  });
  const FliPicture f2 = MakeFliPicture(width, height, [&](int x, int y) { return x % 4 == 0 ? 7 : f1.At(x, y); });
  const FliPicture f3 = MakeFliPicture(width, height, [](int x, int y) { return (x ^ y) & 0xFF; });
  const FliPicture f5 = MakeFliPicture(width, height, [](int x, int y) { return y > 4 && x < 9 ? 200 + y % 5 : 0; });

  w.Prefix({1, 2, 3, 4, 5});  // odd payload: padded
  // Frame 0: every colour in one packet of 256 (count byte 0), then a byte run.
  std::vector<FliColour> all(256);
  for (int i = 0; i < 256; ++i) all[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 7)};
  w.Colours({{0, all}}, false);
  w.ByteRun(f0);
  w.EndFrame();
  record();
  // Frame 1: odd-sized 64-level colour packets, a word delta.
  w.Garbage({0x00, 0xFA, 0x13, 0x37, 0xF0, 0x00, 0xFA, 0x55});  // near misses of a frame type
  w.Colours({{3, {{63, 1, 2}}}, {10, {{5, 6, 7}, {70, 200, 33}}}}, true);
  w.WordDelta(f1);
  w.EndFrame();
  record();
  // Frame 2: a skipped postage stamp, then a byte delta whose size has a top byte.
  w.OtherChunk(18, {9, 9, 9, 9, 9});
  w.HighSizeByteOnNextChunk();
  w.ByteDelta(f2);
  w.EndFrame();
  record();
  // A prefix frame between frames.
  w.Prefix(std::vector<uint8_t>(40, 0xAB));
  // Frame 3: black, then literal pixels (when the pixel count allows), else a byte run.
  w.Black();
  if ((width * height) % 2 == 0) w.Literal(f3);
  else w.ByteRun(f3);
  w.EndFrame();
  record();
  // Frame 4: an empty frame changes nothing.
  w.EndFrame();
  record();
  // Frame 5: black then a byte delta from black; 8-bit colours with a skip.
  w.Black();
  w.Colours({{200, {{1, 2, 3}}}}, false);
  w.HighSizeByteOnNextChunk();
  w.WordDelta(f5);
  w.EndFrame();
  record();
  // Ring frame: back to frame 0's picture.
  w.Garbage({0x10, 0x20});
  w.ByteDelta(f0);
  w.EndFrame();
  record();
  return w.Finish(6);
}

}  // namespace qv::test
