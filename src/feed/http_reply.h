// The socket route's HTTP: the request bytes and the reading of the reply. A request is
// "GET /path HTTP/1.0" with Host and Connection: close (through a proxy, the absolute
// address and the proxy's authorisation); a reply yields its body only for a 2xx status,
// with plain, length-bounded or chunked bodies, and every size capped.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "feed/feed_address.h"

namespace qv {

// The most text one feed may have; a longer feed is dropped, not cut.
inline constexpr uint64_t kMaxFeedBytes = 8ull << 20;
// Status line and headers together.
inline constexpr size_t kMaxReplyHeaderBytes = 64u << 10;
// An encoded path longer than this is not sent.
inline constexpr size_t kMaxRequestPath = 1023;

struct HttpProxy {
  bool use = false;
  std::string address;
  int port = 0;
  bool authenticate = false;
  std::string login;
  std::string password;
};

// Percent-encodes what may not stand in a request line: blanks, control characters,
// '%'-free bytes 0x7F and above. Everything else is kept, so the server sees the path it
// was given. None when the result is longer than kMaxRequestPath.
std::optional<std::string> EncodeRequestPath(std::string_view path);

// The request for target (see SocketTarget), directly or through the proxy. None when
// the path is too long or a proxy credential holds a line break.
std::optional<std::string> BuildHttpRequest(const HttpTarget& target, const HttpProxy& proxy);

// Reads a reply as it arrives. Feed each received piece; once Done, Body() is the
// entity. Failed on a non-2xx status, a malformed reply or one beyond the caps.
class HttpReplyParser {
 public:
  enum class State { Status, Headers, Body, ChunkSize, ChunkData, ChunkEnd, Trailer, Done, Failed };

  explicit HttpReplyParser(uint64_t maxBody = kMaxFeedBytes) : m_maxBody(maxBody) {}

  // Takes the next bytes; returns the state after them (Done or Failed: stop reading).
  State Feed(std::string_view bytes);
  // The connection closed: a body without a length ends here; anything else incomplete
  // fails.
  State Finish();

  State GetState() const { return m_state; }
  int StatusCode() const { return m_nStatus; }
  const std::string& Body() const { return m_body; }
  std::string TakeBody() { return std::move(m_body); }

 private:
  bool TakeLine(std::string_view& bytes, std::string& line);
  bool HeaderLine(const std::string& line);
  bool Append(std::string_view bytes);
  State Fail() { return m_state = State::Failed; }

  State m_state = State::Status;
  uint64_t m_maxBody;
  std::string m_line;            // a line still being received
  size_t m_headerBytes = 0;      // status line, headers and trailer
  uint64_t m_framingBytes = 0;   // chunk-size lines and chunk ends
  int m_nStatus = 0;
  bool m_bChunked = false;
  std::optional<uint64_t> m_contentLength;
  uint64_t m_chunkLeft = 0;
  std::string m_body;
};

}  // namespace qv
