// The feed thread's loop over the address list, with the fetching behind a small
// interface: the runtime's fetcher tries the local file and the network routes, the
// tests' returns prepared texts.
#pragma once
#include <string>
#include <string_view>

#include "feed/feed_session.h"

namespace qv {

class FeedFetcher {
 public:
  virtual ~FeedFetcher() = default;
  // The raw bytes of one feed; empty on failure or when the feed exceeds kMaxFeedBytes.
  virtual std::string FetchFeedText(const std::string& address) = 0;
};

// Fetches, decodes (into the code page of toAnsi) and parses one feed into channel.
// False when nothing was fetched or the parse failed (a feed over kMaxFeedBytes counts as
// nothing fetched). Once cancel is set nothing is fetched, and a text that arrives after
// it is not parsed.
bool FetchAndParseFeed(FeedFetcher& fetcher, const std::string& address, CRssChannel& channel,
                       Utf16ToAnsiFn toAnsi, const FeedCancel* cancel = nullptr);

// The thread routine's work: every address of the session's record in turn into its
// channel; then delivered = 1 when the channel holds items, and finished = 1 whatever
// happened. The flags are written with release order after the last write to the
// channel. Once the session is cancelled no further address is fetched nor parsed, and
// nothing is delivered.
void RunFeedLoop(FeedSession& session, FeedFetcher& fetcher);

}  // namespace qv
