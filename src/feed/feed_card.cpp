#include "feed/feed_card.h"

#include <algorithm>
#include <vector>

#include "imaging/dib.h"
#include "imaging/picture_source.h"
#include "imaging/png_reader.h"

namespace qv {

FeedCardRows LayoutFeedCardRows(int dpi, int headingLine, int titleLine) {
  FeedCardRows rows;
  if (dpi <= 96) return rows;
  dpi = std::min(dpi, 4 * 96);
  const auto scaled = [dpi](int pixels) { return static_cast<int>((static_cast<int64_t>(pixels) * dpi + 95) / 96); };
  const auto row = [&](int pixels, int line) { return std::max(scaled(pixels), std::clamp(line, 0, 4 * pixels)); };
  // The heading keeps to the box's top band (48 pixels) while its line fits there: it
  // grows upward from the band's bottom first, and down only once it reaches the top.
  const int heading = std::clamp(headingLine, 30, 4 * 30);
  rows.headingTop = std::max(2, 45 - heading);
  rows.headingBottom = rows.headingTop + heading;
  rows.bodyTop = rows.headingBottom + 6;
  rows.titleTop = rows.bodyTop + scaled(4);
  rows.titleBottom = rows.titleTop + row(19, titleLine);
  rows.descriptionTop = rows.titleBottom + scaled(1);
  return rows;
}

FeedCardSize LayoutFeedCard(int w1, int w2, int w3, const std::function<int(int)>& measureDescription,
                            int extraHeight) {
  constexpr int kTallest = kFeedCardMaxHeight - 126;  // a description above this widens the card
  FeedCardSize s;
  s.width = std::clamp(std::max(w1 + 75, w2 + w3 + 64), kFeedCardMinWidth, kFeedCardMaxWidth);
  s.descriptionHeight = measureDescription ? measureDescription(s.width - 45) : 0;
  if (s.descriptionHeight > kTallest && s.width != kFeedCardMaxWidth) {
    s.width = kFeedCardMaxWidth;
    s.descriptionHeight = measureDescription(s.width - 45);
  }
  s.cardWidth = s.width + kFeedCardMargin;
  extraHeight = std::clamp(extraHeight, 0, kFeedCardMaxExtraHeight);
  s.cardHeight = std::clamp(s.descriptionHeight + 136, kFeedCardMinHeight, kFeedCardMaxHeight) + extraHeight;
  return s;
}

std::array<FeedBoxSlice, 9> FeedBoxSlices(int Wc, int Hc) {
  return {{
      {{0, 0, 298, 48}, {0, 0, 298, 48}},
      {{298, 0, 16, 48}, {298, 0, Wc - 322, 48}},
      {{319, 0, 30, 48}, {Wc - 30, 0, 30, 48}},
      {{0, 58, 48, 2}, {0, 48, 48, Hc - 98}},
      {{48, 58, 160, 2}, {48, 48, Wc - 96, Hc - 98}},
      {{301, 58, 48, 2}, {Wc - 48, 48, 48, Hc - 98}},
      {{0, 70, 298, 50}, {0, Hc - 50, 298, 50}},
      {{298, 70, 16, 50}, {298, Hc - 50, Wc - 322, 50}},
      {{319, 70, 30, 50}, {Wc - 30, Hc - 50, 30, 50}},
  }};
}

bool IsFeedBoxName(const std::string& spriteName) { return spriteName.rfind(kFeedBoxSpriteName, 0) == 0; }

DibHandle LoadFeedBoxPicture() {
  std::vector<uint8_t> bytes;
  if (!CurrentImagingPlatform().loadResource("PNG", "RSS_BOX", &bytes) || bytes.empty()) return nullptr;
  MemoryCursor source(bytes.data(), bytes.size());
  return DibReadPng(source);
}

DibHandle ComposeFeedCard(DibHandle box, DibHandle textLayer) {
  DibView boxView, textView;
  {
    DibLock boxLock(box), textLock(textLayer);
    if (!boxLock || !textLock || !ParseDib(boxLock.data(), boxLock.size(), &boxView) ||
        !ParseDib(textLock.data(), textLock.size(), &textView))
      return nullptr;
  }
  if (boxView.bitCount != 32 || textView.bitCount != 32) return nullptr;
  if (boxView.width < kFeedBoxPictureWidth || boxView.height < kFeedBoxPictureHeight) return nullptr;
  const int Wc = textView.width, Hc = textView.height;
  if (Wc < kFeedCardMinWidth + kFeedCardMargin || Wc > kFeedCardMaxWidth + kFeedCardMargin ||
      Hc < kFeedCardMinHeight || Hc > kFeedCardMaxHeight + kFeedCardMaxExtraHeight)
    return nullptr;
  UniqueDib card(DibCreate(Wc, Hc, 32));
  if (!card) return nullptr;
  for (const FeedBoxSlice& s : FeedBoxSlices(Wc, Hc)) {
    if (!DibCopyTiled(box, s.source.x, s.source.y, s.source.width, s.source.height, card.get(),
                      s.destination.x, s.destination.y, s.destination.width, s.destination.height))
      return nullptr;
  }
  if (!DibOverlayOpaque(textLayer, card.get())) return nullptr;
  return card.release();
}

}  // namespace qv
