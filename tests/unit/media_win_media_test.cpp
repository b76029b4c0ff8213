#include <gtest/gtest.h>

#include "media/win_media.h"

namespace qv {
namespace {

using Shared = RecordingDispatch::Shared;

// Makes recording controls that share one log; can refuse to make one.
struct FakeFactory : ControlFactory {
  std::shared_ptr<Shared> shared = std::make_shared<Shared>();
  bool fail = false;
  std::vector<ControlGeneration> made;
  std::unique_ptr<MediaDispatch> CreateControl(ControlGeneration g) override {
    made.push_back(g);
    if (fail) return nullptr;
    shared->objectMembers = g == ControlGeneration::Newer;
    return std::make_unique<RecordingDispatch>(shared, "player");
  }
  void Answer(int32_t id, DispatchValue v) { shared->answers.emplace_back(id, std::move(v)); }
  std::vector<std::string>& Log() { return shared->log; }
};

TEST(WinMedia, NewerControlOpenSendsTheTableInOrder) {
  for (int loop : {1, 0}) {
    FakeFactory f;
    f.Answer(852, DispatchValue::Int(0));
    f.Answer(757, DispatchValue::Double(3.9));
    CWinMedia media(f, ControlGeneration::Newer);
    media.SetLoop(loop);
    f.Log().clear();
    ASSERT_TRUE(media.Open("C:\\m\\song.mp3"));
    const std::string count = loop ? "int 0" : "int 1";
    const std::string mode = loop ? "bool true" : "bool false";
    const std::vector<std::string> expected = {
        "player get 5", "settings put 107 int 100",
        "player get 5", "settings put 102 int 0",
        "player put 23 string none",
        "player put 22 bool false",
        "player get 5", "settings method 111 string loop " + mode,
        "player get 5", "settings method 111 string autoRewind bool false",
        "player get 5", "settings put 101 bool false",
        "player get 5", "settings put 105 " + count,
        "player put 1 string C:\\m\\song.mp3",
        "player get 17", "error get 852",
        "player get 6", "media get 757",
    };
    EXPECT_EQ(f.Log(), expected) << "loop " << loop;
    EXPECT_EQ(media.StoredDurationSeconds(), 3);
    EXPECT_EQ(media.StoredDurationMs(), 3000);
    EXPECT_EQ(f.shared->liveObjects, 1) << "each fetched object is released after its call";
    EXPECT_EQ(f.made, std::vector<ControlGeneration>{ControlGeneration::Newer});
  }
}

TEST(WinMedia, OlderControlOpenSendsTheTableInOrder) {
  for (int loop : {1, 0}) {
    FakeFactory f;
    f.Answer(1065, DispatchValue::Bool(false));
    f.Answer(1003, DispatchValue::Double(12.7));
    CWinMedia media(f, ControlGeneration::Older);
    media.SetLoop(loop);
    f.Log().clear();
    ASSERT_TRUE(media.Open("D:\\x.mid"));
    const std::vector<std::string> expected = {
        "player put 19 int 100",   "player put 20 int 0",       "player put 23 bool false",
        "player put 1013 bool true", "player put 1014 bool true", "player put 1069 bool true",
        "player put 1064 bool false", "player put 1063 bool false", "player put 1017 bool false",
        std::string("player put 1030 int ") + (loop ? "0" : "1"),
        "player put 1026 string D:\\x.mid",
        "player get 1065",
        "player get 1003",
    };
    EXPECT_EQ(f.Log(), expected) << "loop " << loop;
    EXPECT_EQ(media.StoredDurationSeconds(), 12);
  }
}

TEST(WinMedia, OpenFailsOnControlErrors) {
  FakeFactory none;
  none.fail = true;
  CWinMedia a(none, ControlGeneration::Newer);
  EXPECT_FALSE(a.Open("x.mp3"));
  EXPECT_EQ(a.IsOpen(), 1) << "the path is recorded first";

  FakeFactory errors;
  errors.Answer(852, DispatchValue::Int(2));
  CWinMedia b(errors, ControlGeneration::Newer);
  EXPECT_FALSE(b.Open("x.mp3"));
  EXPECT_EQ(errors.Log().back(), "error get 852") << "nothing after the error check";

  FakeFactory failed;
  failed.Answer(1065, DispatchValue::Bool(true));
  CWinMedia c(failed, ControlGeneration::Older);
  EXPECT_FALSE(c.Open("x.mp3"));

  // A control whose error object cannot be read (as under Wine) opens.
  FakeFactory noError;
  noError.shared->refused = {17};
  CWinMedia d(noError, ControlGeneration::Newer);
  EXPECT_TRUE(d.Open("x.wav"));
  EXPECT_EQ(d.StoredDurationSeconds(), 0);
}

TEST(WinMedia, SeekClampsAndPausesAtTheEnd) {
  FakeFactory f;
  f.Answer(757, DispatchValue::Double(10.5));
  CWinMedia media(f, ControlGeneration::Newer);
  ASSERT_TRUE(media.Open("a.mp3"));
  f.Log().clear();
  media.Seek(4);
  EXPECT_EQ(f.Log(), (std::vector<std::string>{"player get 4", "controls put 56 double 4"}));
  f.Log().clear();
  media.Seek(25);
  EXPECT_EQ(media.StoredPositionMs(), 10000);
  EXPECT_EQ(f.Log(), (std::vector<std::string>{"player get 4", "controls put 56 double 10", "player get 4",
                                               "controls method 53"}));
  f.Log().clear();
  media.Seek(-3);
  EXPECT_EQ(media.StoredPositionMs(), 0);
  EXPECT_EQ(f.Log(), (std::vector<std::string>{"player get 4", "controls put 56 double 0"}));
}

TEST(WinMedia, StopRewindsOnlyWhenTheDurationIsKnown) {
  FakeFactory unknown;
  CWinMedia a(unknown, ControlGeneration::Older);
  ASSERT_TRUE(a.Open("a.wma"));
  unknown.Log().clear();
  a.Stop();
  EXPECT_EQ(unknown.Log(), std::vector<std::string>{"player method 2003"});

  FakeFactory known;
  known.Answer(1003, DispatchValue::Double(5));
  CWinMedia b(known, ControlGeneration::Older);
  ASSERT_TRUE(b.Open("a.wma"));
  known.Log().clear();
  b.Stop();
  EXPECT_EQ(known.Log(), (std::vector<std::string>{"player method 2003", "player put 1027 double 0"}));
  known.Log().clear();
  b.Play();
  b.Pause();
  EXPECT_EQ(known.Log(), (std::vector<std::string>{"player method 2001", "player method 2002"}));
}

TEST(WinMedia, LoopCheckRestartsAtTheTruncatedDuration) {
  FakeFactory f;
  f.Answer(757, DispatchValue::Double(3.9));
  CWinMedia media(f, ControlGeneration::Newer);
  media.SetLoop(1);
  ASSERT_TRUE(media.Open("t.mp3"));
  f.Answer(56, DispatchValue::Double(2.999));
  f.Log().clear();
  media.LoopCheck();
  EXPECT_EQ(f.Log(), (std::vector<std::string>{"player get 4", "controls get 56"})) << "not yet";
  f.Answer(56, DispatchValue::Double(3.0));
  f.Log().clear();
  media.LoopCheck();
  EXPECT_EQ(f.Log(), (std::vector<std::string>{"player get 4", "controls get 56", "player get 4",
                                               "controls put 56 double 0", "player get 4", "controls method 51"}));
}

TEST(WinMedia, LoopCheckLearnsALateDuration) {
  FakeFactory f;
  CWinMedia media(f, ControlGeneration::Older);
  ASSERT_TRUE(media.Open("t.mid"));
  EXPECT_EQ(media.StoredDurationSeconds(), 0);
  f.Answer(1027, DispatchValue::Double(50));
  f.Log().clear();
  media.LoopCheck();
  EXPECT_EQ(f.Log(), std::vector<std::string>{"player get 1003"}) << "duration still unknown: nothing restarts";
  f.Answer(1003, DispatchValue::Double(2.5));
  media.LoopCheck();
  EXPECT_EQ(media.StoredDurationMs(), 2000);
  EXPECT_EQ(f.Log().back(), "player method 2001");
}

TEST(WinMedia, OtherSlots) {
  FakeFactory f;
  f.Answer(1003, DispatchValue::Double(20));
  CWinMedia media(f, ControlGeneration::Older);
  ASSERT_TRUE(media.Open("C:\\music\\Track One.mp3"));
  EXPECT_EQ(media.FileName(), "Track One.mp3");
  EXPECT_EQ(media.Title(), "Track One");
  f.Answer(1027, DispatchValue::Double(7.8));
  EXPECT_EQ(media.PositionMs(), 7800);
  EXPECT_EQ(media.PositionSeconds(), 7);
  EXPECT_FALSE(media.AtEnd());
  f.Log().clear();
  media.StepForward();  // 20 / 10 + 7800 / 1000 = 9
  EXPECT_EQ(f.Log().back(), "player put 1027 double 9");
  media.StepBack();  // 7 - 2 = 5
  EXPECT_EQ(f.Log().back(), "player put 1027 double 5");
  f.Answer(1003, DispatchValue::Double(0.5));
  EXPECT_EQ(media.DurationSeconds(), 1);
  EXPECT_EQ(media.StoredDurationSeconds(), 20) << "a duration of 1 or less is not stored";
  f.Answer(1027, DispatchValue::Double(20));
  EXPECT_TRUE(media.AtEnd());
  media.Close();
  EXPECT_EQ(media.IsOpen(), 0);
}

}  // namespace
}  // namespace qv
