// The runtime-class base of the objects a document archive holds: each class names
// itself, carries a schema number and its base class, and can make an empty instance of
// itself, so a reader can build objects from the class names it finds in a stream.
// The archive classes themselves belong to the document; only their names appear here.
#pragma once
#include <cstdint>
#include <memory>

namespace qv {

class ArchiveReader;
class ArchiveWriter;
class CObject;

// What the archive knows of a serializable class.
struct CRuntimeClass {
  const char* m_lpszClassName;
  uint16_t m_wSchema;
  const CRuntimeClass* m_pBaseClass;
  std::unique_ptr<CObject> (*m_pfnCreateObject)();

  bool IsDerivedFrom(const CRuntimeClass* base) const;
};

// Base of the objects an archive holds.
class CObject {
 public:
  virtual ~CObject() = default;
  virtual const CRuntimeClass* GetRuntimeClass() const = 0;
  virtual void Serialize(ArchiveReader& ar) = 0;
  virtual void Store(ArchiveWriter& ar) const = 0;
};

}  // namespace qv
