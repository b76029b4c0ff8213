// Allocations that fail: the large ones a hostile or simply big package asks for (block
// extraction, sprite preparation, the scene's sprite copies) must become the operation's
// failure, never an exception that ends the process. A 32-bit process meets this for
// real; here the test replaces the global allocator with one that refuses, while armed,
// every request above a threshold. Not in sanitized builds, whose allocator is their own.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "document/screen_saver_doc.h"
#include "document/sprite.h"
#include "imaging/dib.h"
#include "imaging/imaging_platform.h"
#include "package/package_reader.h"
#include "scene/anim_scene.h"
#include "scene/sprite_drawing.h"

#if defined(__SANITIZE_ADDRESS__)
#define QV_REPLACE_NEW 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_REPLACE_NEW 0
#endif
#endif
#ifndef QV_REPLACE_NEW
#define QV_REPLACE_NEW 1
#endif

namespace {
size_t g_refuseAbove = 0;  // 0: every request is served
}

#if QV_REPLACE_NEW
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
  if (g_refuseAbove && size > g_refuseAbove) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
// The pair is replaced together, so memory from this new always returns here.
void operator delete(void* p) noexcept { std::free(p); }  // NOLINT
void operator delete(void* p, size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop
#endif

namespace qv {
namespace {

// Refuses requests above `bytes` while alive.
struct RefuseAbove {
  explicit RefuseAbove(size_t bytes) { g_refuseAbove = bytes; }
  ~RefuseAbove() { g_refuseAbove = 0; }
};

#if QV_REPLACE_NEW
TEST(MemoryFailure, ABlockTooLargeForMemoryIsAFailedBlock) {
  // A compressed block that inflates to 64 MiB of zeros.
  const uLong size = 64u << 20;
  std::vector<uint8_t> zeros(size), packed(compressBound(size));
  uLongf packedSize = static_cast<uLongf>(packed.size());
  ASSERT_EQ(compress2(packed.data(), &packedSize, zeros.data(), size, 9), Z_OK);
  zeros = {};
  std::vector<uint8_t> block{'Q', 'V', 'Z', 'B', 0, 0, 0, 4};  // 64 MiB, little-endian
  block.insert(block.end(), packed.begin(), packed.begin() + static_cast<long>(packedSize));
  std::vector<uint8_t> out;
  ASSERT_TRUE(DecodeCompressedBlock(block, out));
  EXPECT_EQ(out.size(), size);
  std::vector<uint8_t> again;  // no capacity left over from the first call
  bool ok = true;
  {
    RefuseAbove guard(16u << 20);
    EXPECT_NO_THROW(ok = DecodeCompressedBlock(block, again));
  }
  EXPECT_FALSE(ok);
  EXPECT_TRUE(again.empty());
}

TEST(MemoryFailure, ASpriteWithoutMemoryForItsPictureOrItsCopyIsLeftOut) {
  CScreenSaverDoc doc;
  doc.m_nDesignWidth = 640, doc.m_nDesignHeight = 480;
  doc.m_nBackgroundKind = 2;  // solid colour
  for (int i = 0; i < 2; ++i) {
    auto sprite = std::make_unique<CAnimSprite>();
    sprite->m_Dib.Attach(DibCreate(300, 300, 32));  // a 90000-byte mask when prepared
    sprite->m_nX = 10 + 200 * i, sprite->m_nY = 10;
    if (i == 1) sprite->m_PhaseDurations.assign(200000, 5);  // 400 kB to copy
    doc.m_SpriteList.Insert(std::move(sprite));
  }
  // The preparation alone.
  auto& first = static_cast<CAnimSprite&>(*doc.m_SpriteList.GetAt(0));
  bool prepared = true;
  {
    RefuseAbove guard(60000);
    EXPECT_NO_THROW(prepared = PrepareForScene(first, 1, 1));
  }
  EXPECT_FALSE(prepared);
  EXPECT_TRUE(PrepareForScene(first, 1, 1));
  // The scene: the second sprite's copy fails and it is dropped; the first is kept.
  CAnimScene scene;
  {
    RefuseAbove guard(300000);
    EXPECT_NO_THROW(scene.Start(&doc, 640, 480));
  }
  EXPECT_EQ(scene.Sprites().GetCount(), 1u);
}
#endif

}  // namespace
}  // namespace qv
