#include "feed/feed_fetch.h"

#include "feed/feed_address.h"
#include "feed/feed_text.h"
#include "feed/http_reply.h"
#include "feed/rss.h"

namespace qv {

bool FetchAndParseFeed(FeedFetcher& fetcher, const std::string& address, CRssChannel& channel) {
  if (address.empty()) return false;
  std::string text = fetcher.FetchFeedText(address);
  if (text.empty() || text.size() > kMaxFeedBytes) return false;
  // Each stage's input is let go before the next, so at most two texts are held at once.
  text = DecodeFeedBytes(text);
  text = DecodeCharacterReferences(text);
  return channel.Parse(text);
}

void RunFeedLoop(CThreadData& record, FeedFetcher& fetcher) {
  record.m_nDelivered.store(0, std::memory_order_relaxed);
  record.m_nFinished.store(0, std::memory_order_relaxed);
  CRssChannel* channel = record.m_pChannel;
  const std::string& list = record.m_strAddresses;
  bool delivered = false;
  // Anything thrown (memory running out above all) ends the loop with nothing delivered;
  // the channel, perhaps half filled, is then never shown.
  try {
    if (channel && !list.empty()) {
      if (list.find(';') == std::string::npos) {
        delivered = list.size() <= kMaxFeedAddressLength && FetchAndParseFeed(fetcher, list, *channel);
      } else {
        for (const std::string& piece : SplitFeedAddresses(list)) FetchAndParseFeed(fetcher, piece, *channel);
        delivered = channel->GetItemCount() > 0;
      }
    }
  } catch (...) {
    delivered = false;
  }
  if (delivered) record.m_nDelivered.store(1, std::memory_order_release);
  record.m_nFinished.store(1, std::memory_order_release);
}

}  // namespace qv
