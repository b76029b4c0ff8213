// The wave-out device as WaveClip sees it: open on the mapper, prepare and write a
// header, ask whether the device is done with it, reset, unprepare, close. The Win32
// implementation is waveOut* (media/win32/wave_out_win32.h); SilentWaveOut has no
// device; RecordingWaveOut records every call for tests.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/wave_image.h"

namespace qv {

using WaveDevice = uintptr_t;  // an open device; 0 is none
inline constexpr uint32_t kWaveLoopForever = 0xFFFFFFFF;
inline constexpr uint32_t kWaveHeaderDone = 0x1;         // WHDR_DONE
inline constexpr uint32_t kWaveHeaderLoopFlags = 0xC;    // WHDR_BEGINLOOP | WHDR_ENDLOOP

// One queued buffer. The device makes it (a platform header may live behind it) and
// owns nothing in it; the clip owns the header and the samples it points at.
struct WaveHeader {
  virtual ~WaveHeader() = default;
  const uint8_t* data = nullptr;
  uint32_t length = 0;
  uint32_t loops = 0;
  uint32_t flags = 0;
  bool written = false;  // the device accepted it
};

class WaveOut {
 public:
  virtual ~WaveOut() = default;
  virtual uint32_t NumDevs() = 0;
  // Opens the mapper for the format; 0 on failure.
  virtual WaveDevice Open(const WaveFormat& format) = 0;
  virtual std::unique_ptr<WaveHeader> NewHeader() = 0;
  virtual bool Prepare(WaveDevice device, WaveHeader& header) = 0;
  virtual bool Write(WaveDevice device, WaveHeader& header) = 0;
  // Whether the device has finished with a written header.
  virtual bool IsDone(const WaveHeader& header) = 0;
  virtual void Reset(WaveDevice device) = 0;
  virtual void Unprepare(WaveDevice device, WaveHeader& header) = 0;
  virtual void Close(WaveDevice device) = 0;
};

// No device at all: nothing opens, nothing plays.
class SilentWaveOut final : public WaveOut {
 public:
  uint32_t NumDevs() override { return 0; }
  WaveDevice Open(const WaveFormat&) override { return 0; }
  std::unique_ptr<WaveHeader> NewHeader() override { return std::make_unique<WaveHeader>(); }
  bool Prepare(WaveDevice, WaveHeader&) override { return false; }
  bool Write(WaveDevice, WaveHeader&) override { return false; }
  bool IsDone(const WaveHeader&) override { return true; }
  void Reset(WaveDevice) override {}
  void Unprepare(WaveDevice, WaveHeader&) override {}
  void Close(WaveDevice) override {}
};

// Records each call as a line ("open 22050x1x16", "write 4410 loops=0", ...) and
// answers as told. A header counts as done once MarkAllDone ran after it was written.
class RecordingWaveOut final : public WaveOut {
 public:
  uint32_t numDevs = 1;
  int openFailures = 0;     // the first n opens fail
  bool prepareOk = true, writeOk = true;
  std::vector<std::string> calls;
  std::vector<WaveHeader*> written;
  int liveHeaders = 0;      // made and not yet destroyed

  uint32_t NumDevs() override;
  WaveDevice Open(const WaveFormat& format) override;
  std::unique_ptr<WaveHeader> NewHeader() override;
  bool Prepare(WaveDevice device, WaveHeader& header) override;
  bool Write(WaveDevice device, WaveHeader& header) override;
  bool IsDone(const WaveHeader& header) override;
  void Reset(WaveDevice device) override;
  void Unprepare(WaveDevice device, WaveHeader& header) override;
  void Close(WaveDevice device) override;
  void MarkAllDone();
  int Count(const std::string& prefix) const;

 private:
  WaveDevice m_next = 1;
};

// The device every WaveClip made without one uses: the installed services' device
// (waveOut in the runtime), silent without one (the native tools).
WaveOut& DefaultWaveOut();

}  // namespace qv
