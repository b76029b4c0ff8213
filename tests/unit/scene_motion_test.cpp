#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "scene/sprite_motion.h"

using namespace qv;

namespace {

using Played = std::pair<const CAnimSprite*, int>;

// A fixed random sequence (a draw beyond it fails the test), a sound log, and every
// sprite counted as having all three sounds unless a test says otherwise.
struct Harness {
  std::vector<int> draws;
  size_t next = 0;
  std::vector<Played> played;
  MotionContext ctx;
  explicit Harness(bool fast = false, std::vector<int> values = {}) : draws(std::move(values)) {
    ctx.fastTiming = fast;
    ctx.random = [this] {
      if (next < draws.size()) return draws[next++];
      ADD_FAILURE() << "unexpected random draw";
      return 0;
    };
    ctx.playSound = [this](CAnimSprite& s, int k) { played.emplace_back(&s, k); };
    ctx.hasSound = [](const CAnimSprite&, int) { return true; };
  }
  int Count(int k) const {
    int n = 0;
    for (const Played& p : played) n += p.second == k;
    return n;
  }
};

struct DamageLog : SceneDamageSink {
  std::vector<Rect32> rects;
  void AddDamaged(const Rect32& r) override { rects.push_back(r); }
};

// A w x h one-phase sprite with its top-left corner at (x, y). Its phase time is 60
// ticks, out of the way of the motion cases.
std::unique_ptr<CAnimSprite> Mover(int w, int h, int x, int y, double vx = 0, double vy = 0,
                                   int motion = 1, int edge = 0) {
  auto s = std::make_unique<CAnimSprite>();
  s->m_nSurfaceWidth = w;
  s->m_nSurfaceHeight = s->m_nPhaseSize = h;
  s->m_nX = x;
  s->m_nY = y;
  s->m_dVx = vx;
  s->m_dVy = vy;
  s->m_nMotion = motion;
  s->m_nEdgeMode = edge;
  s->m_nPhaseSpeed = 1;
  s->m_nPause = 0;
  return s;
}

constexpr int W = 640;
constexpr int H = 480;

}  // namespace

// --- Straight motion and edges -------------------------------------------------------

TEST(SceneMotion, SpeedUnitsAndAccumulator) {
  Harness normal, fast(true);
  auto s = Mover(10, 10, 100, 100, 100);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_TRUE(Step(*s, W, H, normal.ctx));
    EXPECT_EQ(s->m_nX, 100 + 5 * i);
  }
  EXPECT_EQ(s->m_nAccX, 0);
  s->m_dVx = -100;
  Step(*s, W, H, fast.ctx);
  EXPECT_EQ(s->m_nX, 114);

  // 7 twentieths: one pixel on the third tick, the remainder keeps the speed's sign.
  // Fractions are truncated first.
  for (double v : {7.0, 7.9, -7.0, -7.9}) {
    auto p = Mover(10, 10, 100, 100, v);
    EXPECT_FALSE(Step(*p, W, H, normal.ctx)) << v;
    EXPECT_FALSE(Step(*p, W, H, normal.ctx)) << v;
    EXPECT_TRUE(Step(*p, W, H, normal.ctx)) << v;
    EXPECT_EQ(p->m_nX, v > 0 ? 101 : 99) << v;
    EXPECT_EQ(p->m_nAccX, v > 0 ? 1 : -1) << v;
  }

  // trunc(3) / 5 = 0 under fast timing: never moves. Motion 0 never moves at all.
  auto slow = Mover(10, 10, 100, 100, 3, -4);
  auto still = Mover(10, 10, 100, 100, 400, 400, 0);
  for (int i = 0; i < 200; ++i) {
    Step(*slow, W, H, fast.ctx);
    Step(*still, W, H, normal.ctx);
  }
  EXPECT_EQ(slow->GetRect(), (Rect32{100, 100, 110, 110}));
  EXPECT_EQ(still->GetRect(), (Rect32{100, 100, 110, 110}));
}

