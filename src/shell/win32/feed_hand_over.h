// The news feed in the run: the process-wide channel, the thread's start, the hand-over
// of the delivered items to the scene, the item changes and the feed keys.
#pragma once
#include <windows.h>

#include <string>

#include "feed/rss.h"
#include "feed/feed_navigation.h"

namespace qv {

class CAnimScene;

extern CRssChannel FeedChannel;

// Starts the feed thread when this run fetches feeds (full screen, the feed switch on,
// a feed list in the package). Returns whether it tried: the run then lets the scene
// change items (ChangeFeedItem).
bool StartFeedIfWanted(bool preview);
// The run's end: the run's handle to a thread that has not finished is released.
void ReleaseFeedThread();
// Whether the feed thread or a fetch it abandoned is still running. The run never waits
// for them; they use process-wide objects to the end.
bool FeedWorkOutstanding();
// On a due tick: once the thread has delivered, hands item 0 to the scene. runTicks:
// for the test log.
void HandOverFeed(CAnimScene& scene, uint32_t runTicks);
// Builds the box of the channel's item at index at the head of the scene's sprites.
void BuildFeedBox(CAnimScene& scene, const CRssChannel& channel, int index, uint32_t runTicks);
// The box finished its item and the navigation moved on: the box of the item it now
// names replaces the old one.
void ChangeFeedItem(CAnimScene& scene, const CRssChannel& channel, uint32_t runTicks);
// F2: the shown item's link, or its guid when the link is empty; empty when none.
std::string CurrentFeedItemAddress(const FeedNavigation& nav);

}  // namespace qv
