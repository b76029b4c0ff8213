#include "feed/rss.h"

#include <gtest/gtest.h>

using namespace qv;

namespace {
std::string Feed(std::string_view title, std::string_view items) {
  std::string s = "<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>";
  s.append(title).append("</title><link>http://x/</link><description>d</description>");
  s.append(items).append("</channel></rss>");
  return s;
}
CRssItem ItemOf(std::string_view body) {
  CRssItem item;
  item.Parse(body);
  return item;
}
}  // namespace

TEST(RssScan, DatesWithTwoAndOneDigitDays) {
  EXPECT_EQ(ItemOf("<pubDate>Tue, 10 Jun 2003 04:00:00 GMT</pubDate>").m_strDate, "June 10, 2003");
  EXPECT_EQ(ItemOf("<pubDate>Wed, 4 Jun 2003 04:00:00 GMT</pubDate>").m_strDate, "June 4, 2003");
  EXPECT_EQ(ItemOf("<title>t</title>").m_strDate, "");
  // Unknown month names are kept; short or odd dates never read past the text.
  EXPECT_EQ(FormatRssDate("10 Foo 2003"), "Foo 10, 2003");
  EXPECT_EQ(FormatRssDate("10 Jun"), "June 0, ");
  EXPECT_EQ(FormatRssDate(""), " , ");
  EXPECT_EQ(ItemOf("<pubDate>Tue</pubDate>").m_strDate, " , ");
}

TEST(RssScan, MarkupIsCleaned) {
  EXPECT_EQ(ItemOf("<title><![CDATA[Hello <b>world</b>]]></title>").m_strTitle, "Hello world");
  EXPECT_EQ(CleanMarkup("<p>One</p><p>Two</p>"), "One\r\nTwo\r\n");
  EXPECT_EQ(CleanMarkup("a<br/>b<BR>c\r\nd"), "a\r\nb\r\ncd");
  EXPECT_EQ(CleanMarkup("<![cdata[x]]>"), "x");
  // Tags of other letters stay as text; an unclosed tag runs to the end.
  EXPECT_EQ(CleanMarkup("<div>x</div><em>y"), "<div>x<em>y");
  EXPECT_EQ(CleanMarkup("1 < 2 <a href=\"u\">link"), "1 < 2 link");
  EXPECT_EQ(CleanMarkup("text<span"), "text");
  EXPECT_EQ(CleanMarkup("<"), "<");
}

TEST(RssScan, ItemFields) {
  const CRssItem item = ItemOf(
      "<title>T</title><link>http://l/</link><guid isPermaLink=\"false\">g</guid>"
      "<author>a@b (A)</author>");
  EXPECT_EQ(item.m_strGuid, "");  // an element with attributes is not found
  EXPECT_EQ(item.m_strLink, "http://l/");
  EXPECT_EQ(item.m_strAuthor, "a@b (A)");
  EXPECT_EQ(item.m_strAuthorDisplay, item.m_strAuthor);
  EXPECT_EQ(item.m_strDescription, "No description.");
  EXPECT_EQ(ItemOf("<description></description>").m_strDescription, "No description.");
  EXPECT_EQ(ItemAddress(item), "http://l/");
  EXPECT_EQ(ItemAddress(ItemOf("<guid>http://g/</guid>")), "http://g/");
}

TEST(RssScan, CharacterReferences) {
  EXPECT_EQ(DecodeCharacterReferences("&#x41;&#65;&amp;#65;"), "AAA");
  EXPECT_EQ(DecodeCharacterReferences("&lt;b&gt; &apos;&quot; &amp;amp;"), "<b> '\" &amp;");
  EXPECT_EQ(DecodeCharacterReferences("&nbsp;&copy;&"), "&nbsp;&copy;&");
  // The Windows-1252 byte of U+00E9 and U+20AC; the default character for U+03A9.
  EXPECT_EQ(DecodeCharacterReferences("&#233;&#x20AC;&#937;"), "\xE9\x80?");
  EXPECT_EQ(DecodeCharacterReferences("&#x20ac;&#x4a;&#xe9;&#xfF;"), "\x80J\xE9\xFF");
  // Truncated or overlong references stay inside the text; character 0 is dropped.
  EXPECT_EQ(DecodeCharacterReferences("x&#6"), "x\x06");
  EXPECT_EQ(DecodeCharacterReferences("&#0;z"), "z");
  EXPECT_EQ(DecodeCharacterReferences("&#12345678901234;y"), DecodeCharacterReferences("&#123456789") + "1234;y");
  EXPECT_EQ(DecodeCharacterReferences("&#"), "");
}

TEST(RssScan, ExtractElement) {
  size_t end = 0;
  EXPECT_EQ(ExtractElement("<a>x</a>rest", "a", &end), "x");
  EXPECT_EQ(end, 8u);
  EXPECT_EQ(ExtractElement("</a><a>x", "a", &end), "");  // the closing tag comes first
  EXPECT_EQ(ExtractElement("<a>x", "a"), "");
  EXPECT_EQ(ExtractElement("<A>x</A>", "a"), "");
}