TEST(SceneMotion, WrapEdgesKeepTheHotSpotOffset) {
  Harness h;
  auto s = Mover(40, 40, 635 + 20, 200, 100);
  s->m_nHotX = s->m_nHotY = 50;  // m_nX = left + 20
  Step(*s, W, H, h.ctx);
  EXPECT_EQ(s->GetLeft(), 640);  // reaching W is not yet past it
  Step(*s, W, H, h.ctx);
  EXPECT_EQ(s->GetLeft(), -40);  // right edge at the left border
  EXPECT_EQ(s->m_nX, -20);

  s->m_dVx = -100;
  s->m_nX = -35 + 20;
  Step(*s, W, H, h.ctx);
  EXPECT_EQ(s->GetLeft(), -40);
  Step(*s, W, H, h.ctx);
  EXPECT_EQ(s->GetLeft(), W);

  s->m_dVx = 0;
  s->m_dVy = 100;
  s->m_nY = 478 + 20;
  Step(*s, W, H, h.ctx);
  EXPECT_EQ(s->GetTop(), -40);
  EXPECT_TRUE(h.played.empty());
  EXPECT_EQ(h.next, 0u);  // mode 0 draws nothing
}

TEST(SceneMotion, EdgeModeOnePausesAfterWrap) {
  // Draws: the wrap's pause (1234 % 500 = 234), two misses, then the hit.
  Harness h(false, {1234, 7, 499, 734, 1500});
  auto s = Mover(40, 40, 638, 100, 100, 0, 1, 1);
  s->m_nPhaseSpeed = 15;
  s->m_nPhaseCount = 3;
  EXPECT_TRUE(Step(*s, W, H, h.ctx));
  EXPECT_EQ(s->m_nX, -40);
  EXPECT_EQ(s->m_nPause, 234);
  EXPECT_FALSE(Step(*s, W, H, h.ctx));
  EXPECT_FALSE(Step(*s, W, H, h.ctx));
  EXPECT_EQ(s->m_nX, -40);
  EXPECT_EQ(s->m_nTicks, 1);  // no phase animation during the pause
  EXPECT_TRUE(Step(*s, W, H, h.ctx));  // the hit ends the pause; it moves at once
  EXPECT_EQ(s->m_nPause, 0);
  EXPECT_EQ(s->m_nX, -35);

  // A pause draw of 0 becomes 1; other edge modes ignore m_nPause.
  s->m_nX = 638;
  Step(*s, W, H, h.ctx);
  EXPECT_EQ(s->m_nPause, 1);
  s->m_nEdgeMode = 0;
  EXPECT_TRUE(Step(*s, W, H, h.ctx));
  EXPECT_EQ(h.next, h.draws.size());
}

TEST(SceneMotion, BounceEdgesTurnOnceWithSound) {
  Harness h;
  auto s = Mover(40, 40, 595, 100, 100, 0, 1, 2);
  Step(*s, W, H, h.ctx);  // 600 = W - w: not past
  EXPECT_EQ(s->m_dVx, 100);
  Step(*s, W, H, h.ctx);  // 605: turns, standing past the edge for this tick
  EXPECT_EQ(s->m_nX, 605);
  EXPECT_EQ(s->m_dVx, -100);
  Step(*s, W, H, h.ctx);
  EXPECT_EQ(s->m_nX, 600);
  EXPECT_EQ(h.Count(kSoundBounceX), 1);

  s->m_nX = 5;
  Step(*s, W, H, h.ctx);  // reaching 0 is enough on the left
  EXPECT_EQ(s->m_dVx, 100);
  EXPECT_EQ(h.Count(kSoundBounceX), 2);

  s->m_dVx = 0;
  s->m_dVy = 100;
  s->m_nY = 440;
  Step(*s, W, H, h.ctx);
  EXPECT_EQ(s->m_dVy, -100);
  EXPECT_EQ(h.Count(kSoundBounceY), 1);

  // By default only embedded sounds play; the sprite turns either way.
  h.ctx.hasSound = {};
  s->m_dVy = 0;
  s->m_dVx = 100;
  s->m_nX = 603;
  Step(*s, W, H, h.ctx);
  EXPECT_EQ(s->m_dVx, -100);
  EXPECT_EQ(h.played.size(), 3u);
  s->m_SoundBounceX.bytes = {1};
  s->m_nX = 2;
  Step(*s, W, H, h.ctx);
  EXPECT_EQ(h.Count(kSoundBounceX), 3);
}

// --- Bouncing ball -------------------------------------------------------------------

