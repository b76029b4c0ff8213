#include "media/master_mute.h"

namespace qv {

namespace {
constexpr uint32_t kFakeMuteId = 7;
}

bool MasterMute::Open() {
  m_nDevices = m_api.NumDevs();
  m_hMixer = 0;
  m_bControlKnown = false;
  m_strLine.clear();
  m_strControl.clear();
  if (m_nDevices == 0) return true;
  m_hMixer = m_api.Open();
  if (!m_hMixer || !m_api.DevCaps(m_hMixer)) return false;
  m_bControlKnown = m_api.FindSpeakerMute(m_hMixer, m_nControlId, m_strLine, m_strControl);
  uint32_t value = 0;
  if (m_bControlKnown && m_api.GetValue(m_hMixer, m_nControlId, value)) m_nState = value != 0;
  return true;
}

bool MasterMute::SetValue(uint32_t v) {
  return m_hMixer && m_bControlKnown && m_api.SetValue(m_hMixer, m_nControlId, v);
}

void MasterMute::MuteOn() {
  if (m_nState == 1) return;
  m_nState = 1;
  SetValue(1);
}

void MasterMute::Restore() {
  if (m_nSaved == m_nState) return;
  m_nState = m_nSaved;
  SetValue(m_nSaved);
}

void MasterMute::Close() {
  if (m_hMixer) m_api.Close(m_hMixer);
  m_hMixer = 0;
}

void MuteAtRunStart(MasterMute& mute, bool preview, bool muteSetting) {
  if (preview || !muteSetting) return;
  mute.Open();
  mute.SaveState();
  mute.MuteOn();
}

void RestoreAtRunEnd(MasterMute& mute, bool preview, bool muteSetting) {
  if (preview || !muteSetting) return;
  mute.Restore();
  mute.Close();
}

MixerHandle FakeMixer::Open() {
  ++opens;
  return openOk ? 1 : 0;
}

bool FakeMixer::FindSpeakerMute(MixerHandle, uint32_t& id, std::string& line, std::string& control) {
  if (!hasMute) return false;
  id = kFakeMuteId;
  line = "Master Volume";
  control = "Mute";
  return true;
}

bool FakeMixer::GetValue(MixerHandle mixer, uint32_t id, uint32_t& value) {
  if (!mixer || id != kFakeMuteId || !readOk) return false;
  value = mute;
  return true;
}

bool FakeMixer::SetValue(MixerHandle mixer, uint32_t id, uint32_t value) {
  if (!mixer || id != kFakeMuteId) return false;
  writes.push_back(value);
  mute = value;
  return true;
}

}  // namespace qv