TEST(RssChannel, FeedsAccumulateInFetchOrder) {
  CRssChannel channel;
  ASSERT_TRUE(channel.Parse(Feed("First", "<item><title>1a</title></item><item><title>1b</title></item>")));
  ASSERT_TRUE(channel.Parse(Feed("Second", "<item><title>2a</title></item>")));
  ASSERT_EQ(channel.GetItemCount(), 3);
  EXPECT_EQ(channel.m_strTitle, "Second");
  EXPECT_EQ(channel.GetItem(0)->m_strTitle, "1a");
  EXPECT_EQ(channel.GetItem(0)->FeedTitle(), "First");
  EXPECT_EQ(channel.GetItem(2)->m_strTitle, "2a");
  EXPECT_EQ(channel.GetItem(2)->FeedTitle(), "Second");
  EXPECT_EQ(channel.GetItem(3), nullptr);
  EXPECT_EQ(channel.GetItem(-1), nullptr);
}

TEST(RssChannel, FeedWithoutItemsSucceedsOnlyAfterOthers) {
  CRssChannel empty;
  EXPECT_FALSE(empty.Parse(Feed("Lonely", "")));
  EXPECT_EQ(empty.m_strTitle, "Lonely");
  CRssChannel channel;
  ASSERT_TRUE(channel.Parse(Feed("A", "<item><title>x</title></item>")));
  EXPECT_TRUE(channel.Parse(Feed("B", "")));
  EXPECT_EQ(channel.GetItemCount(), 1);
}

TEST(RssChannel, RejectsWhatIsNotRss) {
  CRssChannel channel;
  EXPECT_FALSE(channel.Parse("<rss><channel><title>t</title><item><title>x</title></item></channel></rss>"));
  EXPECT_FALSE(channel.Parse("<rss version=\"2.0\"><channel><title>t</title><item>x</item></channel>"));
  EXPECT_FALSE(channel.Parse("<rss version=\"2.0\"></rss>"));
  EXPECT_FALSE(channel.Parse(Feed("", "<item><title>x</title></item>")));
  EXPECT_EQ(channel.GetItemCount(), 0);  // an untitled channel adds nothing
  EXPECT_TRUE(channel.Parse("<RSS x><channel><title>t</title><item>x</item></channel></RSS>"));
  // An empty item ends the list, as the scan has always done.
  CRssChannel stops;
  EXPECT_FALSE(stops.Parse(Feed("t", "<item></item><item><title>x</title></item>")));
}

TEST(RssChannel, KeepsAtMostTheItemCap) {
  std::string items;
  for (int i = 0; i < 600; ++i) items += "<item><title>" + std::to_string(i) + "</title></item>";
  CRssChannel channel;
  ASSERT_TRUE(channel.Parse(Feed("Many", items)));
  EXPECT_EQ(channel.GetItemCount(), static_cast<int>(kMaxFeedItems));
  EXPECT_TRUE(channel.Parse(Feed("More", "<item><title>late</title></item>")));
  EXPECT_EQ(channel.GetItemCount(), static_cast<int>(kMaxFeedItems));
  EXPECT_EQ(channel.GetItem(499)->m_strTitle, "499");
}

// What the channel holds stays within a small multiple of the text: a 7 MiB channel title
// (under the feed cap) is held once, not once per item (3.5 GB over 500 items: a
// bad_alloc in a 32-bit process), and elements nested into each other cost at most the
// stated factor. Past the items' budget further items are skipped.
TEST(RssChannel, MemoryStaysWithinItsBound) {
  std::string items;
  for (int i = 0; i < 500; ++i) items += "<item><title>x</title></item>";
  const std::string longTitle = Feed(std::string(7u << 20, 'T'), items);
  const std::string nested = "<rss v><channel><title><link><description><item><title><author><link><guid>"
                       "<description>" + std::string(1u << 20, 'n') + "</description></guid></link>"
                       "</author></title></item></description></link></title></channel></rss>";
  for (const std::string* text : {&longTitle, &nested}) {
    CRssChannel channel;
    ASSERT_TRUE(channel.Parse(*text));
    EXPECT_LE(channel.HeldBytes(), ChannelMemoryBound(text->size(), channel.GetItemCount()));
    EXPECT_EQ(channel.GetItem(channel.GetItemCount() - 1)->FeedTitle(), channel.m_strTitle);
  }
  CRssChannel budget;
  size_t parsed = 0;
  while (budget.Parse(nested) && parsed < 64u << 20) parsed += nested.size();
  EXPECT_LT(budget.GetItemCount(), 64);
  EXPECT_LE(budget.HeldBytes(), kMaxChannelItemBytes + 4 * nested.size());
}
