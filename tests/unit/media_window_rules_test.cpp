#include <gtest/gtest.h>

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

TEST(VideoEvents, FailuresAreIgnoredAndLoopsRestart) {
  VideoWindowState s;
  // A failed open reports "created" with an item that must not be asked anything.
  EXPECT_EQ(OnPlayerEvent(s, PlayerEvent::MediaItemCreated, false, true, true), PlayerAction::None);
  EXPECT_EQ(OnPlayerEvent(s, PlayerEvent::PlaybackEnded, false, true, true), PlayerAction::None);
  EXPECT_FALSE(s.ended);
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
