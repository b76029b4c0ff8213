#include "scene/anim_scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "imaging/blit.h"
#include "imaging/dib.h"
#include "scene/sprite_drawing.h"

using namespace qv;

namespace {
// Surface pixels read as 0x00RRGGBB (blue in the low byte of memory).
constexpr uint32_t kBlue = 0x0000FF, kRed = 0xC80000;

struct RecordingPresenter : ScenePresenter {
  std::vector<Rect32> presented;  // the whole buffer is recorded as an empty rectangle
  void Present(CDibKSV&, const Rect32* rect) override { presented.push_back(rect ? *rect : Rect32{}); }
};

// A picture of the given depth whose pixels fill(pixel, x, storage row) writes.
template <class Fill>
DecodedPicture Painted(int w, int h, int bits, Fill fill) {
  DibHandle block = DibCreate(w, h, bits);
  {
    DibLock lock(block);
    DibView v;
    ParseDib(lock.data(), lock.size(), &v);
    for (int r = 0; r < h; ++r)
      for (int x = 0; x < w; ++x) fill(v.Row(r) + bits / 8 * x, x, r);
  }
  DecodedPicture p;
  p.Attach(block);
  return p;
}

// A 24-bit picture of one colour.
DecodedPicture Solid(int w, int h, uint8_t red) {
  return Painted(w, h, 24, [red](uint8_t* p, int, int) { p[2] = red; });
}

// A document with a solid blue background and one 8 x 8 red sprite moving right by one
// pixel per tick.
void MakeDocument(CScreenSaverDoc& doc) {
  doc.m_nDesignWidth = 64;
  doc.m_nDesignHeight = 48;
  doc.m_nBackgroundKind = 2;
  doc.m_crBackColor = 0x00FF0000;
  auto sprite = std::make_unique<CAnimSprite>();
  sprite->m_Dib = Solid(8, 8, 200);
  sprite->m_bTransparent = 0;
  sprite->m_nX = 10;
  sprite->m_nY = 20;
  sprite->m_nMotion = 1;
  sprite->m_dVx = 20;  // one pixel per tick
  sprite->m_nPhaseSpeed = 1;  // slow phase timer: no redraw in these few ticks
  doc.m_SpriteList.Insert(std::move(sprite));
}
}  // namespace

TEST(AnimScene, StartsComposesAndRedrawsOnlyWhatMoved) {
  CScreenSaverDoc doc;
  MakeDocument(doc);
  CAnimScene scene;
  RecordingPresenter presenter;
  scene.SetPresenter(&presenter);
  scene.Start(&doc, 64, 48);
  ASSERT_NE(scene.BackBuffer(), nullptr);
  EXPECT_EQ(scene.Sprites().GetCount(), 1u);
  ASSERT_FALSE(presenter.presented.empty());
  EXPECT_EQ(presenter.presented.back(), Rect32{});  // the whole picture first
  // Sprites are hidden until the run shows them.
  EXPECT_EQ(scene.BackBuffer()->GetPixelValue(12, 22) & 0xFFFFFF, kBlue);

  scene.SetSpritesVisible(true);
  scene.UpdateAll();
  EXPECT_EQ(scene.BackBuffer()->GetPixelValue(12, 22) & 0xFFFFFF, kRed);
  presenter.presented.clear();
  EXPECT_TRUE(scene.StepSprites());
  // One merged rectangle: the old and the new place of the sprite.
  ASSERT_EQ(presenter.presented.size(), 1u);
  EXPECT_EQ(presenter.presented[0], (Rect32{10, 20, 19, 28}));
  EXPECT_EQ(scene.BackBuffer()->GetPixelValue(10, 22) & 0xFFFFFF, kBlue);  // uncovered
  EXPECT_EQ(scene.BackBuffer()->GetPixelValue(18, 22) & 0xFFFFFF, kRed);
  EXPECT_TRUE(scene.Damaged().IsEmpty());
}

