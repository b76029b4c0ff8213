// The configuration dialog's layout rules: which controls a package without a rights
// line, web address, feed list or description hides, how far the rest moves up, and the
// conversions between client pixels and vertical dialog units used to move them.
#pragma once

namespace qv {

// The dialog template's height in dialog units when every text is present.
inline constexpr int kConfigDialogHeightUnits = 251;

struct ConfigTexts {
  bool hasRightsLine = true;
  bool hasFeedList = true;
  bool hasWebAddress = true;
  bool hasDescription = true;
};

// What to hide and how many dialog units each group of controls moves up.
struct ConfigCollapse {
  bool hideRightsLine = false;    // 1005
  bool hideRssButton = false;     // 5592
  bool hideWebAddress = false;    // 1006 and 1007
  bool hideDescription = false;   // 1010
  int webShift = 0;               // 1006 and 1007
  int optionsShift = 0;           // 1008 and 5592
  int descriptionShift = 0;       // 1010
  int footerShift = 0;            // 1018, OK, Cancel, and the dialog's height
};

ConfigCollapse PlanConfigCollapse(const ConfigTexts& texts);

// Vertical conversions with the high word of the dialog base units (integer division,
// toward zero). A base height that is not positive leaves the value as it is.
int PixelsToDialogUnitsY(int pixels, int baseHeight);
int DialogUnitsToPixelsY(int units, int baseHeight);
// A control's top (client pixels) after moving it up by shiftUnits: through dialog units
// and back, the same way for a top and for the dialog's height.
int ShiftUpPixels(int pixels, int shiftUnits, int baseHeight);

}  // namespace qv
