// The drawing side of phased sprites: the picture prepared for the scene's size and
// depth, and compositing the current phase into the scene's back buffer.
#include "scene/sprite_drawing.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>

#include "imaging/blit.h"
#include "imaging/sprite_prep.h"

namespace qv {

namespace {
uint8_t Byte(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// A stored percentage times the fit ratio, truncated. The product is clamped to the int
// range first: a hostile percentage would make the conversion undefined; out of range,
// it is refused by the preparation like any other impossible size.
int FitPercent(int percent, double a) {
  const double v = std::clamp(percent * a, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX));
  return static_cast<int>(v);
}

void DropPrepared(CPhasedSprite& s) {
  s.m_Surface.reset();
  s.m_AlphaMask.clear();
  s.m_nSurfaceWidth = s.m_nSurfaceHeight = 0;
}

// PrepareForScene without the memory guard.
bool PrepareSurface(CPhasedSprite& s, double sx, double sy, const DecodedPicture& picture) {
  int widthPercent = s.m_nScaleX, heightPercent = s.m_nScaleY;
  if (s.m_bFitScreen) {
    const double a = (sx + sy) / 2;
    if (a != 0 && a != 1) {
      widthPercent = FitPercent(widthPercent, a);
      heightPercent = FitPercent(heightPercent, a);
    }
  }
  DropPrepared(s);
  if (picture.IsEmpty()) return false;

  auto surface = std::make_unique<CDibKSV>();
  const SpriteKey key{Byte(s.m_nKeyRed), Byte(s.m_nKeyGreen), Byte(s.m_nKeyBlue),
                      std::clamp(s.m_nKeyTolerance, 0, 100), s.m_bTransparent != 0};
  const int phases = std::max(s.m_nPhaseCount, 1);
  SpriteMask mask;
  DibHandle prepared = nullptr;
  switch (surface->Depth()) {
    case 8:
      prepared = PrepareStrip8(picture.GetHandle(), key, widthPercent, heightPercent, &mask, phases);
      break;
    case 16:
      prepared = PrepareStrip16(picture.GetHandle(), key, widthPercent, heightPercent, &mask, phases);
      break;
    default:
      prepared = PrepareStrip32(picture.GetHandle(), key, widthPercent, heightPercent, &mask, phases,
                                s.m_bHorizontalStrip != 0);
      break;
  }
  if (!prepared) return false;
  surface->AttachPrepared(prepared);
  s.m_nSurfaceWidth = surface->GetWidth();
  s.m_nSurfaceHeight = surface->GetHeight();
  s.m_AlphaMask = std::move(mask);
  s.m_Surface.reset(std::move(surface));
  return true;
}
}  // namespace

bool PrepareForScene(CPhasedSprite& sprite, double sx, double sy) {
  return PrepareForScene(sprite, sx, sy, sprite.m_Dib);
}

bool PrepareForScene(CPhasedSprite& sprite, double sx, double sy, const DecodedPicture& picture) {
  // Preparation allocates in proportion to the picture: without the memory the sprite
  // simply has no picture, which leaves it out of the scene.
  try {
    return PrepareSurface(sprite, sx, sy, picture);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  DropPrepared(sprite);
  return false;
}

void UpdatePhaseSize(CPhasedSprite& sprite) {
  if (const CDibKSV* picture = sprite.m_Surface.get()) {
    const int phases = std::max(sprite.m_nPhaseCount, 1);
    sprite.m_nPhaseSize = (sprite.m_bHorizontalStrip ? picture->GetWidth() : picture->GetHeight()) / phases;
  }
}

Rect32 DrawInto(CPhasedSprite& sprite, CDibKSV& target, const Rect32& clip, CDibKSV* under) {
  CDibKSV* picture = sprite.m_Surface.get();
  if (!picture) return Rect32{};
  UpdatePhaseSize(sprite);
  const Rect32 own = sprite.GetRect();
  const Rect32 r = Intersect(clip, Rect32{own.left, own.top, own.right, own.bottom});
  if (r.IsEmpty()) return Rect32{};
  const int64_t offset = int64_t{sprite.m_nPhase} * sprite.m_nPhaseSize;
  int64_t srcX = int64_t{r.left} - own.left, srcY = int64_t{r.top} - own.top;
  if (sprite.m_bHorizontalStrip) srcX += offset;
  else srcY += offset;
  if (srcX > INT32_MAX || srcY > INT32_MAX) return Rect32{};
  int32_t key = kNoKey;
  if (sprite.m_bTransparent) key = picture->Depth() == 8 ? 0x01000000 | 255 : static_cast<int32_t>(kMarker32);
  // The mask belongs to the prepared picture; one of any other size is not used.
  const bool maskFits = sprite.m_AlphaMask.size() ==
                        static_cast<size_t>(picture->GetWidth()) * static_cast<size_t>(picture->GetHeight());
  const uint8_t* mask = maskFits && !sprite.m_AlphaMask.empty() ? sprite.m_AlphaMask.data() : nullptr;
  return picture->Blit({.dest = &target,
                        .destX = r.left,
                        .destY = r.top,
                        .width = r.Width(),
                        .height = r.Height(),
                        .srcX = static_cast<int>(srcX),
                        .srcY = static_cast<int>(srcY),
                        .key = key,
                        .opacity = sprite.m_nOpacity,
                        .mask = mask,
                        .solidBack = sprite.m_bSolidBack != 0,
                        .backColor = sprite.m_crSolidBack,
                        .under = under});
}

}  // namespace qv
