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
  if (m_logPath.empty()) SetSoundStepLog(nullptr);
  else SetSoundStepLog([this](const std::string& what) { Log(what); });
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

namespace {
SoundSlotFacts Facts(const MediaSlot& sound, bool askFileSize) {
  SoundSlotFacts f;
  f.name = sound.name;
  f.embedded = sound.IsEmbedded();
  f.embeddedSize = sound.bytes.size();
  if (askFileSize && !f.embedded && !f.name.empty()) f.fileSize = SoundFileSize(sound.name);
  return f;
}
}  // namespace

void SceneSound::PreloadSound(const CScreenSaverDoc& doc) {
  const MediaSlot& sound = doc.m_Sound;
  if (sound.name.empty()) return;
  m_clip.Close();
  switch (PlanSoundPreload(Facts(sound, !m_bMuted), m_bMuted)) {
    case SoundPreload::Block: m_clip.LoadBlock(sound.bytes); break;
    case SoundPreload::File: m_clip.LoadFile(sound.name); break;
    case SoundPreload::None: break;
  }
}

void SceneSound::StartSound(const CScreenSaverDoc& doc) {
  const MediaSlot& sound = doc.m_Sound;
  if (m_bMuted || sound.name.empty() || m_bWaveStarted) return;
  const bool loop = doc.m_bSoundLoop != 0;
  if (m_clip.Play(loop)) {
    Log("start clip");
  } else {
    SoundStop();
    bool started = false;
    switch (PlanSoundRoute(Facts(sound, false))) {
      case SoundRoute::Block: started = SoundPlayBlock(sound.bytes, loop, UpperExtension(sound.name)); break;
      case SoundRoute::File: started = SoundPlayFile(sound.name, loop, true); break;
      case SoundRoute::None: break;
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
  SetSoundStepLog(nullptr);
  if (m_logPath.empty()) return;
  if (FILE* f = std::fopen(m_logPath.c_str(), "w")) {
    for (const std::string& line : m_log) std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
  m_logPath.clear();
}

}  // namespace qv
