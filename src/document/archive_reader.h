// Reader of the document archive: little-endian integers, length-prefixed strings in
// every form the format allows, DWORD counts, media slots and class-tagged objects with
// one shared load table. Every length and count is checked against the bytes really
// left before anything is allocated. A failure throws ArchiveFailure, which never leaves
// the document module: the loader catches it and reports the message.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/byte_source.h"
#include "base/object.h"
#include "document/document_types.h"

namespace qv {

enum class ArchiveFailureKind {
  Format,  // short data, bad class or tag: "Unexpected file format."
  Other,   // anything else (an absurd length, no memory for a text)
};

struct ArchiveFailure {
  ArchiveFailureKind kind;
};

class ArchiveReader {
 public:
  static constexpr size_t kBufferSize = 4096;
  // Objects in this format hold no objects of their own; anything deeper is hostile.
  static constexpr int kMaxObjectDepth = 4;
  // Embedded files larger than this are treated as memory that cannot be obtained.
  static constexpr uint64_t kDefaultSlotLimit = uint64_t{1} << 30;

  // classes: the classes objects may name; services: what records need from the
  // platform while they load (may be null for a bare read).
  ArchiveReader(ByteCursor& source, std::vector<const CRuntimeClass*> classes,
                DocumentServices* services, size_t bufferSize = kBufferSize);

  uint8_t ReadByte();
  uint16_t ReadWord();
  uint32_t ReadDword();
  int32_t ReadLong();
  uint32_t ReadCount() { return ReadDword(); }
  std::string ReadString();
  void ReadRaw(uint8_t* dst, size_t n);
  void Skip(uint64_t n);

  // A whole slot (name, count, bytes), or only the count and bytes of a slot whose name
  // was read earlier.
  void ReadSlot(MediaSlot& slot);
  void ReadSlotBytes(MediaSlot& slot);

  // Reads one object tag and, for a new object, the object. A null element or a
  // reference to an object read earlier is refused: lists own their elements.
  std::unique_ptr<CObject> ReadObject(const CRuntimeClass* required);

  // A list count that cannot fit in the bytes left (each element needs at least
  // minBytesEach) fails before anything is allocated.
  uint32_t ReadListCount(uint32_t minBytesEach);

  uint64_t Remaining() const { return (m_end - m_pos) + m_source.Remaining(); }
  DocumentServices* Services() const { return m_services; }
  // The version the records are read in: the current one until the document's signature
  // says otherwise.
  int Version() const { return m_version; }
  void SetVersion(int version) { m_version = version; }
  void SetSlotLimit(uint64_t bytes) { m_slotLimit = bytes; }

  [[noreturn]] static void Fail(ArchiveFailureKind kind = ArchiveFailureKind::Format);

 private:
  void Need(uint64_t n) const;
  void Fill();

  struct LoadEntry {
    const CRuntimeClass* cls;  // null for entry 0
    bool isClass;
  };

  ByteCursor& m_source;
  std::vector<const CRuntimeClass*> m_classes;
  DocumentServices* m_services;
  std::vector<uint8_t> m_buffer;
  size_t m_pos = 0;
  size_t m_end = 0;
  std::vector<LoadEntry> m_loadTable;
  int m_depth = 0;
  uint64_t m_slotLimit = kDefaultSlotLimit;
  int m_version = kCurrentDocVersion;
};

}  // namespace qv
