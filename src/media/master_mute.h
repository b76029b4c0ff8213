// MasterMute: the mute switch of the first mixer's speaker line, set while a full-screen
// run with the sound muted lasts and put back as it was found when the run ends. The
// mixer is asked through MixerApi (media/win32/mixer_win32.h on Windows; FakeMixer for
// tests). Every failure is silent: the run then goes on without muting.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

using MixerHandle = uintptr_t;  // 0: none

class MixerApi {
 public:
  virtual ~MixerApi() = default;
  virtual uint32_t NumDevs() = 0;
  // mixerOpen on device 0 without a callback; 0 on failure.
  virtual MixerHandle Open() = 0;
  virtual bool DevCaps(MixerHandle mixer) = 0;
  // The speakers destination line's mute control: its identifier and, for information,
  // the line's name and the control's short name.
  virtual bool FindSpeakerMute(MixerHandle mixer, uint32_t& controlId, std::string& line, std::string& control) = 0;
  virtual bool GetValue(MixerHandle mixer, uint32_t controlId, uint32_t& value) = 0;
  virtual bool SetValue(MixerHandle mixer, uint32_t controlId, uint32_t value) = 0;
  virtual void Close(MixerHandle mixer) = 0;
};

class MasterMute {
 public:
  explicit MasterMute(MixerApi& api) : m_api(api) {}

  bool Open();
  void SaveState() { m_nSaved = m_nState; }
  void MuteOn();
  void Restore();
  void Close();

  uint32_t State() const { return m_nState; }
  // The switch as the mixer reports it now; false when it cannot be read.
  bool ReadBack(uint32_t& value) { return m_hMixer && m_bControlKnown && m_api.GetValue(m_hMixer, m_nControlId, value); }
  const std::string& LineName() const { return m_strLine; }
  const std::string& ControlName() const { return m_strControl; }

 private:
  bool SetValue(uint32_t v);

  MixerApi& m_api;
  uint32_t m_nDevices = 0;
  MixerHandle m_hMixer = 0;
  bool m_bControlKnown = false;
  uint32_t m_nControlId = 0;
  std::string m_strLine, m_strControl;
  uint32_t m_nState = 0;
  uint32_t m_nSaved = 0;
};

// The run's two steps, taken only in full screen with the mute setting on: open, save,
// mute at the start; restore and close at the end.
void MuteAtRunStart(MasterMute& mute, bool preview, bool muteSetting);
void RestoreAtRunEnd(MasterMute& mute, bool preview, bool muteSetting);

// A mixer in memory: one speaker mute switch, every write recorded.
class FakeMixer final : public MixerApi {
 public:
  uint32_t devices = 1;
  bool openOk = true, capsOk = true, hasMute = true, readOk = true;
  uint32_t mute = 0;
  std::vector<uint32_t> writes;
  int opens = 0, closes = 0;

  uint32_t NumDevs() override { return devices; }
  MixerHandle Open() override;
  bool DevCaps(MixerHandle) override { return capsOk; }
  bool FindSpeakerMute(MixerHandle, uint32_t& id, std::string& line, std::string& control) override;
  bool GetValue(MixerHandle mixer, uint32_t id, uint32_t& value) override;
  bool SetValue(MixerHandle mixer, uint32_t id, uint32_t value) override;
  void Close(MixerHandle) override { ++closes; }
};

}  // namespace qv
