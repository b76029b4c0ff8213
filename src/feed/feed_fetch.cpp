#include "feed/feed_fetch.h"

#include "feed/feed_address.h"
#include "feed/feed_text.h"
#include "feed/http_reply.h"
#include "feed/rss.h"

namespace qv {

bool FetchAndParseFeed(FeedFetcher& fetcher, const std::string& address, CRssChannel& channel,
                       Utf16ToAnsiFn toAnsi, const FeedCancel* cancel) {
  if (address.empty() || (cancel && cancel->Cancelled())) return false;
  std::string text = fetcher.FetchFeedText(address);
  if (text.empty() || text.size() > kMaxFeedBytes || (cancel && cancel->Cancelled())) return false;
  // Each stage's input is let go before the next, so at most two texts are held at once.
  text = DecodeFeedBytes(text, toAnsi);
  text = DecodeCharacterReferences(text, toAnsi);
  return channel.Parse(text);
}

void RunFeedLoop(FeedSession& session, FeedFetcher& fetcher) {
  CThreadData& record = session.record;
  const FeedCancel& cancel = session.cancel;
  record.m_nDelivered.store(0, std::memory_order_relaxed);
  record.m_nFinished.store(0, std::memory_order_relaxed);
  CRssChannel* channel = record.m_pChannel;
  const std::string& list = record.m_strAddresses;
  const auto fetchOne = [&](const std::string& address) {
    return FetchAndParseFeed(fetcher, address, *channel, session.toAnsi, &cancel) && !cancel.Cancelled();
  };
  bool delivered = false;
  // Anything thrown (memory running out above all) ends the loop with nothing delivered;
  // the channel, perhaps half filled, is then never shown.
  try {
    if (channel && !list.empty()) {
      if (list.find(';') == std::string::npos) {
        delivered = list.size() <= kMaxFeedAddressLength && fetchOne(list);
      } else {
        for (const std::string& piece : SplitFeedAddresses(list)) {
          if (cancel.Cancelled()) break;
          fetchOne(piece);
        }
        delivered = !cancel.Cancelled() && channel->GetItemCount() > 0;
      }
    }
  } catch (...) {
    delivered = false;
  }
  if (delivered) record.m_nDelivered.store(1, std::memory_order_release);
  record.m_nFinished.store(1, std::memory_order_release);
}

}  // namespace qv
