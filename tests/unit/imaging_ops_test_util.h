// Small helpers for the picture-operation tests: building pictures pixel by pixel,
// reading them back, a fixture that checks every block is freed, and a platform whose
// allocations can be made to fail.
#pragma once
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "imaging/dib.h"
#include "imaging/imaging_platform.h"
#include "imaging/palette.h"

namespace qv::test {

struct PictureInfo {
  int width = 0, height = 0, bits = 0;
  uint32_t colors = 0;
};

inline PictureInfo Info(DibHandle h) {
  DibLock lock(h);
  DibView v;
  if (!lock || !ParseDib(lock.data(), lock.size(), &v)) return {};
  return {v.width, v.height, v.bitCount, v.colorCount};
}

// Pixel (x, y), y from the top, as its raw bytes: blue, green, red(, alpha) for 16 bits and
// more (16 bits: the word in [0] | [1] << 8), the index in [0] for 8 bits.
inline std::array<uint8_t, 4> Px(DibHandle h, int x, int y) {
  DibLock lock(h);
  DibView v;
  std::array<uint8_t, 4> out{};
  if (!lock || !ParseDib(lock.data(), lock.size(), &v) || x < 0 || y < 0 || x >= v.width || y >= v.height)
    return {0xEE, 0xEE, 0xEE, 0xEE};
  const int bytes = v.bitCount == 15 ? 2 : v.bitCount / 8;
  std::memcpy(out.data(), v.Row(v.height - 1 - y) + static_cast<int64_t>(x) * bytes, bytes);
  return out;
}

// A block held locked and parsed for many reads.
class Locked {
 public:
  explicit Locked(DibHandle h) : m_lock(h) { m_ok = m_lock && ParseDib(m_lock.data(), m_lock.size(), &m_view); }
  explicit operator bool() const { return m_ok; }
  const DibView& View() const { return m_view; }
  // Address of pixel (x, y), y from the top.
  const uint8_t* At(int x, int y) const {
    const int bytes = m_view.bitCount == 15 ? 2 : m_view.bitCount / 8;
    return m_view.Row(m_view.height - 1 - y) + static_cast<int64_t>(x) * bytes;
  }

 private:
  DibLock m_lock;
  DibView m_view;
  bool m_ok = false;
};

inline void SetPx(DibHandle h, int x, int y, std::array<uint8_t, 4> bytes) {
  DibLock lock(h);
  DibView v;
  ASSERT_TRUE(lock && ParseDib(lock.data(), lock.size(), &v));
  const int n = v.bitCount == 15 ? 2 : v.bitCount / 8;
  std::memcpy(v.Row(v.height - 1 - y) + static_cast<int64_t>(x) * n, bytes.data(), n);
}

// Colour-table entry i of an 8-bit block as blue, green, red.
inline void SetEntry(DibHandle h, int i, uint8_t blue, uint8_t green, uint8_t red) {
  DibLock lock(h);
  DibView v;
  ASSERT_TRUE(lock && ParseDib(lock.data(), lock.size(), &v) && static_cast<uint32_t>(i) < v.colorCount);
  uint8_t* e = v.colorTable + 4 * i;
  e[0] = blue, e[1] = green, e[2] = red;
}

inline std::vector<uint8_t> Bytes(DibHandle h) {
  DibLock lock(h);
  return lock ? std::vector<uint8_t>(lock.data(), lock.data() + lock.size()) : std::vector<uint8_t>{};
}

// Every test starts and ends with the same number of live blocks; blocks move on each
// lock so that an address kept past its unlock shows up under the sanitizers.
class PictureOpsTest : public ::testing::Test {
 protected:
  void SetUp() override { m_live = LiveDibBlocks(); }
  void TearDown() override { EXPECT_EQ(LiveDibBlocks(), m_live) << "blocks leaked"; }
  ScopedCoreServices m_services{{.plainBlockRelocation = true}};
  int64_t m_live = 0;
};

// The plain platform with a budget of successful allocations (negative: unlimited).
inline int64_t& AllocationBudget() {
  static int64_t budget = -1;
  return budget;
}

inline const ImagingPlatform& RationedPlatform() {
  static const ImagingPlatform rationed = [] {
    ImagingPlatform p = PlainImagingPlatform();
    p.alloc = [](uint64_t size, bool zeroed) -> DibHandle {
      int64_t& budget = AllocationBudget();
      if (budget == 0) return nullptr;
      if (budget > 0) --budget;
      return PlainImagingPlatform().alloc(size, zeroed);
    };
    return p;
  }();
  return rationed;
}

// The installed services with the rationed platform in place of the plain one.
inline CoreServices RationedServices() {
  CoreServices services = Services();
  services.imaging = &RationedPlatform();
  return services;
}

// Installs the rationed platform for the life of the object. The platform can only be
// swapped while no block or palette is alive, so the application palette (built by
// earlier tests) is deleted meanwhile and rebuilt afterwards.
class RationedScope {
 public:
  RationedScope() {
    m_hadAppPalette = AppPalette().GetSafeHandle() != nullptr;
    AppPalette().DeleteObject();
    m_services.emplace(RationedServices());
  }
  ~RationedScope() {
    AllocationBudget() = -1;
    m_services.reset();
    if (m_hadAppPalette) MakeAppPalette(AppPalette());
  }
  bool On() const { return m_services->Installed(); }

 private:
  bool m_hadAppPalette = false;
  std::optional<ScopedCoreServices> m_services;
};

}  // namespace qv::test
