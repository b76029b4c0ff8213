#include <gtest/gtest.h>

#include "ui/config_layout.h"
#include "ui/dialog_gradient.h"
#include "ui/description_scroll.h"
#include "ui/feed_options.h"

namespace qv {
namespace {

// --- Collapse rule -------------------------------------------------------------------

TEST(ConfigCollapse, EveryTextPresentMovesNothing) {
  const ConfigCollapse c = PlanConfigCollapse({});
  EXPECT_FALSE(c.hideRightsLine || c.hideRssButton || c.hideWebAddress || c.hideDescription);
  EXPECT_EQ(c.webShift + c.optionsShift + c.descriptionShift + c.footerShift, 0);
  EXPECT_EQ(kConfigDialogHeightUnits - c.footerShift, 251);
}

TEST(ConfigCollapse, MissingTextsAddTheirShifts) {
  // No rights line and no web address: everything below moves up 14 units.
  ConfigCollapse c = PlanConfigCollapse({.hasRightsLine = false, .hasWebAddress = false});
  EXPECT_TRUE(c.hideRightsLine && c.hideWebAddress);
  EXPECT_FALSE(c.hideRssButton || c.hideDescription);
  EXPECT_EQ(c.webShift, 0);  // hidden, not moved
  EXPECT_EQ(c.optionsShift, 14);
  EXPECT_EQ(c.descriptionShift, 14);
  EXPECT_EQ(c.footerShift, 14);

  // Only the rights line missing: the link row follows it up by 6.
  c = PlanConfigCollapse({.hasRightsLine = false});
  EXPECT_EQ(c.webShift, 6);
  EXPECT_EQ(c.optionsShift, 6);
  EXPECT_EQ(c.footerShift, 6);

  // No description: 64 more, on top of the earlier shifts.
  c = PlanConfigCollapse({.hasDescription = false});
  EXPECT_TRUE(c.hideDescription);
  EXPECT_EQ(c.optionsShift, 0);
  EXPECT_EQ(c.footerShift, 64);
  c = PlanConfigCollapse({.hasRightsLine = false, .hasFeedList = false, .hasWebAddress = false,
                          .hasDescription = false});
  EXPECT_TRUE(c.hideRssButton);
  EXPECT_EQ(c.footerShift, 78);

  // A missing feed list hides the button and moves nothing.
  c = PlanConfigCollapse({.hasFeedList = false});
  EXPECT_TRUE(c.hideRssButton);
  EXPECT_EQ(c.footerShift, 0);
}

TEST(ConfigCollapse, PixelUnitConversionsRoundTowardZero) {
  // 96 dpi with an 8-point font: 13 pixels per 8 units.
  EXPECT_EQ(PixelsToDialogUnitsY(166, 13), 102);  // 166 * 8 / 13 = 102.15
  EXPECT_EQ(DialogUnitsToPixelsY(88, 13), 143);   // 13 * 88 / 8 = 143
  // The mute switch at 102 units (166 pixels as the dialog manager rounds), 14 units up.
  EXPECT_EQ(ShiftUpPixels(166, 14, 13), 143);
  // Truncating both ways may lose a unit: 165 pixels read as 101 units.
  EXPECT_EQ(ShiftUpPixels(165, 14, 13), 141);
  // 144 dpi: 20 pixels per 8 units.
  EXPECT_EQ(ShiftUpPixels(255, 14, 20), 220);
  // A top that is not a whole unit loses its fraction.
  EXPECT_EQ(ShiftUpPixels(7, 0, 13), 6);
  EXPECT_EQ(PixelsToDialogUnitsY(-7, 13), -4);
  EXPECT_EQ(PixelsToDialogUnitsY(50, 0), 50);
  EXPECT_EQ(DialogUnitsToPixelsY(50, -3), 50);
}

// --- Gradient lines ------------------------------------------------------------------

TEST(DialogGradient, RowsRunFromTopToBottomColour) {
  // The description box: 0xFDFDFD at the top row, 0xF5F5F5 at the bottom one.
  EXPECT_EQ(GradientLineColor(0, 9, 0xFDFDFD, 0xF5F5F5, false), 0xFDFDFDu);
  EXPECT_EQ(GradientLineColor(4, 9, 0xFDFDFD, 0xF5F5F5, false), 0xF9F9F9u);
  EXPECT_EQ(GradientLineColor(8, 9, 0xFDFDFD, 0xF5F5F5, false), 0xF5F5F5u);
  EXPECT_EQ(GradientLineColor(0, 1, 0x123456, 0xABCDEF, false), 0x123456u);
  // Mirrored over 10 lines: h = 5, both halves in 7 steps.
  EXPECT_EQ(GradientLineColor(0, 10, 0x000000, 0x0000C0, true), 0x000000u);
  EXPECT_EQ(GradientLineColor(5, 10, 0x000000, 0x0000C0, true), 0x0000A0u);  // 5 of 6 toward blue
  EXPECT_EQ(GradientLineColor(6, 10, 0x000000, 0x0000C0, true), 0x0000A0u);  // 1 of 6 back
  EXPECT_EQ(GradientLineColor(9, 10, 0x000000, 0x0000C0, true), 0x000040u);
}

// --- Description scrolling -----------------------------------------------------------

TEST(DescriptionScroll, ShortTextIsCentredAndNeverMoves) {
  DescriptionScroll s;
  s.Start(40, 130);
  EXPECT_EQ(s.ScrollOffset, 45);
  s.Start(41, 130);
  EXPECT_EQ(s.ScrollOffset, 44);  // (130 - 41) / 2
  for (int i = 0; i < 1000; ++i) EXPECT_FALSE(s.Tick(41, 128));
  EXPECT_EQ(s.ScrollOffset, 44);
  EXPECT_EQ(s.ScrollCounter, 0);
  EXPECT_TRUE(s.ShowsText());

  // Exactly the inner height: fits, no scrolling.
  s.Start(128, 130);
  EXPECT_EQ(s.ScrollOffset, 1);
  EXPECT_FALSE(s.Tick(128, 128));
  // Taller than the client rectangle: starts at the top.
  s.Start(131, 130);
  EXPECT_EQ(s.ScrollOffset, 0);
}

TEST(DescriptionScroll, LongTextRestsScrollsRestsBlanksAndRestarts) {
  const int text = 138, box = 128;  // ten pixels too tall
  DescriptionScroll s;
  s.Start(text, box + 2);
  // Resting at the top for 50 ticks, no repaint.
  for (int i = 1; i <= 50; ++i) {
    EXPECT_FALSE(s.Tick(text, box)) << i;
    EXPECT_EQ(s.ScrollOffset, 0);
  }
  // One pixel per tick until the end is at the box's bottom (offset -10).
  for (int i = 1; i <= 10; ++i) {
    EXPECT_TRUE(s.Tick(text, box)) << i;
    EXPECT_EQ(s.ScrollOffset, -i);
    EXPECT_EQ(s.ScrollCounter, 50 + i);
  }
  // The next step would leave a gap: the counter jumps to -55 and nothing repaints.
  EXPECT_FALSE(s.Tick(text, box));
  EXPECT_EQ(s.ScrollCounter, -55);
  EXPECT_EQ(s.ScrollOffset, -11);
  // Resting at the end until -6.
  for (int c = -54; c <= -6; ++c) {
    EXPECT_FALSE(s.Tick(text, box)) << c;
    EXPECT_TRUE(s.ShowsText());
  }
  // -5: blank, offset back to 0, repainted.
  EXPECT_TRUE(s.Tick(text, box));
  EXPECT_EQ(s.ScrollCounter, -5);
  EXPECT_EQ(s.ScrollOffset, 0);
  EXPECT_FALSE(s.ShowsText());
  for (int c = -4; c <= -1; ++c) EXPECT_FALSE(s.Tick(text, box));
  EXPECT_TRUE(s.ShowsText());
  // 0: the text is back at the top and the cycle starts again.
  EXPECT_TRUE(s.Tick(text, box));
  EXPECT_EQ(s.ScrollCounter, 0);
  EXPECT_EQ(s.ScrollOffset, 0);
  for (int i = 1; i <= 50; ++i) EXPECT_FALSE(s.Tick(text, box));
  EXPECT_TRUE(s.Tick(text, box));
  EXPECT_EQ(s.ScrollOffset, -1);
}

TEST(DescriptionScroll, OnePixelTooTallScrollsOnce) {
  DescriptionScroll s;
  s.Start(129, 130);  // fits the client rectangle: centred at 0
  EXPECT_EQ(s.ScrollOffset, 0);
  for (int i = 0; i < 50; ++i) s.Tick(129, 128);
  EXPECT_TRUE(s.Tick(129, 128));
  EXPECT_EQ(s.ScrollOffset, -1);
  EXPECT_FALSE(s.Tick(129, 128));
  EXPECT_EQ(s.ScrollCounter, -55);
}

// --- Feed options --------------------------------------------------------------------

TEST(FeedOptions, EnablingRule) {
  // Proxy off: authentication and credentials are off whatever the authentication box says.
  for (const bool auth : {false, true}) {
    const FeedOptionsEnabling e = FeedOptionsEnablingRule(false, auth, true);
    EXPECT_FALSE(e.proxyFields);
    EXPECT_FALSE(e.credentials);
    EXPECT_TRUE(e.addressList);
  }
  EXPECT_TRUE(FeedOptionsEnablingRule(true, false, true).proxyFields);
  EXPECT_FALSE(FeedOptionsEnablingRule(true, false, true).credentials);
  EXPECT_TRUE(FeedOptionsEnablingRule(true, true, true).credentials);
  // A list the package does not let the user edit is greyed; the switches stay editable.
  const FeedOptionsEnabling locked = FeedOptionsEnablingRule(true, true, false);
  EXPECT_FALSE(locked.addressList);
  EXPECT_TRUE(locked.proxyFields && locked.credentials);
}

TEST(FeedOptions, ListTextConversions) {
  EXPECT_EQ(FeedListToEditText("http://a/rss;http://b/feed"), "http://a/rss\r\nhttp://b/feed");
  EXPECT_EQ(FeedListToEditText(""), "");
  EXPECT_EQ(FeedListToEditText(";;"), "\r\n\r\n");
  EXPECT_EQ(EditTextToFeedList("http://a/rss\r\nhttp://b/feed"), "http://a/rss;http://b/feed");
  EXPECT_EQ(EditTextToFeedList("a\r\n\r\nb\r\n"), "a;;b;");
  EXPECT_EQ(EditTextToFeedList("a\nb\rc\n\rd"), "a;b;c;;d");
  const std::string list = "x;y;;z;";
  EXPECT_EQ(EditTextToFeedList(FeedListToEditText(list)), list);
}

TEST(FeedOptions, PackageListBecomesTheUsersOnlyWhenChanged) {
  const std::optional<std::string> package = "http://p/1;http://p/2";
  UserSettings s;  // never stored: the package's list is shown
  FeedOptionsValues v = FeedOptionsFromSettings(s, package, true);
  EXPECT_FALSE(v.ShowsUserList);
  EXPECT_EQ(v.AddressList, "http://p/1\r\nhttp://p/2");
  TakeFeedOptions(v, package, s);
  EXPECT_EQ(s.FeedListSetting, kSettingNotSet);
  EXPECT_FALSE(s.UserFeedList);

  v.AddressList += "\r\nhttp://mine/";
  TakeFeedOptions(v, package, s);
  EXPECT_EQ(s.FeedListSetting, "http://p/1;http://p/2;http://mine/");

  // A stored list is shown, and taken back even when it equals the package's.
  UserSettings u;
  u.FeedListSetting = "http://p/1;http://p/2";
  v = FeedOptionsFromSettings(u, package, false);
  EXPECT_TRUE(v.ShowsUserList);
  EXPECT_FALSE(v.ListEditable);
  v.AddressList = "";
  TakeFeedOptions(v, package, u);
  EXPECT_EQ(u.FeedListSetting, "");
}

TEST(FeedOptions, ValuesRoundTripAndTextsAreCut) {
  UserSettings s;
  s.UseProxy = 1;
  s.UseProxyAuthentication = 1;
  s.ProxyAddress = "proxy.test";
  s.ProxyPort = 3128;
  s.ProxyLogin = "me";
  s.ProxyPassword = "secret";
  s.UseRss = 0;
  FeedOptionsValues v = FeedOptionsFromSettings(s, std::nullopt, true);
  EXPECT_EQ(v.AddressList, "");
  EXPECT_EQ(v.ProxyPort, 3128);
  UserSettings back;
  TakeFeedOptions(v, std::nullopt, back);
  EXPECT_EQ(back.UseProxy, 1);
  EXPECT_EQ(back.UseProxyAuthentication, 1);
  EXPECT_EQ(back.ProxyAddress, "proxy.test");
  EXPECT_EQ(back.ProxyLogin, "me");
  EXPECT_EQ(back.ProxyPassword, "secret");
  EXPECT_EQ(back.UseRss, 0);
  EXPECT_EQ(back.FeedListSetting, kSettingNotSet);  // empty list, no package list: unchanged

  v.ProxyAddress = std::string(300, 'a');
  v.ProxyLogin = std::string(65, 'l');
  v.ProxyPassword = std::string(64, 'p');
  TakeFeedOptions(v, std::nullopt, back);
  EXPECT_EQ(back.ProxyAddress.size(), 128u);
  EXPECT_EQ(back.ProxyLogin.size(), 64u);
  EXPECT_EQ(back.ProxyPassword.size(), 64u);
}

// OK is refused (the dialog stays) for a list the settings could not read back and for
// a used proxy without a valid port.
TEST(FeedOptions, OkRefusesAListTooLongAndAUsedProxyWithoutAPort) {
  const std::string longPackage(300, 'p');
  struct Case {
    const char* what;
    std::string list;
    bool showsUserList;
    int useProxy, port;
    FeedOptionsProblem problem;
  };
  const Case cases[] = {
      {"a list of 259 bytes", std::string(259, 'a'), true, 0, 0, FeedOptionsProblem::None},
      {"a list of 260 bytes", std::string(260, 'a'), true, 0, 0, FeedOptionsProblem::ListTooLong},
      {"line breaks count once", std::string(128, 'a') + "\r\n" + std::string(130, 'b'), true, 0, 0,
       FeedOptionsProblem::None},
      {"the package's long list left alone", longPackage, false, 0, 0, FeedOptionsProblem::None},
      {"the package's long list changed", longPackage + "x", false, 0, 0, FeedOptionsProblem::ListTooLong},
      {"proxy off, port 0", "", true, 0, 0, FeedOptionsProblem::None},
      {"proxy on, port 0", "", true, 1, 0, FeedOptionsProblem::PortOutOfRange},
      {"proxy on, port 65536", "", true, 1, 65536, FeedOptionsProblem::PortOutOfRange},
      {"proxy on, port -80", "", true, 1, -80, FeedOptionsProblem::PortOutOfRange},
      {"proxy on, port 1", "", true, 1, 1, FeedOptionsProblem::None},
      {"proxy on, port 65535", "", true, 1, 65535, FeedOptionsProblem::None},
  };
  for (const Case& c : cases) {
    FeedOptionsValues v;
    v.AddressList = c.list;
    v.ShowsUserList = c.showsUserList;
    v.UseProxy = c.useProxy;
    v.ProxyPort = c.port;
    EXPECT_EQ(CheckFeedOptions(v, longPackage), c.problem) << c.what;
  }
}

TEST(FeedOptions, PortTextAsTheIntegerExchangeReadsIt) {
  EXPECT_EQ(ParseDialogInt("8080"), 8080);
  EXPECT_EQ(ParseDialogInt("  8080\t "), 8080);
  EXPECT_EQ(ParseDialogInt("0"), 0);
  EXPECT_EQ(ParseDialogInt("007"), 7);
  EXPECT_EQ(ParseDialogInt("-12"), -12);
  EXPECT_EQ(ParseDialogInt("+12"), 12);
  EXPECT_EQ(ParseDialogInt("99999999999"), 2147483647);
  EXPECT_EQ(ParseDialogInt("-99999999999"), -2147483647 - 1);
  for (const char* bad : {"", "   ", "abc", "80a", "8 0", "-0", "+0", "-", "0x50", "1.5"})
    EXPECT_FALSE(ParseDialogInt(bad)) << bad;
}

}  // namespace
}  // namespace qv
