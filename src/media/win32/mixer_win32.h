// The audio mixer through mixer*: device 0, its speakers destination line and that
// line's mute switch.
#pragma once
#include "media/master_mute.h"

namespace qv {

class Win32Mixer final : public MixerApi {
 public:
  uint32_t NumDevs() override;
  MixerHandle Open() override;
  bool DevCaps(MixerHandle mixer) override;
  bool FindSpeakerMute(MixerHandle mixer, uint32_t& controlId, std::string& line, std::string& control) override;
  bool GetValue(MixerHandle mixer, uint32_t controlId, uint32_t& value) override;
  bool SetValue(MixerHandle mixer, uint32_t controlId, uint32_t value) override;
  void Close(MixerHandle mixer) override;
};

// The process-wide master mute over the real mixer.
MasterMute& RunMasterMute();

}  // namespace qv
