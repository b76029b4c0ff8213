#include "media/wave_out.h"

#include "imaging/core_services.h"

namespace qv {

namespace {
struct RecordedHeader final : WaveHeader {
  explicit RecordedHeader(int& live) : m_live(live) { ++m_live; }
  ~RecordedHeader() override { --m_live; }
  bool done = false;
  int& m_live;
};
}  // namespace

WaveOut& DefaultWaveOut() {
  static SilentWaveOut silent;
  WaveOut* installed = Services().waveOut;
  return installed ? *installed : silent;
}

uint32_t RecordingWaveOut::NumDevs() {
  calls.push_back("numdevs");
  return numDevs;
}

WaveDevice RecordingWaveOut::Open(const WaveFormat& f) {
  calls.push_back("open " + std::to_string(f.samplesPerSec) + "x" + std::to_string(f.channels) + "x" +
                  std::to_string(f.bitsPerSample));
  if (openFailures > 0) {
    --openFailures;
    return 0;
  }
  return m_next++;
}

std::unique_ptr<WaveHeader> RecordingWaveOut::NewHeader() { return std::make_unique<RecordedHeader>(liveHeaders); }

bool RecordingWaveOut::Prepare(WaveDevice, WaveHeader&) {
  calls.push_back("prepare");
  return prepareOk;
}

bool RecordingWaveOut::Write(WaveDevice, WaveHeader& h) {
  calls.push_back("write " + std::to_string(h.length) + " loops=" + std::to_string(h.loops) +
                  " flags=" + std::to_string(h.flags));
  if (writeOk) written.push_back(&h);
  return writeOk;
}

bool RecordingWaveOut::IsDone(const WaveHeader& h) { return static_cast<const RecordedHeader&>(h).done; }

void RecordingWaveOut::Reset(WaveDevice) { calls.push_back("reset"); }

void RecordingWaveOut::Unprepare(WaveDevice, WaveHeader& h) {
  calls.push_back("unprepare");
  std::erase(written, &h);
}

void RecordingWaveOut::Close(WaveDevice) { calls.push_back("close"); }

void RecordingWaveOut::MarkAllDone() {
  for (WaveHeader* h : written) static_cast<RecordedHeader*>(h)->done = true;
}

int RecordingWaveOut::Count(const std::string& prefix) const {
  int n = 0;
  for (const std::string& c : calls) n += c.rfind(prefix, 0) == 0;
  return n;
}

}  // namespace qv
