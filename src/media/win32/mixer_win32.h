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

// The run's start and end steps on the real mixer (full screen with the mute setting on
// only). Test diagnostic: with QV_TEST_MIXER_LOG naming a file, each step appends the
// switch as the mixer reports it afterwards ("start line=.. mute=1", "end mute=0").
void MuteMixerForRun(bool preview, bool muteSetting);
void RestoreMixerAfterRun(bool preview, bool muteSetting);

}  // namespace qv
