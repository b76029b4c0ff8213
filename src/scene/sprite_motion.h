// Sprite motion in whole scene pixels, one tick at a time: placement when the scene
// starts, straight and bouncing-ball motion with wrap and bounce edges, phase animation,
// collisions within collision groups, and the feed box's slide, hold and fade.
//
// Speeds are twentieths of a pixel per tick and accumulate. Every random draw goes
// through MotionContext::random in a fixed order, so a seeded generator replays a run
// exactly; sounds go through MotionContext::playSound. Nothing here touches the platform.
#pragma once
#include <cstdint>
#include <functional>

#include "document/sprite.h"
#include "feed/feed_navigation.h"

namespace qv {

// Sound indices of a sprite.
inline constexpr int kSoundCollide = 1;   // a collision
inline constexpr int kSoundBounceX = 2;   // a bounce at the left or right edge
inline constexpr int kSoundBounceY = 3;   // top or bottom edge, or the ball's floor

// What motion needs from the run.
struct MotionContext {
  bool fastTiming = false;
  // One draw with the C library's rand() range (0..RAND_MAX, at least 0..32767). The
  // runtime passes rand() itself; an empty function draws 0.
  std::function<int()> random;
  // Plays sound k of a sprite once, without looping. Only called for sounds the sprite
  // has (see hasSound). Empty: silent.
  std::function<void(CAnimSprite&, int)> playSound;
  // Whether the sprite has sound k. Empty: a sound is present when its slot carries
  // embedded bytes, the only sounds the scene loads.
  std::function<bool(const CAnimSprite&, int)> hasSound;

  int Draw() const { return random ? random() : 0; }
  bool HasSound(const CAnimSprite& sprite, int k) const;
  // Plays sound k when the sprite has it; true when it did.
  bool Play(CAnimSprite& sprite, int k) const;
};

// One tick's move in twentieths of a pixel: trunc(v), or trunc(v) / 5 under fast timing.
int32_t SpeedStep(double v, bool fastTiming);

// --- Placement ---------------------------------------------------------------------

struct ScenePlacement {
  int32_t sceneWidth = 0;
  int32_t sceneHeight = 0;
  int32_t designWidth = 0;   // the document's design screen
  int32_t designHeight = 0;
  bool preview = false;
};

// Builds the sprite's displayed picture for the scene scale (sx, sy are scene / design
// ratios). The scene passes the sprite's own picture preparation; empty: none.
using PrepareForSceneFn = std::function<void(CAnimSprite&, double sx, double sy)>;

// Scene-start placement: prepares the picture, places the sprite (random start drawn as
// x then y), varies its speed (dx then dy), sets the ball's amplitude and clears the
// collision mark. A design width or height of 0 or less counts as the scene's own size
// on that axis, so nothing is scaled there.
void PlaceSprite(CAnimSprite& sprite, const ScenePlacement& scene,
                 const PrepareForSceneFn& prepare, const MotionContext& ctx);

// --- Per tick ----------------------------------------------------------------------

// One tick of motion and phase animation in a W x H scene; true when the sprite moved
// or changed phase (it then reported its rectangles through SetPosition). A phase speed
// of 0 freezes the phases.
bool Step(CAnimSprite& sprite, int32_t W, int32_t H, const MotionContext& ctx);

// The pair tests of one tick over the scene's list: each unordered pair of sprites in
// the same non-zero group is tested once, the earlier sprite of the list first.
void CollisionPass(CSpriteList& list, const MotionContext& ctx);

// The response of one pair, as discs of equal density; a sprite whose
// m_bCollisionMoves is 0 acts as an immovable obstacle. New speeds take effect from the
// next tick. True when the two touch. A pair whose centres coincide, or whose speeds
// along the contact normal are equal, is left alone for this tick (true, no change, no
// sound).
bool Collide(CAnimSprite& a, CAnimSprite& b, const MotionContext& ctx);

// --- Feed box ----------------------------------------------------------------------

struct FeedBoxOutcome {
  bool moved = false;
  bool finished = false;  // the box has faded out
};

// Before the box's step: a jump to a chosen item cuts the slide and hold short.
void FeedBoxPreStep(const FeedNavigation& nav, int32_t& feedItemTicks, bool fastTiming);

// One tick of the feed box, the head sprite while a feed item is shown: slide in from
// below, hold, fade out (quickly after a jump). ticks is FeedItemTicks; the hold and the
// jump rules write it back. box none: an item whose box could not be built keeps the
// same time, so the rotation and the keys go on.
FeedBoxOutcome FeedBoxStep(CAnimSprite* box, int32_t W, int32_t H, int32_t& ticks,
                           FeedNavigation& nav, bool fastTiming);

// After the box's step: counts the tick; true (and ticks back to 0) when the finished
// box gives way to the next item.
bool FeedBoxAfterStep(int32_t& feedItemTicks, bool finished, const FeedNavigation& nav,
                      bool fastTiming);

struct FeedBoxTickResult {
  bool moved = false;
  bool itemChange = false;
};

// The three in order: what the scene runs for its head sprite each tick.
FeedBoxTickResult FeedBoxTick(CAnimSprite* box, int32_t W, int32_t H, FeedNavigation& nav,
                              int32_t& feedItemTicks, bool fastTiming);

}  // namespace qv
