// The largest pictures the saver accepts. Pictures come from packages anyone can make, so
// every dimension read from a file or an archive is held against these before anything is
// allocated; sizes are computed in 64 bits.
#pragma once
#include <cstdint>

namespace qv {

inline constexpr int64_t kMaxPictureSide = 16384;
inline constexpr int64_t kMaxPicturePixels = 64'000'000;
// A 32-bit picture of the largest size, its header, a full colour table and bit-field masks.
inline constexpr uint64_t kMaxBlockBytes = 40 + 1024 + 12 + 4 * static_cast<uint64_t>(kMaxPicturePixels);

// Whether width x height is an acceptable picture size (zero sides allowed).
inline constexpr bool PictureSizeAllowed(int64_t width, int64_t height) {
  return width >= 0 && height >= 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

}  // namespace qv
