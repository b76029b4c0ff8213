#include <gtest/gtest.h>

#include "document_test_support.h"

using namespace qv;
using namespace qvtest;

namespace {

struct DamageLog : SceneDamageSink {
  std::vector<Rect32> rects;
  void AddDamaged(const Rect32& r) override { rects.push_back(r); }
};

std::unique_ptr<CSprite> SizedSprite(int w, int h, int x, int y, int hot) {
  auto s = std::make_unique<CSprite>();
  s->m_nSurfaceWidth = w;
  s->m_nSurfaceHeight = h;
  s->m_nX = x;
  s->m_nY = y;
  s->m_nHotX = s->m_nHotY = hot;
  return s;
}

}  // namespace

TEST(DocumentSprite, RectFollowsHotSpot) {
  EXPECT_EQ(SizedSprite(100, 40, 500, 300, 50)->GetRect(), (Rect32{450, 280, 550, 320}));
  EXPECT_EQ(SizedSprite(100, 40, 500, 300, 0)->GetRect(), (Rect32{500, 300, 600, 340}));
  // Division rounds toward zero for negative hot spots too.
  EXPECT_EQ(SizedSprite(3, 3, 0, 0, -50)->GetRect().left, 1);

  CPhasedSprite p;
  p.m_nSurfaceWidth = 90;
  p.m_nSurfaceHeight = 30;
  p.m_nPhaseSize = 10;
  EXPECT_EQ(p.GetWidth(), 90);
  EXPECT_EQ(p.GetHeight(), 10);
  p.m_bHorizontalStrip = 1;
  p.m_nPhaseSize = 30;
  EXPECT_EQ(p.GetWidth(), 30);
  EXPECT_EQ(p.GetHeight(), 30);
}

TEST(DocumentSprite, ListNotificationsReorderAndDamage) {
  CSpriteList list;
  DamageLog damage;
  list.AttachScene(&damage);
  auto sa = SizedSprite(10, 10, 0, 0, 0);
  CSprite* a = sa.get();
  list.Insert(std::move(sa));
  auto sb = SizedSprite(10, 10, 50, 50, 0);
  CSprite* b = sb.get();
  list.Insert(std::move(sb));
  auto sc = std::make_unique<CPhasedSprite>();
  CPhasedSprite* c = sc.get();
  c->m_nSurfaceWidth = 10;
  c->m_nPhaseCount = 3;
  c->m_nPhaseSize = 10;
  list.Insert(std::move(sc));
  EXPECT_NE(a->GetNotificationObject(), nullptr);

  // A depth change moves the sprite to the tail (drawn first, under all others);
  // the same depth again reports nothing.
  a->SetZ(a->m_nZ);
  EXPECT_EQ(list.GetAt(0), a);
  a->SetZ(99);
  EXPECT_EQ(list.GetAt(2), a);
  EXPECT_EQ(list.GetAt(0), b);
  EXPECT_TRUE(damage.rects.empty());

  b->SetPosition(60, 70);
  ASSERT_EQ(damage.rects.size(), 2u);
  EXPECT_EQ(damage.rects[0], (Rect32{50, 50, 60, 60}));
  EXPECT_EQ(damage.rects[1], (Rect32{60, 70, 70, 80}));

  damage.rects.clear();
  EXPECT_FALSE(c->SetPhase(0));  // the current phase
  EXPECT_FALSE(c->SetPhase(3));
  EXPECT_FALSE(c->SetPhase(-1));
  EXPECT_TRUE(damage.rects.empty());
  EXPECT_TRUE(c->SetPhase(2));
  EXPECT_EQ(c->GetPhase(), 2);
  ASSERT_EQ(damage.rects.size(), 1u);
  EXPECT_EQ(damage.rects[0], c->GetRect());

  // Remove clears the sink; a removed sprite reports nowhere.
  std::unique_ptr<CSprite> out = list.Remove(b);
  ASSERT_EQ(out.get(), b);
  EXPECT_EQ(b->GetNotificationObject(), nullptr);
  EXPECT_EQ(list.Remove(b), nullptr);
  damage.rects.clear();
  b->SetPosition(0, 0);
  EXPECT_TRUE(damage.rects.empty());
  list.Reorder(b);  // not in the list: nothing happens
  EXPECT_EQ(list.GetCount(), 2u);

  // Without a scene, moves change nothing but the sprite.
  list.AttachScene(nullptr);
  c->SetPosition(5, 5);
  EXPECT_TRUE(damage.rects.empty());
  list.DeleteAll();
  EXPECT_TRUE(list.IsEmpty());
}

