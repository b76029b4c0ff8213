#include "shell/saver_args.h"

#include <gtest/gtest.h>

using namespace qv;

TEST(SaverArgs, SkipProgramNameHandlesQuotesAndControlCharacters) {
  EXPECT_EQ(SkipProgramName("\"C:\\Program Files\\q.scr\" /s"), "/s");
  EXPECT_EQ(SkipProgramName("\"C:\\unterminated /s"), "");
  EXPECT_EQ(SkipProgramName("q.scr\t\x01 /p 12"), "/p 12");
  EXPECT_EQ(SkipProgramName("q.scr"), "");
  EXPECT_EQ(SkipProgramName(""), "");
  EXPECT_EQ(SkipProgramName("\"\"/c"), "/c");
}

TEST(SaverArgs, ParseWindowHandleReadsLeadingDigitsOnly) {
  EXPECT_EQ(ParseWindowHandle("1234"), 1234u);
  EXPECT_EQ(ParseWindowHandle("42abc7"), 42u);
  EXPECT_EQ(ParseWindowHandle(""), 0u);
  EXPECT_EQ(ParseWindowHandle("x12"), 0u);
  EXPECT_EQ(ParseWindowHandle(" 12"), 0u);
  // 32-bit unsigned arithmetic: 4294967296 wraps to 0, 4294967297 to 1.
  EXPECT_EQ(ParseWindowHandle("4294967295"), 4294967295u);
  EXPECT_EQ(ParseWindowHandle("4294967297"), 1u);
}

TEST(SaverArgs, FullScreenSpellings) {
  for (const char* args : {"/s", "-S", " s", "S", "//--  s", "/S extra"}) {
    EXPECT_EQ(ParseSaverArgs(args, false).mode, SaverMode::FullScreen) << args;
  }
}

TEST(SaverArgs, PreviewNeedsANonZeroHandle) {
  const SaverCommand p = ParseSaverArgs("/p 12345", false);
  EXPECT_EQ(p.mode, SaverMode::Preview);
  EXPECT_EQ(p.handle, 12345u);
  EXPECT_EQ(ParseSaverArgs("/l   77", false).handle, 77u);
  EXPECT_EQ(ParseSaverArgs("P9", false).mode, SaverMode::Preview);
  EXPECT_EQ(ParseSaverArgs("/p", false).mode, SaverMode::Invalid);
  EXPECT_EQ(ParseSaverArgs("/p 0", false).mode, SaverMode::Invalid);
  EXPECT_EQ(ParseSaverArgs("/p:12", false).mode, SaverMode::Invalid);  // only spaces are skipped
  EXPECT_EQ(ParseSaverArgs("/p\t12", false).mode, SaverMode::Invalid);
}

TEST(SaverArgs, ConfigurationOwners) {
  const SaverCommand empty = ParseSaverArgs("", false);
  EXPECT_EQ(empty.mode, SaverMode::Configure);
  EXPECT_EQ(empty.owner, OwnerRule::None);
  // Only separators is the same as nothing at all.
  EXPECT_EQ(ParseSaverArgs(" / - ", false).owner, OwnerRule::None);

  const SaverCommand bare = ParseSaverArgs("/c", false);
  EXPECT_EQ(bare.mode, SaverMode::Configure);
  EXPECT_EQ(bare.owner, OwnerRule::HandleOrForeground);
  EXPECT_EQ(bare.handle, 0u);

  const SaverCommand owned = ParseSaverArgs("/c:5678", false);
  EXPECT_EQ(owned.owner, OwnerRule::HandleOrForeground);
  EXPECT_EQ(owned.handle, 5678u);
  EXPECT_EQ(ParseSaverArgs("/c 5678", false).handle, 0u);  // a handle needs the colon
}

TEST(SaverArgs, PasswordChangeOnlyOnTheLegacyPlatform) {
  EXPECT_EQ(ParseSaverArgs("/a 99", false).mode, SaverMode::Invalid);
  const SaverCommand legacy = ParseSaverArgs("/a 99", true);
  EXPECT_EQ(legacy.mode, SaverMode::ChangePassword);
  EXPECT_EQ(legacy.owner, OwnerRule::HandleOrForeground);
  EXPECT_EQ(legacy.handle, 99u);
}

TEST(SaverArgs, UnknownLettersAreInvalid) {
  for (const char* args : {"/x", "x", "/?", "1", "/ d"})
    EXPECT_EQ(ParseSaverArgs(args, false).mode, SaverMode::Invalid) << args;
}
