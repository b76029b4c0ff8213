// Little-endian bytes written by hand for the format tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qvtest {

struct Bytes {
  std::vector<uint8_t> b;
  Bytes& u8(uint8_t v) { b.push_back(v); return *this; }
  Bytes& u16(uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
  Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Bytes& raw(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); return *this; }
  Bytes& raw(const std::vector<uint8_t>& v) { b.insert(b.end(), v.begin(), v.end()); return *this; }
  Bytes& fill(size_t n, uint8_t v) { b.insert(b.end(), n, v); return *this; }
  // An archive object of a class not seen before: the new-class tag, schema, name.
  Bytes& newClass(const std::string& name, uint16_t schema = 0) {
    return u16(0xFFFF).u16(schema).u16(static_cast<uint16_t>(name.size())).raw(name);
  }
  // A package string: u32 length counting the terminating zero, then the bytes.
  Bytes& text(const std::string& s) { return u32(static_cast<uint32_t>(s.size() + 1)).raw(s).u8(0); }
  // An archive string in its short form: one length byte.
  Bytes& archiveText(const std::string& s) { return u8(static_cast<uint8_t>(s.size())).raw(s); }
};

}  // namespace qvtest
