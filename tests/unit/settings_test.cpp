#include <gtest/gtest.h>
#include <optional>

#include "settings/ansi_cut.h"
#include "settings/language.h"
#include "settings/user_settings.h"

namespace qv {
namespace {

const std::string kPrefs = std::string(kSettingsBaseKey) + "prefs";
const std::string kSaver = std::string(kSettingsBaseKey) + "My Saver";

TEST(Settings, FirstRunTakesTheSystemProxyAndDefaults) {
  MemorySettingsStore store;
  store.WriteText(kInternetSettingsKey, "ProxyServer", "ftp=f:21;http=proxy.test:8080;https=s:443");
  store.PutDword(kInternetSettingsKey, "ProxyEnable", 1);
  SettingsAccess access(store);
  UserSettings s;
  ReadSettings(access, "My Saver", s);
  EXPECT_EQ(s.ProxyAddress, "proxy.test");
  EXPECT_EQ(s.ProxyPort, 8080);
  EXPECT_EQ(s.UseProxy, 1);
  EXPECT_EQ(s.UseProxyAuthentication, 0);
  EXPECT_EQ(s.ProxyLogin, "");
  EXPECT_EQ(s.UseRss, 1);
  EXPECT_EQ(s.MuteSound, 0);
  EXPECT_FALSE(s.UserFeedList);
  EXPECT_EQ(s.FeedListSetting, kSettingNotSet);

  // No "ProxyEnable" at all: no proxy.
  MemorySettingsStore bare;
  SettingsAccess bareAccess(bare);
  UserSettings t;
  t.UseProxy = 7;
  ReadSettings(bareAccess, "My Saver", t);
  EXPECT_EQ(t.UseProxy, 0);
  EXPECT_EQ(t.ProxyAddress, "");
}

TEST(Settings, StoredValuesAreReadCutAndConverted) {
  MemorySettingsStore store;
  store.WriteText(kPrefs, "ProxyAddress", std::string(200, 'a'));
  store.WriteText(kPrefs, "bUseProxy", "1");
  store.WriteText(kPrefs, "ProxyPort", " 3128xyz");
  store.WriteText(kPrefs, "bUseProxyAuthentication", "x");
  store.WriteText(kPrefs, "ProxyAuthenticationLogin", std::string(100, 'l'));
  store.WriteText(kPrefs, "ProxyAuthenticationPassword", std::string("pw\0junk", 7));
  store.WriteText(kSaver, "RssAddresses", "http://a;http://b");
  store.WriteText(kSaver, "UseRss", "0");
  store.WriteText(kSaver, "bMuteSound", "1");
  SettingsAccess access(store);
  UserSettings s;
  ReadSettings(access, "my saver", s);  // the registry ignores letter case
  EXPECT_EQ(s.ProxyAddress, std::string(128, 'a'));
  EXPECT_EQ(s.UseProxy, 1);
  EXPECT_EQ(s.ProxyPort, 3128);
  EXPECT_EQ(s.UseProxyAuthentication, 0);
  EXPECT_EQ(s.ProxyLogin, std::string(64, 'l'));
  EXPECT_EQ(s.ProxyPassword, "pw");
  ASSERT_TRUE(s.UserFeedList);
  EXPECT_EQ(*s.UserFeedList, "http://a;http://b");
  EXPECT_EQ(s.UseRss, 0);
  EXPECT_EQ(s.MuteSound, 1);

  // Longer than the 259-byte buffer: as if absent.
  store.WriteText(kSaver, "bMuteSound", std::string(300, '1'));
  EXPECT_EQ(access.GetSettingInt("My Saver", "bMuteSound", 5), 5);
  EXPECT_EQ(access.GetSettingString("absent", "x", "dflt"), "dflt");
}

TEST(Settings, WriteThenReadKeepsEverythingIncludingTheNotSetMarker) {
  MemorySettingsStore store;
  store.WriteText(kInternetSettingsKey, "ProxyServer", "sys:81");
  store.PutDword(kInternetSettingsKey, "ProxyEnable", 0);
  SettingsAccess access(store);
  UserSettings s;
  ReadSettings(access, "My Saver", s);
  s.MuteSound = 1;
  store.writes = 0;
  WriteSettings(access, "My Saver", s);
  EXPECT_EQ(store.writes, 9u);
  for (const char* name : {"bUseProxy", "bUseProxyAuthentication", "ProxyPort", "ProxyAddress",
                           "ProxyAuthenticationLogin", "ProxyAuthenticationPassword"})
    EXPECT_TRUE(store.Find(kPrefs, name)) << name;
  EXPECT_EQ(*store.Find(kPrefs, "ProxyAddress"), "sys");
  EXPECT_EQ(*store.Find(kPrefs, "ProxyPort"), "81");
  EXPECT_EQ(*store.Find(kSaver, "RssAddresses"), "@@@");

  UserSettings back;
  ReadSettings(access, "My Saver", back);
  EXPECT_EQ(back.ProxyAddress, "sys");
  EXPECT_EQ(back.ProxyPort, 81);
  EXPECT_FALSE(back.UserFeedList) << "the marker still reads as not set";
  EXPECT_EQ(back.MuteSound, 1);
  EXPECT_EQ(access.SettingsBaseKey(), "SOFTWARE\\Quorvex\\Compiled ScreenSaver\\");
}

// A list longer than the reader takes reads as not set (the package's list is used),
// and writing the settings back must not replace it by the not-set marker.
TEST(Settings, AListTooLongToReadIsNeverOverwritten) {
  MemorySettingsStore store;
  const std::string longList = "http://a/" + std::string(300, 'x');
  store.WriteText(kSaver, "RssAddresses", longList);
  SettingsAccess access(store);
  UserSettings s;
  ReadSettings(access, "My Saver", s);
  EXPECT_FALSE(s.UserFeedList);
  WriteSettings(access, "My Saver", s);
  EXPECT_EQ(*store.Find(kSaver, "RssAddresses"), longList);
  // A list the user then gives replaces it.
  s.FeedListSetting = "http://mine/";
  WriteSettings(access, "My Saver", s);
  EXPECT_EQ(*store.Find(kSaver, "RssAddresses"), "http://mine/");
}

// Cuts to a byte limit keep double-byte characters whole (here a lead-byte rule of the
// Japanese code page: 0x81-0x9F and 0xE0-0xFC).
TEST(Settings, CutsNeverSplitADoubleByteCharacter) {
  const LeadByteFn shiftJis = [](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); };
  const std::string kanji = "\x93\xfa";  // one character, two bytes
  struct Case {
    std::string text;
    size_t limit;
    std::string cut;
  };
  const Case cases[] = {
      {"abc", 3, "abc"},
      {"abcd", 3, "abc"},
      {"ab" + kanji, 3, "ab"},              // the lead byte would be the last: left out
      {"ab" + kanji, 4, "ab" + kanji},
      {kanji + kanji + "x", 3, kanji},
      {"a\x41" + kanji, 3, "aA"},           // bytes outside the lead range are single
      {"ab\x93", 2, "ab"},                  // a lone lead byte at the end stands alone
  };
  for (const Case& c : cases) EXPECT_EQ(CutAnsiText(c.text, c.limit, shiftJis), c.cut) << c.text;
  EXPECT_EQ(CutAnsiText("ab" + kanji, 3, nullptr), "ab\x93");  // a single-byte code page

