// The colour of each line of the dialogs' gradient fills (colour values 0x00BBGGRR).
#pragma once
#include <cstdint>

namespace qv {

// Line i of n: from the first colour to the second; mirrored, from -> to over the first
// half and back to (nearly) the first colour over the second.
uint32_t GradientLineColor(int i, int n, uint32_t from, uint32_t to, bool mirrored);

}  // namespace qv
