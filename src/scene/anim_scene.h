// The scene without its window: the background surface, the back buffer at the screen's
// depth, the scene's own sprite copies and the damaged rectangles. Each tick moves the
// sprites, recomposes only what changed and hands those areas to a presenter — the
// saver window on Windows, a picture file in the headless renderer.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "document/screen_saver_doc.h"
#include "imaging/surface.h"
#include "scene/rect_list.h"
#include "scene/sprite_motion.h"
#include "base/geometry.h"
#include "feed/feed_navigation.h"

namespace qv {

// Where composed pixels go. rect none: the whole back buffer.
class ScenePresenter {
 public:
  virtual ~ScenePresenter() = default;
  virtual void Present(CDibKSV& backBuffer, const Rect32* rect) = 0;
  // A new back buffer was made (the 8-bit palette helpers are rebuilt from it).
  virtual void BackBufferChanged(CDibKSV& /*backBuffer*/) {}
};

// How a run shows its scene. The run owns the one instance (its configuration); the
// scene and its window read it through the pointer they are given and keep no copy.
struct SceneMode {
  bool preview = false;     // a 640 x 480 scene scaled into the preview window, no cursor capture
  bool fastTiming = false;  // the fast timing's thresholds
  bool muteSound = false;   // the user's mute setting: no sound, no device opened
};

// What the scene needs from the run and the platform.
struct SceneEnvironment {
  // The random generator and the sounds; the scene fills in fastTiming from its mode at
  // each step.
  MotionContext motion;
  // The desktop as it was, for the desktop background kind; none when not available.
  std::function<DibHandle()> captureDesktop;
  // A scene sprite was made: load its sounds.
  std::function<void(CAnimSprite&)> spriteCreated;
  // The feed box at the head of the list finished its item: build the next one.
  std::function<void()> feedItemChange;
};

class CAnimScene : public SceneDamageSink {
 public:
  CAnimScene();
  ~CAnimScene() override;
  CAnimScene(const CAnimScene&) = delete;
  CAnimScene& operator=(const CAnimScene&) = delete;

  void SetPresenter(ScenePresenter* presenter) { m_pPresenter = presenter; }
  // The run's mode, read at every step; it must outlive the scene's use of it. Without
  // one the scene runs as a full-screen scene at normal timing.
  void SetMode(const SceneMode* mode) { m_pMode = mode ? mode : &kDefaultMode; }
  const SceneMode& Mode() const { return *m_pMode; }
  SceneEnvironment& Environment() { return m_env; }

  // Builds the background, the back buffer and the sprites for a W x H scene, composes
  // everything and presents it.
  void Start(CScreenSaverDoc* doc, int width, int height);
  // One tick of the sprites: motion, the damaged areas redrawn, then collisions.
  // Returns whether anything moved.
  bool StepSprites();

  void SetSpritesVisible(bool visible) { m_bSpritesVisible = visible; }
  bool SpritesVisible() const { return m_bSpritesVisible; }
  FeedNavigation& Feed() { return m_feed; }
  int32_t& FeedItemTicks() { return m_nFeedItemTicks; }

  // Update kinds: 1 new background surface, 2 a sprite's rectangle, 3 a damaged
  // rectangle, 4 flush the damaged rectangles, anything else everything.
  void UpdateBackground(std::unique_ptr<CDibKSV> background);
  void UpdateSprite(CSprite& sprite);
  void AddDamaged(const Rect32& rect) override;
  void FlushDamaged();
  void UpdateAll();

  void Compose(const Rect32* rect);
  void Present(const Rect32* rect);
  void Destroy();

  CScreenSaverDoc* Document() const { return m_pDoc; }
  CDibKSV* BackBuffer() const { return m_pBackBuffer.get(); }
  CDibKSV* Background() const { return m_pBackground.get(); }
  CSpriteList& Sprites() { return m_Sprites; }
  const CRectList& Damaged() const { return m_Damaged; }
  int SceneWidth() const { return m_nSceneWidth; }
  int SceneHeight() const { return m_nSceneHeight; }

 private:
  void InitScene(int width, int height);
  void CreateSprites();
  // A sprite to draw and its rectangle, gathered once for all the rectangles of a flush.
  struct Drawable {
    CPhasedSprite* sprite;
    Rect32 rect;
  };
  void GatherDrawables();
  void ComposeClip(const Rect32& clip);

  static constexpr SceneMode kDefaultMode{};

  const SceneMode* m_pMode = &kDefaultMode;
  CScreenSaverDoc* m_pDoc = nullptr;
  int m_nSceneWidth = 0, m_nSceneHeight = 0;
  std::unique_ptr<CDibKSV> m_pBackground;
  std::unique_ptr<CDibKSV> m_pBackBuffer;
  CSpriteList m_Sprites;
  CRectList m_Damaged;
  std::vector<Drawable> m_Drawables;  // tail to head; kept to reuse its memory
  // ComposeClip's working lists, kept for the same reason: the sprites' parts of the
  // clip (in drawing order) and the edges of its bands and of a band's spans.
  struct ClipPart {
    CPhasedSprite* sprite;
    Rect32 rect;
  };
  std::vector<ClipPart> m_ClipParts;
  std::vector<int32_t> m_BandEdges, m_SpanEdges;
  ScenePresenter* m_pPresenter = nullptr;
  SceneEnvironment m_env;
  bool m_bSpritesVisible = false;
  FeedNavigation m_feed;
  int32_t m_nFeedItemTicks = 0;
};

}  // namespace qv