TEST(SceneMotion, BallTouchesFloorEvery180Degrees) {
  Harness h;
  auto s = Mover(40, 40, 100, 0, 0, 20, 2);
  s->m_nAmplitude = 300;
  std::vector<int> soundTicks;
  for (int tick = 1; tick <= 720; ++tick) {
    const size_t before = h.played.size();
    ASSERT_TRUE(Step(*s, W, H, h.ctx));
    if (h.played.size() != before) soundTicks.push_back(tick);
    if (tick == 90) {
      EXPECT_EQ(s->GetTop(), 439) << "floor: trunc(440 - 0.002)";
    }
    if (tick == 360) {
      EXPECT_EQ(s->GetTop(), 139) << "top: trunc(440 - 300.0001)";
    }
  }
  // Angle 90 + tick; with 6.2832 the sine turns negative exactly at 180 degrees.
  EXPECT_EQ(soundTicks, (std::vector<int>{90, 270, 450, 630}));
  EXPECT_EQ(h.Count(kSoundBounceY), 4);

  // Fast timing: 4 twentieths a tick, one degree every 5 ticks. Speed 0 becomes 1.
  Harness fast(true);
  auto f = Mover(40, 40, 100, 0, 0, 20, 2);
  for (int i = 0; i < 4; ++i) Step(*f, W, H, fast.ctx);
  EXPECT_EQ(f->m_nAngle, 90);
  Step(*f, W, H, fast.ctx);
  EXPECT_EQ(f->m_nAngle, 91);
  auto z = Mover(40, 40, 100, 0, 0, 0, 2);
  Step(*z, W, H, h.ctx);
  EXPECT_EQ(z->m_dVy, 1);
  EXPECT_EQ(z->m_nAccY, 1);
}

TEST(SceneMotion, BallMovesSidewaysLikeAStraightMover) {
  // Towards the right wall (600) and back: the ball's x follows a straight mover's.
  Harness h, straight;
  auto ball = Mover(40, 40, 590, 0, 20, 20, 2, 2);
  auto line = Mover(40, 40, 590, 0, 20, 0, 1, 2);
  ball->m_nAmplitude = 300;
  for (int tick = 1; tick <= 30; ++tick) {
    Step(*ball, W, H, h.ctx);
    Step(*line, W, H, straight.ctx);
    ASSERT_EQ(ball->GetLeft(), line->GetLeft()) << tick;
  }
  EXPECT_LT(ball->GetLeft(), 595) << "turned at the wall";
  EXPECT_EQ(h.Count(kSoundBounceX), 1);
}

// --- Phases --------------------------------------------------------------------------

TEST(SceneMotion, PhaseTiming) {
  for (bool fast : {false, true}) {
    Harness h(fast);
    auto s = Mover(10, 10, 0, 0, 0, 0, 0);
    s->m_nPhaseSpeed = 15;
    s->m_nPhaseCount = 3;
    std::vector<int> changes;
    for (int tick = 1; tick <= 40; ++tick) {
      if (Step(*s, W, H, h.ctx)) changes.push_back(tick);
    }
    // 4 ticks (4 x 50 >= 200 ms), or 20 with fast timing.
    EXPECT_EQ(changes.size(), fast ? 2u : 10u);
    EXPECT_EQ(changes.front(), fast ? 20 : 4);
    EXPECT_EQ(s->m_nPhase, fast ? 2 : 1);
  }

  // A one-phase sprite reports an unchanged position when its time runs out.
  CSpriteList list;
  DamageLog damage;
  list.AttachScene(&damage);
  list.Insert(Mover(10, 10, 7, 8, 0, 0, 0));
  auto* one = static_cast<CAnimSprite*>(list.GetAt(0));
  one->m_nPhaseSpeed = 15;
  Harness h;
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(Step(*one, W, H, h.ctx));
  }
  EXPECT_TRUE(Step(*one, W, H, h.ctx));
  EXPECT_EQ(damage.rects, (std::vector<Rect32>(2, Rect32{7, 8, 17, 18})));

  // Durations: phase 3 beyond a list of two takes the last value (400 ms, 8 ticks).
  auto d = Mover(10, 10, 0, 0, 0, 0, 0);
  d->m_nPhaseSpeed = 15;
  d->m_nPhaseCount = 4;
  d->m_PhaseDurations = {100, 400};
  d->m_nPhase = 3;
  for (int i = 0; i < 7; ++i) {
    EXPECT_FALSE(Step(*d, W, H, h.ctx));
  }
  EXPECT_TRUE(Step(*d, W, H, h.ctx));
  EXPECT_EQ(d->m_nPhase, 0);
  EXPECT_FALSE(Step(*d, W, H, h.ctx));  // phase 0: 100 ms
  EXPECT_TRUE(Step(*d, W, H, h.ctx));
  // With one phase the durations are ignored: 3000 / 15 ms again.
  d->m_nPhaseCount = 1;
  d->m_nPhase = 0;
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(Step(*d, W, H, h.ctx));
  }
  EXPECT_TRUE(Step(*d, W, H, h.ctx));

  // Phase speed 0: the phases stand still and nothing is reported.
  d->m_nPhaseSpeed = 0;
  d->m_nPhaseCount = 3;
  for (int i = 0; i < 1000; ++i) {
    EXPECT_FALSE(Step(*d, W, H, h.ctx));
  }
  EXPECT_EQ(d->m_nPhase, 0);
}

