#include "scene/background.h"

#include "document/screen_saver_doc.h"
#include "imaging/dib.h"
#include "imaging/jpeg_reader.h"
#include "imaging/picture_ops.h"

namespace qv {

namespace {
// The executable's built-in background picture, decoded once. The runtime carries no
// resource of that name, so it stays empty and the desktop fallback shows nothing.
DibHandle BuiltInBackground() {
  static bool tried = false;
  static DibHandle picture = nullptr;
  if (!tried) {
    tried = true;
    picture = DibLoadJpegResource("BACKGROUND");
  }
  return picture;
}

bool SameSize(DibHandle picture, int width, int height) {
  DibLock lock(picture);
  return lock && DibWidth(lock.data()) == width && DibHeight(lock.data()) == height;
}
}  // namespace

int DepthClass(int screenDepth) {
  if (screenDepth == 15 || screenDepth == 16) return 16;
  return screenDepth >= 24 ? 32 : 8;
}

int DesktopBrightness(int dimming) {
  switch (dimming) {
    case 1: return 75;
    case 2: return 50;
    case 3: return 25;
    default: return 100;
  }
}

BackgroundSpec BackgroundSpecOf(const CScreenSaverDoc& doc) {
  BackgroundSpec s;
  s.kind = doc.m_nBackgroundKind;
  s.picture = doc.m_pBackgroundDib ? doc.m_pBackgroundDib->GetHandle() : nullptr;
  s.pictureFit = doc.m_nPictureFit;
  s.backColor = doc.m_crBackColor;
  s.gradientFrom = doc.m_crGradientFrom;
  s.gradientTo = doc.m_crGradientTo;
  s.gradientHorizontal = doc.m_bGradientHorizontal != 0;
  s.gradientMirrored = doc.m_bGradientMirrored != 0;
  s.desktopDimming = doc.m_nDesktopDimming;
  return s;
}

DibHandle BuildBackground(const BackgroundSpec& s, int width, int height, int depthClass) {
  const bool eight = depthClass == 8;
  switch (s.kind) {
    case kBackgroundPicture:
      if (!s.picture) return nullptr;
      switch (s.pictureFit) {
        case 0:
          if (eight) return SameSize(s.picture, width, height) ? DibTo8(s.picture) : DibStretch8(s.picture, width, height);
          return DibStretch(s.picture, width, height, 0);
        case 1:
          return eight ? DibCentre8(s.picture, width, height, 100) : DibCentre(s.picture, width, height, 100);
        case 2:
          return eight ? DibTile8(s.picture, width, height) : DibTile(s.picture, width, height);
        default:
          return nullptr;
      }
    case kBackgroundGradient:
      return eight ? DibGradient8(s.gradientFrom, s.gradientTo, width, height, s.gradientHorizontal, s.gradientMirrored)
                   : DibGradient(s.gradientFrom, s.gradientTo, width, height, s.gradientHorizontal, s.gradientMirrored);
    case kBackgroundSolid:
      return eight ? DibSolid8(s.backColor, width, height) : DibSolid(s.backColor, width, height);
    case kBackgroundDesktop: {
      const DibHandle builtIn = BuiltInBackground();
      if (!builtIn) return nullptr;
      return eight ? DibTile8(builtIn, width, height) : DibTile(builtIn, width, height);
    }
    default:
      return nullptr;
  }
}

DibHandle BuildDesktopBackground(const BackgroundSpec& s, DibHandle capture, int width, int height,
                                 int depthClass) {
  if (!capture) return BuildBackground(s, width, height, depthClass);
  const int brightness = DesktopBrightness(s.desktopDimming);
  return depthClass == 8 ? DibCentre8(capture, width, height, brightness)
                         : DibCentre(capture, width, height, brightness);
}

}  // namespace qv
