// WaveClip: one wave file held whole in memory and played through the wave-out device,
// once or looping. The saver's short background sound and each sprite's three event
// sounds are clips. Every Play queues a header; headers the device has finished with
// are reclaimed on the next Play, the rest on Stop.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "media/wave_image.h"
#include "media/wave_out.h"

namespace qv {

// Files larger than this are not read into memory.
inline constexpr uint64_t kMaxWaveClipBytes = 256ull << 20;

class WaveClip {
 public:
  // Without a device given, the default device installed at the time of each load.
  WaveClip() = default;
  explicit WaveClip(WaveOut& out) : m_fixed(&out), m_out(&out) {}
  ~WaveClip() { Close(); }
  WaveClip(const WaveClip&) = delete;
  WaveClip& operator=(const WaveClip&) = delete;

  // Reads the whole file, takes its format and opens the device. False when the file
  // cannot be read or is no playable wave image.
  bool LoadFile(const std::string& path);
  // The same from bytes in memory (copied). False when empty or not playable.
  bool LoadBlock(std::span<const uint8_t> bytes);
  // Queues the samples once (or looping forever); the queued header or none.
  const WaveHeader* Play(bool loop);
  void Stop();
  void Close();

  bool HoldsData() const { return !m_data.empty(); }
  bool DeviceOpen() const { return m_device != 0; }
  size_t QueuedCount() const { return m_queued.size(); }
  const WaveFormat& Format() const { return m_format; }

 private:
  bool Take(std::vector<uint8_t> image);
  void OpenDevice();
  void ReclaimDone();

  WaveOut* m_fixed = nullptr;  // the device given at construction
  WaveOut* m_out = nullptr;    // the device of the current image
  std::vector<uint8_t> m_data;
  WaveDevice m_device = 0;
  WaveFormat m_format;
  uint32_t m_sampleOffset = 0, m_sampleLength = 0;
  std::vector<std::unique_ptr<WaveHeader>> m_queued;
};

// Whether a sound file goes to a WaveClip (a "WAV" file of 1 byte up to just under
// 1 MiB) rather than to the media-player control.
inline constexpr uint64_t kWaveClipLimit = 0x100000;
bool PlaysFromMemory(std::string_view path, uint64_t fileSize);
// The text after the last '.' of a name, upper-cased; empty without a '.'.
std::string UpperExtension(std::string_view path);

// The document's background sound as the scene sees it.
struct SoundSlotFacts {
  std::string_view name;      // the stored name or path; empty when there is no sound
  bool embedded = false;      // the document carries the bytes
  uint64_t embeddedSize = 0;  // their count
  uint64_t fileSize = 0;      // the named file's size (0: missing, a folder); unused when embedded
};
// What the scene's start loads into its clip: nothing, the embedded bytes, or the file.
// Only a short "WAV" sound is preloaded, and nothing while the user mutes the sound.
enum class SoundPreload { None, Block, File };
SoundPreload PlanSoundPreload(const SoundSlotFacts& sound, bool muted);
// How the sound starts when the clip did not play it: through a temporary copy of the
// embedded bytes, through the named file, or not at all (a name without an extension).
enum class SoundRoute { None, Block, File };
SoundRoute PlanSoundRoute(const SoundSlotFacts& sound);

}  // namespace qv
