#include <gtest/gtest.h>

#include "media/master_mute.h"

namespace qv {
namespace {

TEST(MasterMute, AlreadyMutedStaysMutedAndNothingIsWritten) {
  FakeMixer mixer;
  mixer.mute = 1;
  MasterMute mute(mixer);
  MuteAtRunStart(mute, false, true);
  RestoreAtRunEnd(mute, false, true);
  EXPECT_TRUE(mixer.writes.empty());
  EXPECT_EQ(mixer.mute, 1u);
  EXPECT_EQ(mixer.closes, 1);
  EXPECT_EQ(mute.LineName(), "Master Volume");
}

TEST(MasterMute, UnmutedIsMutedForTheRunAndRestored) {
  FakeMixer mixer;
  MasterMute mute(mixer);
  MuteAtRunStart(mute, false, true);
  EXPECT_EQ(mixer.mute, 1u);
  RestoreAtRunEnd(mute, false, true);
  EXPECT_EQ(mixer.writes, (std::vector<uint32_t>{1, 0}));
}

TEST(MasterMute, PreviewAndUnsetSettingNeverTouchTheMixer) {
  FakeMixer mixer;
  MasterMute mute(mixer);
  MuteAtRunStart(mute, true, true);
  RestoreAtRunEnd(mute, true, true);
  MuteAtRunStart(mute, false, false);
  RestoreAtRunEnd(mute, false, false);
  EXPECT_EQ(mixer.opens, 0);
  EXPECT_TRUE(mixer.writes.empty());
}

TEST(MasterMute, FailuresAreSilent) {
  for (int failure = 0; failure < 5; ++failure) {
    FakeMixer mixer;
    mixer.devices = failure == 0 ? 0 : 1;
    mixer.openOk = failure != 1;
    mixer.capsOk = failure != 2;
    mixer.hasMute = failure != 3;
    mixer.readOk = failure != 4;
    MasterMute mute(mixer);
    MuteAtRunStart(mute, false, true);
    RestoreAtRunEnd(mute, false, true);
    if (failure == 4) {
      // The switch is there but unreadable: it is taken as off, muted and put back.
      EXPECT_EQ(mixer.writes, (std::vector<uint32_t>{1, 0}));
    } else {
      EXPECT_TRUE(mixer.writes.empty()) << "failure " << failure;
    }
    EXPECT_EQ(mixer.mute, 0u);
  }
}

}  // namespace
}  // namespace qv
