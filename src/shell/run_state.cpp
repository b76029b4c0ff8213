#include "shell/run_state.h"

#include "shell/shell_messages.h"

namespace qv {

TickActions AdvanceRunTick(RunCounters& c, bool active, const SplashTiming& t) {
  TickActions a;
  if (active) {
    ++c.runTicks;
    const uint32_t tps = TicksPerSecond(t.fastTiming);
    const uint32_t splashTicks = t.splashSeconds * tps;
    if (t.noSplash) {
      a.startMedia = c.runTicks == 4;
      a.onFrame = true;
      a.feedDue = true;
    } else {
      a.endSplash = c.runTicks == splashTicks;
      a.onFrame = c.runTicks > splashTicks;
      a.feedDue = c.runTicks > (t.splashSeconds + 2) * tps;
    }
  }
  if (active != c.lastSaverActive) {
    c.lastSaverActive = active;
    a.becameActive = active;
    a.becameInactive = !active;
  }
  return a;
}

PreviewTiming ChoosePreviewTiming(uint32_t minPeriodMs, uint32_t maxPeriodMs) {
  const uint32_t period = minPeriodMs > maxPeriodMs ? maxPeriodMs : minPeriodMs;
  return {period, period <= 12};
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

namespace qv {

namespace {
bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}
}  // namespace

std::string BrowserCommandLine(std::string_view address) {
  constexpr size_t kMaxAddress = 2048;  // longer than any browser accepts anyway
  if (address.empty() || address.size() > kMaxAddress) return {};
  if (!StartsWithNoCase(address, "http://") && !StartsWithNoCase(address, "https://")) return {};
  for (char c : address) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || c == '"') return {};
  }
  std::string line;
  line.append("explorer.exe \"").append(address).append("\"");
  return line;
}

}  // namespace qv
