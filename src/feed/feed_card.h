// The feed card's geometry and assembly, without the text drawing: the card's size from
// the measured texts, the nine-slice frame of the box picture ("RSS_BOX", 350 x 120
// RGBA) tiled to the card's size, and the text layer stamped over it. The Win32 layer
// measures and draws the texts with GDI and calls these.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "imaging/imaging_platform.h"

namespace qv {

inline constexpr int kFeedBoxPictureWidth = 350;
inline constexpr int kFeedBoxPictureHeight = 120;
inline constexpr int kFeedCardMinWidth = 380, kFeedCardMaxWidth = 630;  // before the margin
inline constexpr int kFeedCardMargin = 10;
inline constexpr int kFeedCardMinHeight = 200, kFeedCardMaxHeight = 470;
// Where the body colour is read in the box picture.
inline constexpr int kFeedBodyColourX = 33, kFeedBodyColourY = 58;

struct FeedCardSize {
  int width = 0;              // W: the text width the description was measured for + 45
  int descriptionHeight = 0;  // hd
  int cardWidth = 0;          // Wc = W + 10
  int cardHeight = 0;         // Hc
};

// Where the card's text rows lie, top to bottom, in card pixels. At 96 dpi (and below)
// the fixed layout: heading 15..45, body fill from 51, item title and date 55..74,
// description from 75. Above 96 dpi the fonts are larger, so the rows grow with them:
// the heading as tall as its font's line, in the box's top band while it fits there;
// the title row and the gaps around it scaled by dpi / 96, and at least as tall as the
// taller font's line.
struct FeedCardRows {
  int headingTop = 15, headingBottom = 45;
  int bodyTop = 51;
  int titleTop = 55, titleBottom = 74;
  int descriptionTop = 75;
  // How much taller than the fixed layout the rows above the description are.
  int ExtraHeight() const { return descriptionTop - 75; }
};
// headingLine: the feed title font's line height; titleLine: the taller of the item
// title's and the date's. Both are ignored at 96 dpi and below; dpi is taken up to
// 4 x 96 and each line up to 4 times its row, so the extra height stays bounded.
FeedCardRows LayoutFeedCardRows(int dpi, int headingLine, int titleLine);
inline constexpr int kFeedCardMaxExtraHeight = 149;  // at 4 x 96 dpi and the tallest lines

// w1: the feed title's width, w2: the item title's, w3: the date's (0 without a date).
// measureDescription(width) gives the word-wrapped description's height in that width.
// A description too tall for the natural width widens the card to the maximum and is
// measured once more. extraHeight (FeedCardRows::ExtraHeight) makes the card taller by
// what its rows above the description grew.
FeedCardSize LayoutFeedCard(int w1, int w2, int w3, const std::function<int(int)>& measureDescription,
                            int extraHeight = 0);

struct SliceRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const SliceRect&) const = default;
};
struct FeedBoxSlice {
  SliceRect source;
  SliceRect destination;
};
// The nine regions of the box picture and where they are tiled on a card.
std::array<FeedBoxSlice, 9> FeedBoxSlices(int cardWidth, int cardHeight);

// The feed box sprite's name begins with this ("@@RSS@@." then the picture's extension).
inline constexpr char kFeedBoxSpriteName[] = "@@RSS@@.";
bool IsFeedBoxName(const std::string& spriteName);

// The box picture decoded from the program's "RSS_BOX" PNG resource, or none.
DibHandle LoadFeedBoxPicture();

// A new 32-bit card of the text layer's size: the nine slices of box tiled into a clear
// picture, then every non-zero text-layer pixel stamped over it, opaque. The text layer
// is 32 bits with black already turned transparent. None when a block is unusable or the
// size is outside the card limits.
DibHandle ComposeFeedCard(DibHandle box, DibHandle textLayer);

}  // namespace qv
