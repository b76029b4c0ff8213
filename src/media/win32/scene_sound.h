// The scene's sound steps: the document's sound preloaded into the scene's clip when the
// scene starts, and started once per run at the end of the splash time (from memory, or
// through the hidden sound window for anything else); the sprites' event sounds. With
// the user's mute setting on, nothing here opens a device or a window.
#pragma once
#include <string>
#include <vector>

#include "document/screen_saver_doc.h"
#include "media/sprite_sounds.h"
#include "media/wave_clip.h"

namespace qv {

class SceneSound {
 public:
  // Scene start: mute is the user's setting for this run.
  void Begin(bool muted);
  // A scene sprite was made: its embedded event sounds.
  void SpriteCreated(const CSprite& sprite);
  void PlaySpriteSound(const CSprite& sprite, int k);
  void PreloadSound(const CScreenSaverDoc& doc);
  // Plays the document's sound once per run (later calls do nothing).
  void StartSound(const CScreenSaverDoc& doc);
  // The run's end: every clip closed, the control's sound stopped, the temporary file
  // deleted.
  void End();

  bool WaveStarted() const { return m_bWaveStarted; }
  void ClearWaveStarted() { m_bWaveStarted = false; }

 private:
  WaveClip m_clip;
  SpriteSounds m_sprites;
  bool m_bMuted = false;
  bool m_bWaveStarted = false;
  // Test diagnostic, off unless QV_TEST_SOUND_LOG names a file: each sound started, as
  // "<ms> sprite <k> <played>" or "<ms> start <how>", and the sound module's clean-up
  // steps ("<ms> release player", "<ms> delete <path>"), written at the run's end.
  std::string m_logPath;
  std::vector<std::string> m_log;
  void Log(const std::string& what);
};

}  // namespace qv
