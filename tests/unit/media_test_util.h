// Wave images built in memory for the sound tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

inline void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void PutId(std::vector<uint8_t>& b, const char* id) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(id[i]));
}

struct WaveLayout {
  uint16_t tag = 1, channels = 1, align = 2, bits = 16;
  uint32_t rate = 22050;
  uint32_t fmtLength = 16;               // a longer format chunk carries zero bytes after
  std::vector<std::string> extraChunks;  // ids of 6-byte chunks before "fmt "
  std::vector<std::string> chunksBeforeData;
  uint32_t samples = 100;                // 16-bit sample values 1000 + i
  int64_t declaredData = -1;             // the data chunk's length field; -1: true size
};

inline std::vector<uint8_t> MakeWave(const WaveLayout& s) {
  std::vector<uint8_t> b;
  PutId(b, "RIFF");
  Put32(b, 0);
  PutId(b, "WAVE");
  auto extra = [&](const std::string& id) {
    PutId(b, id.c_str());
    Put32(b, 6);
    for (int i = 0; i < 6; ++i) b.push_back(0xEE);
  };
  for (const auto& id : s.extraChunks) extra(id);
  PutId(b, "fmt ");
  Put32(b, s.fmtLength);
  Put16(b, s.tag);
  Put16(b, s.channels);
  Put32(b, s.rate);
  Put32(b, s.rate * s.align);
  Put16(b, s.align);
  Put16(b, s.bits);
  for (uint32_t i = 16; i < s.fmtLength; ++i) b.push_back(0);
  if (s.fmtLength & 1) b.push_back(0);
  for (const auto& id : s.chunksBeforeData) extra(id);
  PutId(b, "data");
  Put32(b, s.declaredData >= 0 ? static_cast<uint32_t>(s.declaredData) : s.samples * 2);
  for (uint32_t i = 0; i < s.samples; ++i) Put16(b, 1000 + i);
  const uint32_t riff = static_cast<uint32_t>(b.size() - 8);
  for (int i = 0; i < 4; ++i) b[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
  return b;
}

}  // namespace qv::test
