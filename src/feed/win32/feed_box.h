// The feed card drawn with GDI, and the feed-box sprite made from it.
#pragma once
#include <windows.h>

#include <memory>

#include "document/sprite.h"
#include "feed/rss.h"
#include "imaging/imaging_platform.h"

namespace qv {

// The card's fonts (none: the default GUI font) and the screen's vertical dpi, which the
// card's rows follow.
struct FeedCardFonts {
  HFONT heading = nullptr;  // the feed title
  HFONT title = nullptr;    // the item's title
  HFONT text = nullptr;     // its date and description
  int dpiY = 96;
};

// The card of one item: the box picture's frame, the feed title as the heading, the
// item's title and date on one line and its description word-wrapped below. A 32-bit
// packed DIB the caller frees, or none.
DibHandle RenderFeedCard(const CRssItem& item, const FeedCardFonts& fonts);

// The feed-box sprite of the channel's item at index, placed in design coordinates at the
// lower right (its top-right corner 15 pixels in from the design screen's corner), its
// picture decoded; the scene prepares it (at scale 1) before inserting it. None when the
// index has no item or the card cannot be made or read back.
std::unique_ptr<CAnimSprite> MakeFeedBoxSprite(const CRssChannel& channel, int index, int designWidth,
                                               int designHeight, const FeedCardFonts& fonts);

}  // namespace qv
