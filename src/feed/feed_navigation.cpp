#include "feed/feed_navigation.h"

#include "base/window_messages.h"

namespace qv {

void ShowFeedItems(FeedNavigation& nav, int32_t itemCount) {
  nav = FeedNavigation{};
  nav.currentItem = 0;
  nav.itemCount = itemCount;
}

void FeedItemFinished(FeedNavigation& nav) {
  if (nav.currentItem == -1) return;
  if (nav.targetItem != -1) {
    nav.currentItem = nav.targetItem;
    nav.targetItem = -1;
  } else if (nav.itemCount > 0) {
    nav.currentItem = nav.currentItem + 1 < nav.itemCount ? nav.currentItem + 1 : 0;
  }
}

FeedKeyOutcome HandleFeedKey(uint32_t key, FeedNavigation& nav, int32_t itemCount) {
  if (nav.currentItem == -1) return FeedKeyOutcome::NotHandled;
  switch (key) {
    case vk::kSpace:
      nav.paused = !nav.paused;
      return FeedKeyOutcome::Consumed;
    case vk::kF2:
      return FeedKeyOutcome::OpenLink;
    case vk::kEnd:
    case vk::kHome:
    case vk::kLeft:
    case vk::kUp:
    case vk::kRight:
    case vk::kDown:
      break;
    default:
      return FeedKeyOutcome::NotHandled;
  }
  if (nav.changing) return FeedKeyOutcome::NotHandled;
  if (itemCount <= 0) return FeedKeyOutcome::Consumed;  // nothing to jump to

  int32_t target = 0;
  if (key == vk::kEnd) {
    target = itemCount - 1;
  } else if (key == vk::kHome) {
    target = 0;
  } else if (key == vk::kLeft || key == vk::kUp) {
    target = nav.currentItem - 1;
    if (target < 0) target = itemCount - 1;
  } else {
    target = nav.currentItem + 1;
    if (target >= itemCount) target = 0;
  }
  nav.targetItem = target;
  nav.jumpRequested = true;
  return FeedKeyOutcome::Consumed;
}

}  // namespace qv

