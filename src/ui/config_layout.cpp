#include "ui/config_layout.h"

namespace qv {

ConfigCollapse PlanConfigCollapse(const ConfigTexts& texts) {
  ConfigCollapse c;
  int shift = 0;
  if (!texts.hasRightsLine) {
    c.hideRightsLine = true;
    shift += 6;
  }
  c.hideRssButton = !texts.hasFeedList;  // its row stays: the mute switch is on it
  if (!texts.hasWebAddress) {
    c.hideWebAddress = true;
    shift += 8;
  } else {
    c.webShift = shift;
  }
  c.optionsShift = shift;
  if (!texts.hasDescription) {
    c.hideDescription = true;
    shift += 64;
  } else {
    c.descriptionShift = shift;
  }
  c.footerShift = shift;
  return c;
}

int PixelsToDialogUnitsY(int pixels, int baseHeight) {
  if (baseHeight <= 0) return pixels;
  return static_cast<int>(static_cast<long long>(pixels) * 8 / baseHeight);
}

int DialogUnitsToPixelsY(int units, int baseHeight) {
  if (baseHeight <= 0) return units;
  return static_cast<int>(static_cast<long long>(baseHeight) * units / 8);
}

int ShiftUpPixels(int pixels, int shiftUnits, int baseHeight) {
  return DialogUnitsToPixelsY(PixelsToDialogUnitsY(pixels, baseHeight) - shiftUnits, baseHeight);
}

}  // namespace qv
