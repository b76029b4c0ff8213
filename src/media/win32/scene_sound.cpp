#include "media/win32/scene_sound.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>

#include "media/win32/hidden_sound_wnd.h"

namespace qv {

void SceneSound::Begin(bool muted) {
  m_bMuted = muted;
  m_bWaveStarted = false;
  m_sprites.Clear();
  char path[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA("QV_TEST_SOUND_LOG", path, MAX_PATH);
  m_logPath = n > 0 && n < MAX_PATH ? path : "";
  m_log.clear();
}

void SceneSound::Log(const std::string& what) {
  if (m_logPath.empty() || m_log.size() >= 100000) return;
  m_log.push_back(std::to_string(timeGetTime()) + " " + what);
}

void SceneSound::PlaySpriteSound(const CSprite& sprite, int k) {
  const bool played = m_sprites.Play(sprite, k);
  Log("sprite " + std::to_string(k) + (played ? " played" : " silent"));
}

void SceneSound::SpriteCreated(const CSprite& sprite) {
  if (!m_bMuted) m_sprites.Load(sprite);
}

void SceneSound::PreloadSound(const CScreenSaverDoc& doc) {
  const MediaSlot& sound = doc.m_Sound;
  if (sound.name.empty()) return;
  m_clip.Close();
  // Muted: the clip would open a device that never plays.
  if (m_bMuted || UpperExtension(sound.name) != "WAV") return;
  if (sound.IsEmbedded()) {
    if (sound.bytes.size() < kWaveClipLimit) m_clip.LoadBlock(sound.bytes);
  } else {
    const uint64_t size = SoundFileSize(sound.name);
    if (size >= 1 && size < kWaveClipLimit) m_clip.LoadFile(sound.name);
  }
}

void SceneSound::StartSound(const CScreenSaverDoc& doc) {
  const MediaSlot& sound = doc.m_Sound;
  if (m_bMuted || sound.name.empty() || m_bWaveStarted) return;
  const bool loop = doc.m_bSoundLoop != 0;
  if (m_clip.Play(loop)) {
    Log("start clip");
  } else {
    const std::string extension = UpperExtension(sound.name);
    SoundStop();
    bool started = false;
    if (!extension.empty()) {
      if (sound.IsEmbedded()) started = SoundPlayBlock(sound.bytes, loop, extension);
      else started = SoundPlayFile(sound.name, loop, true);
    }
    const CHiddenSoundWnd& wnd = HiddenSoundWnd();
    Log(std::string("start ") + (!started ? "failed" : wnd.UsesClip() ? "file-clip" : "player") + " " +
        TemporarySoundPath());
  }
  m_bWaveStarted = true;
}

void SceneSound::End() {
  m_clip.Close();
  m_sprites.Clear();
  SoundEndOfRun();
  if (m_logPath.empty()) return;
  if (FILE* f = std::fopen(m_logPath.c_str(), "w")) {
    for (const std::string& line : m_log) std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
  m_logPath.clear();
}

}  // namespace qv
