#include "scene/anim_scene.h"

#include <gtest/gtest.h>

#include <vector>

#include "imaging/dib.h"

using namespace qv;

namespace {
// Surface pixels read as 0x00RRGGBB (blue in the low byte of memory).
constexpr uint32_t kBlue = 0x0000FF, kRed = 0xC80000;

struct RecordingPresenter : ScenePresenter {
  std::vector<Rect32> presented;  // the whole buffer is recorded as an empty rectangle
  void Present(CDibKSV&, const Rect32* rect) override { presented.push_back(rect ? *rect : Rect32{}); }
};

// A 24-bit picture of one colour.
DecodedPicture Solid(int w, int h, uint8_t red) {
  DibHandle block = DibCreate(w, h, 24);
  {
    DibLock lock(block);
    DibView v;
    ParseDib(lock.data(), lock.size(), &v);
    for (int r = 0; r < h; ++r)
      for (int x = 0; x < w; ++x) v.Row(r)[3 * x + 2] = red;
  }
  DecodedPicture p;
  p.Attach(block);
  return p;
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
  SetPlainScreenDepth(32);
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
