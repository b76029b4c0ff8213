// The event sounds of the scene's sprites: each sprite's three embedded sounds (collision,
// left/right bounce, top/bottom/floor bounce) held as WaveClips and played once, without
// looping, when motion reports the event. A sound slot without embedded bytes is never
// loaded or played.
#pragma once
#include <array>
#include <memory>
#include <unordered_map>

#include "document/sprite.h"
#include "media/wave_clip.h"

namespace qv {

class SpriteSounds {
 public:
  SpriteSounds() = default;  // clips on the default device
  explicit SpriteSounds(WaveOut& out) : m_out(&out) {}

  // Loads the sprite's embedded sounds with LoadBlock (replacing any it had).
  void Load(const CSprite& sprite);
  // Plays sound k (1 collision, 2 left/right, 3 top/bottom/floor) once; false when the
  // sprite has no such clip or the device refused.
  bool Play(const CSprite& sprite, int k);
  void Clear() { m_clips.clear(); }
  size_t Count() const { return m_clips.size(); }
  const WaveClip* Clip(const CSprite& sprite, int k) const;

 private:
  using Clips = std::array<std::unique_ptr<WaveClip>, 3>;
  WaveOut* m_out = nullptr;
  std::unordered_map<const CSprite*, Clips> m_clips;
};

}  // namespace qv
