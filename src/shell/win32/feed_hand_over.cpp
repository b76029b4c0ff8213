#include "shell/win32/feed_hand_over.h"

#include <cstdio>

#include "feed/feed_address.h"
#include "feed/feed_card.h"
#include "feed/win32/feed_box.h"
#include "feed/win32/feed_thread.h"
#include "package/win32/package_files.h"
#include "scene/anim_scene.h"
#include "settings/win32/qv_app.h"

namespace qv {

CRssChannel FeedChannel;

namespace {

// The record handed to the feed thread and the thread: they outlive the run, since the
// thread writes the record until it finishes.
CThreadData FeedRecord;
HANDLE FeedThread = nullptr;
bool FeedThreadStarted = false;  // this process started the feed thread

// Test diagnostic, off unless QV_TEST_FEED_LOG names a file: one line per hand-over and
// per box built, with the item's index and title.
void LogFeed(const char* what, int index, uint32_t runTicks) {
  static const std::string path = [] {
    char buf[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("QV_TEST_FEED_LOG", buf, MAX_PATH);
    return (n > 0 && n < MAX_PATH) ? std::string(buf) : std::string();
  }();
  if (path.empty()) return;
  if (FILE* f = std::fopen(path.c_str(), "a")) {
    const CRssItem* item = FeedChannel.GetItem(index);
    std::fprintf(f, "%s index=%d count=%d ticks=%u title=%s\n", what, index, FeedChannel.GetItemCount(),
                 runTicks, item ? item->m_strTitle.c_str() : "");
    std::fclose(f);
  }
}

bool FeedHandedOver() { return FeedRecord.m_nDelivered.load(std::memory_order_acquire) == 2; }

}  // namespace

bool FeedWorkOutstanding() {
  return (FeedThreadStarted && FeedRecord.m_nFinished.load(std::memory_order_acquire) == 0) ||
         FeedFetchesInFlight();
}

bool StartFeedIfWanted(bool preview) {
  FeedRecord.m_nDelivered.store(0, std::memory_order_relaxed);
  const std::optional<std::string> list =
      FeedAddressesToFetch(!preview, Settings.UseRss != 0, Header.FeedAddresses, Settings.UserFeedList);
  if (!list || FeedThread) return false;
  FeedRecord.m_strAddresses = *list;
  FeedRecord.m_pChannel = &FeedChannel;
  FeedRecord.m_nFinished.store(0, std::memory_order_relaxed);
  FeedThread = StartFeedThread(FeedRecord);
  FeedThreadStarted = FeedThread != nullptr;
  return true;
}

void ReleaseFeedThread() {
  if (FeedThread && FeedRecord.m_nFinished.load() == 0) {
    CloseHandle(FeedThread);  // never waited for: the process's end ends it
    FeedThread = nullptr;
  }
}

void HandOverFeed(CAnimScene& scene, uint32_t runTicks) {
  int expected = 1;
  if (!FeedRecord.m_nDelivered.compare_exchange_strong(expected, 2, std::memory_order_acquire)) return;
  ShowFeedItems(scene.Feed(), FeedChannel.GetItemCount());
  scene.FeedItemTicks() = 0;
  LogFeed("handover", 0, runTicks);
  BuildFeedBox(scene, FeedChannel, 0, runTicks);
}

void BuildFeedBox(CAnimScene& s, const CRssChannel& channel, int index, uint32_t runTicks) {
  const CScreenSaverDoc* doc = s.Document();
  if (!doc) return;
  const int64_t W = s.SceneWidth(), H = s.SceneHeight();
  const int64_t dw = doc->m_nDesignWidth > 0 ? doc->m_nDesignWidth : W;
  const int64_t dh = doc->m_nDesignHeight > 0 ? doc->m_nDesignHeight : H;
  if (dw <= 0 || dh <= 0) return;
  std::unique_ptr<CAnimSprite> box =
      MakeFeedBoxSprite(channel, index, static_cast<int>(dw), static_cast<int>(dh));
  if (!box) return;
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
  const CRssItem* item = FeedChannel.GetItem(nav.currentItem);
  return item ? std::string(ItemAddress(*item)) : std::string();
}

}  // namespace qv
