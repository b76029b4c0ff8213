// qvmixer: reads or sets the first mixer's speaker mute switch, for the end-to-end
// tests of the master mute, and plays a tone through the wave mapper.
//
//   qvmixer get               prints "devices=N line=<name> control=<name> mute=0|1"
//   qvmixer set 0|1           sets the switch, then prints as get
//   qvmixer tone <ms> [hold]  plays a 440 Hz tone of that length (16-bit mono 22050 Hz),
//                             holding the switch at 1 while it plays when "hold" is given
#include <windows.h>
#include <mmsystem.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Mute {
  HMIXER mixer = nullptr;
  DWORD id = 0;
  char line[MIXER_LONG_NAME_CHARS] = "";
  char control[MIXER_SHORT_NAME_CHARS] = "";
  bool ok = false;
};

Mute Find() {
  Mute m;
  if (mixerOpen(&m.mixer, 0, 0, 0, CALLBACK_WINDOW) != MMSYSERR_NOERROR) return m;
  MIXERLINEA info{};
  info.cbStruct = sizeof info;
  info.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
  if (mixerGetLineInfoA(reinterpret_cast<HMIXEROBJ>(m.mixer), &info,
                        MIXER_OBJECTF_HMIXER | MIXER_GETLINEINFOF_COMPONENTTYPE) != MMSYSERR_NOERROR)
    return m;
  MIXERCONTROLA c{};
  MIXERLINECONTROLSA lc{};
  lc.cbStruct = sizeof lc;
  lc.dwLineID = info.dwLineID;
  lc.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
  lc.cControls = 1;
  lc.cbmxctrl = sizeof c;
  lc.pamxctrl = &c;
  if (mixerGetLineControlsA(reinterpret_cast<HMIXEROBJ>(m.mixer), &lc,
                            MIXER_OBJECTF_HMIXER | MIXER_GETLINECONTROLSF_ONEBYTYPE) != MMSYSERR_NOERROR)
    return m;
  std::snprintf(m.line, sizeof m.line, "%.*s", static_cast<int>(sizeof info.szName), info.szName);
  std::snprintf(m.control, sizeof m.control, "%.*s", static_cast<int>(sizeof c.szShortName), c.szShortName);
  m.id = c.dwControlID;
  m.ok = true;
  return m;
}

bool Value(Mute& m, LONG* value, bool set) {
  MIXERCONTROLDETAILS_BOOLEAN b{};
  if (set) b.fValue = *value;
  MIXERCONTROLDETAILS d{};
  d.cbStruct = sizeof d;
  d.dwControlID = m.id;
  d.cChannels = 1;
  d.cbDetails = sizeof b;
  d.paDetails = &b;
  const DWORD flags = MIXER_OBJECTF_HMIXER | MIXER_GETCONTROLDETAILSF_VALUE;
  const MMRESULT r = set ? mixerSetControlDetails(reinterpret_cast<HMIXEROBJ>(m.mixer), &d, flags)
                         : mixerGetControlDetailsA(reinterpret_cast<HMIXEROBJ>(m.mixer), &d, flags);
  if (!set) *value = b.fValue;
  return r == MMSYSERR_NOERROR;
}

void Print(Mute& m) {
  LONG v = -1;
  if (m.ok) Value(m, &v, false);
  std::printf("devices=%u line=%s control=%s mute=%ld\n", mixerGetNumDevs(), m.line, m.control, v);
}

int Tone(int ms) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.nSamplesPerSec = 22050;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = 44100;
  HWAVEOUT out = nullptr;
  if (waveOutOpen(&out, WAVE_MAPPER, &f, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
    std::printf("tone: no device\n");
    return 1;
  }
  std::vector<short> samples(static_cast<size_t>(22050) * ms / 1000);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<short>(8000 * std::sin(2 * 3.14159265 * 440 * i / 22050));
  WAVEHDR h{};
  h.lpData = reinterpret_cast<LPSTR>(samples.data());
  h.dwBufferLength = static_cast<DWORD>(samples.size() * 2);
  waveOutPrepareHeader(out, &h, sizeof h);
  waveOutWrite(out, &h, sizeof h);
  while (!(h.dwFlags & WHDR_DONE)) Sleep(10);
  waveOutUnprepareHeader(out, &h, sizeof h);
  waveOutClose(out);
  std::printf("tone: played %d ms\n", ms);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  Mute m = Find();
  if (!std::strcmp(argv[1], "get")) {
    Print(m);
  } else if (!std::strcmp(argv[1], "set") && argc > 2) {
    LONG v = std::atoi(argv[2]);
    if (!m.ok || !Value(m, &v, true)) std::printf("set failed\n");
    Print(m);
  } else if (!std::strcmp(argv[1], "tone") && argc > 2) {
    LONG hold = 1;
    if (argc > 3 && m.ok) Value(m, &hold, true);
    const int r = Tone(std::atoi(argv[2]));
    Print(m);
    return r;
  } else {
    return 2;
  }
  if (m.mixer) mixerClose(m.mixer);
  return 0;
}
