// The user's settings: the proxy shared by every saver of this runtime, and each saver's
// own feed list, feed switch and sound mute; plus the read-only language override.
#pragma once
#include <optional>
#include <string>

#include "settings/settings_store.h"

namespace qv {

inline constexpr char kSettingNotSet[] = "@@@";
inline constexpr char kSettingsBaseKey[] = "SOFTWARE\\Quorvex\\Compiled ScreenSaver\\";
inline constexpr char kPrefsSection[] = "prefs";
inline constexpr char kInternetSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline constexpr size_t kMaxProxyAddress = 128;
inline constexpr size_t kMaxProxyCredential = 64;
// The longest feed list ("a;b;c") that reads back: the reader's buffer.
inline constexpr size_t kMaxFeedListBytes = kMaxSettingBytes;

struct UserSettings {
  int UseProxy = 0;
  int UseProxyAuthentication = 0;
  int ProxyPort = 0;
  std::string ProxyAddress;
  std::string ProxyLogin;
  std::string ProxyPassword;
  std::optional<std::string> UserFeedList;  // replaces the package's FeedAddresses
  std::string FeedListSetting = kSettingNotSet;
  // A stored "RssAddresses" that could not be read (longer than the reader takes): it
  // reads as not set, and is kept when the settings are written back unchanged.
  bool FeedListUnreadable = false;
  int UseRss = 1;
  int MuteSound = 0;
};

// A decimal prefix: optional blanks and sign, then digits; 0 when there are none.
// Saturates instead of overflowing.
int DecimalPrefix(std::string_view text);

// Reads and writes under SettingsBaseKey + section.
class SettingsAccess {
 public:
  explicit SettingsAccess(SettingsStore& store) : m_store(store) {}

  int GetSettingInt(const std::string& section, const std::string& name, int defaultValue);
  std::string GetSettingString(const std::string& section, const std::string& name,
                               const std::string& defaultValue);
  bool PutSettingInt(const std::string& section, const std::string& name, int value);
  bool PutSettingString(const std::string& section, const std::string& name, const std::string& value);

  const std::string& SettingsBaseKey();  // filled on first use
  SettingsStore& store() { return m_store; }

 private:
  SettingsStore& m_store;
  std::string m_strBaseKey;
};

// Called after a successful header read with the saver's name.
void ReadSettings(SettingsAccess& access, const std::string& scrName, UserSettings& s);
// Called when the configuration dialog's OK is pressed.
void WriteSettings(SettingsAccess& access, const std::string& scrName, const UserSettings& s);
// The system's proxy: "ProxyServer" and "ProxyEnable" of the Internet settings.
void ReadSystemProxy(SettingsStore& store, UserSettings& s);
// "AppLanguage" under "SOFTWARE\" + company + "\" + scrName: the language code it names,
// or 0 when absent, not a number, zero or too long.
int ReadLanguageOverride(SettingsStore& store, const std::string& company, const std::string& scrName);

// The system's proxy text ("host:port" or "http=host:port;https=...") split into
// address and port.
struct ProxyServer {
  std::string address;
  int port = 0;
};
ProxyServer ParseProxyServer(std::string_view text);

}  // namespace qv
