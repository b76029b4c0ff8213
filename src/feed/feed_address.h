// Feed addresses: which are network addresses, how the socket route splits them, the
// ';'-separated list, and when a run fetches feeds at all.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// At most this many addresses are taken from a list; one address is at most this long.
inline constexpr size_t kMaxFeedAddresses = 32;
inline constexpr size_t kMaxFeedAddressLength = 16383;

// "http://", "https://", "ftp://" (any case), "ftp." and "www." mark a network address;
// anything else names a local file.
bool IsNetworkAddress(std::string_view address);

// Whether a drive letter names a drive the system reports as local (fixed, removable,
// optical or RAM); a remote or unknown drive is not.
using DriveIsLocalFn = bool (*)(char driveLetter);

// A feed that is not a network address must be a file on a local drive: "X:\..." (or
// "X:/...") with a drive letter that driveIsLocal accepts. Refused: UNC paths and their
// other spellings ("\\host\share", "//host/share", "\\host@80\..."), the device and
// long-path forms ("\\.\", "\\?\"), relative and drive-relative paths ("f.xml",
// "\f.xml", "C:f.xml"), and names of devices ("CON", "COM1", "LPT1", ... in any folder):
// opening any of them may reach another machine with the user's credentials, or a device.
bool IsLocalFeedPath(std::string_view path, DriveIsLocalFn driveIsLocal);

// What the fetcher does with one address: the network routes, a local file, or nothing.
enum class FeedSource { Network, LocalFile, Refused };
FeedSource FeedSourceOf(std::string_view address, DriveIsLocalFn driveIsLocal);

// The pieces of a ';'-separated list, in order; empty pieces stay (they fetch nothing).
// Pieces beyond kMaxFeedAddresses are dropped; a piece longer than kMaxFeedAddressLength
// becomes empty rather than a cut, different address.
std::vector<std::string> SplitFeedAddresses(std::string_view list);

// What the socket route asks for: host, port and path (without its leading '/').
struct HttpTarget {
  std::string host;
  int port = 80;
  std::string path;
};

// The socket route's target of a network address: "http://" (any case) is dropped, as
// are addresses without a scheme ("www.", "ftp."), which are asked for over HTTP. None
// for "https://" (the route speaks no TLS), "ftp://", an address without a '/' after the
// host, an empty host, a host holding anything but letters, digits, '-', '.' and '_',
// or a bad ":port".
std::optional<HttpTarget> SocketTarget(std::string_view address);

// The run fetches feeds only in full screen, with the user's feed switch on and a
// non-empty feed list in the package. The list fetched is the user's own when the
// settings hold one, otherwise the package's. None: no feed thread.
std::optional<std::string> FeedAddressesToFetch(bool fullScreen, bool feedSwitchOn,
                                                const std::optional<std::string>& packageList,
                                                const std::optional<std::string>& userList);

// RFC 4648 Base64 of a byte string: standard alphabet, '=' padding, no line breaks.
std::string Base64Coder(std::string_view bytes);

}  // namespace qv
