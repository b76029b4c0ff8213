// The application palette, error diffusion onto its layout, and the palette objects.
#include <array>
#include <cstring>

#include "imaging/dib.h"
#include "imaging/palette.h"
#include "imaging_test_util.h"

namespace qv {
namespace {

using PaletteTest = test::ImagingTest;

TEST_F(PaletteTest, AppPaletteComponentsComeFromTheIndexBits) {
  CPalette p;
  MakeAppPalette(p);
  const std::vector<PaletteEntry> e = p.GetEntries();
  ASSERT_EQ(e.size(), 256u);
  EXPECT_EQ(e[0xFF], (PaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ(e[0x41], (PaletteEntry{85, 0, 0, 0}));  // 01 000 00 1
  EXPECT_EQ(e[0x00], (PaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(e[0x3E], e[0x3F]);  // bit 0 unused: every colour twice
  EXPECT_EQ(AppPaletteRecord().version, 0x300);
  const uint8_t* table = AppPaletteColorTable();
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(table[4 * i + 2], e[i].red) << i;
    EXPECT_EQ(table[4 * i + 1], e[i].green) << i;
    EXPECT_EQ(table[4 * i + 0], e[i].blue) << i;
    EXPECT_EQ(table[4 * i + 3], 0) << i;
  }
  // Rebuilding replaces the old palette object.
  const PaletteHandle first = p.GetSafeHandle();
  MakeAppPalette(p);
  EXPECT_NE(p.GetSafeHandle(), nullptr);
  (void)first;
  MakeAppPalette(AppPalette());
  EXPECT_EQ(AppPalette().GetEntries().size(), 256u);
}

// Rows of one colour each.
class FlatRows : public AppPaletteRows {
 public:
  FlatRows(int width, std::vector<std::array<int, 3>> colours) : m_width(width), m_colours(std::move(colours)) {}
  void LoadRow(int row, int* rgb) override {
    for (int x = 0; x < m_width; ++x) std::memcpy(rgb + 3 * x, m_colours[row].data(), 3 * sizeof(int));
  }

 private:
  int m_width;
  std::vector<std::array<int, 3>> m_colours;
};

TEST_F(PaletteTest, QuantisingPaletteColoursLeavesNoError) {
  FlatRows rows(5, {{255, 255, 255}, {0, 0, 0}, {AppPaletteRed(0x41), 0, 0}});
  uint8_t out[3][5];
  ASSERT_TRUE(QuantiseToAppPalette(rows, 5, 3, &out[0][0], 5));
  for (int x = 0; x < 5; ++x) {
    EXPECT_EQ(out[0][x], 0xFE);
    EXPECT_EQ(out[1][x], 0x00);
    EXPECT_EQ(out[2][x], 0x40);
  }
}

TEST_F(PaletteTest, DiffusionKeepsTheAverageColour) {
  for (int grey : {37, 100, 128, 200}) {
    const int w = 64, h = 64;
    FlatRows rows(w, std::vector<std::array<int, 3>>(h, {grey, grey, grey}));
    std::vector<uint8_t> out(w * h);
    ASSERT_TRUE(QuantiseToAppPalette(rows, w, h, out.data(), w));
    double r = 0, g = 0, b = 0;
    for (uint8_t i : out) r += AppPaletteRed(i), g += AppPaletteGreen(i), b += AppPaletteBlue(i);
    EXPECT_NEAR(r / (w * h), grey, 1.5) << grey;
    EXPECT_NEAR(g / (w * h), grey, 1.5) << grey;
    EXPECT_NEAR(b / (w * h), grey, 1.5) << grey;
  }
}

// One column: what the transparent test sees of row 1 is its colour plus T5 of row 0's
// error. Grey 100 falls on index 0x5A = (85, 109, 85): errors (15, -9, 15); T5(15) =
// (75 + 8) / 16 = 5 and T5(-9) = -((45 + 8) / 16) = -3.
class KeyedRows : public FlatRows {
 public:
  KeyedRows() : FlatRows(1, {{100, 100, 100}, {100, 100, 100}}) {}
  bool HasTransparentTest() const override { return true; }
  int TransparentIndex(int row, int, const int* rgb) override {
    seen.push_back({rgb[0], rgb[1], rgb[2]});
    return row == 1 ? 255 : -1;
  }
  std::vector<std::array<int, 3>> seen;
};

TEST_F(PaletteTest, TransparentTestSeesTheCarriedErrorAndDecidesTheIndex) {
  KeyedRows rows;
  uint8_t out[2];
  ASSERT_TRUE(QuantiseToAppPalette(rows, 1, 2, out, 1));
  ASSERT_EQ(rows.seen.size(), 2u);
  EXPECT_EQ(rows.seen[0], (std::array<int, 3>{100, 100, 100}));
  EXPECT_EQ(rows.seen[1], (std::array<int, 3>{105, 97, 105}));
  EXPECT_EQ(out[0], 0x5A);
  EXPECT_EQ(out[1], 255);
  EXPECT_FALSE(QuantiseToAppPalette(rows, 20000, 1, out, 1));
}

TEST_F(PaletteTest, IdentityFlagsLeaveTheStaticColours) {
  std::vector<PaletteEntry> e(256);
  SetIdentityPaletteFlags(e, 20);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(e[i].flags, (i >= 10 && i < 246) ? 4 : 0) << i;
}

TEST_F(PaletteTest, DibPaletteFromASurfaceTable) {
  UniqueDib surface(DibCreate(4, 4, 8));
  {
    DibLock lock(surface.get());
    ASSERT_TRUE(lock);
    std::memcpy(lock.data() + 40, AppPaletteColorTable(), 1024);
  }
  CDIBPal pal;
  ASSERT_TRUE(pal.CreateFromSurface(surface.get()));
  const std::vector<PaletteEntry> e = pal.GetEntries();
  ASSERT_EQ(e.size(), 256u);
  EXPECT_EQ(e[0x41], (PaletteEntry{85, 0, 0, 0}));
  EXPECT_EQ(pal.MakeIdentity(), 0);  // no palette display here
  UniqueDib rgb(DibCreate(4, 4, 24));
  CDIBPal none;
  EXPECT_FALSE(none.CreateFromSurface(rgb.get()));
  EXPECT_EQ(none.GetSafeHandle(), nullptr);
  EXPECT_EQ(none.MakeIdentity(), 0);
}

}  // namespace
}  // namespace qv
