#include "document/slide.h"

#include "document/archive_writer.h"

namespace qv {

namespace {
std::unique_ptr<CObject> CreateSlide() { return std::make_unique<CSsSlideObject>(); }

// The smallest slide record: a tag word, three empty texts, nine words, four DWORDs
// and an empty slot.
constexpr uint32_t kMinSlideBytes = 2 + 3 + 9 * 2 + 4 * 4 + 1;
}  // namespace

const CRuntimeClass CSsSlideObject::classCSsSlideObject = {"CSsSlideObject", 0, nullptr,
                                                           &CreateSlide};

void CSsSlideObject::Serialize(ArchiveReader& ar) {
  m_strText1 = ar.ReadString();
  m_strText2 = ar.ReadString();
  m_wParam1 = ar.ReadWord();
  m_wParam2 = ar.ReadWord();
  m_wParam3 = ar.ReadWord();
  m_wParam4 = ar.ReadWord();
  m_SlidePicture.name = ar.ReadString();
  m_wIgnored1 = ar.ReadWord();
  ar.ReadSlotBytes(m_SlidePicture);
  m_nValue1 = static_cast<int32_t>(ar.ReadDword());
  m_nValue2 = static_cast<int32_t>(ar.ReadDword());
  m_wParam5 = ar.ReadWord();
  m_wParam6 = ar.ReadWord();
  m_wIgnored2 = ar.ReadWord();
  m_wParam7 = ar.ReadWord();
  ar.ReadSlot(m_SlideSound);
}

void CSsSlideObject::Store(ArchiveWriter& ar) const {
  ar.WriteString(m_strText1);
  ar.WriteString(m_strText2);
  for (uint16_t w : {m_wParam1, m_wParam2, m_wParam3, m_wParam4}) ar.WriteWord(w);
  ar.WriteString(m_SlidePicture.name);
  ar.WriteWord(m_wIgnored1);
  ar.WriteSlotBytes(m_SlidePicture);
  ar.WriteDword(static_cast<uint32_t>(m_nValue1));
  ar.WriteDword(static_cast<uint32_t>(m_nValue2));
  ar.WriteWord(m_wParam5);
  ar.WriteWord(static_cast<uint16_t>(m_wParam6));
  ar.WriteWord(m_wIgnored2);
  ar.WriteWord(static_cast<uint16_t>(m_wParam7));
  ar.WriteSlot(m_SlideSound);
}

void CSsSlideObjectList::Serialize(ArchiveReader& ar) {
  const uint32_t count = ar.ReadListCount(kMinSlideBytes);
  for (uint32_t i = 0; i < count; ++i) {
    std::unique_ptr<CObject> object = ar.ReadObject(&CSsSlideObject::classCSsSlideObject);
    AddTail(std::unique_ptr<CSsSlideObject>(static_cast<CSsSlideObject*>(object.release())));
  }
}

void CSsSlideObjectList::Store(ArchiveWriter& ar) const {
  ar.WriteDword(static_cast<uint32_t>(m_slides.size()));
  for (const auto& slide : m_slides) ar.WriteObject(*slide);
}

}  // namespace qv
