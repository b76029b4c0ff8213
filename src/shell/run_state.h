// The run's per-tick rules: counting active ticks, ending the splash, starting the
// media, stepping the scene, and when the news feed may be handed over; plus the
// feed-navigation keys. Pure state machines; the Win32 run carries out the actions.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace qv {

inline constexpr uint32_t TicksPerSecond(bool fastTiming) { return fastTiming ? 100u : 20u; }

// The header values the tick rules read.
struct SplashTiming {
  bool noSplash = true;
  uint32_t splashSeconds = 0;
  bool fastTiming = false;
};

struct RunCounters {
  uint32_t runTicks = 0;
  bool lastSaverActive = true;
};

struct TickActions {
  bool endSplash = false;      // destroy the splash, start media, show sprites or media
  bool startMedia = false;     // start without splash: StartMedia, show the media window
  bool onFrame = false;        // run one scene step
  bool feedDue = false;        // the feed may be handed over now if it has arrived
  bool becameActive = false;   // show the media window, hide the cursor
  bool becameInactive = false; // hide the media window
  bool operator==(const TickActions&) const = default;
};

// One tick. Inactive ticks do not count and step nothing.
TickActions AdvanceRunTick(RunCounters& counters, bool active, const SplashTiming& timing);

// The periodic timer's period for a preview: the device's minimum, or its maximum when
// the minimum is larger; fast timing only holds when that period is 12 ms or less.
struct PreviewTiming {
  uint32_t periodMs;
  bool fastTiming;
};
PreviewTiming ChoosePreviewTiming(uint32_t minPeriodMs, uint32_t maxPeriodMs);

// Feed-box navigation state shared by the keys and the feed box.
struct FeedNavigation {
  int32_t currentItem = -1;  // -1 while no feed is shown
  int32_t targetItem = -1;
  bool jumpRequested = false;
  bool changing = false;
  bool paused = false;
};

enum class FeedKeyOutcome {
  NotHandled,  // the key goes on to the default processing (and closes the saver)
  Consumed,    // result 0, the saver stays
  OpenLink,    // F2 with a feed shown: open the current item's link
};

FeedKeyOutcome HandleFeedKey(uint32_t virtualKey, FeedNavigation& nav, int32_t itemCount);

// The command line that opens a feed item's address in the browser:
// explorer.exe "<address>". Feed addresses come from the network, so only plain web
// addresses (http or https, no quotes, spaces or control characters) are accepted;
// anything else gives an empty text and nothing is started.
std::string BrowserCommandLine(std::string_view address);

}  // namespace qv