// --- Placement -----------------------------------------------------------------------

TEST(SceneMotion, PlacementScalesAndDrawsInOrder) {
  std::vector<std::pair<double, double>> prepared;
  const PrepareForSceneFn prepare = [&](CAnimSprite&, double sx, double sy) {
    prepared.emplace_back(sx, sy);
  };
  const auto unit = std::make_pair(1.0, 1.0);
  Harness h(false, {1000, 2000, 25, 650, 10});

  auto s = Mover(40, 20, 720, 450);
  s->m_nHotY = 50;
  s->m_bCollided = 1;
  PlaceSprite(*s, {1920, 1080, 1440, 900, false}, prepare, h.ctx);
  EXPECT_EQ(prepared.back(), std::make_pair(1920.0 / 1440.0, 1080.0 / 900.0));
  EXPECT_EQ(s->GetRect(), (Rect32{960, 530, 1000, 550}));
  EXPECT_EQ(s->m_nAmplitude, 1080 - 550);  // H - bottom
  EXPECT_EQ(s->m_bCollided, 0);

  // Preview: the picture keeps its scale, the position does not (multiplication first).
  auto p = Mover(40, 20, 3, 3);
  PlaceSprite(*p, {640, 480, 1280, 960, true}, prepare, h.ctx);
  EXPECT_EQ(prepared.back(), unit);
  EXPECT_EQ(p->m_nX, 1);
  PlaceSprite(*p, {800, 600, 800, 600, false}, prepare, h.ctx);
  EXPECT_EQ(prepared.back(), unit);

  // Random start draws x then y; the speed variation dx (dy has no range: no draw).
  auto r = Mover(40, 20, 5, 5, 100, 7);
  r->m_bRandomStart = r->m_bRandomSpeed = 1;
  r->m_nRandomVx = 10;
  PlaceSprite(*r, {1600, 1200, 800, 600, false}, {}, h.ctx);
  EXPECT_EQ(r->m_nX, 400);  // 1000 % 800, doubled
  EXPECT_EQ(r->m_nY, 400);  // 2000 % 600, doubled
  EXPECT_EQ(r->m_dVx, 95);  // 25 % 20 - 10
  EXPECT_EQ(r->m_dVy, 7);

  // A design size of 0 stands for the scene's own size: no scaling, no division by 0.
  auto z = Mover(40, 20, 123, 45);
  PlaceSprite(*z, {640, 480, 0, 0, false}, prepare, h.ctx);
  EXPECT_EQ(prepared.back(), unit);
  EXPECT_EQ(z->m_nX, 123);
  z->m_bRandomStart = 1;
  PlaceSprite(*z, {640, 480, 0, 900, false}, {}, h.ctx);
  EXPECT_EQ(z->m_nX, 10);  // 650 % 640
  EXPECT_EQ(z->m_nY, 10 * 480 / 900);
  EXPECT_EQ(h.next, h.draws.size());
}

// --- Collisions ----------------------------------------------------------------------

