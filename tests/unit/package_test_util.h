// Executables and packages made in memory for the package tests.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

namespace qv::test {

inline void PutU16At(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32At(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// A minimal executable: DOS header, PE header at peOffset (PE32 or PE32+), 16 data
// directories, one section whose raw data fills the file up to imageSize.
inline std::vector<uint8_t> MakeExecutable(bool pe32plus, uint32_t peOffset = 0x130,
                                           uint32_t imageSize = 0x400) {
  std::vector<uint8_t> b(imageSize, 0);
  b[0] = 'M';
  b[1] = 'Z';
  PutU32At(b, 0x3C, peOffset);
  std::memcpy(&b[peOffset], "PE\0\0", 4);
  PutU16At(b, peOffset + 4, pe32plus ? 0x8664 : 0x14C);
  PutU16At(b, peOffset + 6, 1);                       // one section
  PutU16At(b, peOffset + 20, pe32plus ? 240 : 224);  // optional header size
  const uint32_t opt = peOffset + 24;
  PutU16At(b, opt, pe32plus ? 0x20B : 0x10B);
  PutU32At(b, opt + 60, 0x200);  // SizeOfHeaders
  PutU32At(b, opt + (pe32plus ? 108 : 92), 16);
  const uint32_t section = opt + (pe32plus ? 240 : 224);
  std::memcpy(&b[section], ".text\0\0\0", 8);
  PutU32At(b, section + 16, imageSize - 0x200);
  PutU32At(b, section + 20, 0x200);
  return b;
}

// Where data directory entry 4 (the certificate table) lies in MakeExecutable's output.
inline uint32_t CertificateEntryOffset(bool pe32plus, uint32_t peOffset = 0x130) {
  return peOffset + 24 + (pe32plus ? 112 : 96) + 32;
}

}  // namespace qv::test
