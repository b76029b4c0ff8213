// The slide records the document carries after its sprites. The runtime reads and keeps
// them so that it stays in step with the archive; nothing shows them.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/archive_reader.h"
#include "document/document_types.h"

namespace qv {

class CSsSlideObject : public CObject {
 public:
  static const CRuntimeClass classCSsSlideObject;
  const CRuntimeClass* GetRuntimeClass() const override { return &classCSsSlideObject; }
  void Serialize(ArchiveReader& ar) override;
  void Store(ArchiveWriter& ar) const override;

  std::string m_strText1;
  std::string m_strText2;
  uint16_t m_wParam1 = 0;
  uint16_t m_wParam2 = 10;
  uint16_t m_wParam3 = 0;
  uint16_t m_wParam4 = 0;
  MediaSlot m_SlidePicture;
  int32_t m_nValue1 = 0;
  int32_t m_nValue2 = 0;
  uint16_t m_wParam5 = 0;
  int32_t m_wParam6 = 0;
  int32_t m_wParam7 = 0;
  MediaSlot m_SlideSound;
  // The two words the record carries without a meaning, kept so that a document is
  // written back as it was read.
  uint16_t m_wIgnored1 = 0;
  uint16_t m_wIgnored2 = 0;
};

// The slides in archive order; the list owns them.
class CSsSlideObjectList {
 public:
  void AddTail(std::unique_ptr<CSsSlideObject> slide) { m_slides.push_back(std::move(slide)); }
  void RemoveAll() { m_slides.clear(); }
  size_t GetCount() const { return m_slides.size(); }
  bool IsEmpty() const { return m_slides.empty(); }
  CSsSlideObject* GetAt(size_t i) const { return m_slides[i].get(); }

  void Serialize(ArchiveReader& ar);
  void Store(ArchiveWriter& ar) const;

 private:
  std::vector<std::unique_ptr<CSsSlideObject>> m_slides;
};

}  // namespace qv
