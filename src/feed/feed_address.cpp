#include "feed/feed_address.h"

#include <cstdint>

#include "feed/ascii_text.h"

namespace qv {

namespace {

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension: the system opens the
// device whatever folder the name stands in.
bool IsDeviceName(std::string_view component) {
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  for (std::string_view name : {"con", "prn", "aux", "nul"})
    if (EqualsNoCase(base, name)) return true;
  return base.size() == 4 && (StartsWithNoCase(base, "com") || StartsWithNoCase(base, "lpt")) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

bool IsLocalFeedPath(std::string_view path, DriveIsLocalFn driveIsLocal) {
  if (path.size() < 4) return false;  // "X:\" and at least one character of a name
  const char drive = path[0];
  const bool letter = (drive >= 'a' && drive <= 'z') || (drive >= 'A' && drive <= 'Z');
  if (!letter || path[1] != ':' || !IsSeparator(path[2])) return false;
  size_t start = 3;
  while (start <= path.size()) {
    size_t stop = start;
    while (stop < path.size() && !IsSeparator(path[stop])) ++stop;
    if (IsDeviceName(path.substr(start, stop - start))) return false;
    start = stop + 1;
  }
  return driveIsLocal && driveIsLocal(drive);
}

FeedSource FeedSourceOf(std::string_view address, DriveIsLocalFn driveIsLocal) {
  if (IsNetworkAddress(address)) return FeedSource::Network;
  return IsLocalFeedPath(address, driveIsLocal) ? FeedSource::LocalFile : FeedSource::Refused;
}

bool IsNetworkAddress(std::string_view a) {
  return StartsWithNoCase(a, "http://") || StartsWithNoCase(a, "https://") ||
         StartsWithNoCase(a, "ftp://") || StartsWithNoCase(a, "ftp.") || StartsWithNoCase(a, "www.");
}

std::vector<std::string> SplitFeedAddresses(std::string_view list) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (pieces.size() < kMaxFeedAddresses) {
    const size_t semi = list.find(';', start);
    const std::string_view piece =
        list.substr(start, semi == std::string_view::npos ? std::string_view::npos : semi - start);
    pieces.emplace_back(piece.size() > kMaxFeedAddressLength ? std::string_view() : piece);
    if (semi == std::string_view::npos) break;
    start = semi + 1;
  }
  return pieces;
}

std::optional<HttpTarget> SocketTarget(std::string_view address) {
  std::string_view rest;
  if (StartsWithNoCase(address, "http://")) rest = address.substr(7);
  else if (StartsWithNoCase(address, "www.") || StartsWithNoCase(address, "ftp.")) rest = address;
  else return std::nullopt;
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  std::string_view host = rest.substr(0, slash);
  HttpTarget target;
  const size_t colon = host.find(':');
  if (colon != std::string_view::npos) {
    const std::string_view port = host.substr(colon + 1);
    if (port.empty() || port.size() > 5) return std::nullopt;
    int value = 0;
    for (char c : port) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return std::nullopt;
    target.port = value;
    host = host.substr(0, colon);
  }
  if (host.empty()) return std::nullopt;
  for (char c : host)
    if (!IsHostCharacter(c)) return std::nullopt;
  target.host = std::string(host);
  target.path = std::string(rest.substr(slash + 1));
  return target;
}

std::optional<std::string> FeedAddressesToFetch(bool fullScreen, bool feedSwitchOn,
                                                const std::optional<std::string>& packageList,
                                                const std::optional<std::string>& userList) {
  if (!fullScreen || !feedSwitchOn || !packageList || packageList->empty()) return std::nullopt;
  if (userList && !userList->empty()) return *userList;
  return *packageList;
}

std::string Base64Coder(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = static_cast<uint8_t>(bytes[i]) << 16 | static_cast<uint8_t>(bytes[i + 1]) << 8 |
                       static_cast<uint8_t>(bytes[i + 2]);
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  const size_t left = bytes.size() - i;
  if (left > 0) {
    uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
    if (left == 2) v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    out.push_back(kAlphabet[v >> 18]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(left == 2 ? kAlphabet[(v >> 6) & 63] : '=');
    out.push_back('=');
  }
  return out;
}

}  // namespace qv
