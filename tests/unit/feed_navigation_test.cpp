#include "feed/feed_navigation.h"

#include <gtest/gtest.h>

#include "base/window_messages.h"
#include "feed/web_address.h"
#include "imaging/dib.h"
#include "scene/anim_scene.h"

using namespace qv;

TEST(FeedKeys, NothingIsConsumedWhileNoFeedIsShown) {
  FeedNavigation nav;
  for (uint32_t key : {vk::kSpace, vk::kEnd, vk::kHome, vk::kLeft, vk::kRight, vk::kF2, 0x41u})
    EXPECT_EQ(HandleFeedKey(key, nav, 5), FeedKeyOutcome::NotHandled) << key;
  EXPECT_FALSE(nav.paused || nav.jumpRequested);
}

TEST(FeedKeys, NavigationWrapsAround) {
  FeedNavigation nav{.currentItem = 0};
  EXPECT_EQ(HandleFeedKey(vk::kLeft, nav, 5), FeedKeyOutcome::Consumed);
  EXPECT_EQ(nav.targetItem, 4);
  EXPECT_TRUE(nav.jumpRequested);
  nav = {.currentItem = 4};
  HandleFeedKey(vk::kDown, nav, 5);
  EXPECT_EQ(nav.targetItem, 0);
  nav = {.currentItem = 2};
  HandleFeedKey(vk::kUp, nav, 5);
  EXPECT_EQ(nav.targetItem, 1);
  HandleFeedKey(vk::kRight, nav, 5);
  EXPECT_EQ(nav.targetItem, 3);
  HandleFeedKey(vk::kEnd, nav, 5);
  EXPECT_EQ(nav.targetItem, 4);
  HandleFeedKey(vk::kHome, nav, 5);
  EXPECT_EQ(nav.targetItem, 0);
}

TEST(FeedKeys, SpaceAndF2WorkWhileChanging) {
  FeedNavigation nav{.currentItem = 1, .changing = true};
  EXPECT_EQ(HandleFeedKey(vk::kSpace, nav, 3), FeedKeyOutcome::Consumed);
  EXPECT_TRUE(nav.paused);
  EXPECT_EQ(HandleFeedKey(vk::kSpace, nav, 3), FeedKeyOutcome::Consumed);
  EXPECT_FALSE(nav.paused);
  EXPECT_EQ(HandleFeedKey(vk::kF2, nav, 3), FeedKeyOutcome::OpenLink);
  // Navigation keys during a change fall through and close the saver.
  EXPECT_EQ(HandleFeedKey(vk::kRight, nav, 3), FeedKeyOutcome::NotHandled);
  EXPECT_FALSE(nav.jumpRequested);
  EXPECT_EQ(HandleFeedKey(0x1B /* escape */, nav, 3), FeedKeyOutcome::NotHandled);
}

// F2 and the configuration dialog's link hand addresses from the network or a package
// to the shell: only what opens a web page (or, for the link, a mail form) may pass.
TEST(WebAddress, OnlyWebAndMailAddressesAreOpened) {
  const std::string longHttp = "http://" + std::string(3000, 'a');
  struct Case {
    std::string address;
    bool plainWeb;     // F2 opens it as it is
    std::string link;  // what the dialog's link opens ("" = shown, not opened)
  };
  const Case cases[] = {
      {"http://example.org/a?b=1&c=2", true, "http://example.org/a?b=1&c=2"},
      {"HTTPS://example.org/", true, "HTTPS://example.org/"},
      {"www.example.org/x", false, "http://www.example.org/x"},
      {"mailto:someone@example.org", false, "mailto:someone@example.org"},
      // A quote would end the argument and let the rest add its own; blanks and line
      // breaks likewise, in a web or a mail address.
      {"http://x/\" /select,C:\\Windows", false, ""},
      {"http://x/a b", false, ""},
      {"http://x/\r\nb", false, ""},
      {"www.x.org/\"a", false, ""},
      {"mailto:a@b\" c", false, ""},
      // Anything else: local, shared or scripted targets are never started.
      {"C:\\Windows\\System32\\calc.exe", false, ""},
      {"\\\\host\\share\\setup.exe", false, ""},
      {"file:///C:/x.exe", false, ""},
      {"javascript:alert(1)", false, ""},
      {"http://", false, ""},
      {"mailto:", false, ""},
      {"", false, ""},
      {longHttp, false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsPlainWebAddress(c.address), c.plainWeb) << c.address;
    EXPECT_EQ(LinkAddressToOpen(c.address), c.link) << c.address;
  }
}

