#include "scene/sprite_motion.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace qv {

namespace {

// Positions are computed in 64 bits and saturated when stored: stored coordinates and
// speeds are arbitrary LONGs, and a huge speed must not overflow a 32-bit sum.
int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// Truncation toward zero, saturated; NaN gives 0.
int64_t Trunc(double v) {
  if (!(v == v)) return 0;
  constexpr double kLimit = 9.0e18;
  if (v >= kLimit) return static_cast<int64_t>(kLimit);
  if (v <= -kLimit) return -static_cast<int64_t>(kLimit);
  return static_cast<int64_t>(v);
}

// --- Placement helpers ---

// A design size of 0 or less has no meaning; the scene's own size stands in for it (and
// 1 when that is no better), so nothing divides by zero and the axis is not scaled.
int64_t DesignExtent(int32_t design, int32_t scene) {
  if (design > 0) return design;
  return scene > 0 ? scene : 1;
}

// rand() % (2 v) - v, in 64 bits: 2 v overflows 32 bits for large stored values.
int64_t RandomVariation(const MotionContext& ctx, int32_t halfWidth) {
  if (halfWidth == 0) return 0;
  return static_cast<int64_t>(ctx.Draw()) % (2 * static_cast<int64_t>(halfWidth)) - halfWidth;
}

// --- Step helpers ---

struct AxisMove {
  int32_t& acc;         // m_nAccX or m_nAccY
  double& speed;        // m_dVx or m_dVy
  int64_t start;        // GetLeft or GetTop
  int64_t extent;       // W or H
  int64_t size;         // w or h
  int sound;            // 2 horizontal, 3 vertical
};

// Accumulates one tick of speed; n whole pixels once it reaches 20 twentieths.
int64_t Accumulate(int32_t& acc, double speed, bool fastTiming, bool& whole) {
  const int64_t sum = static_cast<int64_t>(acc) + SpeedStep(speed, fastTiming);
  const int64_t n = sum / 20;
  whole = n != 0;
  acc = static_cast<int32_t>(whole ? sum % 20 : sum);
  return n;
}

void ApplyEdge(CAnimSprite& s, AxisMove& ax, int64_t& pos, const MotionContext& ctx) {
  if (s.m_nEdgeMode == 2) {
    // Bounce without clamping: the sprite may stand past the edge for the turning tick.
    if ((pos <= 0 && ax.speed < 0) || (pos > ax.extent - ax.size && ax.speed > 0)) {
      ctx.Play(s, ax.sound);
      ax.speed = -ax.speed;
    }
    return;
  }
  if (s.m_nEdgeMode != 0 && s.m_nEdgeMode != 1) return;
  bool wrapped = false;
  if (ax.speed > 0 && pos > ax.extent) {
    pos = -ax.size;
    wrapped = true;
  } else if (ax.speed < 0 && pos < -ax.size) {
    pos = ax.extent;
    wrapped = true;
  }
  if (wrapped && s.m_nEdgeMode == 1) {
    s.m_nPause = ctx.Draw() % 500;
    if (s.m_nPause == 0) s.m_nPause = 1;
  }
}

// Straight motion along one axis; true when it moved a whole pixel.
bool MoveStraight(CAnimSprite& s, AxisMove ax, int64_t& pos, const MotionContext& ctx) {
  if (ax.speed == 0) return false;
  bool whole = false;
  const int64_t n = Accumulate(ax.acc, ax.speed, ctx.fastTiming, whole);
  if (!whole) return false;
  pos = ax.start + n;
  ApplyEdge(s, ax, pos, ctx);
  return true;
}

// The bouncing ball's height follows |sine| of an angle that grows with the vertical
// speed; the floor is touched each time the sine changes sign.
bool MoveBall(CAnimSprite& s, int64_t H, int64_t h, int64_t& newT, const MotionContext& ctx) {
  if (s.m_dVy == 0) s.m_dVy = 1;
  bool whole = false;
  const int64_t n = Accumulate(s.m_nAccY, s.m_dVy, ctx.fastTiming, whole);
  if (!whole) return false;
  s.m_nAngle = static_cast<int32_t>((static_cast<int64_t>(s.m_nAngle) + n) % 360);
  // 6.2832 rather than 2 pi: the ball's floor ticks depend on this exact constant.
  const double sine = s.m_nAmplitude * std::sin(s.m_nAngle * 6.2832 / 360) + 0.0001;
  if (s.m_dLastSine == 0) s.m_dLastSine = sine;
  if (s.m_dLastSine * sine <= 0) ctx.Play(s, kSoundBounceY);
  s.m_dLastSine = sine;
  newT = Trunc(static_cast<double>(H - h) - std::fabs(sine));
  return true;
}

// Phase timing: one tick is 50 ms of nominal time; a phase lasts 3000 / speed ms, or
// its duration value x 15 / speed, five times as many ticks under fast timing.
bool AnimatePhases(CAnimSprite& s, bool fastTiming) {
  // A phase speed of 0 would divide by zero: such a sprite keeps its phase.
  if (s.m_nPhaseSpeed == 0) return false;
  s.m_nTicks += 1;
  const int32_t count = s.GetPhaseCount();
  const int64_t speed = s.m_nPhaseSpeed;
  int64_t limit = 0;
  if (!s.m_PhaseDurations.empty() && count > 1) {
    size_t i = static_cast<size_t>(std::max(s.GetPhase(), 0));
    i = std::min(i, s.m_PhaseDurations.size() - 1);
    limit = static_cast<int64_t>(s.m_PhaseDurations[i]) * 15 / speed;
  } else {
    limit = 200 * 15 / speed;
  }
  if (fastTiming) limit *= 5;
  if (static_cast<int64_t>(s.m_nTicks) * 50 < limit) return false;
  s.m_nTicks = 0;
  if (count > 1) s.SetPhase((s.GetPhase() + 1) % count);
  return true;
}

// --- Collision helpers ---

struct Vec {
  double x = 0;
  double y = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y}; }
