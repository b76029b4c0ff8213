// SaverRun: one saver run without its platform. It owns the run's document, its scene,
// its random generator and its configuration, counts the ticks and decides, tick by
// tick, when the splash ends, when the media start, when the scene steps and when the
// feed is handed over; a RunPlatform carries the decisions out. The runtime's platform
// drives the saver window (shell/win32/saver_run.cpp); the headless one (headless_run.h)
// serves the renderer and the tests, so both follow the same rules and the same draws.
#pragma once
#include <cstdint>

#include "base/crt_random.h"
#include "base/geometry.h"
#include "document/screen_saver_doc.h"
#include "scene/anim_scene.h"
#include "shell/run_state.h"

namespace qv {

enum class RunTimingRule : uint8_t {
  // The runtime's: the splash period, the media at its end (or on the 4th tick without
  // a splash), a scene step on every active tick after the splash.
  Runtime,
  // The renderer's default, for authors: no splash, the media and the sprites from
  // tick 0, a scene step on every tick.
  Authoring,
};

// Everything that configures a run, held once, by the run. The scene and its window
// read the scene part through SaverRun::Config().scene.
struct RunConfig {
  SceneMode scene;             // preview, fast timing, mute
  bool noSplash = true;        // always on in a preview
  uint32_t splashSeconds = 0;
  Rect32 sceneRect;            // what the scene is sized for: the first monitor, or 640 x 480 in a preview
  bool fixedPreview = false;   // a preview that paints only the fixed picture: no scene, no ticks
  RunTimingRule timing = RunTimingRule::Runtime;
};

// What a run asks of its platform, in the order the rules call it.
class RunPlatform {
 public:
  virtual ~RunPlatform() = default;
  virtual void ShowSplash() = 0;
  // Destroys the splash and repaints the scene under it.
  virtual void DestroySplash() = 0;
  // The scene's media window (when the document names media) and the document's sound.
  virtual void StartMedia(uint32_t runTick) = 0;
  virtual bool HasMediaWindow() = 0;
  virtual void ShowMediaWindow(bool show) = 0;
  // Whether a play-once media file keeps the sprites hidden now.
  virtual bool MediaHoldsSprites() = 0;
  virtual void ActivateSaver() = 0;
  virtual void HideCursor() = 0;
  // One scene step, the media kept in step; returns whether the sprites are shown.
  virtual bool SceneFrame(uint32_t runTick) = 0;
  // The feed is due: the delivered items go to the scene once they have arrived.
  virtual void HandOverFeed() = 0;
};

class SaverRun {
 public:
  // seed: the random generator's first state (the runtime seeds with the time).
  SaverRun(const RunConfig& config, RunPlatform& platform, uint32_t seed);
  SaverRun(const SaverRun&) = delete;
  SaverRun& operator=(const SaverRun&) = delete;

  // The run's one configuration. It changes while the run is built (the document's
  // timing, a preview's timer period) and once more when the frame loop starts.
  RunConfig& Config() { return m_config; }
  const RunConfig& Config() const { return m_config; }
  CScreenSaverDoc& Document() { return m_doc; }
  CAnimScene& Scene() { return m_scene; }
  CrtRandom& Random() { return m_random; }

  // After the scene has started: the splash (runtime rule), or the media and the sprites
  // at once (authoring rule). The tick count starts at 0.
  void Begin();
  // One tick; active: whether the saver holds the activation (always in a preview).
  void Tick(bool active);

  uint32_t RunTicks() const { return m_counters.runTicks; }
  bool SpritesVisible() const { return m_bSpritesVisible; }
  bool MediaStarted() const { return m_bMediaStarted; }

 private:
  void StartMedia();

  RunConfig m_config;
  RunPlatform& m_platform;
  CrtRandom m_random;
  CScreenSaverDoc m_doc;
  CAnimScene m_scene;  // after the document: it goes first
  RunCounters m_counters;
  bool m_bSpritesVisible = false;
  bool m_bMediaStarted = false;  // the media start once per run
};

}  // namespace qv
