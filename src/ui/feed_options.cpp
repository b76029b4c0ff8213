#include "ui/feed_options.h"

#include <algorithm>
#include <climits>

#include "settings/ansi_cut.h"

namespace qv {

FeedOptionsEnabling FeedOptionsEnablingRule(bool proxyChecked, bool authenticationChecked, bool listEditable) {
  FeedOptionsEnabling e;
  e.proxyFields = proxyChecked;
  e.credentials = proxyChecked && authenticationChecked;
  e.addressList = listEditable;
  return e;
}

std::string FeedListToEditText(std::string_view list) {
  std::string out;
  out.reserve(list.size() + list.size() / 8);
  for (const char c : list) {
    if (c == ';')
      out += "\r\n";
    else
      out += c;
  }
  return out;
}

std::string EditTextToFeedList(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      out += ';';
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += c;
    }
  }
  return out;
}

FeedOptionsValues FeedOptionsFromSettings(const UserSettings& s, const std::optional<std::string>& packageList,
                                          bool listEditable) {
  FeedOptionsValues v;
  v.UseRss = s.UseRss;
  v.UseProxy = s.UseProxy;
  v.UseProxyAuthentication = s.UseProxyAuthentication;
  v.ProxyAddress = s.ProxyAddress;
  v.ProxyPort = s.ProxyPort;
  v.ProxyLogin = s.ProxyLogin;
  v.ProxyPassword = s.ProxyPassword;
  v.ListEditable = listEditable;
  v.ShowsUserList = s.FeedListSetting != kSettingNotSet;
  v.AddressList = FeedListToEditText(v.ShowsUserList ? s.FeedListSetting : packageList.value_or(std::string()));
  return v;
}

namespace {

// The list OK stores: the user's list, or the package's once the user changed it; none
// when the package's list is left as it was.
std::optional<std::string> FeedListToStore(const FeedOptionsValues& v, const std::optional<std::string>& packageList) {
  std::string list = EditTextToFeedList(v.AddressList);
  if (v.ShowsUserList || list != packageList.value_or(std::string())) return list;
  return std::nullopt;
}

}  // namespace

FeedOptionsProblem CheckFeedOptions(const FeedOptionsValues& v, const std::optional<std::string>& packageList) {
  const std::optional<std::string> list = FeedListToStore(v, packageList);
  if (list && list->size() > kMaxFeedListBytes) return FeedOptionsProblem::ListTooLong;
  // A stored port of 0 is normal while the proxy is off; only a used proxy needs a port.
  if (v.UseProxy && (v.ProxyPort < 1 || v.ProxyPort > 65535)) return FeedOptionsProblem::PortOutOfRange;
  return FeedOptionsProblem::None;
}

void TakeFeedOptions(const FeedOptionsValues& v, const std::optional<std::string>& packageList, UserSettings& s) {
  s.UseProxy = v.UseProxy;
  s.UseProxyAuthentication = v.UseProxyAuthentication;
  s.ProxyAddress = CutAnsiText(v.ProxyAddress, kMaxProxyAddress);
  s.ProxyPort = v.ProxyPort;
  s.ProxyLogin = CutAnsiText(v.ProxyLogin, kMaxProxyCredential);
  s.ProxyPassword = CutAnsiText(v.ProxyPassword, kMaxProxyCredential);
  s.UseRss = v.UseRss;
  if (std::optional<std::string> list = FeedListToStore(v, packageList)) {
    s.FeedListSetting = *list;
    s.UserFeedList = std::move(list);
  }
}

std::optional<int> ParseDialogInt(std::string_view text) {
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  skipBlanks();
  const size_t first = i;
  // The C library's conversion skips any white space and takes a sign.
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const size_t digitsStart = i;
  long long value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    if (value <= static_cast<long long>(INT_MAX) + 1) value = value * 10 + (text[i] - '0');
    ++i;
  }
  if (i == digitsStart) i = first;  // nothing converted: the text is left where it was
  if (negative) value = -value;
  value = std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, value));
  // A zero counts only when the text really starts with one ("-0" and "+0" do not).
  if (value == 0 && (first >= text.size() || text[first] != '0')) return std::nullopt;
  skipBlanks();
  if (i != text.size()) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace qv
