#include "media/win32/mixer_win32.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>

namespace qv {

namespace {
HMIXEROBJ ObjectOf(MixerHandle m) { return reinterpret_cast<HMIXEROBJ>(m); }

bool Details(MixerHandle mixer, uint32_t controlId, MIXERCONTROLDETAILS_BOOLEAN& value, bool set) {
  if (!mixer) return false;
  MIXERCONTROLDETAILS details{};
  details.cbStruct = sizeof details;
  details.dwControlID = controlId;
  details.cChannels = 1;
  details.cbDetails = sizeof value;
  details.paDetails = &value;
  const DWORD flags = MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE;
  const MMRESULT r = set ? mixerSetControlDetails(ObjectOf(mixer), &details, flags)
                         : mixerGetControlDetailsA(ObjectOf(mixer), &details, flags);
  return r == MMSYSERR_NOERROR;
}
}  // namespace

uint32_t Win32Mixer::NumDevs() { return mixerGetNumDevs(); }

MixerHandle Win32Mixer::Open() {
  HMIXER mixer = nullptr;
  // CALLBACK_WINDOW without a window: no callback.
  if (mixerOpen(&mixer, 0, 0, 0, CALLBACK_WINDOW) != MMSYSERR_NOERROR) return 0;
  return reinterpret_cast<MixerHandle>(mixer);
}

bool Win32Mixer::DevCaps(MixerHandle mixer) {
  MIXERCAPSA caps{};
  return mixerGetDevCapsA(reinterpret_cast<UINT_PTR>(reinterpret_cast<HMIXER>(mixer)), &caps, sizeof caps) ==
         MMSYSERR_NOERROR;
}

bool Win32Mixer::FindSpeakerMute(MixerHandle mixer, uint32_t& controlId, std::string& line, std::string& control) {
  MIXERLINEA info{};
  info.cbStruct = sizeof info;
  info.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
  if (mixerGetLineInfoA(ObjectOf(mixer), &info, MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) !=
      MMSYSERR_NOERROR)
    return false;
  MIXERCONTROLA mute{};
  MIXERLINECONTROLSA controls{};
  controls.cbStruct = sizeof controls;
  controls.dwLineID = info.dwLineID;
  controls.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
  controls.cControls = 1;
  controls.cbmxctrl = sizeof mute;
  controls.pamxctrl = &mute;
  if (mixerGetLineControlsA(ObjectOf(mixer), &controls, MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) !=
      MMSYSERR_NOERROR)
    return false;
  line.assign(info.szName, strnlen(info.szName, sizeof info.szName));
  control.assign(mute.szShortName, strnlen(mute.szShortName, sizeof mute.szShortName));
  controlId = mute.dwControlID;
  return true;
}

bool Win32Mixer::GetValue(MixerHandle mixer, uint32_t controlId, uint32_t& value) {
  MIXERCONTROLDETAILS_BOOLEAN v{};
  if (!Details(mixer, controlId, v, false)) return false;
  value = static_cast<uint32_t>(v.fValue);
  return true;
}

bool Win32Mixer::SetValue(MixerHandle mixer, uint32_t controlId, uint32_t value) {
  MIXERCONTROLDETAILS_BOOLEAN v{};
  v.fValue = static_cast<LONG>(value);
  return Details(mixer, controlId, v, true);
}

void Win32Mixer::Close(MixerHandle mixer) {
  if (mixer) mixerClose(reinterpret_cast<HMIXER>(mixer));
}

namespace {
void LogMixer(const char* step, bool touched) {
  char path[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA("QV_TEST_MIXER_LOG", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  FILE* f = std::fopen(path, "a");
  if (!f) return;
  uint32_t value = 0;
  const bool read = touched && RunMasterMute().ReadBack(value);
  std::fprintf(f, "%s touched=%d line=%s control=%s mute=%d\n", step, touched ? 1 : 0,
               RunMasterMute().LineName().c_str(), RunMasterMute().ControlName().c_str(), read ? static_cast<int>(value) : -1);
  std::fclose(f);
}
}  // namespace

void MuteMixerForRun(bool preview, bool muteSetting) {
  MuteAtRunStart(RunMasterMute(), preview, muteSetting);
  LogMixer("start", !preview && muteSetting);
}

void RestoreMixerAfterRun(bool preview, bool muteSetting) {
  // Read back before the mixer is closed.
  if (!preview && muteSetting) RunMasterMute().Restore();
  LogMixer("end", !preview && muteSetting);
  RestoreAtRunEnd(RunMasterMute(), preview, muteSetting);
}

MasterMute& RunMasterMute() {
  static Win32Mixer mixer;
  static MasterMute mute(mixer);
  return mute;
}

}  // namespace qv
