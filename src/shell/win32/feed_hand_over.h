// The news feed in the run: the process-wide channel, the thread's start, the hand-over
// of the delivered items to the scene, the item changes and the feed keys.
#pragma once
#include <windows.h>

#include <string>

#include "feed/rss.h"
#include "feed/feed_navigation.h"

namespace qv {

class CAnimWnd;

extern CRssChannel FeedChannel;

// Starts the feed thread when this run fetches feeds (full screen, the feed switch on,
// a feed list in the package).
void StartFeedIfWanted();
// Whether the feed thread or a fetch it abandoned is still running. The run never waits
// for them; they use process-wide objects to the end.
bool FeedWorkOutstanding();
// On a due tick: once the thread has delivered, hands item 0 to the scene.
void HandOverFeed();
// Builds the box of the channel's item at index at the head of the scene's sprites.
void BuildFeedBox(CAnimWnd& scene, const CRssChannel& channel, int index);
// The box finished its item and the navigation moved on: the box of the item it now
// names replaces the old one.
void ChangeFeedItem(CAnimWnd& scene, const CRssChannel& channel);
// The navigation state the keys and the box share.
FeedNavigation& FeedNav();
// F2: the shown item's link, or its guid when the link is empty; empty when none.
std::string CurrentFeedItemAddress();

}  // namespace qv
