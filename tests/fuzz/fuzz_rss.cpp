// Raw feed bytes through the whole pipeline the feed thread runs: the encoding decode,
// the character references, the channel and item scan, under the feed and item caps.
// The last byte picks how many times the same text is parsed into one channel, so the
// accumulation over several feeds and the item cap are reached too. What the channel
// holds must stay within its stated bound of the texts parsed into it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "feed/feed_text.h"
#include "feed/http_reply.h"
#include "feed/rss.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace qv;
  if (size > kMaxFeedBytes) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CRssChannel channel;
  const int feeds = size ? 1 + data[size - 1] % 3 : 1;
  const std::string text = DecodeCharacterReferences(DecodeFeedBytes(bytes));
  for (int i = 0; i < feeds; ++i) channel.Parse(text);
  if (channel.GetItemCount() > static_cast<int>(kMaxFeedItems)) __builtin_trap();
  const size_t bound = ChannelMemoryBound(text.size() * static_cast<size_t>(feeds),
                                          static_cast<size_t>(channel.GetItemCount()));
  if (channel.HeldBytes() > bound) __builtin_trap();
  for (int i = 0; i < channel.GetItemCount(); ++i) {
    const CRssItem* item = channel.GetItem(i);
    if (!item) __builtin_trap();
    (void)ItemAddress(*item);
  }
  return 0;
}