TEST(SceneCollision, HeadOnApartAndSoundOwner) {
  Harness h;
  auto a = Mover(40, 40, 0, 0, 100);
  auto b = Mover(40, 40, 30, 0, -100);
  EXPECT_TRUE(Collide(*a, *b, h.ctx));
  EXPECT_NEAR(a->m_dVx, -100, 1e-9);
  EXPECT_NEAR(b->m_dVx, 100, 1e-9);
  EXPECT_NEAR(a->m_dVy, 0, 1e-9);
  EXPECT_EQ(a->m_nX, 0);  // positions stay
  // Equal masses: the second party sounds it, or the first when the second has none.
  EXPECT_EQ(h.played, (std::vector<Played>{{b.get(), kSoundCollide}}));
  h.ctx.hasSound = [&](const CAnimSprite& s, int) { return &s == a.get(); };
  a->m_dVx = 100;
  b->m_dVx = -100;
  Collide(*a, *b, h.ctx);
  EXPECT_EQ(h.played.back().first, a.get());

  // Overlapping but separating: nothing changes.
  h.played.clear();
  a->m_dVx = -100;
  b->m_dVx = 100;
  EXPECT_FALSE(Collide(*a, *b, h.ctx));
  EXPECT_EQ(a->m_dVx, -100);
  EXPECT_TRUE(h.played.empty());

  // Touching edges do not intersect; two immovable sprites never collide.
  a->m_dVx = 100;
  b->m_dVx = -100;
  b->m_nX = 40;
  EXPECT_FALSE(Collide(*a, *b, h.ctx));
  b->m_nX = 30;
  a->m_bCollisionMoves = b->m_bCollisionMoves = 0;
  EXPECT_FALSE(Collide(*a, *b, h.ctx));
  EXPECT_EQ(a->m_dVx, 100);

  // Rectangles overlap, the discs (radius half the width) do not: touched, unchanged.
  auto c = Mover(40, 40, 0, 0, 100);
  auto d = Mover(40, 40, 38, 38);
  EXPECT_TRUE(Collide(*c, *d, h.ctx));
  EXPECT_EQ(c->m_dVx, 100);
  EXPECT_TRUE(h.played.empty());
}

TEST(SceneCollision, ImmovableObstacleAndClamp) {
  // As from a wall of infinite mass coming at it; the heavier party sounds it.
  Harness h;
  auto a = Mover(40, 40, 0, 0, 100);
  auto wall = Mover(40, 40, 30, 0, -20);
  wall->m_bCollisionMoves = 0;
  Collide(*a, *wall, h.ctx);
  EXPECT_NEAR(a->m_dVx, -140, 1e-4);
  EXPECT_EQ(wall->m_dVx, -20);
  EXPECT_EQ(h.played.at(0).first, wall.get());
  // The same with the obstacle as the first party.
  a->m_dVx = -100;
  a->m_nX = 60;
  wall->m_dVx = 0;
  Collide(*wall, *a, h.ctx);
  EXPECT_NEAR(a->m_dVx, 100, 1e-4);
  EXPECT_EQ(h.played.at(1).first, wall.get());

  // Small and fast against large: ((400 - 3600) x 300 + 2 x 3600 x -300) / 4000 = -780,
  // clamped to -500.
  auto s = Mover(20, 20, 0, 20, 300);
  auto l = Mover(60, 60, 15, 0, -300);
  EXPECT_TRUE(Collide(*s, *l, h.ctx));
  EXPECT_EQ(s->m_dVx, -500);
  EXPECT_NEAR(l->m_dVx, -180, 1e-9);
  EXPECT_EQ(h.played.at(2).first, l.get());
}

TEST(SceneCollision, ObliqueUsesContactTimeNormalAndConserves) {
  // b comes in from the right and slightly below. Stepped back to the moment of touching
  // (t = 0.0883) the normal tilts from 18.4 to 14.4 degrees; a leaves along the new one.
  Harness h;
  auto a = Mover(40, 40, 0, 0);
  auto b = Mover(40, 40, 30, 10, -100);
  EXPECT_TRUE(Collide(*a, *b, h.ctx));
  EXPECT_NEAR(a->m_dVx, -93.78031142416094, 1e-9);
  EXPECT_NEAR(a->m_dVy, -24.15128012349417, 1e-9);
  EXPECT_NEAR(b->m_dVx, -6.219688575839077, 1e-9);
  EXPECT_NEAR(b->m_dVy, 24.151280123494175, 1e-9);

  // Unequal masses, both moving: momentum and energy are kept (nothing clamped).
  auto c = Mover(30, 30, 0, 0, 80, 35);
  auto d = Mover(50, 50, 20, 12, -60, 10);
  const auto momentum = [&] {
    return std::make_pair(900 * c->m_dVx + 2500 * d->m_dVx, 900 * c->m_dVy + 2500 * d->m_dVy);
  };
  const auto energy = [&] {
    return 900 * (c->m_dVx * c->m_dVx + c->m_dVy * c->m_dVy) +
           2500 * (d->m_dVx * d->m_dVx + d->m_dVy * d->m_dVy);
  };
  const auto p0 = momentum();
  const double e0 = energy();
  ASSERT_TRUE(Collide(*c, *d, h.ctx));
  EXPECT_NE(c->m_dVx, 80);
  EXPECT_NEAR(momentum().first, p0.first, 1e-6);
  EXPECT_NEAR(momentum().second, p0.second, 1e-6);
  EXPECT_NEAR(energy(), e0, 1e-9 * e0);
}

