// Which feed item the feed box shows and where the user asked it to go. One state, with
// one owner: the scene holds it and reads it every tick, the saver window's keys change
// it (HandleFeedKey), the run shows a channel with ShowFeedItems, and the feed box moves
// to the next item, or to the one the keys asked for, with FeedItemFinished.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

struct FeedNavigation {
  int32_t currentItem = -1;  // -1 while no feed is shown
  int32_t targetItem = -1;   // the item a key asked for, -1 for none
  bool jumpRequested = false;
  bool changing = false;     // the box is fading; keys wait for the next item
  bool paused = false;
  int32_t itemCount = 0;     // items of the channel being shown
};

// A channel of itemCount items was handed over: its first item, nothing pending.
void ShowFeedItems(FeedNavigation& nav, int32_t itemCount);

// The feed box finished its item: the item a key asked for, or else the next one
// (after the last, the first). The jump flag stays for the new box, which starts
// part-way through its slide.
void FeedItemFinished(FeedNavigation& nav);

enum class FeedKeyOutcome {
  NotHandled,  // the key goes on to the default processing (and closes the saver)
  Consumed,    // result 0, the saver stays
  OpenLink,    // F2 with a feed shown: open the current item's link
};

// Space pauses, F2 opens the link, Home/End and the arrows pick the item the box goes
// to next. Only while a feed item is shown; arrows wait while the box is fading.
FeedKeyOutcome HandleFeedKey(uint32_t virtualKey, FeedNavigation& nav, int32_t itemCount);
inline FeedKeyOutcome HandleFeedKey(uint32_t virtualKey, FeedNavigation& nav) {
  return HandleFeedKey(virtualKey, nav, nav.itemCount);
}

}  // namespace qv
