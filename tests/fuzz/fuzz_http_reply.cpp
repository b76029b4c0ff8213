// Replies of a server as the socket route receives them: the first byte chooses the
// piece size the bytes arrive in (1 to 256, as a slow or fragmenting server would send
// them), the rest is the reply. A small body cap makes the cap paths reachable.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "feed/http_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qv;
  if (size == 0) return 0;
  const size_t piece = 1 + data[0];
  const std::string_view reply(reinterpret_cast<const char*>(data + 1), size - 1);
  for (const uint64_t cap : {uint64_t{4096}, kMaxFeedBytes}) {
    HttpReplyParser parser(cap);
    for (size_t at = 0; at < reply.size(); at += piece) {
      const auto s = parser.Feed(reply.substr(at, piece));
      if (s == HttpReplyParser::State::Done || s == HttpReplyParser::State::Failed) break;
    }
    if (parser.Finish() == HttpReplyParser::State::Done) {
      if (parser.Body().size() > cap) __builtin_trap();
      if (parser.StatusCode() < 200 || parser.StatusCode() > 299) __builtin_trap();
    }
  }
  return 0;
}
