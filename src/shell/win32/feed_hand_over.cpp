#include "shell/win32/feed_hand_over.h"

#include <cstdio>

#include "feed/feed_address.h"
#include "feed/feed_card.h"
#include "feed/win32/feed_box.h"
#include "feed/win32/feed_thread.h"
#include "package/win32/package_files.h"
#include "scene/win32/anim_wnd.h"
#include "settings/win32/qv_app.h"
#include "shell/win32/saver_run.h"

namespace qv {

CRssChannel FeedChannel;

namespace {

bool FeedThreadStarted = false;  // this process started the feed thread

// Test diagnostic, off unless QV_TEST_FEED_LOG names a file: one line per hand-over and
// per box built, with the item's index and title.
void LogFeed(const char* what, int index) {
  static const std::string path = [] {
    char buf[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("QV_TEST_FEED_LOG", buf, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::string(buf) : std::string();
  }();
  if (path.empty()) return;
  if (FILE* f = std::fopen(path.c_str(), "a")) {
    const CRssItem* item = FeedChannel.GetItem(index);
    std::fprintf(f, "%s index=%d count=%d ticks=%u title=%s\n", what, index, FeedChannel.GetItemCount(),
                 Run.counters.runTicks, item ? item->m_strTitle.c_str() : "");
    std::fclose(f);
  }
}

bool FeedHandedOver() { return Run.feedRecord.m_nDelivered.load(std::memory_order_acquire) == 2; }

}  // namespace

FeedNavigation& FeedNav() { return Scene.Scene().Feed(); }

bool FeedWorkOutstanding() {
  return (FeedThreadStarted && Run.feedRecord.m_nFinished.load(std::memory_order_acquire) == 0) ||
         FeedFetchesInFlight();
}

void StartFeedIfWanted() {
  Run.feedRecord.m_nDelivered.store(0, std::memory_order_relaxed);
  const std::optional<std::string> list =
      FeedAddressesToFetch(!Run.preview, theApp.Settings.UseRss != 0, theApp.Package.Header.FeedAddresses,
                           theApp.Settings.UserFeedList);
  if (!list || Run.feedThread) return;
  Run.feedRecord.m_strAddresses = *list;
  Run.feedRecord.m_pChannel = &FeedChannel;
  Run.feedRecord.m_nFinished.store(0, std::memory_order_relaxed);
  Run.feedThread = StartFeedThread(Run.feedRecord);
  FeedThreadStarted = Run.feedThread != nullptr;
  Scene.Scene().Environment().feedItemChange = [] { ChangeFeedItem(Scene, FeedChannel); };
}

void HandOverFeed() {
  int expected = 1;
  if (!Run.feedRecord.m_nDelivered.compare_exchange_strong(expected, 2, std::memory_order_acquire)) return;
  ShowFeedItems(FeedNav(), FeedChannel.GetItemCount());
  Scene.Scene().FeedItemTicks() = 0;
  LogFeed("handover", 0);
  BuildFeedBox(Scene, FeedChannel, 0);
}

void BuildFeedBox(CAnimWnd& scene, const CRssChannel& channel, int index) {
  CAnimScene& s = scene.Scene();
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
  if (!box) return;
  CAnimSprite* placed = box.get();
  s.Sprites().InsertHead(std::move(box));
  // Just below the bottom edge; the box's motion raises it.
  placed->SetPosition(static_cast<int32_t>(placed->m_nX * W / dw), static_cast<int32_t>((dh + 10) * H / dh));
  LogFeed("box", index);
  s.UpdateAll();
}

void ChangeFeedItem(CAnimWnd& scene, const CRssChannel& channel) {
  CAnimScene& s = scene.Scene();
  const FeedNavigation& nav = s.Feed();
  // Only the feed box itself leaves the list: should a box ever fail to build, the head
  // is a sprite of the document.
  CSpriteList& sprites = s.Sprites();
  if (sprites.GetCount() > 0 && IsFeedBoxName(sprites.GetAt(0)->m_strName)) {
    std::unique_ptr<CSprite> old = sprites.Remove(sprites.GetAt(0));
    s.AddDamaged(old->GetRect());
  }
  BuildFeedBox(scene, channel, nav.currentItem);
  s.FeedItemTicks() = 0;
}

std::string CurrentFeedItemAddress() {
  if (!FeedHandedOver()) return {};
  const CRssItem* item = FeedChannel.GetItem(FeedNav().currentItem);
  return item ? std::string(ItemAddress(*item)) : std::string();
}

}  // namespace qv