TEST(SceneCollision, DegenerateCasesChangeNothing) {
  // Coinciding centres (equal speeds, so not separating): no normal.
  Harness h;
  auto a = Mover(40, 40, 10, 10, 30);
  auto b = Mover(40, 40, 10, 10, 30);
  EXPECT_TRUE(Collide(*a, *b, h.ctx));
  // Equal speeds along the normal (moving together): no time of contact.
  b->m_nX = 30;
  b->m_nY = 5;
  EXPECT_TRUE(Collide(*a, *b, h.ctx));
  EXPECT_EQ(a->m_dVx, 30);
  EXPECT_EQ(a->m_dVy, 0);
  EXPECT_EQ(b->m_dVx, 30);
  EXPECT_EQ(b->m_dVy, 0);
  EXPECT_TRUE(h.played.empty());
}

TEST(SceneCollision, PassTestsEachPairOnceWithinGroups) {
  CSpriteList list;
  list.Insert(std::make_unique<CSprite>());  // not a moving sprite: skipped
  list.Insert(Mover(40, 40, 0, 0, 100));
  list.Insert(Mover(40, 40, 15, 0, 50));  // overlaps both, alone in group 2
  list.Insert(Mover(40, 40, 30, 0, -100));
  auto* a = static_cast<CAnimSprite*>(list.GetAt(1));
  auto* c = static_cast<CAnimSprite*>(list.GetAt(2));
  auto* b = static_cast<CAnimSprite*>(list.GetAt(3));
  a->m_nCollisionGroup = b->m_nCollisionGroup = 1;
  c->m_nCollisionGroup = 2;

  Harness h;
  CollisionPass(list, h.ctx);
  // Tested once with a, the earlier, first (b sounds it); a second test would have
  // swapped the speeds back.
  EXPECT_NEAR(a->m_dVx, -100, 1e-9);
  EXPECT_NEAR(b->m_dVx, 100, 1e-9);
  EXPECT_EQ(c->m_dVx, 50);
  EXPECT_EQ(h.played, (std::vector<Played>{{b, kSoundCollide}}));
  EXPECT_TRUE(a->m_bCollided && b->m_bCollided && c->m_bCollided);

  // Group 0 never collides, and the marks are cleared first.
  a->m_nCollisionGroup = b->m_nCollisionGroup = 0;
  a->m_dVx = 100;
  b->m_dVx = -100;
  CollisionPass(list, h.ctx);
  EXPECT_EQ(a->m_dVx, 100);
  EXPECT_EQ(a->m_bCollided, 0);
}

// --- Feed box ------------------------------------------------------------------------

namespace {

constexpr int kSceneH = 1080;

// A 300 x 100 box anchored at its top-right corner, 10 pixels below the bottom edge.
std::unique_ptr<CAnimSprite> MakeBox() {
  auto box = Mover(300, 100, 1905, kSceneH + 10, 0, 0, 0);
  box->m_nHotX = 100;
  return box;
}

}  // namespace

