#include "document/archive_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "document/ansi_text.h"

namespace qv {

ArchiveReader::ArchiveReader(ByteCursor& source, std::vector<const CRuntimeClass*> classes,
                             DocumentServices* services, size_t bufferSize)
    : m_source(source),
      m_classes(std::move(classes)),
      m_services(services),
      m_buffer(std::max<size_t>(bufferSize, 16)) {
  m_loadTable.push_back({nullptr, false});  // entry 0: no object
}

void ArchiveReader::Fail(ArchiveFailureKind kind) { throw ArchiveFailure{kind}; }

void ArchiveReader::Need(uint64_t n) const {
  if (n > Remaining()) Fail();
}

void ArchiveReader::Fill() {
  m_pos = 0;
  m_end = m_source.Read(m_buffer.data(), m_buffer.size());
}

void ArchiveReader::ReadRaw(uint8_t* dst, size_t n) {
  Need(n);
  // Buffered bytes first, then large pieces straight from the source so that the
  // element after them is read from the right place.
  const size_t fromBuffer = std::min(n, m_end - m_pos);
  if (fromBuffer) std::memcpy(dst, m_buffer.data() + m_pos, fromBuffer);
  m_pos += fromBuffer;
  dst += fromBuffer;
  n -= fromBuffer;
  while (n > 0) {
    if (n >= m_buffer.size()) {
      const size_t got = m_source.Read(dst, n);
      if (got == 0) Fail();
      dst += got;
      n -= got;
    } else {
      Fill();
      if (m_end == 0) Fail();
      const size_t take = std::min(n, m_end);
      std::memcpy(dst, m_buffer.data(), take);
      m_pos = take;
      dst += take;
      n -= take;
    }
  }
}

void ArchiveReader::Skip(uint64_t n) {
  Need(n);
  while (n > 0) {
    if (m_pos == m_end) {
      Fill();
      if (m_end == 0) Fail();
    }
    const size_t take = static_cast<size_t>(std::min<uint64_t>(n, m_end - m_pos));
    m_pos += take;
    n -= take;
  }
}

uint8_t ArchiveReader::ReadByte() {
  uint8_t b;
  ReadRaw(&b, 1);
  return b;
}

uint16_t ArchiveReader::ReadWord() {
  uint8_t b[2];
  ReadRaw(b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t ArchiveReader::ReadDword() {
  uint8_t b[4];
  ReadRaw(b, 4);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t{b[3]} << 24);
}

int32_t ArchiveReader::ReadLong() { return static_cast<int32_t>(ReadDword()); }

std::string ArchiveReader::ReadString() {
  bool wide = false;
  uint64_t length = ReadByte();
  if (length == 0xFF) {
    uint16_t w = ReadWord();
    bool haveLength = false;
    if (w == 0xFFFE) {
      wide = true;
      length = ReadByte();
      haveLength = length < 0xFF;
      if (!haveLength) w = ReadWord();
    }
    if (!haveLength) {
      if (w < 0xFFFF) {
        length = w;
      } else {
        const uint32_t d = ReadDword();
        if (d < 0xFFFFFFFFu) {
          length = d;
        } else {
          const uint64_t low = ReadDword();
          const uint64_t high = ReadDword();
          length = low | (high << 32);
          if (length >= (uint64_t{1} << 31)) Fail(ArchiveFailureKind::Other);
        }
      }
    }
  }
  const uint64_t bytes = wide ? 2 * length : length;
  Need(bytes);
  if (bytes == 0) return {};
  try {
    std::vector<uint8_t> raw(static_cast<size_t>(bytes));
    ReadRaw(raw.data(), raw.size());
    if (wide) return GetUtf16ToAnsi()(raw.data(), static_cast<size_t>(length));
    return std::string(raw.begin(), raw.end());
  } catch (const std::bad_alloc&) {
    Fail(ArchiveFailureKind::Other);
  }
}

void ArchiveReader::ReadSlotBytes(MediaSlot& slot) {
  slot.ReleaseBytes();
  const uint32_t n = ReadDword();
  if (n == 0) return;
  Need(n);
  bool obtained = n <= m_slotLimit;
  if (obtained) {
    try {
      slot.bytes.resize(n);
    } catch (const std::bad_alloc&) {
      obtained = false;
    }
  }
  if (!obtained) {
    // No memory for the bytes: step over them and keep the slot without bytes.
    slot.ReleaseBytes();
    Skip(n);
    return;
  }
  ReadRaw(slot.bytes.data(), n);
}

void ArchiveReader::ReadSlot(MediaSlot& slot) {
  slot.name = ReadString();
  ReadSlotBytes(slot);
}

uint32_t ArchiveReader::ReadListCount(uint32_t minBytesEach) {
  const uint32_t count = ReadCount();
  if (uint64_t{count} * minBytesEach > Remaining()) Fail();
  return count;
}

std::unique_ptr<CObject> ArchiveReader::ReadObject(const CRuntimeClass* required) {
  struct DepthGuard {
    int& depth;
    explicit DepthGuard(int& d) : depth(d) { ++depth; }
    ~DepthGuard() { --depth; }
  } guard(m_depth);
  if (m_depth > kMaxObjectDepth) Fail();

  const uint16_t t = ReadWord();
  const uint32_t tag = t == 0x7FFF ? ReadDword() : ((uint32_t{t} & 0x8000u) << 16) | (t & 0x7FFFu);
  // Null elements and references back to earlier objects are not list elements here.
  if (!(tag & 0x80000000u)) Fail();

  const CRuntimeClass* cls = nullptr;
  if (t == 0xFFFF) {
    const uint16_t schema = ReadWord();
    const uint16_t nameLength = ReadWord();
    Need(nameLength);
    std::string name(nameLength, '\0');
    ReadRaw(reinterpret_cast<uint8_t*>(name.data()), nameLength);
    for (const CRuntimeClass* known : m_classes) {
      if (name == known->m_lpszClassName) cls = known;
    }
    if (!cls || schema != cls->m_wSchema) Fail();
    m_loadTable.push_back({cls, true});
  } else {
    const uint32_t index = tag & 0x7FFFFFFFu;
    if (index == 0 || index >= m_loadTable.size() || !m_loadTable[index].isClass) Fail();
    cls = m_loadTable[index].cls;
  }
  if (!cls->IsDerivedFrom(required)) Fail();

  std::unique_ptr<CObject> object = cls->m_pfnCreateObject();
  m_loadTable.push_back({cls, false});
  object->Serialize(*this);
  return object;
}

}  // namespace qv