  // Stored settings are cut with the installed rule.
  CoreServices ruled;
  ruled.leadByte = shiftJis;
  std::optional<ScopedCoreServices> services(std::in_place, ruled);
  MemorySettingsStore store;
  std::string login(63, 'l');
  store.WriteText(kPrefs, "ProxyAddress", "p");
  store.WriteText(kPrefs, "ProxyAuthenticationLogin", login + kanji);
  SettingsAccess access(store);
  UserSettings s;
  ReadSettings(access, "My Saver", s);
  services.reset();
  EXPECT_EQ(s.ProxyLogin, login);
}

TEST(Settings, LanguageOverride) {
  MemorySettingsStore store;
  const std::string key = "SOFTWARE\\Acme\\My Saver";
  EXPECT_EQ(ReadLanguageOverride(store, "Acme", "My Saver"), 0);
  store.WriteText(key, "AppLanguage", "3");
  EXPECT_EQ(ReadLanguageOverride(store, "Acme", "My Saver"), 3);
  EXPECT_EQ(ReadLanguageOverride(store, "", "My Saver"), 0) << "no company: no override";
  for (const char* none : {"0", "x", ""}) {
    store.WriteText(key, "AppLanguage", none);
    EXPECT_EQ(ReadLanguageOverride(store, "Acme", "My Saver"), 0) << none;
  }
  store.WriteText(key, "AppLanguage", "2" + std::string(100, ' '));
  EXPECT_EQ(ReadLanguageOverride(store, "Acme", "My Saver"), 0) << "longer than its buffer";
}

TEST(Settings, ProxyTextAndDecimalPrefix) {
  const struct {
    const char* text;
    const char* address;
    int port;
  } cases[] = {
      {"", "", 0},
      {"   ", "", 0},
      {" host:8080 ", "host", 8080},
      {"host", "host", 0},
      {"https=s:1;http=h:2", "h", 2},
      {"HTTP=h:2", "HTTP=h", 2},
      {"a=1;b=2;c=3;d=4;e=5;http=late:9", "a=1;b=2;c=3;d=4;e=5;http=late", 9},
      {"http", "", 0},
      {"http=h", "h", 0},
  };
  for (const auto& t : cases) {
    const ProxyServer p = ParseProxyServer(t.text);
    EXPECT_EQ(p.address, t.address) << t.text;
    EXPECT_EQ(p.port, t.port) << t.text;
  }
  EXPECT_EQ(DecimalPrefix("-12x"), -12);
  EXPECT_EQ(DecimalPrefix("+7"), 7);
  EXPECT_EQ(DecimalPrefix("99999999999999999999"), 2147483647);
  EXPECT_EQ(DecimalPrefix("-99999999999999999999"), -2147483647 - 1);
  EXPECT_EQ(DecimalPrefix("x1"), 0);
}

TEST(Language, CodesAndStringIds) {
  EXPECT_EQ(LanguageFromLangId(0x0416), 7);  // Brazilian Portuguese
  EXPECT_EQ(LanguageFromLangId(0x0411), 1);  // Japanese
  EXPECT_EQ(LanguageFromLangId(0x0407), 3);
  EXPECT_EQ(LanguageFromLangId(0x040C), 2);
  EXPECT_EQ(LanguageFromLangId(0x0C0A), 4);
  EXPECT_EQ(LanguageFromLangId(0x0410), 5);
  EXPECT_EQ(LanguageFromLangId(0x0813), 6);
  EXPECT_EQ(LanguageFromLangId(0x0419), 8);
  EXPECT_EQ(LocalisedStringId(8002, 4), 8302);
  EXPECT_EQ(LocalisedStringId(8002, 1), 8002);
  EXPECT_EQ(LocalisedStringId(8000, 8), 8700);
  EXPECT_EQ(LocalisedStringId(8002, 9), 8002);
  EXPECT_EQ(LocalisedStringId(8002, 0), 8002);
}

TEST(Language, SectionsAreSelectedLineByLine) {
  std::string text = "Common\r\n#if german\r\nDeutsch\r\n#iffrench\r\nFrancais\r\n#endif\r\nEnd";
  SelectLanguageSections(text, 3);
  EXPECT_EQ(text, "Common\r\nDeutsch\r\nEnd");

  text = "# If German\r\nja\r\n#IFDEF ENGLISH\r\nyes\r\n# end if\r\nall";
  SelectLanguageSections(text, 3);
  EXPECT_EQ(text, "ja\r\nall");

  const std::string plain = "one\r\n\r\n#1 product\r\nlast\r\n";
  text = plain;
  SelectLanguageSections(text, 2);
  EXPECT_EQ(text, plain) << "no directives: unchanged, a '#' line kept as written";

  text = "a\nb\n#ifrussian\nc\n#endif\nd";
  SelectLanguageSections(text, 1);
  EXPECT_EQ(text, "a\r\nb\r\nd") << "lone line feeds break lines without eating characters";

  text = "x\r\n#ifgerman\r\nonly german";
  SelectLanguageSections(text, 1);
  EXPECT_EQ(text, "x\r\n") << "the dropped last line leaves the break before it";

  text = std::string(20000, 'a') + "\r\nb";
  SelectLanguageSections(text, 1);
  EXPECT_EQ(text, std::string(kMaxLocalisedText, 'a') + "\r\nb");
}

TEST(Language, Placeholders) {
  std::string text = "{ScrName} {CompanyName}";
  ExpandPlaceholders(text, "", "Company Logo");
  EXPECT_EQ(text, "Company Logo ");
  text = "By {CompanyName}: {ScreenSaverTitle}, {scrname}{}!";
  ExpandPlaceholders(text, "Acme", "Logo");
  EXPECT_EQ(text, "By Acme: Logo, ##UNKNOWN####UNKNOWN##!");
  text = "open {ScrName";
  ExpandPlaceholders(text, "", "Logo");
  EXPECT_EQ(text, "open Logo") << "an unclosed brace ends at the end of the text";
  text = "{" + std::string(300, 'n') + "}x";
  ExpandPlaceholders(text, "", "Logo");
  EXPECT_EQ(text, "##UNKNOWN##x");

  // The result never grows past the text buffer, however long the values.
  text.clear();
  for (int i = 0; i < 100; ++i) text += "{ScrName}";
  ExpandPlaceholders(text, "", std::string(1000, 'L'));
  EXPECT_EQ(text.size(), kMaxLocalisedText);
  text = std::string(20000, 'z');
  ExpandPlaceholders(text, "", "");
  EXPECT_EQ(text.size(), kMaxLocalisedText);
}

}  // namespace
}  // namespace qv
