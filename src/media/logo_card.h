// The splash card drawn when the package has no splash picture: its size, colours and
// where its lines of text go; and where the splash window sits on the first monitor.
#pragma once
#include <cstdint>

#include "base/geometry.h"

namespace qv {

inline constexpr int32_t kLogoCardWidth = 350;
inline constexpr int32_t kLogoCardHeight = 65;
// 0x00BBGGRR
inline constexpr uint32_t kLogoFaceColour = 0xD7D2CD;
inline constexpr uint32_t kLogoOuterFrameColour = 0x000000;
inline constexpr uint32_t kLogoInnerFrameColour = 0xFFFFFF;
inline constexpr uint32_t kLogoTextColour = 0x303030;

struct LogoCardLayout {
  Rect32 card;        // filled with the face colour, framed in black
  Rect32 innerFrame;  // framed in white
  Rect32 name;        // the saver's name, centred, heading font
  Rect32 rights;      // the rights line, centred, bold font; empty when there is none
};

LogoCardLayout LayoutLogoCard(int32_t width, int32_t height, bool hasRightsLine);

// The splash window's rectangle: width x height centred on a monitor of the given size.
Rect32 CentreOnMonitor(int32_t monitorWidth, int32_t monitorHeight, int32_t width, int32_t height);

}  // namespace qv
