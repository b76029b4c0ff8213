#include "settings/user_settings.h"

#include <cctype>
#include <climits>

#include "settings/ansi_cut.h"

namespace qv {

namespace {

constexpr size_t kMaxLanguageOverrideBytes = 79;  // an 80-byte buffer with its zero

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

void SplitHostPort(std::string_view text, ProxyServer& out) {
  const size_t colon = text.find(':');
  out.address = std::string(text.substr(0, colon));
  out.port = colon == std::string_view::npos ? 0 : DecimalPrefix(text.substr(colon + 1));
}

}  // namespace

int DecimalPrefix(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
  }
  return static_cast<int>(negative ? -value : value);
}

const std::string& SettingsAccess::SettingsBaseKey() {
  if (m_strBaseKey.empty()) m_strBaseKey = kSettingsBaseKey;
  return m_strBaseKey;
}

int SettingsAccess::GetSettingInt(const std::string& section, const std::string& name, int defaultValue) {
  std::string text;
  if (!m_store.ReadText(SettingsBaseKey() + section, name, kMaxSettingBytes, text)) return defaultValue;
  return DecimalPrefix(text);
}

std::string SettingsAccess::GetSettingString(const std::string& section, const std::string& name,
                                             const std::string& defaultValue) {
  std::string text;
  if (!m_store.ReadText(SettingsBaseKey() + section, name, kMaxSettingBytes, text)) return defaultValue;
  return text;
}

bool SettingsAccess::PutSettingInt(const std::string& section, const std::string& name, int value) {
  return m_store.WriteText(SettingsBaseKey() + section, name, std::to_string(value));
}

bool SettingsAccess::PutSettingString(const std::string& section, const std::string& name,
                                      const std::string& value) {
  return m_store.WriteText(SettingsBaseKey() + section, name, value);
}

void ReadSettings(SettingsAccess& a, const std::string& scrName, UserSettings& s) {
  const std::string address = a.GetSettingString(kPrefsSection, "ProxyAddress", kSettingNotSet);
  if (address == kSettingNotSet) {
    ReadSystemProxy(a.store(), s);
  } else {
    s.ProxyAddress = CutAnsiText(address, kMaxProxyAddress);
    s.UseProxy = a.GetSettingInt(kPrefsSection, "bUseProxy", 0);
    s.UseProxyAuthentication = a.GetSettingInt(kPrefsSection, "bUseProxyAuthentication", 0);
    s.ProxyPort = a.GetSettingInt(kPrefsSection, "ProxyPort", 0);
    s.ProxyLogin = CutAnsiText(a.GetSettingString(kPrefsSection, "ProxyAuthenticationLogin", ""), kMaxProxyCredential);
    s.ProxyPassword =
        CutAnsiText(a.GetSettingString(kPrefsSection, "ProxyAuthenticationPassword", ""), kMaxProxyCredential);
  }
  s.FeedListSetting = a.GetSettingString(scrName, "RssAddresses", kSettingNotSet);
  if (s.FeedListSetting != kSettingNotSet) s.UserFeedList = s.FeedListSetting;
  else s.UserFeedList.reset();
  // Present but not readable: too long for the reader's buffer.
  std::string stored;
  const std::string listKey = a.SettingsBaseKey() + scrName;
  s.FeedListUnreadable = !a.store().ReadText(listKey, "RssAddresses", kMaxSettingBytes, stored) &&
                         a.store().HasValue(listKey, "RssAddresses");
  s.UseRss = a.GetSettingInt(scrName, "UseRss", 1);
  s.MuteSound = a.GetSettingInt(scrName, "bMuteSound", 0);
}

void WriteSettings(SettingsAccess& a, const std::string& scrName, const UserSettings& s) {
  a.PutSettingInt(kPrefsSection, "bUseProxy", s.UseProxy);
  a.PutSettingInt(kPrefsSection, "bUseProxyAuthentication", s.UseProxyAuthentication);
  a.PutSettingInt(kPrefsSection, "ProxyPort", s.ProxyPort);
  a.PutSettingString(kPrefsSection, "ProxyAddress", s.ProxyAddress);
  a.PutSettingString(kPrefsSection, "ProxyAuthenticationLogin", s.ProxyLogin);
  a.PutSettingString(kPrefsSection, "ProxyAuthenticationPassword", s.ProxyPassword);
  // A list that could not be read is not replaced by the not-set marker.
  if (!(s.FeedListUnreadable && s.FeedListSetting == kSettingNotSet))
    a.PutSettingString(scrName, "RssAddresses", s.FeedListSetting);
  a.PutSettingInt(scrName, "UseRss", s.UseRss);
  a.PutSettingInt(scrName, "bMuteSound", s.MuteSound);
}

void ReadSystemProxy(SettingsStore& store, UserSettings& s) {
  std::string text;
  ProxyServer proxy;
  if (store.ReadText(kInternetSettingsKey, "ProxyServer", kMaxSettingBytes, text)) proxy = ParseProxyServer(text);
  s.ProxyAddress = CutAnsiText(proxy.address, kMaxProxyAddress);
  s.ProxyPort = proxy.port;
  // Without a readable "ProxyEnable" the system uses no proxy, and neither do we.
  uint32_t enable = 0;
  s.UseProxy = store.ReadDword(kInternetSettingsKey, "ProxyEnable", enable) ? static_cast<int>(enable) : 0;
}

int ReadLanguageOverride(SettingsStore& store, const std::string& company, const std::string& scrName) {
  if (company.empty()) return 0;
  std::string text;
  if (!store.ReadText("SOFTWARE\\" + company + "\\" + scrName, "AppLanguage", kMaxLanguageOverrideBytes, text))
    return 0;
  return DecimalPrefix(text);
}

ProxyServer ParseProxyServer(std::string_view text) {
  ProxyServer out;
  text = Trim(text);
  if (text.empty()) return out;
  std::string_view rest = text;
  for (int i = 0; i < 5 && !rest.empty(); ++i) {
    const size_t semicolon = rest.find(';');
    const std::string_view entry = rest.substr(0, semicolon);
    const size_t equals = entry.find('=');
    if (entry.substr(0, equals) == "http") {
      SplitHostPort(equals == std::string_view::npos ? std::string_view() : entry.substr(equals + 1), out);
      return out;
    }
    if (semicolon == std::string_view::npos) break;
    rest.remove_prefix(semicolon + 1);
  }
  SplitHostPort(text, out);
  return out;
}

}  // namespace qv
