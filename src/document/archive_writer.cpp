#include "document/archive_writer.h"

#include <cstring>

namespace qv {

void ArchiveWriter::WriteWord(uint16_t v) {
  m_out.push_back(static_cast<uint8_t>(v));
  m_out.push_back(static_cast<uint8_t>(v >> 8));
}

void ArchiveWriter::WriteDword(uint32_t v) {
  WriteWord(static_cast<uint16_t>(v));
  WriteWord(static_cast<uint16_t>(v >> 16));
}

void ArchiveWriter::WriteRaw(const void* data, size_t n) {
  const auto* p = static_cast<const uint8_t*>(data);
  m_out.insert(m_out.end(), p, p + n);
}

void ArchiveWriter::WriteString(const std::string& s) {
  const uint64_t n = s.size();
  if (n < 0xFF) {
    WriteByte(static_cast<uint8_t>(n));
  } else if (n < 0xFFFE) {  // 0xFFFE would announce 16-bit text
    WriteByte(0xFF);
    WriteWord(static_cast<uint16_t>(n));
  } else if (n < 0xFFFFFFFFu) {
    WriteByte(0xFF);
    WriteWord(0xFFFF);
    WriteDword(static_cast<uint32_t>(n));
  } else {
    WriteByte(0xFF);
    WriteWord(0xFFFF);
    WriteDword(0xFFFFFFFFu);
    WriteDword(static_cast<uint32_t>(n));
    WriteDword(static_cast<uint32_t>(n >> 32));
  }
  WriteRaw(s.data(), s.size());
}

void ArchiveWriter::WriteSlotBytes(const MediaSlot& slot) {
  WriteDword(slot.Count());
  WriteRaw(slot.bytes.data(), slot.bytes.size());
}

void ArchiveWriter::WriteSlot(const MediaSlot& slot) {
  WriteString(slot.name);
  WriteSlotBytes(slot);
}

void ArchiveWriter::WriteObject(const CObject& object) {
  const CRuntimeClass* cls = object.GetRuntimeClass();
  const auto known = m_classIndex.find(cls);
  if (known == m_classIndex.end()) {
    WriteWord(0xFFFF);
    WriteWord(cls->m_wSchema);
    const size_t n = std::strlen(cls->m_lpszClassName);
    WriteWord(static_cast<uint16_t>(n));
    WriteRaw(cls->m_lpszClassName, n);
    m_classIndex[cls] = m_nextIndex++;
  } else if (known->second < 0x7FFF) {
    WriteWord(static_cast<uint16_t>(0x8000u | known->second));
  } else {
    WriteWord(0x7FFF);
    WriteDword(0x80000000u | known->second);
  }
  ++m_nextIndex;  // the object itself takes an index too
  object.Store(*this);
}

}  // namespace qv
