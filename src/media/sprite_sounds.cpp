#include "media/sprite_sounds.h"

namespace qv {

void SpriteSounds::Load(const CSprite& sprite) {
  const MediaSlot* slots[3] = {&sprite.m_SoundCollide, &sprite.m_SoundBounceX, &sprite.m_SoundBounceY};
  Clips clips;
  bool any = false;
  for (int i = 0; i < 3; ++i) {
    if (!slots[i]->IsEmbedded()) continue;
    clips[i] = m_out ? std::make_unique<WaveClip>(*m_out) : std::make_unique<WaveClip>();
    clips[i]->LoadBlock(slots[i]->bytes);
    any = true;
  }
  if (any) m_clips[&sprite] = std::move(clips);
  else m_clips.erase(&sprite);
}

bool SpriteSounds::Play(const CSprite& sprite, int k) {
  if (k < 1 || k > 3) return false;
  auto it = m_clips.find(&sprite);
  if (it == m_clips.end() || !it->second[k - 1]) return false;
  return it->second[k - 1]->Play(false) != nullptr;
}

const WaveClip* SpriteSounds::Clip(const CSprite& sprite, int k) const {
  if (k < 1 || k > 3) return nullptr;
  auto it = m_clips.find(&sprite);
  return it == m_clips.end() ? nullptr : it->second[k - 1].get();
}

}  // namespace qv
