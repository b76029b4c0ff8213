// The news feed in the run: the thread's start and stop, the hand-over of the delivered
// items to the scene, the item changes and the feed keys. The channel lives in the run's
// feed session (Run.feed).
#pragma once
#include <windows.h>

#include <string>

#include "feed/rss.h"
#include "feed/feed_navigation.h"

namespace qv {

class CAnimWnd;

// How long the run's end waits for the feed thread once it has cancelled it.
inline constexpr DWORD kFeedStopWaitMs = 300;

// Starts the feed thread when this run fetches feeds (full screen, the feed switch on,
// a feed list in the package), over a session that carries all it needs.
void StartFeedIfWanted();
// The run's end: cancels the feed session, puts autodial back and waits at most
// kFeedStopWaitMs for the thread. True when no feed thread runs any more.
bool StopFeed();
// The process's end: stops the feed (again, should the window's end not have) and
// says whether the process must be ended without its normal exit, because the feed
// thread did not end in time. The feed log records which.
bool FeedNeedsTerminate();
// Releases the download-to-cache library unless a fetch still uses it.
void ReleaseFeedLibraries();
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
