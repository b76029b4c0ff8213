#include "shell/win32/feed_hand_over.h"

#include <cstdio>

#include "feed/feed_address.h"
#include "feed/feed_card.h"
#include "feed/win32/feed_box.h"
#include "feed/win32/feed_thread.h"
#include "document/win32/load_document.h"
#include "package/win32/package_files.h"
#include "scene/anim_scene.h"
#include "scene/sprite_drawing.h"
#include "settings/win32/qv_app.h"

namespace qv {

namespace {

// The run's feed thread and the session it shares with it. The owner outlives the run:
// the process's end asks it whether the thread ended in time (FeedNeedsTerminate).
FeedThread Feed;

// Test diagnostic, off unless QV_TEST_FEED_LOG names a file: one line per event.
void LogFeedLine(const std::string& line) {
  static const std::string path = [] {
    char buf[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("QV_TEST_FEED_LOG", buf, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::string(buf) : std::string();
  }();
  if (path.empty()) return;
  if (FILE* f = std::fopen(path.c_str(), "a")) {
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

const CRssChannel* Channel() {
  const std::shared_ptr<FeedSession>& session = Feed.Session();
  return session ? &session->channel : nullptr;
}

// A hand-over or a box built, with the item's index and title.
void LogFeed(const char* what, int index, uint32_t runTicks) {
  const CRssChannel* channel = Channel();
  const CRssItem* item = channel ? channel->GetItem(index) : nullptr;
  char head[128];
  std::snprintf(head, sizeof head, "%s index=%d count=%d ticks=%u title=", what, index,
                channel ? channel->GetItemCount() : 0, runTicks);
  LogFeedLine(head + (item ? item->m_strTitle : std::string()));
}

bool FeedHandedOver() {
  const std::shared_ptr<FeedSession>& session = Feed.Session();
  return session && session->record.m_nDelivered.load(std::memory_order_acquire) == 2;
}

HttpProxy ProxyFromSettings() {
  HttpProxy proxy;
  proxy.use = theApp.Settings.UseProxy != 0 && !theApp.Settings.ProxyAddress.empty();
  proxy.address = theApp.Settings.ProxyAddress;
  proxy.port = theApp.Settings.ProxyPort > 0 && theApp.Settings.ProxyPort < 65536 ? theApp.Settings.ProxyPort : 80;
  proxy.authenticate = theApp.Settings.UseProxyAuthentication != 0;
  proxy.login = theApp.Settings.ProxyLogin;
  proxy.password = theApp.Settings.ProxyPassword;
  return proxy;
}

// Test diagnostic: QV_TEST_FEED_ROUTES lists the network routes that may be tried ("3"
// for the socket route alone). All three without it.
std::string FeedRoutesAllowed() {
  char buf[16] = {};
  const DWORD n = GetEnvironmentVariableA("QV_TEST_FEED_ROUTES", buf, sizeof buf);
  return (n > 0 && n < sizeof buf) ? std::string(buf) : std::string("123");
}

}  // namespace

bool StartFeedIfWanted(bool preview) {
  const std::optional<std::string> list =
      FeedAddressesToFetch(!preview, theApp.Settings.UseRss != 0, theApp.Package.Header.FeedAddresses, theApp.Settings.UserFeedList);
  if (!list || Feed.Session()) return false;
  const std::shared_ptr<FeedSession> session = Feed.NewSession();
  session->record.m_strAddresses = *list;
  session->proxy = ProxyFromSettings();
  session->toAnsi = &Utf16ToAnsiCodePage;  // the system's ANSI code page, as the document's texts
  session->limits.routes = FeedRoutesAllowed();
  Feed.Start();
  return true;
}

const CRssChannel* FeedChannel() { return Channel(); }

bool StopFeed() {
  if (!Feed.Session()) return true;
  const ULONGLONG start = GetTickCount64();
  const bool ended = Feed.Stop(kFeedStopWaitMs);
  char line[96];
  std::snprintf(line, sizeof line, "stop ended=%d waited-ms=%llu fetches-left=%d", ended ? 1 : 0,
                static_cast<unsigned long long>(GetTickCount64() - start), Feed.FetchesInFlight());
  LogFeedLine(line);
  return ended;
}

bool FeedNeedsTerminate() {
  if (!Feed.Session()) return false;
  const bool terminate = !StopFeed();
  LogFeedLine(terminate ? "exit terminated=1" : "exit terminated=0");
  return terminate;
}

void ReleaseFeedLibraries() { Feed.ReleaseLibraries(); }

void HandOverFeed(CAnimScene& scene, uint32_t runTicks) {
  const std::shared_ptr<FeedSession>& session = Feed.Session();
  int expected = 1;
  if (!session || !session->record.m_nDelivered.compare_exchange_strong(expected, 2, std::memory_order_acquire))
    return;
  ShowFeedItems(scene.Feed(), session->channel.GetItemCount());
  scene.FeedItemTicks() = 0;
  LogFeed("handover", 0, runTicks);
  BuildFeedBox(scene, session->channel, 0, runTicks);
}

void BuildFeedBox(CAnimScene& s, const CRssChannel& channel, int index, uint32_t runTicks) {
  const CScreenSaverDoc* doc = s.Document();
  if (!doc) return;
  const int64_t W = s.SceneWidth(), H = s.SceneHeight();
  const int64_t dw = doc->m_nDesignWidth > 0 ? doc->m_nDesignWidth : W;
  const int64_t dh = doc->m_nDesignHeight > 0 ? doc->m_nDesignHeight : H;
  if (dw <= 0 || dh <= 0) return;
  std::unique_ptr<CAnimSprite> box =
      MakeFeedBoxSprite(channel, index, static_cast<int>(dw), static_cast<int>(dh),
                        FeedCardFonts{theApp.FeedTitleFont.get(), theApp.FeedTextFont.get(), theApp.TextFont.get(),
                                      theApp.ScreenDpiY});
  if (!box || !PrepareForScene(*box, 1.0, 1.0)) return;
  CAnimSprite* placed = box.get();
  s.Sprites().InsertHead(std::move(box));
  // Just below the bottom edge; the box's motion raises it.
  placed->SetPosition(static_cast<int32_t>(placed->m_nX * W / dw), static_cast<int32_t>((dh + 10) * H / dh));
  LogFeed("box", index, runTicks);
  s.UpdateAll();
}

void ChangeFeedItem(CAnimScene& s, const CRssChannel& channel, uint32_t runTicks) {
  const FeedNavigation& nav = s.Feed();
  // Only the feed box itself leaves the list: should a box ever fail to build, the head
  // is a sprite of the document.
  CSpriteList& sprites = s.Sprites();
  if (sprites.GetCount() > 0 && IsFeedBoxName(sprites.GetAt(0)->m_strName)) {
    std::unique_ptr<CSprite> old = sprites.Remove(sprites.GetAt(0));
    s.AddDamaged(old->GetRect());
  }
  BuildFeedBox(s, channel, nav.currentItem, runTicks);
  s.FeedItemTicks() = 0;
}

std::string CurrentFeedItemAddress(const FeedNavigation& nav) {
  if (!FeedHandedOver()) return {};
  const CRssItem* item = Channel()->GetItem(nav.currentItem);
  return item ? std::string(ItemAddress(*item)) : std::string();
}

}  // namespace qv
