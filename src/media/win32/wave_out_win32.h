// The wave-out device through waveOut* on the wave mapper, with a callback function that
// does nothing (nothing here depends on it).
#pragma once
#include "media/wave_out.h"

namespace qv {

class Win32WaveOut final : public WaveOut {
 public:
  uint32_t NumDevs() override;
  WaveDevice Open(const WaveFormat& format) override;
  std::unique_ptr<WaveHeader> NewHeader() override;
  bool Prepare(WaveDevice device, WaveHeader& header) override;
  bool Write(WaveDevice device, WaveHeader& header) override;
  bool IsDone(const WaveHeader& header) override;
  void Reset(WaveDevice device) override;
  void Unprepare(WaveDevice device, WaveHeader& header) override;
  void Close(WaveDevice device) override;
};

}  // namespace qv
