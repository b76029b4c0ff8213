// Writer of the document archive in the form ArchiveReader reads: the shortest string
// form that fits, DWORD counts, slots, and class tags that name each class once and
// refer back to it by its load-table index afterwards.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "document/archive_reader.h"

namespace qv {

class ArchiveWriter {
 public:
  // version: the archive version the records are written for.
  explicit ArchiveWriter(int version) : m_version(version) {}

  int Version() const { return m_version; }

  void WriteByte(uint8_t v) { m_out.push_back(v); }
  void WriteWord(uint16_t v);
  void WriteDword(uint32_t v);
  void WriteLong(int32_t v) { WriteDword(static_cast<uint32_t>(v)); }
  void WriteString(const std::string& s);
  void WriteRaw(const void* data, size_t n);
  void WriteSlot(const MediaSlot& slot);
  void WriteSlotBytes(const MediaSlot& slot);
  void WriteObject(const CObject& object);

  const std::vector<uint8_t>& Bytes() const { return m_out; }
  std::vector<uint8_t> TakeBytes() { return std::move(m_out); }

 private:
  int m_version;
  std::vector<uint8_t> m_out;
  std::map<const CRuntimeClass*, uint32_t> m_classIndex;
  uint32_t m_nextIndex = 1;  // entry 0 is the null object
};

}  // namespace qv
