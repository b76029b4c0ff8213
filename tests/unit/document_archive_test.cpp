#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "document/ansi_text.h"
#include "byte_builder.h"
#include "document_test_support.h"

using namespace qv;
using namespace qvtest;

namespace {

// Runs f on a reader over the bytes and returns how it ended.
template <class F>
std::optional<ArchiveFailureKind> Read(const std::vector<uint8_t>& bytes, F f,
                                       size_t buffer = ArchiveReader::kBufferSize) {
  MemoryCursor in(bytes);
  ArchiveReader ar(in, DocumentClasses(), nullptr, buffer);
  try {
    f(ar);
  } catch (const ArchiveFailure& e) {
    return e.kind;
  }
  return std::nullopt;
}

std::string ReadOneString(const std::vector<uint8_t>& bytes, std::optional<ArchiveFailureKind>* how = nullptr) {
  std::string s;
  auto r = Read(bytes, [&](ArchiveReader& ar) { s = ar.ReadString(); });
  if (how) *how = r;
  return s;
}

// A slide record with empty texts and slots.
Bytes& EmptySlide(Bytes& b) {
  b.u8(0).u8(0).u16(0).u16(10).u16(0).u16(0).u8(0).u16(0).u32(0);
  return b.u32(0).u32(0).u16(0).u16(0).u16(0).u16(0).u8(0).u32(0);
}

}  // namespace

TEST(DocumentArchive, StringForms) {
  // 16-bit text: FF, marker FFFE, byte length 5, ten bytes.
  Bytes wide;
  wide.u8(0xFF).u16(0xFFFE).u8(5);
  for (uint16_t c : {u'H', u'\u00E9', u'\u20AC', u'\u4E2D', u'!'}) wide.u16(c);
  EXPECT_EQ(ReadOneString(wide.b), "H\xE9\x80?!");
  // 16-bit text with a WORD length, and a surrogate pair that becomes one '?'.
  Bytes wideWord;
  wideWord.u8(0xFF).u16(0xFFFE).u8(0xFF).u16(3).u16(0xD83D).u16(0xDE00).u16('a');
  EXPECT_EQ(ReadOneString(wideWord.b), "?a");
  EXPECT_EQ(ReadOneString({0x00, 'x'}), "");
  Bytes word;
  word.u8(0xFF).u16(300).fill(300, 'w');
  EXPECT_EQ(ReadOneString(word.b), std::string(300, 'w'));
  Bytes dword;
  dword.u8(0xFF).u16(0xFFFF).u32(300).fill(300, 'd');
  EXPECT_EQ(ReadOneString(dword.b), std::string(300, 'd'));
  Bytes eight;
  eight.u8(0xFF).u16(0xFFFF).u32(0xFFFFFFFF).u32(3).u32(0).raw("abc");
  EXPECT_EQ(ReadOneString(eight.b), "abc");

  std::optional<ArchiveFailureKind> how;
  Bytes huge;  // an 8-byte length of 2^31 is no format error but a failure of its own
  huge.u8(0xFF).u16(0xFFFF).u32(0xFFFFFFFF).u32(0x80000000u).u32(0);
  ReadOneString(huge.b, &how);
  EXPECT_EQ(how, ArchiveFailureKind::Other);
  Bytes shortText;  // a length beyond the data fails before anything is allocated
  shortText.u8(0xFF).u16(0xFFFF).u32(0xFFFFFFF0u).raw("abc");
  ReadOneString(shortText.b, &how);
  EXPECT_EQ(how, ArchiveFailureKind::Format);
}

TEST(DocumentArchive, InstalledConverterIsUsedForWideText) {
  CoreServices converting;
  converting.utf16ToAnsi = [](const unsigned char*, size_t n) { return std::string(n, '#'); };
  std::optional<ScopedCoreServices> services(std::in_place, converting);
  Bytes wide;
  wide.u8(0xFF).u16(0xFFFE).u8(2).u16('a').u16('b');
  EXPECT_EQ(ReadOneString(wide.b), "##");
  services.reset();
  EXPECT_EQ(ReadOneString(wide.b), "ab");
}

TEST(DocumentArchive, ClassTagsShareOneLoadTable) {
  // Slide class takes 1, first object 2; 0x8001 names the class again (object 3); a new
  // class then takes 4, its object 5; 0x8004 and the big form of 4 name it again.
  Bytes b;
  EmptySlide(b.newClass("CSsSlideObject"));
  EmptySlide(b.u16(0x8001));
  EmptySlide(b.newClass("CSsSlideObject"));  // a second class entry of the same name
  EmptySlide(b.u16(0x8004));
  EmptySlide(b.u16(0x7FFF).u32(0x80000004u));
  int objects = 0;
  auto ok = Read(b.b, [&](ArchiveReader& ar) {
    for (int i = 0; i < 5; ++i) objects += ar.ReadObject(&CSsSlideObject::classCSsSlideObject) != nullptr;
  });
  EXPECT_FALSE(ok.has_value());
  EXPECT_EQ(objects, 5);

  const auto readSprite = [](ArchiveReader& ar) { ar.ReadObject(&CSprite::classCSprite); };
  const auto expectFormatError = [&](const Bytes& bytes, const char* what) {
    EXPECT_EQ(Read(bytes.b, readSprite), ArchiveFailureKind::Format) << what;
  };
  expectFormatError(Bytes().newClass("CSprite", 1), "schema 1");
  expectFormatError(Bytes().newClass("CBogus"), "unknown class");
  expectFormatError(Bytes().newClass("CSsSlideObject"), "not derived from the list's class");
  expectFormatError(Bytes().u16(0x0000), "null element");
  expectFormatError(Bytes().u16(0x8000), "class index 0");
  expectFormatError(Bytes().u16(0x8005), "class index beyond the table");
  expectFormatError(Bytes().u16(0x7FFF).u32(0x80001000u), "big class index beyond the table");
  Bytes reference;
  EmptySlide(reference.newClass("CSsSlideObject")).u16(0x0002);
  EXPECT_EQ(Read(reference.b, [](ArchiveReader& ar) {
              for (int i = 0; i < 2; ++i) ar.ReadObject(&CSsSlideObject::classCSsSlideObject);
            }),
            ArchiveFailureKind::Format)
      << "reference to an earlier object";
  Bytes objectAsClass;
  EmptySlide(objectAsClass.newClass("CSsSlideObject")).u16(0x8002);
  EXPECT_EQ(Read(objectAsClass.b, [](ArchiveReader& ar) {
              for (int i = 0; i < 2; ++i) ar.ReadObject(&CSsSlideObject::classCSsSlideObject);
            }),
            ArchiveFailureKind::Format)
      << "class tag naming an object";
}