TEST(SceneFeedBox, SlideHoldFadeInBothTimings) {
  for (bool fast : {false, true}) {
    SCOPED_TRACE(fast ? "fast" : "normal");
    const int slide = fast ? 60 : 20, hold = fast ? 1500 : 500, fade = fast ? 1599 : 533;
    auto box = MakeBox();
    FeedNavigation nav;
    nav.currentItem = 0;
    int32_t ticks = 0;
    std::vector<int> tops;
    int changeAt = -1;
    for (int call = 0; call < 2000 && changeAt < 0; ++call) {
      const int before = ticks;
      const FeedBoxTickResult r = FeedBoxTick(box.get(), 1920, kSceneH, nav, ticks, fast);
      if (before <= slide) tops.push_back(box->GetTop());
      if (before > slide && before < fade) {
        EXPECT_EQ(r.moved, before >= hold) << before;
      }
      EXPECT_EQ(nav.changing, before >= hold) << before;
      if (before == hold) {
        EXPECT_EQ(box->m_nOpacity, fast ? 99 : 93);
      }
      if (before == fade - 1) {
        EXPECT_EQ(box->m_nOpacity, fast ? 1 : 0);  // -3 raised to 0
      }
      if (r.itemChange) changeAt = before;
    }
    EXPECT_EQ(changeAt, fade);
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(box->m_nX, 1905);
    EXPECT_EQ(tops.front(), kSceneH);
    EXPECT_EQ(tops[slide / 2], kSceneH - 60);    // (100 + 20) x half the slide
    EXPECT_EQ(tops.back(), kSceneH - 100 - 20);  // bottom 20 pixels above the edge
  }

  // Paused on the hold's last tick, the item stays.
  auto box = MakeBox();
  FeedNavigation nav;
  nav.currentItem = 0;
  nav.paused = true;
  for (bool fast : {false, true}) {
    int32_t ticks = fast ? 1497 : 497;
    for (int i = 0; i < 100; ++i) FeedBoxTick(box.get(), 1920, kSceneH, nav, ticks, fast);
    EXPECT_EQ(ticks, fast ? 1499 : 499);
  }
  EXPECT_EQ(box->m_nOpacity, 100);
}

TEST(SceneFeedBox, JumpFadesQuicklyAndNextBoxStartsMidSlide) {
  for (bool fast : {false, true}) {
    SCOPED_TRACE(fast ? "fast" : "normal");
    CSpriteList list;
    DamageLog damage;
    list.AttachScene(&damage);
    list.Insert(MakeBox());
    auto* box = static_cast<CAnimSprite*>(list.GetAt(0));
    FeedNavigation nav;
    nav.currentItem = 2;
    nav.targetItem = 5;
    nav.jumpRequested = true;
    int32_t ticks = 100;  // holding

    std::vector<int> opacities;
    int calls = 0;
    for (bool change = false; !change && calls < 100; ++calls) {
      const FeedBoxTickResult r = FeedBoxTick(box, 1920, kSceneH, nav, ticks, fast);
      if (r.moved) opacities.push_back(box->m_nOpacity);
      change = r.itemChange;
    }
    EXPECT_EQ(calls, fast ? 21 : 6);
    EXPECT_EQ(opacities.front(), fast ? 100 : 80);
    if (!fast) {
      EXPECT_EQ(opacities, (std::vector<int>{80, 60, 40, 20, 0}));
    }
    EXPECT_EQ(damage.rects.size(), opacities.size());  // a redraw report per fade tick

    // The scene changes the item; the jump flag still stands for the new box, which
    // waits, then starts part-way through its slide.
    nav.currentItem = 5;
    nav.targetItem = -1;
    auto next = MakeBox();
    for (int i = 0; i <= 6; ++i) {
      EXPECT_FALSE(FeedBoxTick(next.get(), 1920, kSceneH, nav, ticks, fast).moved);
    }
    EXPECT_EQ(next->GetTop(), kSceneH + 10);
    EXPECT_FALSE(nav.jumpRequested);
    EXPECT_FALSE(nav.changing);
    EXPECT_EQ(ticks, fast ? 31 : 11);
    EXPECT_TRUE(FeedBoxTick(next.get(), 1920, kSceneH, nav, ticks, fast).moved);
    EXPECT_EQ(next->GetTop(), kSceneH - (fast ? 120 * 31 / 60 : 120 * 11 / 20));
  }

  // A pending target cuts a slide short; a later tick is left alone.
  FeedNavigation nav;
  nav.targetItem = 1;
  int32_t ticks = 3;
  FeedBoxPreStep(nav, ticks, true);
  EXPECT_EQ(ticks, 1500);
  ticks = 510;
  FeedBoxPreStep(nav, ticks, false);
  EXPECT_EQ(ticks, 510);
}
