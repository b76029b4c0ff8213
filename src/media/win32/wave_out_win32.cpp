#include "media/win32/wave_out_win32.h"

#include <windows.h>
#include <mmsystem.h>

namespace qv {

namespace {

struct Win32WaveHeader final : WaveHeader {
  WAVEHDR hdr{};
};

WAVEHDR& HdrOf(WaveHeader& h) { return static_cast<Win32WaveHeader&>(h).hdr; }
HWAVEOUT HandleOf(WaveDevice d) { return reinterpret_cast<HWAVEOUT>(d); }

void CALLBACK WaveOutCallback(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

}  // namespace

uint32_t Win32WaveOut::NumDevs() { return waveOutGetNumDevs(); }

WaveDevice Win32WaveOut::Open(const WaveFormat& f) {
  WAVEFORMATEX format{};
  format.wFormatTag = f.formatTag;
  format.nChannels = f.channels;
  format.nSamplesPerSec = f.samplesPerSec;
  format.nAvgBytesPerSec = f.avgBytesPerSec;
  format.nBlockAlign = f.blockAlign;
  format.wBitsPerSample = f.bitsPerSample;
  format.cbSize = 0;
  HWAVEOUT device = nullptr;
  if (waveOutOpen(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&WaveOutCallback), 0,
                  CALLBACK_FUNCTION) != MMSYSERR_NOERROR)
    return 0;
  return reinterpret_cast<WaveDevice>(device);
}

std::unique_ptr<WaveHeader> Win32WaveOut::NewHeader() { return std::make_unique<Win32WaveHeader>(); }

bool Win32WaveOut::Prepare(WaveDevice device, WaveHeader& h) {
  WAVEHDR& hdr = HdrOf(h);
  hdr = WAVEHDR{};
  hdr.lpData = reinterpret_cast<LPSTR>(const_cast<uint8_t*>(h.data));
  hdr.dwBufferLength = h.length;
  hdr.dwLoops = h.loops;
  hdr.dwFlags = h.flags;
  return device && waveOutPrepareHeader(HandleOf(device), &hdr, sizeof hdr) == MMSYSERR_NOERROR;
}

bool Win32WaveOut::Write(WaveDevice device, WaveHeader& h) {
  return device && waveOutWrite(HandleOf(device), &HdrOf(h), sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
}

bool Win32WaveOut::IsDone(const WaveHeader& h) {
  return (static_cast<const Win32WaveHeader&>(h).hdr.dwFlags & WHDR_DONE) != 0;
}

void Win32WaveOut::Reset(WaveDevice device) {
  if (device) waveOutReset(HandleOf(device));
}

void Win32WaveOut::Unprepare(WaveDevice device, WaveHeader& h) {
  WAVEHDR& hdr = HdrOf(h);
  if (device && (hdr.dwFlags & WHDR_PREPARED)) waveOutUnprepareHeader(HandleOf(device), &hdr, sizeof hdr);
}

void Win32WaveOut::Close(WaveDevice device) {
  if (device) waveOutClose(HandleOf(device));
}

}  // namespace qv
