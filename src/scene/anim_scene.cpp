#include "scene/anim_scene.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "feed/feed_card.h"
#include "imaging/blit.h"
#include "imaging/dib.h"
#include "imaging/imaging_platform.h"
#include "scene/background.h"
#include "scene/sprite_drawing.h"

namespace qv {

CAnimScene::CAnimScene() { m_Sprites.AttachScene(this); }

CAnimScene::~CAnimScene() { Destroy(); }

void CAnimScene::Start(CScreenSaverDoc* doc, int width, int height) {
  m_pDoc = doc;
  InitScene(width, height);
  CreateSprites();
  Compose(nullptr);
  Present(nullptr);
}

void CAnimScene::InitScene(int width, int height) {
  m_nSceneWidth = width;
  m_nSceneHeight = height;
  m_pBackground.reset();
  m_pBackBuffer.reset();
  if (!m_pDoc) return;
  const BackgroundSpec background = BackgroundSpecOf(*m_pDoc);
  const int depthClass = DepthClass(ScreenDepth());
  UniqueDib picture;
  if (background.kind == kBackgroundDesktop) {
    UniqueDib capture(m_env.captureDesktop ? m_env.captureDesktop() : nullptr);
    picture.reset(BuildDesktopBackground(background, capture.get(), width, height, depthClass));
  } else {
    picture.reset(BuildBackground(background, width, height, depthClass));
  }
  if (!picture) return;  // nothing to show: no background and no back buffer
  auto surface = std::make_unique<CDibKSV>();
  if (!surface->SetFromDib(picture.release())) return;
  UpdateBackground(std::move(surface));
}

void CAnimScene::CreateSprites() {
  m_Sprites.DeleteAll();
  if (!m_pDoc) return;
  const ScenePlacement placement{m_nSceneWidth, m_nSceneHeight, m_pDoc->m_nDesignWidth,
                                 m_pDoc->m_nDesignHeight, m_pMode->preview};
  const CSpriteList& source = m_pDoc->m_SpriteList;
  for (size_t i = 0; i < source.GetCount(); ++i) {
    // The copy is drawn from its record's decoded picture, which it does not duplicate.
    const CSprite& record = *source.GetAt(i);
    const PrepareForSceneFn prepare = [&record](CAnimSprite& s, double sx, double sy) {
      PrepareForScene(s, sx, sy, record.m_Dib);
    };
    const uint32_t pause = static_cast<uint32_t>(m_env.motion.Draw());
    // A copy duplicates the sprite's picture: without the memory, the sprite is dropped.
    std::unique_ptr<CAnimSprite> copy;
    try {
      copy = MakeSceneCopy(record, pause);
    } catch (const std::bad_alloc&) {
      continue;
    } catch (const std::length_error&) {
      continue;
    }
    PlaceSprite(*copy, placement, prepare, m_env.motion);
    if (m_env.spriteCreated) m_env.spriteCreated(*copy);
    m_Sprites.Insert(std::move(copy));
  }
}

bool CAnimScene::StepSprites() {
  const bool fast = m_pMode->fastTiming;
  m_env.motion.fastTiming = fast;
  bool moved = false, itemChange = false;
  const bool feedShown = m_feed.currentItem != -1;
  const bool boxAtHead = feedShown && m_Sprites.GetCount() > 0 && IsFeedBoxName(m_Sprites.GetAt(0)->m_strName);
  // An item whose box could not be built keeps its time without a box, so the rotation
  // and the feed keys go on; the head is then a sprite of the document and moves as one.
  if (feedShown && !boxAtHead)
    itemChange = FeedBoxTick(nullptr, m_nSceneWidth, m_nSceneHeight, m_feed, m_nFeedItemTicks, fast).itemChange;
  for (size_t i = 0; i < m_Sprites.GetCount(); ++i) {
    auto* sprite = static_cast<CAnimSprite*>(m_Sprites.GetAt(i));
    if (i == 0 && boxAtHead) {
      const FeedBoxTickResult r =
          FeedBoxTick(sprite, m_nSceneWidth, m_nSceneHeight, m_feed, m_nFeedItemTicks, fast);
      moved |= r.moved;
      itemChange |= r.itemChange;
    } else {
      moved |= Step(*sprite, m_nSceneWidth, m_nSceneHeight, m_env.motion);
    }
  }
  if (moved) {
    FlushDamaged();
    CollisionPass(m_Sprites, m_env.motion);
  }
  if (itemChange) {
    FeedItemFinished(m_feed);
    if (m_env.feedItemChange) m_env.feedItemChange();
  }
  return moved;
}

void CAnimScene::UpdateBackground(std::unique_ptr<CDibKSV> background) {
  m_pBackground = std::move(background);
  m_pBackBuffer.reset();
  if (!m_pBackground) return;
  auto buffer = std::make_unique<CDibKSV>(m_pBackground->Depth());
  if (!buffer->Create(m_pBackground->GetWidth(), m_pBackground->GetHeight())) return;
  m_pBackBuffer = std::move(buffer);
  if (m_pPresenter) m_pPresenter->BackBufferChanged(*m_pBackBuffer);
  UpdateAll();
}

void CAnimScene::UpdateSprite(CSprite& sprite) {
  if (!m_pDoc) return;
  const Rect32 r = sprite.GetRect();
  const Rect32 rect{r.left, r.top, r.right, r.bottom};
  Compose(&rect);
  Present(&rect);
}

void CAnimScene::AddDamaged(const Rect32& r) {
  if (!m_pDoc) return;
  m_Damaged.AddDamaged(Rect32{r.left, r.top, r.right, r.bottom});
}

void CAnimScene::FlushDamaged() {
  if (!m_pDoc) return;
  m_Damaged.MergeDamaged();
  if (m_pBackBuffer && m_pBackground) {
    GatherDrawables();
    m_pBackBuffer->Lock();
    m_pBackground->Lock();
    const Rect32 whole = m_pBackground->GetRect();
    for (const Rect32& r : m_Damaged.Rects()) {
      const Rect32 clip = Intersect(whole, r);
      if (!clip.IsEmpty()) ComposeClip(clip);
    }
    m_pBackground->Unlock();
    m_pBackBuffer->Unlock();
  }
  for (const Rect32& r : m_Damaged.Rects()) Present(&r);
  m_Damaged.RemoveAll();
}

void CAnimScene::UpdateAll() {
  if (!m_pDoc) return;
  Compose(nullptr);
  Present(nullptr);
}

void CAnimScene::Compose(const Rect32* rect) {
  if (!m_pDoc || !m_pBackBuffer || !m_pBackground) return;
  const Rect32 whole = m_pBackground->GetRect();
  const Rect32 clip = rect ? Intersect(whole, *rect) : whole;
  if (clip.IsEmpty()) return;
  GatherDrawables();
  // Keep both surfaces locked for the whole composition.
  m_pBackBuffer->Lock();
  m_pBackground->Lock();
  ComposeClip(clip);
  m_pBackground->Unlock();
  m_pBackBuffer->Unlock();
}

void CAnimScene::GatherDrawables() {
  m_Drawables.clear();
  if (!m_bSpritesVisible) return;
  try {
    // Enough for every clip of the flush, so that composing never allocates.
    const size_t count = m_Sprites.GetCount();
    m_Drawables.reserve(count);
    m_ClipParts.reserve(count);
    m_BandEdges.reserve(2 * count + 2);
    m_SpanEdges.reserve(2 * count + 2);
  } catch (const std::bad_alloc&) {
    return;  // without the memory this frame shows the background alone
  } catch (const std::length_error&) {
    return;
  }
  // Tail to head: the head sprite ends on top.
  for (size_t i = m_Sprites.GetCount(); i-- > 0;) {
    if (auto* phased = dynamic_cast<CPhasedSprite*>(m_Sprites.GetAt(i))) {
      UpdatePhaseSize(*phased);  // the rectangle depends on it
      m_Drawables.push_back({phased, phased->GetRect()});
    }
  }
}

// Recomposes clip (inside the scene; both surfaces locked) from the background and the
// gathered sprites, touching each pixel as few times as the picture allows. The clip is
// cut into cells along the edges of the sprites' rectangles, so that the same sprites
// cover the whole of a cell: a cell no sprite covers takes a plain copy of the
// background, and in any other the lowest sprite is composited straight over the
// background (the copy and the blend in one pass) and the sprites above it over that.
void CAnimScene::ComposeClip(const Rect32& clip) {
  m_ClipParts.clear();
  for (const Drawable& d : m_Drawables) {
    const Rect32 part = Intersect(d.rect, clip);
    if (!part.IsEmpty()) m_ClipParts.push_back({d.sprite, part});
  }
  const auto copy = [&](const Rect32& r) {
    m_pBackground->Blit({.dest = m_pBackBuffer.get(), .destX = r.left, .destY = r.top, .width = r.Width(),
                         .height = r.Height(), .srcX = r.left, .srcY = r.top});
  };
  // Cells pay off for the few sprites of a damaged rectangle; across many (a whole frame)
  // their number grows with the square of the sprites', so there the background is
  // copied in one piece and every sprite drawn over it.
  constexpr size_t kMostPartsForCells = 6;
  if (m_ClipParts.empty() || m_ClipParts.size() > kMostPartsForCells) {
    copy(clip);
    for (const ClipPart& p : m_ClipParts) DrawInto(*p.sprite, *m_pBackBuffer, clip);
    return;
  }
  const auto edges = [](std::vector<int32_t>& v, int32_t low, int32_t high) {
    v.push_back(low);
    v.push_back(high);
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
  };
  m_BandEdges.clear();
  for (const ClipPart& p : m_ClipParts) {
    m_BandEdges.push_back(p.rect.top);
    m_BandEdges.push_back(p.rect.bottom);
  }
  edges(m_BandEdges, clip.top, clip.bottom);
  for (size_t band = 0; band + 1 < m_BandEdges.size(); ++band) {
    const int32_t top = m_BandEdges[band], bottom = m_BandEdges[band + 1];
    m_SpanEdges.clear();
    for (const ClipPart& p : m_ClipParts) {
      if (p.rect.top <= top && p.rect.bottom >= bottom) {
        m_SpanEdges.push_back(p.rect.left);
        m_SpanEdges.push_back(p.rect.right);
      }
    }
    edges(m_SpanEdges, clip.left, clip.right);
    for (size_t span = 0; span + 1 < m_SpanEdges.size(); ++span) {
      const Rect32 cell{m_SpanEdges[span], top, m_SpanEdges[span + 1], bottom};
      bool lowest = true;
      for (const ClipPart& p : m_ClipParts) {
        if (p.rect.left > cell.left || p.rect.right < cell.right || p.rect.top > cell.top ||
            p.rect.bottom < cell.bottom)
          continue;
        if (!lowest) {
          DrawInto(*p.sprite, *m_pBackBuffer, cell);
        } else if (DrawInto(*p.sprite, *m_pBackBuffer, cell, m_pBackground.get()) != cell) {
          // The picture did not cover the cell after all: background first, then over it.
          copy(cell);
          DrawInto(*p.sprite, *m_pBackBuffer, cell);
        }
        lowest = false;
      }
      if (lowest) copy(cell);
    }
  }
}

void CAnimScene::Present(const Rect32* rect) {
  if (m_pBackBuffer && m_pPresenter) m_pPresenter->Present(*m_pBackBuffer, rect);
}

void CAnimScene::Destroy() {
  m_Sprites.DeleteAll();
  m_Damaged.RemoveAll();
  m_pBackBuffer.reset();
  m_pBackground.reset();
  m_pDoc = nullptr;
}

}  // namespace qv
