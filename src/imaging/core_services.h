// What the portable core asks of the program it runs in: the imaging platform (memory
// blocks, screen depth, palettes, resources), the picture operations CDIB plugs in, the
// ANSI code page's rules (lead bytes, the 16-bit to 8-bit conversion) and the wave-out
// device. One value holds them all; one is installed for the process at a time.
//
// The runtime installs its Win32 services once, at the start of its entry, and keeps
// them until the process ends (blocks made by one imaging platform must be freed by the
// same one, and static objects free theirs at exit). Tests and fuzz targets install
// theirs for a scope with ScopedCoreServices, which puts the previous ones back. The
// value sits in the imaging layer, the lowest layer that reads it; the higher layers'
// parts are named here by forward declaration only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qv {

struct ImagingPlatform;  // imaging/imaging_platform.h
class WaveOut;           // media/wave_out.h
struct DibHandleTag;

// Converts count UTF-16LE code units (2 x count bytes) into 8-bit text.
using Utf16ToAnsiFn = std::string (*)(const unsigned char* utf16le, size_t count);
// Whether a byte starts a two-byte character of the ANSI code page.
using LeadByteFn = bool (*)(unsigned char byte);
// Soft keying and resampling of a packed DIB block (CDIB::KeyToAlpha, CDIB::Resample).
using KeyToAlphaOperation = DibHandleTag* (*)(DibHandleTag* block, bool keyOn, uint32_t keyColour);
using ResampleOperation = DibHandleTag* (*)(DibHandleTag* block, int width, int height);

struct CoreServices {
  // None: the plain platform (heap blocks, palette records in memory), which answers
  // with the three plain values below.
  const ImagingPlatform* imaging = nullptr;
  int plainScreenDepth = 32;
  // Each lock of an unlocked plain block moves it, so that an address kept past its
  // unlock is caught by the sanitizers.
  bool plainBlockRelocation = false;
  // The plain platform's resources, by type and name.
  std::map<std::pair<std::string, std::string>, std::vector<uint8_t>> plainResources = {};
  // Library warnings and errors of the picture decoders go to stderr.
  bool pictureDecoderMessages = true;
  // None: CDIB::KeyToAlpha and CDIB::Resample keep the block and return false.
  KeyToAlphaOperation keyToAlpha = nullptr;
  ResampleOperation resample = nullptr;
  // None: a single-byte code page (no lead bytes), Windows-1252 conversion.
  LeadByteFn leadByte = nullptr;
  Utf16ToAnsiFn utf16ToAnsi = nullptr;
  // None: no device (nothing opens, nothing plays).
  WaveOut* waveOut = nullptr;

  // The screen depth once asked of the platform (0: not yet); ScreenDepth() fills it.
  mutable int screenDepthCache = 0;
};

// The installed services (the plain ones until something is installed).
const CoreServices& Services();

// Installs services for the rest of the process. Refused (false) when it would change
// the imaging platform while blocks or palettes of the current one are alive.
bool InstallCoreServices(const CoreServices& services);

// Installs services for the life of the object and puts the previous ones back after.
// Refused, installing nothing, when it would change the imaging platform while blocks
// or palettes of the current one are alive (Installed() then says so).
class ScopedCoreServices {
 public:
  explicit ScopedCoreServices(CoreServices services);
  ~ScopedCoreServices();
  ScopedCoreServices(const ScopedCoreServices&) = delete;
  ScopedCoreServices& operator=(const ScopedCoreServices&) = delete;
  bool Installed() const { return m_previous != nullptr; }

 private:
  CoreServices m_services;
  const CoreServices* m_previous = nullptr;
};

}  // namespace qv
