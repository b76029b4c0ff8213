// The run's per-tick rules: counting active ticks, ending the splash, starting the
// media, stepping the scene, and when the news feed may be handed over. Pure state
// machines; the Win32 run carries out the actions.
#pragma once
#include <cstdint>
#include <vector>

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

// The steps of the run's clean-up at the saver window's destruction, in the order they
// run. The temporary folder is wiped last of the file steps: the scene's media window
// and the sound player hold their files until they are gone, and Windows refuses to
// delete a file in use, so an earlier wipe would leave those files behind.
enum class RunCleanup : uint8_t {
  Splash,
  BlackWindows,
  FeedThread,
  Cursor,
  Fonts,
  PackageHeader,
  Timer,
  Scene,            // the scene, its media window and its sound
  ExtractedFiles,   // the package's extracted files and the scene's media file
  FixedPreviewPicture,
  TempFolder,       // every file of the temporary folder with the run's stem
  Mixer,
  FeedLibraries,
  Quit,
};
// fixedPreview: a preview that shows only the fixed picture (no scene ran).
std::vector<RunCleanup> RunCleanupOrder(bool preview, bool fixedPreview);

}  // namespace qv
