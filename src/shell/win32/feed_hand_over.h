// The news feed in the run: the thread's start and stop, the hand-over of the delivered
// items to the scene, the item changes and the feed keys. The channel lives in the feed
// session, which the feed thread shares with the run's owner of it.
#pragma once
#include <windows.h>

#include <string>

#include "feed/rss.h"
#include "feed/feed_navigation.h"

namespace qv {

class CAnimScene;

// How long the run's end waits for the feed thread once it has cancelled it.
inline constexpr DWORD kFeedStopWaitMs = 300;

// Starts the feed thread when this run fetches feeds (full screen, the feed switch on,
// a feed list in the package), over a session that carries all it needs. Returns
// whether it tried: the run then lets the scene change items (ChangeFeedItem).
bool StartFeedIfWanted(bool preview);
// The channel the feed thread fills and the box shows; null before a feed started.
const CRssChannel* FeedChannel();
// The run's end: cancels the feed session, puts autodial back and waits at most
// kFeedStopWaitMs for the thread. True when no feed thread runs any more.
bool StopFeed();
// The process's end: stops the feed (again, should the window's end not have) and
// says whether the process must be ended without its normal exit, because the feed
// thread did not end in time. The feed log records which.
bool FeedNeedsTerminate();
// Releases the download-to-cache library unless a fetch still uses it.
void ReleaseFeedLibraries();
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
