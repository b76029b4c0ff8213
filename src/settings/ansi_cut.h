// Cutting 8-bit texts to a byte limit in the system's ANSI code page. In a double-byte
// code page a character is a lead byte and a trail byte; a cut between them would leave
// half a character that the next reader shows as garbage or joins with what follows.
// The portable build knows no lead bytes (a single-byte code page); the runtime's
// services name the system's rule (CoreServices::leadByte).
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "imaging/core_services.h"

namespace qv {

// The services' rule; without one, no byte is a lead byte.
LeadByteFn GetLeadByteRule();

// The longest start of text of at most limit bytes that ends on a character boundary.
std::string CutAnsiText(std::string_view text, size_t limit, LeadByteFn isLeadByte);
inline std::string CutAnsiText(std::string_view text, size_t limit) {
  return CutAnsiText(text, limit, GetLeadByteRule());
}

}  // namespace qv
