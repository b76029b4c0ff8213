// The feed options dialog's values and rules, apart from its controls: what it shows
// from the user's settings, what OK takes back, which controls are enabled, and how the
// port text is read.
#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "settings/user_settings.h"

namespace qv {

// Values exchanged with the dialog's controls.
struct FeedOptionsValues {
  int UseRss = 1;               // 5594
  std::string AddressList;      // 5595, one address per line (CR LF)
  int UseProxy = 0;             // 1123
  std::string ProxyAddress;     // 1126
  int ProxyPort = 0;            // 1129
  int UseProxyAuthentication = 0;  // 1201
  std::string ProxyLogin;       // 1162
  std::string ProxyPassword;    // 1161
  bool ListEditable = false;    // set by the caller; no control
  bool ShowsUserList = false;   // the list came from the user's setting, not the package
};

struct FeedOptionsEnabling {
  bool proxyFields = false;  // 5593, 1119, 1126, 1129 and the authentication box 1201
  bool credentials = false;  // 1140, 1170, 1162, 1161
  bool addressList = false;  // 5596, 5595
};

// Applied when the dialog opens and on each click of the proxy or authentication box.
FeedOptionsEnabling FeedOptionsEnablingRule(bool proxyChecked, bool authenticationChecked, bool listEditable);

// A stored list ("a;b") as edit text ("a\r\nb"), and back. Line breaks typed or pasted as
// a lone CR or LF count as breaks too.
std::string FeedListToEditText(std::string_view list);
std::string EditTextToFeedList(std::string_view text);

// The dialog's values from the settings: the user's stored list when there is one,
// otherwise the package's.
FeedOptionsValues FeedOptionsFromSettings(const UserSettings& s, const std::optional<std::string>& packageList,
                                          bool listEditable);
// After OK: the values back into the settings, texts cut to their limits. The package's
// list becomes the user's setting only when the user changed it.
void TakeFeedOptions(const FeedOptionsValues& v, const std::optional<std::string>& packageList, UserSettings& s);

// Why OK cannot take the values; the dialog says so and stays open.
enum class FeedOptionsProblem {
  None,
  ListTooLong,     // the list to store would not read back (more than kMaxFeedListBytes)
  PortOutOfRange,  // the proxy is on and its port is not 1..65535
};
FeedOptionsProblem CheckFeedOptions(const FeedOptionsValues& v, const std::optional<std::string>& packageList);

// An integer edit read as the dialog framework's integer exchange reads it: blanks around
// an optionally signed decimal number and nothing else; none when that fails (the user
// is asked again). Out-of-range numbers saturate at the 32-bit limits.
std::optional<int> ParseDialogInt(std::string_view text);

}  // namespace qv