// The keys and the scene share one navigation state: an arrow key makes the feed box at
// the head of the scene fade out quickly, and the scene then shows the item the key chose.
namespace {
// A 64 x 48 design with one 16 x 8 sprite of the given name at (x, y).
void OneSpriteDocument(CScreenSaverDoc& doc, const char* name, int x, int y) {
  doc.m_nDesignWidth = 64;
  doc.m_nDesignHeight = 48;
  doc.m_nBackgroundKind = 2;
  auto sprite = std::make_unique<CAnimSprite>();
  DecodedPicture picture;
  picture.Attach(DibCreate(16, 8, 24));
  sprite->m_Dib = std::move(picture);
  sprite->m_nX = x;
  sprite->m_nY = y;
  sprite->m_strName = name;
  doc.m_SpriteList.Insert(std::move(sprite));
}
}  // namespace

TEST(FeedKeys, KeyPressMovesTheItemTheSceneShows) {
  CScreenSaverDoc doc;
  OneSpriteDocument(doc, "@@RSS@@.bmp", 10, 60);  // only the feed box moves as the feed box

  CAnimScene scene;
  int itemChanges = 0;
  scene.Environment().feedItemChange = [&] { ++itemChanges; };
  scene.Start(&doc, 64, 48);
  scene.SetSpritesVisible(true);
  ShowFeedItems(scene.Feed(), 3);
  for (int i = 0; i < 100; ++i) scene.StepSprites();  // the first item holds
  EXPECT_EQ(scene.Feed().currentItem, 0);

  EXPECT_EQ(HandleFeedKey(vk::kLeft, scene.Feed()), FeedKeyOutcome::Consumed);  // wraps to the last
  int ticks = 0;
  while (itemChanges == 0 && ticks < 100) {
    scene.StepSprites();
    ++ticks;
  }
  EXPECT_EQ(itemChanges, 1);
  EXPECT_EQ(ticks, 6);  // the quick fade, not the full hold
  EXPECT_EQ(scene.Feed().currentItem, 2);
  EXPECT_EQ(scene.Feed().targetItem, -1);

  // Without a key the next item follows the last one's full hold, wrapping to the first.
  while (itemChanges == 1 && ticks < 2000) {
    scene.StepSprites();
    ++ticks;
  }
  EXPECT_EQ(scene.Feed().currentItem, 0);
}

// Should a box fail to build, the head of the list is a sprite of the document: it keeps
// its own place instead of sliding and fading as the feed box, while the item's time
// runs without a box, so the rotation and the keys go on.
TEST(FeedKeys, AnItemWithoutABoxKeepsTheRotationGoing) {
  CScreenSaverDoc doc;
  OneSpriteDocument(doc, "Ball", 10, 20);

  CAnimScene scene;
  int itemChanges = 0;
  scene.Environment().feedItemChange = [&] { ++itemChanges; };
  scene.Start(&doc, 64, 48);
  ShowFeedItems(scene.Feed(), 3);
  const Rect32 before = scene.Sprites().GetAt(0)->GetRect();
  for (int i = 0; i < 700; ++i) scene.StepSprites();  // one item's full time is 533 ticks
  EXPECT_EQ(scene.Sprites().GetAt(0)->GetRect(), before);
  EXPECT_EQ(static_cast<CAnimSprite*>(scene.Sprites().GetAt(0))->m_nOpacity, 100);
  EXPECT_EQ(itemChanges, 1);
  EXPECT_EQ(scene.Feed().currentItem, 1);

  EXPECT_EQ(HandleFeedKey(vk::kEnd, scene.Feed()), FeedKeyOutcome::Consumed);
  for (int i = 0; i < 10; ++i) scene.StepSprites();  // the quick fade's time
  EXPECT_EQ(itemChanges, 2);
  EXPECT_EQ(scene.Feed().currentItem, 2);
}
