#include "media/wave_clip.h"

#include <cctype>
#include <fstream>

#include "package/file_types.h"

namespace qv {

bool WaveClip::LoadFile(const std::string& path) {
  Close();
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return false;
  const std::streamoff end = file.tellg();
  if (end <= 0 || static_cast<uint64_t>(end) > kMaxWaveClipBytes) return false;
  std::vector<uint8_t> image(static_cast<size_t>(end));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(image.data()), end)) return false;
  return Take(std::move(image));
}

bool WaveClip::LoadBlock(std::span<const uint8_t> bytes) {
  Close();
  if (bytes.empty() || bytes.size() > kMaxWaveClipBytes) return false;
  return Take(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

// A playable image is kept and the device opened for its format; anything else leaves
// the clip empty, so Play has nothing to queue and the device never sees the format.
bool WaveClip::Take(std::vector<uint8_t> image) {
  const WaveImageInfo info = ReadWaveImage(image);
  if (!info.ok) return false;
  m_out = m_fixed ? m_fixed : &DefaultWaveOut();
  m_data = std::move(image);
  m_format = info.format;
  m_sampleOffset = info.dataOffset;
  m_sampleLength = info.dataLength;
  OpenDevice();
  return true;
}

// The mapper, tried once per device the system reports, until one open succeeds.
void WaveClip::OpenDevice() {
  const uint32_t attempts = m_out->NumDevs();
  for (uint32_t i = 0; i < attempts && !m_device; ++i) m_device = m_out->Open(m_format);
}

// Headers the device has finished with, and those it never took, are released before
// each new one, so a sprite that bounces for hours keeps a short list.
void WaveClip::ReclaimDone() {
  std::erase_if(m_queued, [this](std::unique_ptr<WaveHeader>& h) {
    if (h->written && !m_out->IsDone(*h)) return false;
    m_out->Unprepare(m_device, *h);
    return true;
  });
}

const WaveHeader* WaveClip::Play(bool loop) {
  if (m_data.empty() || !m_device) return nullptr;
  ReclaimDone();
  std::unique_ptr<WaveHeader> header = m_out->NewHeader();
  header->data = m_data.data() + m_sampleOffset;
  header->length = m_sampleLength;
  if (loop) {
    header->loops = kWaveLoopForever;
    header->flags = kWaveHeaderLoopFlags;
  }
  WaveHeader* h = header.get();
  m_queued.push_back(std::move(header));
  if (!m_out->Prepare(m_device, *h) || !m_out->Write(m_device, *h)) return nullptr;
  h->written = true;
  return h;
}

void WaveClip::Stop() {
  if (!m_out) return;
  if (m_device) m_out->Reset(m_device);
  for (auto& h : m_queued) m_out->Unprepare(m_device, *h);
  m_queued.clear();
}

void WaveClip::Close() {
  Stop();
  if (m_device) m_out->Close(m_device);
  m_device = 0;
  m_out = m_fixed;
  std::vector<uint8_t>().swap(m_data);
  m_sampleOffset = m_sampleLength = 0;
}

std::string UpperExtension(std::string_view path) {
  std::string ext = FileExtension(path);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

bool PlaysFromMemory(std::string_view path, uint64_t fileSize) {
  return UpperExtension(path) == "WAV" && fileSize >= 1 && fileSize < kWaveClipLimit;
}

SoundPreload PlanSoundPreload(const SoundSlotFacts& sound, bool muted) {
  // Muted: the clip would open a device that never plays.
  if (sound.name.empty() || muted || UpperExtension(sound.name) != "WAV") return SoundPreload::None;
  if (sound.embedded) return sound.embeddedSize < kWaveClipLimit ? SoundPreload::Block : SoundPreload::None;
  return PlaysFromMemory(sound.name, sound.fileSize) ? SoundPreload::File : SoundPreload::None;
}

SoundRoute PlanSoundRoute(const SoundSlotFacts& sound) {
  if (UpperExtension(sound.name).empty()) return SoundRoute::None;
  return sound.embedded ? SoundRoute::Block : SoundRoute::File;
}

}  // namespace qv
