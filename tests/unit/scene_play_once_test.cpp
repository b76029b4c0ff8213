#include "scene/play_once.h"

#include <gtest/gtest.h>

#include "media/video_events.h"

using namespace qv;

TEST(PlayOnce, AMediaWithoutAWindowHasEndedAndHoldsNothingBack) {
  // No window: an unknown extension gives no window kind at all, and a file that does not
  // open (or a kind this build lacks) leaves none either.
  EXPECT_EQ(MediaWindowKindFor("intro.xyz"), MediaWindowKind::None);
  EXPECT_EQ(MediaWindowKindFor("intro"), MediaWindowKind::None);
  EXPECT_TRUE(MediaFinished(false, false));
  EXPECT_FALSE(MediaHoldsScene(true, true, MediaFinished(false, false)));

  // A window that plays: the intro holds the sprites until it reports its end.
  EXPECT_FALSE(MediaFinished(true, false));
  EXPECT_TRUE(MediaHoldsScene(true, true, MediaFinished(true, false)));
  EXPECT_FALSE(MediaHoldsScene(true, true, MediaFinished(true, true)));

  // A looping media, or none named, never holds anything back.
  EXPECT_FALSE(MediaHoldsScene(true, false, false));
  EXPECT_FALSE(MediaHoldsScene(false, true, false));
}

TEST(PlayOnce, AnEndedOrFailedIntroFinishesAndAFailedLoopCloses) {
  // playOnce, ended, failed -> step
  const struct {
    bool playOnce, ended, failed;
    MediaEndStep step;
  } cases[] = {
      {true, false, false, MediaEndStep::None},        {true, true, false, MediaEndStep::FinishIntro},
      {true, false, true, MediaEndStep::FinishIntro},  {false, false, false, MediaEndStep::None},
      {false, true, false, MediaEndStep::None},        {false, false, true, MediaEndStep::Close},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DecideMediaEnd(c.playOnce, c.ended, c.failed), c.step) << c.playOnce << c.ended << c.failed;
}