TEST(DocumentSprite, SetPhaseCountUsesDecodedPicture) {
  CPhasedSprite p;
  p.m_Dib = DecodedPicture(MakeDib(40, 30, 24));
  EXPECT_TRUE(p.SetPhaseCount(0));
  EXPECT_EQ(p.m_nPhaseCount, 1);
  EXPECT_TRUE(p.SetPhaseCount(3));
  EXPECT_EQ(p.m_nPhaseSize, 10);
  p.m_nPhase = 2;
  EXPECT_FALSE(p.SetPhaseCount(31));  // more phases than rows: phases stay as they were
  EXPECT_EQ(p.m_nPhaseCount, 3);
  EXPECT_EQ(p.m_nPhase, 2);
  p.m_bHorizontalStrip = 1;
  EXPECT_TRUE(p.SetPhaseCount(4));
  EXPECT_EQ(p.m_nPhaseSize, 10);
  EXPECT_EQ(p.m_nPhase, 0);
}

TEST(DocumentSprite, SceneCopyTakesEveryFieldAndFreshMotionState) {
  CAnimSprite source;
  FillSprite(source, 3);
  source.m_Dib = DecodedPicture(MakeDib(8, 6, 32));
  source.m_AlphaMask = {1, 2, 3};
  source.m_nAngle = 12;
  source.m_nAccX = 9;
  source.m_bCollided = 1;
  CSpriteList list;
  auto owned = std::make_unique<CAnimSprite>(source);
  CAnimSprite* inList = owned.get();
  list.Insert(std::move(owned));

  std::unique_ptr<CAnimSprite> copy = MakeSceneCopy(*inList, 1234);
  EXPECT_EQ(copy->GetNotificationObject(), nullptr);
  EXPECT_EQ(copy->m_nAngle, 90);
  EXPECT_EQ(copy->m_nPause, 234);
  EXPECT_EQ(copy->m_nAccX, 0);
  EXPECT_EQ(copy->m_bCollided, 0);
  // The picture stays with the record: its name only, no bytes, no decoded picture.
  EXPECT_TRUE(copy->m_Dib.IsEmpty());
  EXPECT_EQ(copy->m_Picture.name, source.m_Picture.name);
  EXPECT_FALSE(copy->m_Picture.IsEmbedded());
  EXPECT_EQ(copy->m_AlphaMask, source.m_AlphaMask);
  EXPECT_EQ(copy->m_PhaseDurations, source.m_PhaseDurations);
  EXPECT_EQ(copy->m_SoundBounceY, source.m_SoundBounceY);
  EXPECT_EQ(copy->m_dVx, -35);
  EXPECT_EQ(copy->m_nRandomVy, -6);
  EXPECT_EQ(copy->m_strComment, source.m_strComment);
  EXPECT_EQ(copy->m_crSolidBack, source.m_crSolidBack);
  // The copy owns its sounds' bytes.
  ASSERT_TRUE(copy->m_SoundBounceY.IsEmbedded());
  copy->m_SoundBounceY.bytes[0] ^= 0xFF;
  EXPECT_NE(copy->m_SoundBounceY.bytes, inList->m_SoundBounceY.bytes);

  // A plain CSprite record takes the phase and motion defaults.
  CSprite plain;
  FillSprite(plain, 4);
  auto fromPlain = MakeSceneCopy(plain, 499);
  EXPECT_EQ(fromPlain->m_strName, "sprite4");
  EXPECT_EQ(fromPlain->m_nOpacity, 40);
  EXPECT_EQ(fromPlain->m_nPhaseCount, 1);
  EXPECT_EQ(fromPlain->m_nPhaseSpeed, 15);
  EXPECT_EQ(fromPlain->m_nMotion, 0);
  EXPECT_EQ(fromPlain->m_dVx, 0);
  EXPECT_EQ(fromPlain->m_nPause, 499);
}