Vec operator-(Vec a, Vec b) { return {a.x - b.x, a.y - b.y}; }
Vec operator*(Vec a, double k) { return {a.x * k, a.y * k}; }
Vec operator/(Vec a, double k) { return {a.x / k, a.y / k}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
double Norm2(Vec a) { return Dot(a, a); }

bool Intersects(const Rect32& a, const Rect32& b) {
  return std::max(a.left, b.left) < std::min(a.right, b.right) &&
         std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

int64_t RectWidth(const Rect32& r) { return static_cast<int64_t>(r.right) - r.left; }
int64_t RectHeight(const Rect32& r) { return static_cast<int64_t>(r.bottom) - r.top; }

Vec Centre(const Rect32& r) {
  return {r.left + static_cast<double>(RectWidth(r)) / 2.0,
          r.top + static_cast<double>(RectHeight(r)) / 2.0};
}

double ClampSpeed(double v) {
  if (!(v == v)) return 0;
  return std::clamp(v, -500.0, 500.0);
}

CAnimSprite* AsAnim(CSprite* s) { return dynamic_cast<CAnimSprite*>(s); }

void ReportRedraw(CSprite& s) {
  if (CSpriteNotifyObj* sink = s.GetNotificationObject())
    sink->Notify(&s, kNotifyRedraw, s.GetRect(), Rect32{});
}

}  // namespace

// --- MotionContext -----------------------------------------------------------------

bool MotionContext::HasSound(const CAnimSprite& sprite, int k) const {
  if (hasSound) return hasSound(sprite, k);
  switch (k) {
    case kSoundCollide: return sprite.m_SoundCollide.IsEmbedded();
    case kSoundBounceX: return sprite.m_SoundBounceX.IsEmbedded();
    case kSoundBounceY: return sprite.m_SoundBounceY.IsEmbedded();
    default: return false;
  }
}

bool MotionContext::Play(CAnimSprite& sprite, int k) const {
  if (!HasSound(sprite, k)) return false;
  if (playSound) playSound(sprite, k);
  return true;
}

int32_t SpeedStep(double v, bool fastTiming) {
  const int64_t t = std::clamp<int64_t>(Trunc(v), std::numeric_limits<int32_t>::min(),
                                        std::numeric_limits<int32_t>::max());
  return static_cast<int32_t>(fastTiming ? t / 5 : t);
}

// --- Placement ---------------------------------------------------------------------

void PlaceSprite(CAnimSprite& s, const ScenePlacement& scene, const PrepareForSceneFn& prepare,
                 const MotionContext& ctx) {
  const int64_t W = scene.sceneWidth;
  const int64_t H = scene.sceneHeight;
  const int64_t dw = DesignExtent(scene.designWidth, scene.sceneWidth);
  const int64_t dh = DesignExtent(scene.designHeight, scene.sceneHeight);

  if (prepare) {
    if (scene.preview || (W == dw && H == dh)) {
      prepare(s, 1.0, 1.0);
    } else {
      prepare(s, static_cast<double>(W) / static_cast<double>(dw),
              static_cast<double>(H) / static_cast<double>(dh));
    }
  }

  // Design pixels, scaled to the scene (in a preview too, although the picture is not).
  int64_t x = s.m_nX;
  int64_t y = s.m_nY;
  if (s.m_bRandomStart) {
    x = ctx.Draw() % dw;
    y = ctx.Draw() % dh;
  }
  s.SetPosition(Saturate(x * W / dw), Saturate(y * H / dh));

  if (s.m_bRandomSpeed) {
    const int64_t dx = RandomVariation(ctx, s.m_nRandomVx);
    const int64_t dy = RandomVariation(ctx, s.m_nRandomVy);
    s.m_dVx += static_cast<double>(dx);
    s.m_dVy += static_cast<double>(dy);
  }

  // The ball rises from the floor back to about its start height. The rectangle still
  // has the phase size read with the record: the sprite has not been drawn yet.
  s.m_nAmplitude = Saturate(H - s.GetRect().bottom);
  s.m_bCollided = 0;
}

// --- Step --------------------------------------------------------------------------

bool Step(CAnimSprite& s, int32_t W, int32_t H, const MotionContext& ctx) {
  const Rect32 r = s.GetRect();
  const int64_t L = r.left;
  const int64_t T = r.top;
  const int64_t w = s.GetWidth();
  const int64_t h = s.GetHeight();
  const int64_t ox = static_cast<int64_t>(s.m_nX) - L;
  const int64_t oy = static_cast<int64_t>(s.m_nY) - T;
  int64_t newL = L;
  int64_t newT = T;
  bool moved = false;

  // Edge mode 1 waits after each wrap until a draw hits the pause value: the sprite
  // neither moves nor animates meanwhile.
  if (s.m_nEdgeMode == 1 && s.m_nPause != 0) {
    if (ctx.Draw() % 500 == s.m_nPause) s.m_nPause = 0;
    if (s.m_nPause != 0) return false;
  }

  if (s.m_nMotion == 1 || s.m_nMotion == 2) {
    moved |= MoveStraight(s, {s.m_nAccX, s.m_dVx, L, W, w, kSoundBounceX}, newL, ctx);
  }
  if (s.m_nMotion == 1) {
    moved |= MoveStraight(s, {s.m_nAccY, s.m_dVy, T, H, h, kSoundBounceY}, newT, ctx);
  } else if (s.m_nMotion == 2) {
    moved |= MoveBall(s, H, h, newT, ctx);
  }

  if (AnimatePhases(s, ctx.fastTiming)) moved = true;

  if (!moved) return false;
  // A one-phase sprite whose phase time ran out lands here unmoved: the report redraws it.
  s.SetPosition(Saturate(ox + newL), Saturate(oy + newT));
  return true;
}

// --- Collisions --------------------------------------------------------------------

void CollisionPass(CSpriteList& list, const MotionContext& ctx) {
  for (size_t i = 0; i < list.GetCount(); ++i) {
    if (CAnimSprite* s = AsAnim(list.GetAt(i))) s->m_bCollided = 0;
  }
  for (size_t i = 0; i < list.GetCount(); ++i) {
    CAnimSprite* p = AsAnim(list.GetAt(i));
    if (!p || p->m_nCollisionGroup == 0) continue;
    for (size_t j = 0; j < list.GetCount(); ++j) {
      CAnimSprite* q = AsAnim(list.GetAt(j));
      if (!q || q == p || q->m_nCollisionGroup != p->m_nCollisionGroup) continue;
      if (p->m_bCollided || q->m_bCollided) continue;
      Collide(*p, *q, ctx);
    }
    // p's pairs are done; later sprites skip it.
    p->m_bCollided = 1;
  }
}

bool Collide(CAnimSprite& a, CAnimSprite& b, const MotionContext& ctx) {
  const Rect32 ra = a.GetRect();
  const Rect32 rb = b.GetRect();
  if (!Intersects(ra, rb)) return false;
  if (!a.m_bCollisionMoves && !b.m_bCollisionMoves) return false;

  Vec ca = Centre(ra);
  Vec cb = Centre(rb);
  const Vec va{a.m_dVx, a.m_dVy};
  const Vec vb{b.m_dVx, b.m_dVy};

  // Where the centres will be a tenth of the speed later: further apart means the two
  // are already separating.
  const Vec na = ca + va / 10;
  const Vec nb = cb + vb / 10;
  if (Norm2(na - nb) > Norm2(ca - cb)) return false;

  const double radii = static_cast<double>(RectWidth(ra) / 2 + RectWidth(rb) / 2);
  double d = std::sqrt(Norm2(ca - cb));
  if (radii <= d) return true;
  // Coinciding centres give no contact normal: leave the pair alone for this tick.
  if (!(d > 0)) return true;

  const double ma = a.m_bCollisionMoves
                        ? static_cast<double>(RectWidth(ra)) * static_cast<double>(RectHeight(ra))
                        : 1e10;
  const double mb = b.m_bCollisionMoves
                        ? static_cast<double>(RectWidth(rb)) * static_cast<double>(RectHeight(rb))
                        : 1e10;
  const double M = ma + mb;

  Vec n = (cb - ca) / d;
  double ua = Dot(va, n);
  double ub = Dot(vb, n);
  // Equal normal speeds give no time of contact (and nothing to exchange).
  if (ua == ub) return true;

  // Step both centres back to the moment of touching and take the normal there.
  double t = (radii - d) / (ua - ub);
  if (t > 1) t = 0;
  ca = ca - va * t;
  cb = cb - vb * t;
  d = std::sqrt(Norm2(ca - cb));
  if (!(d > 0) || !std::isfinite(d)) return true;
  n = (cb - ca) / d;
  ua = Dot(va, n);
  ub = Dot(vb, n);

  const double ta = va.x * n.y - va.y * n.x;
  const double tb = vb.x * n.y - vb.y * n.x;

  // Elastic exchange of the normal parts; the tangential parts stay.
  const double P = ma * ua + mb * ub;
  const double D = ub - ua;
  const double ua2 = (mb * D + P) / M;
  const double ub2 = (P - ma * D) / M;

  if (a.m_bCollisionMoves) {
    a.m_dVx = ClampSpeed(ua2 * n.x + ta * n.y);
    a.m_dVy = ClampSpeed(ua2 * n.y - ta * n.x);
  }
  if (b.m_bCollisionMoves) {
    b.m_dVx = ClampSpeed(ub2 * n.x + tb * n.y);
    b.m_dVy = ClampSpeed(ub2 * n.y - tb * n.x);
  }

  // The heavier sprite sounds the collision; the other one when it has no sound.
  CAnimSprite& first = ma > mb ? a : b;
  CAnimSprite& second = ma > mb ? b : a;
  if (!ctx.Play(first, kSoundCollide)) ctx.Play(second, kSoundCollide);
  return true;
}

// --- Feed box ----------------------------------------------------------------------
// Every threshold has a normal-timing value and a fast-timing value.

namespace {
void FadeFeedBox(CAnimSprite* box, int32_t opacity) {
  if (!box) return;
  box->m_nOpacity = std::max(opacity, 0);
  ReportRedraw(*box);
}
}  // namespace

void FeedBoxPreStep(const FeedNavigation& nav, int32_t& feedItemTicks, bool fastTiming) {
  const int32_t holdEnd = fastTiming ? 1500 : 500;
  if (nav.targetItem != -1 && feedItemTicks < holdEnd) feedItemTicks = holdEnd;
}

FeedBoxOutcome FeedBoxStep(CAnimSprite* box, int32_t /*W*/, int32_t H, int32_t& ticks,
                           FeedNavigation& nav, bool fastTiming) {
  // Without a box (its card could not be made) the item's time runs all the same.
  const Rect32 r = box ? box->GetRect() : Rect32{};
  const int64_t L = r.left;
  const int64_t T = r.top;
  const int64_t h = box ? box->GetHeight() : 0;
  const int64_t ox = box ? static_cast<int64_t>(box->m_nX) - L : 0;
  const int64_t oy = box ? static_cast<int64_t>(box->m_nY) - T : 0;
  const int32_t holdEnd = fastTiming ? 1500 : 500;
  FeedBoxOutcome out;

  if (!nav.jumpRequested) {
    const int32_t slideEnd = fastTiming ? 60 : 20;
    const int32_t fadeEnd = fastTiming ? 1599 : 533;
    if (ticks <= slideEnd) {
      // Rise from below the bottom edge until the box's bottom is 20 pixels above it.
      const int64_t c = (h + 20) * ticks / slideEnd;
      if (box) box->SetPosition(Saturate(L + ox), Saturate(H - c + oy));
      out.moved = box != nullptr;
    } else if (ticks < holdEnd) {
      nav.changing = false;
      if (nav.paused && ticks == holdEnd - 1) ticks -= 1;  // stays while paused
    } else if (ticks < fadeEnd) {
      nav.changing = true;
      const int32_t opacity =
          fastTiming ? 99 - (ticks - 1500) : (31 - (ticks - 500)) * 3;
      FadeFeedBox(box, opacity);
      out.moved = box != nullptr;
    } else {
      out.finished = true;
    }
    return out;
  }

  const int32_t fadeEnd = fastTiming ? 1520 : 505;
  if (ticks <= 5) {
    // The new item's box waits below the edge for a moment.
  } else if (ticks < holdEnd) {
    // The box after a jump starts part-way through its slide.
    ticks = fastTiming ? 30 : 10;
    nav.changing = false;
    nav.jumpRequested = false;
  } else if (ticks < fadeEnd) {
    nav.changing = true;
    const int32_t opacity =
        fastTiming ? (20 - (ticks - 1500)) * 5 : (4 - (ticks - 500)) * 20;
    FadeFeedBox(box, opacity);
    out.moved = box != nullptr;
  } else {
    out.finished = true;
  }
  return out;
}

bool FeedBoxAfterStep(int32_t& feedItemTicks, bool finished, const FeedNavigation& nav,
                      bool fastTiming) {
  if (feedItemTicks < std::numeric_limits<int32_t>::max()) feedItemTicks += 1;
  const int32_t end = nav.jumpRequested ? (fastTiming ? 1520 : 505) : (fastTiming ? 1599 : 533);
  if (!finished || feedItemTicks < end) return false;
  feedItemTicks = 0;
  return true;
}

FeedBoxTickResult FeedBoxTick(CAnimSprite* box, int32_t W, int32_t H, FeedNavigation& nav,
                              int32_t& feedItemTicks, bool fastTiming) {
  FeedBoxPreStep(nav, feedItemTicks, fastTiming);
  const FeedBoxOutcome step = FeedBoxStep(box, W, H, feedItemTicks, nav, fastTiming);
  FeedBoxTickResult result;
  result.moved = step.moved;
  result.itemChange = FeedBoxAfterStep(feedItemTicks, step.finished, nav, fastTiming);
  return result;
}

}  // namespace qv