TEST(DocumentArchive, SlotBytesComeFromBufferThenSource) {
  std::vector<uint8_t> payload(10000);
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7);
  Bytes b;
  b.u16(0x1234).u8(3).raw("a.b").u32(10000);
  b.b.insert(b.b.end(), payload.begin(), payload.end());
  b.u16(0xCAFE).u8(1).raw("x").u32(3).raw("xyz").u16(0xBEEF);
  for (size_t buffer : {size_t{16}, size_t{4096}, size_t{65536}}) {
    MediaSlot big, small;
    uint16_t after = 0, last = 0;
    auto r = Read(b.b, [&](ArchiveReader& ar) {
      ar.ReadWord();
      ar.ReadSlot(big);
      after = ar.ReadWord();
      ar.SetSlotLimit(2);  // the next slot's memory cannot be obtained: skip its bytes
      ar.ReadSlot(small);
      last = ar.ReadWord();
    }, buffer);
    EXPECT_FALSE(r.has_value()) << buffer;
    EXPECT_EQ(big.bytes, payload) << buffer;
    EXPECT_EQ(after, 0xCAFE);
    EXPECT_EQ(small.name, "x");
    EXPECT_EQ(small.Count(), 0u);
    EXPECT_EQ(last, 0xBEEF);
  }
  // A count beyond the data is short data, found before any allocation.
  EXPECT_EQ(Read(Bytes().u8(0).u32(0xFFFFFFFFu).b, [](ArchiveReader& ar) {
              MediaSlot s;
              ar.ReadSlot(s);
            }),
            ArchiveFailureKind::Format);
}

TEST(DocumentArchive, HostileCountsFailFast) {
  CScreenSaverDoc empty;
  std::vector<uint8_t> bytes = WriteDocument(empty, 410);
  // The archive ends: sprite count, ignored word, slide count.
  auto patched = bytes;
  for (int i = 0; i < 4; ++i) patched[patched.size() - 10 + i] = 0xFF;
  CScreenSaverDoc d;
  MemoryCursor in(patched);
  EXPECT_EQ(ReadDocument(d, in, nullptr), DocumentLoadError::UnexpectedFormat);

  patched = bytes;
  for (int i = 0; i < 4; ++i) patched[patched.size() - 4 + i] = 0xFF;
  MemoryCursor in2(patched);
  EXPECT_EQ(ReadDocument(d, in2, nullptr), DocumentLoadError::UnexpectedFormat);

  // A phase-duration count beyond the data.
  CScreenSaverDoc one;
  auto sprite = std::make_unique<CPhasedSprite>();
  sprite->m_PhaseDurations = {1, 2};
  one.m_SpriteList.Insert(std::move(sprite));
  patched = WriteDocument(one, 410);
  const std::vector<uint8_t> durations = {2, 0, 1, 0, 2, 0};
  auto at = std::search(patched.begin(), patched.end(), durations.begin(), durations.end());
  ASSERT_NE(at, patched.end());
  at[0] = 0xFF;
  at[1] = 0xFF;
  MemoryCursor in3(patched);
  EXPECT_EQ(ReadDocument(d, in3, nullptr), DocumentLoadError::UnexpectedFormat);
  EXPECT_EQ(d.m_SpriteList.GetCount(), 0u);
}

TEST(DocumentArchive, EveryTruncationFailsCleanly) {
  CScreenSaverDoc source;
  FillDocument(source);
  for (int i = 0; i < 3; ++i) {
    std::unique_ptr<CSprite> s = i == 0 ? std::make_unique<CSprite>()
                                 : i == 1 ? std::make_unique<CPhasedSprite>()
                                          : std::make_unique<CAnimSprite>();
    FillSprite(*s, i);
    source.m_SpriteList.Insert(std::move(s));
  }
  source.m_SlideList.AddTail(std::make_unique<CSsSlideObject>());
  source.m_strDescription = "short";
  source.m_strSourceFolder = std::string(40000, 'f');
  const std::vector<uint8_t> bytes = WriteDocument(source, 410);
  for (size_t n = 0; n < bytes.size(); n += 1 + n / 64) {
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + n);
    CScreenSaverDoc d;
    MemoryCursor in(cut);
    EXPECT_EQ(ReadDocument(d, in, nullptr), DocumentLoadError::UnexpectedFormat) << n;
    EXPECT_TRUE(d.m_SpriteList.IsEmpty());
    EXPECT_TRUE(d.m_SlideList.IsEmpty());
  }
}
