#include <gtest/gtest.h>

#include <climits>

#include "media/logo_card.h"
#include "media/media_placement.h"
#include "media/video_events.h"

namespace qv {
namespace {

MediaPlacement Area(int fit, int w, int h) {
  MediaPlacement p;
  p.fitMode = fit;
  p.areaWidth = w;
  p.areaHeight = h;
  return p;
}

TEST(MediaPlacement, FitModes) {
  // A wide video on a 4:3 screen: full width, 96-pixel bands above and below.
  EXPECT_EQ(PlaceMedia(Area(0, 1024, 768), 1280, 720), (Rect32{0, 96, 1024, 672}));
  EXPECT_EQ(FitCentred(1024, 768, 1280, 720), (Rect32{0, 96, 1024, 672}));
  // A tall one: full height, bands left and right; odd remainders truncate.
  EXPECT_EQ(PlaceMedia(Area(0, 1024, 768), 300, 400), (Rect32{224, 0, 800, 768}));
  EXPECT_EQ(PlaceMedia(Area(0, 1001, 768), 300, 400), (Rect32{212, 0, 788, 768}));
  // Fill: the other side overflows and is cut, centred (negative offsets).
  EXPECT_EQ(PlaceMedia(Area(2, 1024, 768), 1280, 720), (Rect32{-170, 0, 1195, 768}));
  EXPECT_EQ(PlaceMedia(Area(2, 1024, 768), 300, 400), (Rect32{0, -298, 1024, 1067}));
  // Media without a size cover the area.
  EXPECT_EQ(PlaceMedia(Area(1, 800, 600), 0, 240), (Rect32{0, 0, 800, 600}));
  EXPECT_EQ(FitCentred(800, 600, 320, 0), (Rect32{0, 0, 800, 600}));
}

TEST(MediaPlacement, CustomSizeAndCentre) {
  MediaPlacement p = Area(1, 1024, 768);
  p.sizeX = 50;
  p.sizeY = 50;
  p.centreX = 25;
  p.centreY = 75;
  // Base 0: half the media's own size, centred at (256, 576).
  EXPECT_EQ(PlaceMedia(p, 320, 200), (Rect32{176, 526, 336, 626}));
  // Base 1: a box of half the area (512 x 384), fitted keeping the shape.
  p.sizeBase = 1;
  EXPECT_EQ(PlaceMedia(p, 320, 200), (Rect32{0, 416, 512, 736}));
  EXPECT_EQ(PlaceMedia(p, 200, 320), (Rect32{136, 384, 376, 768}));
  // Percentages are handed on as they are: 320 % puts the centre off the area.
  p.centreX = 320;
  EXPECT_EQ(PlaceMedia(p, 320, 200).left, 3276 - 256);
}

TEST(MediaPlacement, PreviewRescale) {
  // Placed in the 640 x 480 scene, then scaled to a 152 x 112 preview window.
  const Rect32 scene = PlaceMedia(Area(0, kPreviewAreaWidth, kPreviewAreaHeight), 1280, 720);
  EXPECT_EQ(scene, (Rect32{0, 60, 640, 420}));
  EXPECT_EQ(ScaleFromPreviewArea(scene, 152, 112), (Rect32{0, 14, 152, 98}));
  EXPECT_EQ(ScaleFromPreviewArea({-170, 0, 1195, 768}, 320, 240), (Rect32{-85, 0, 597, 384}));
}

TEST(MediaPlacement, HostileValuesStayInsideTheCoordinateRange) {
  // Every field at its extremes, one at a time and in every fit mode and size base: no
  // overflow, every coordinate in the window range, no rectangle turned inside out.
  const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -1, 0, 1, 65535, INT32_MAX};
  auto check = [](const Rect32& r) {
    for (const int32_t v : {r.left, r.top, r.right, r.bottom}) {
      EXPECT_GE(v, kMediaCoordMin);
      EXPECT_LE(v, kMediaCoordMax);
    }
    EXPECT_LE(r.left, r.right);
    EXPECT_LE(r.top, r.bottom);
  };
  for (int field = 0; field < 10; ++field) {
    for (const int32_t value : extremes) {
      for (const int fit : {0, 1, 2}) {
        for (const int base : {0, 1}) {
          SCOPED_TRACE(testing::Message() << "field " << field << " = " << value << " fit " << fit << " base " << base);
          MediaPlacement p = Area(fit, 1024, 768);
          p.sizeBase = base;
          int32_t w = 320, h = 200;
          int32_t* fields[] = {&p.fitMode, &p.sizeBase, &p.centreX,    &p.centreY, &p.sizeX,
                               &p.sizeY,   &p.areaWidth, &p.areaHeight, &w,         &h};
          *fields[field] = value;
          const Rect32 placed = PlaceMedia(p, w, h);
          check(placed);
          check(ScaleFromPreviewArea(placed, 152, 112));
          check(FitCentred(p.areaWidth, p.areaHeight, w, h));
        }
      }
    }
  }
  // A 1 x 65535 animation filled into the screen: centred, cut at the range.
  EXPECT_EQ(PlaceMedia(Area(2, 1024, 768), 1, 65535), (Rect32{0, kMediaCoordMin, 1024, kMediaCoordMax}));
  EXPECT_EQ(ScaleFromPreviewArea({kMediaCoordMin, 0, kMediaCoordMax, 480}, INT32_MAX, 112),
            (Rect32{kMediaCoordMin, 0, kMediaCoordMax, 112}));
}

TEST(MediaWindowKind, ByFileType) {
  for (const char* name : {"intro.fli", "INTRO.FLC", "c:\\x\\a.Flc"})
    EXPECT_EQ(MediaWindowKindFor(name), MediaWindowKind::Animation) << name;
  for (const char* name : {"a.avi", "a.ASF", "a.asx", "a.mov", "a.qt", "a.mpg", "a.MPEG", "a.wmv", "a.mp4", "a.m4v",
                           "a.mp4v", "a.3gp", "a.3G2"})
    EXPECT_EQ(MediaWindowKindFor(name), MediaWindowKind::Video) << name;
  for (const char* name : {"a.wav", "a.mp3", "a.gif", "a.flv", "", "a.mp4.txt"})
    EXPECT_EQ(MediaWindowKindFor(name), MediaWindowKind::None) << name;
}

TEST(VideoEvents, PlayOnceSequenceEndsOnce) {
  VideoWindowState s;
  EXPECT_EQ(OnPlayerEvent(s, PlayerEvent::MediaItemCreated, true, false, true), PlayerAction::None);
  EXPECT_EQ(OnPlayerEvent(s, PlayerEvent::MediaItemCreated, true, true, true), PlayerAction::SetItemIfVideo);
  EXPECT_EQ(OnPlayerEvent(s, PlayerEvent::MediaItemSet, true, true, true), PlayerAction::PlayAndShow);
  EXPECT_EQ(OnPlayerEvent(s, PlayerEvent::Other, true, true, true), PlayerAction::None);
  EXPECT_FALSE(s.ended);
  EXPECT_EQ(OnPlayerEvent(s, PlayerEvent::PlaybackEnded, true, true, true), PlayerAction::None);
  EXPECT_TRUE(s.ended);
  EXPECT_FALSE(s.playing);
  // The scene's next frame step pauses nothing: the player was never told to play.
  EXPECT_EQ(SyncPlayState(s), PlayStateCall::None);
}

TEST(VideoEvents, FailedEventsFailTheVideoAndAPlayOnceOneEnds) {
  // A failed open reports "created" with an item that must not be asked anything; a codec
  // that is missing fails "set" or "ended" after the size probe succeeded.
  for (const PlayerEvent event :
       {PlayerEvent::MediaItemCreated, PlayerEvent::MediaItemSet, PlayerEvent::PlaybackEnded, PlayerEvent::Error}) {
    for (const bool loop : {false, true}) {
      SCOPED_TRACE(testing::Message() << static_cast<int>(event) << " loop " << loop);
      VideoWindowState s;
      s.loop = loop;
      EXPECT_EQ(OnPlayerEvent(s, event, false, true, true), PlayerAction::None);
      EXPECT_TRUE(s.failed);
      EXPECT_EQ(s.ended, !loop);  // an intro ends as a finished one would
      EXPECT_FALSE(s.playing);
      EXPECT_EQ(SyncPlayState(s), PlayStateCall::None);
    }
  }
  // An error event fails whatever its code says; other failed events change nothing.
  VideoWindowState s;
  EXPECT_EQ(OnPlayerEvent(s, PlayerEvent::Error, true, true, true), PlayerAction::None);
  EXPECT_TRUE(s.failed && s.ended);
  VideoWindowState other;
  EXPECT_EQ(OnPlayerEvent(other, PlayerEvent::Other, false, true, true), PlayerAction::None);
  EXPECT_FALSE(other.failed || other.ended);
}

TEST(VideoEvents, LoopsRestartAndAnOrphanEndsNothing) {
  VideoWindowState s;
  s.loop = true;
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(OnPlayerEvent(s, PlayerEvent::PlaybackEnded, true, true, true), PlayerAction::PlayAgain);
  EXPECT_FALSE(s.ended);
  EXPECT_TRUE(s.playing);
  // Without an owner the end is not the window's to report.
  VideoWindowState orphan;
  EXPECT_EQ(OnPlayerEvent(orphan, PlayerEvent::PlaybackEnded, true, false, true), PlayerAction::None);
  EXPECT_FALSE(orphan.ended);
}

TEST(VideoEvents, PlayStateFollowsThePlayingFlag) {
  VideoWindowState s;
  EXPECT_EQ(SyncPlayState(s), PlayStateCall::Play);
  EXPECT_EQ(SyncPlayState(s), PlayStateCall::None);
  s.playing = false;  // the saver became inactive
  EXPECT_EQ(SyncPlayState(s), PlayStateCall::Pause);
  EXPECT_EQ(SyncPlayState(s), PlayStateCall::None);
  s.playing = true;
  s.failed = true;
  EXPECT_EQ(SyncPlayState(s), PlayStateCall::None);
}

TEST(LogoCard, LayoutWithAndWithoutRightsLine) {
  const LogoCardLayout two = LayoutLogoCard(kLogoCardWidth, kLogoCardHeight, true);
  EXPECT_EQ(two.card, (Rect32{0, 0, 350, 65}));
  EXPECT_EQ(two.innerFrame, (Rect32{1, 1, 349, 64}));
  EXPECT_EQ(two.name, (Rect32{15, 8, 335, 35}));
  EXPECT_EQ(two.rights, (Rect32{15, 37, 335, 64}));
  const LogoCardLayout one = LayoutLogoCard(kLogoCardWidth, kLogoCardHeight, false);
  EXPECT_EQ(one.name, (Rect32{15, 19, 335, 46}));
  EXPECT_TRUE(one.rights.IsEmpty());
  EXPECT_EQ(CentreOnMonitor(1024, 768, 350, 65), (Rect32{337, 351, 687, 416}));
  EXPECT_EQ(CentreOnMonitor(1024, 768, 400, 300), (Rect32{312, 234, 712, 534}));
}

}  // namespace
}  // namespace qv
