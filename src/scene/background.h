// The scene's background: which picture operation renders it for the document's
// background kind, at the scene size and the screen's depth class.
#pragma once
#include <cstdint>

#include "imaging/imaging_platform.h"

namespace qv {

class CScreenSaverDoc;

enum BackgroundKind { kBackgroundPicture = 0, kBackgroundGradient = 1, kBackgroundSolid = 2, kBackgroundDesktop = 3 };

// What the background is made from; `picture` is borrowed, never freed here.
struct BackgroundSpec {
  int kind = kBackgroundGradient;
  DibHandle picture = nullptr;  // the decoded background picture (kind 0) or none
  int pictureFit = 0;           // 0 stretch, 1 centre, 2 tile
  uint32_t backColor = 0;
  uint32_t gradientFrom = 0x800000, gradientTo = 0xFF8000;
  bool gradientHorizontal = false, gradientMirrored = false;
  int desktopDimming = 0;       // 0..3: 100, 75, 50, 25 percent
};

BackgroundSpec BackgroundSpecOf(const CScreenSaverDoc& doc);

// The depth class of a screen depth: 16 for 15 or 16 bits, 32 for 24 and more, else 8.
int DepthClass(int screenDepth);

// Renders the background at width x height; none when there is nothing to show (no
// picture, an unknown kind or fit, or the desktop kind without a built-in picture).
DibHandle BuildBackground(const BackgroundSpec& background, int width, int height, int depthClass);

// The desktop kind: centres the capture (which stays the caller's) at the dimming's
// brightness; without a capture falls back to BuildBackground.
DibHandle BuildDesktopBackground(const BackgroundSpec& background, DibHandle capture, int width, int height,
                                 int depthClass);

// Brightness in percent for a dimming step; out-of-range steps give full brightness.
int DesktopBrightness(int dimming);

}  // namespace qv