TEST(AnimScene, NoBackgroundMeansNothingIsDrawn) {
  CScreenSaverDoc doc;
  MakeDocument(doc);
  doc.m_nBackgroundKind = 0;  // a picture kind without a picture
  CAnimScene scene;
  RecordingPresenter presenter;
  scene.SetPresenter(&presenter);
  scene.Start(&doc, 64, 48);
  EXPECT_EQ(scene.BackBuffer(), nullptr);
  EXPECT_TRUE(presenter.presented.empty());
  scene.SetSpritesVisible(true);
  EXPECT_TRUE(scene.StepSprites());  // sprites still move
  EXPECT_TRUE(presenter.presented.empty());
}

namespace {
// A 32-bit picture with a soft alpha edge, seeded colours and fully clear corners.
DecodedPicture Blob(int w, int h, uint32_t seed) {
  return Painted(w, h, 32, [=](uint8_t* p, int x, int r) {
    const int edge = std::min(std::min(x, w - 1 - x), std::min(r, h - 1 - r));
    p[0] = static_cast<uint8_t>(seed * 37 + x * 5);
    p[1] = static_cast<uint8_t>(seed * 91 + r * 7);
    p[2] = static_cast<uint8_t>(seed * 13 + x * r);
    p[3] = static_cast<uint8_t>(edge == 0 ? 0 : edge == 1 ? 90 : edge == 2 ? 200 : 255);
  });
}
}  // namespace

TEST(AnimScene, DamagedRedrawsEqualTheWholeSceneRecomposedAtEveryDepth) {
  // Overlapping sprites of every drawing kind (alpha, keyed, below full opacity, over a
  // solid colour, partly off the scene) pass through each other over a gradient; after
  // every tick the back buffer must equal the background with every sprite drawn over it.
  for (int depth : {32, 16, 8}) {
    ScopedCoreServices screen({.plainScreenDepth = depth});
    CScreenSaverDoc doc;
    doc.m_nDesignWidth = 96;
    doc.m_nDesignHeight = 64;
    doc.m_nBackgroundKind = 1;
    doc.m_crGradientFrom = 0x102030;
    doc.m_crGradientTo = 0xF0C080;
    for (int i = 0; i < 7; ++i) {
      auto sprite = std::make_unique<CAnimSprite>();
      sprite->m_Dib = i == 3 ? Solid(13, 9, 120) : Blob(11 + 3 * i, 9 + 2 * i, static_cast<uint32_t>(i));
      sprite->m_bTransparent = i == 3;
      sprite->m_nKeyRed = 120;
      sprite->m_nOpacity = i == 2 ? 60 : 100;
      sprite->m_bSolidBack = i == 4;
      sprite->m_crSolidBack = 0x3070B0;
      sprite->m_nX = 5 + 11 * i;
      sprite->m_nY = i == 6 ? -4 : 8 + 5 * i;
      sprite->m_nMotion = 1;
      sprite->m_dVx = (i % 2 ? 20 : -20) * (1 + i % 3);
      sprite->m_dVy = (i % 3 ? 20 : -20);
      sprite->m_nEdgeMode = 2;
      sprite->m_nPhaseSpeed = 1;
      doc.m_SpriteList.Insert(std::move(sprite));
    }
    CAnimScene scene;
    RecordingPresenter presenter;
    scene.SetPresenter(&presenter);
    const SceneMode fast{.fastTiming = true};
    scene.SetMode(&fast);
    scene.Start(&doc, 96, 64);
    scene.SetSpritesVisible(true);
    scene.UpdateAll();
    ASSERT_NE(scene.BackBuffer(), nullptr);
    CDibKSV expected(depth);
    ASSERT_TRUE(expected.Create(96, 64));
    for (int tick = 0; tick < 40; ++tick) {
      scene.StepSprites();
      scene.Background()->Blit({.dest = &expected, .width = 96, .height = 64});
      CSpriteList& list = scene.Sprites();
      for (size_t i = list.GetCount(); i-- > 0;)
        DrawInto(*static_cast<CAnimSprite*>(list.GetAt(i)), expected, Rect32{0, 0, 96, 64});
      int differences = 0;
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 96; ++x)
          differences += scene.BackBuffer()->GetPixelValue(x, y) != expected.GetPixelValue(x, y);
      ASSERT_EQ(differences, 0) << "depth " << depth << " tick " << tick;
    }
  }
}
