// The feed thread's loop over the address list, with the fetching behind a small
// interface: the runtime's fetcher tries the local file and the network routes, the
// tests' returns prepared texts.
#pragma once
#include <string>
#include <string_view>

#include "feed/thread_data.h"

namespace qv {

class FeedFetcher {
 public:
  virtual ~FeedFetcher() = default;
  // The raw bytes of one feed; empty on failure or when the feed exceeds kMaxFeedBytes.
  virtual std::string FetchFeedText(const std::string& address) = 0;
};

// Fetches, decodes and parses one feed into channel. False when nothing was fetched or
// the parse failed (a feed over kMaxFeedBytes counts as nothing fetched).
bool FetchAndParseFeed(FeedFetcher& fetcher, const std::string& address, CRssChannel& channel);

// The thread routine's work: every address of the record in turn into its channel; then
// delivered = 1 when the channel holds items, and finished = 1 whatever happened. The
// flags are written with release order after the last write to the channel.
void RunFeedLoop(CThreadData& record, FeedFetcher& fetcher);

}  // namespace qv
