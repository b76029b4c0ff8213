// The RSS scan: a plain-text reading of a feed, not an XML parse. Character references
// are decoded over the whole text first; the first channel element gives the feed's
// title, link and description and every item element one CRssItem, cleaned of markup.
// All feeds of a saver go into one CRssChannel. Texts are 8-bit ANSI strings.
#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/ansi_text.h"

namespace qv {

// The channel keeps at most this many items over all its feeds; later ones are skipped.
inline constexpr size_t kMaxFeedItems = 500;

// What the channel holds stays a small multiple of the text it was given: an item's
// fields are cut from disjoint item texts (six of them may overlap within one item), and
// the feed title is one copy shared by the feed's items. With n the bytes of all texts
// parsed into it:
//   HeldBytes() <= kChannelBytesPerTextByte * n + kChannelBytesPerItem * items
//                  + kChannelBytesFixed.
// Over all feeds the items' share stops at kMaxChannelItemBytes: an item that would pass
// it is skipped, as are items beyond kMaxFeedItems.
inline constexpr size_t kChannelBytesPerTextByte = 10;
inline constexpr size_t kChannelBytesPerItem = 512;
inline constexpr size_t kChannelBytesFixed = 1024;
inline constexpr size_t kMaxChannelItemBytes = 48u << 20;
inline constexpr size_t ChannelMemoryBound(size_t textBytes, size_t items) {
  return kChannelBytesPerTextByte * textBytes + kChannelBytesPerItem * items + kChannelBytesFixed;
}

// "&lt;" "&amp;" "&gt;" "&apos;" "&quot;" become their character; a numeric reference
// (&#65; &#x41;, also after an "&amp;") becomes the first ANSI byte of its UTF-16 unit.
std::string DecodeCharacterReferences(std::string_view text);
// The same with the bytes of the code page of toAnsi.
std::string DecodeCharacterReferences(std::string_view text, Utf16ToAnsiFn toAnsi);

// The text between the first "<name>" and the first "</name>" (exact, case-sensitive;
// an element with attributes is not found). Empty when either tag is missing or the
// closing tag comes first. *end, when given, is set just past that closing tag (or to
// npos when there is none).
std::string_view ExtractElement(std::string_view text, std::string_view name,
                                size_t* end = nullptr);

// Drops line breaks, CDATA brackets and the tags a feed uses for simple markup; a line
// break tag or a paragraph's end becomes CR LF. Other '<' are kept as text.
std::string CleanMarkup(std::string_view text);

// "10 Jun 2003" or "4 Jun 2003 " as cut from a pubDate -> "June 10, 2003".
std::string FormatRssDate(std::string_view text);

class CRssItem {
 public:
  void Parse(std::string_view itemText);

  // The channel title when the item was added: one copy per feed, shared by its items.
  const std::string& FeedTitle() const;
  // The bytes the item's own fields hold (the shared feed title not counted).
  size_t FieldBytes() const;

  std::shared_ptr<const std::string> m_pFeedTitle;
  std::string m_strTitle;
  std::string m_strDate;
  std::string m_strAuthorDisplay;
  std::string m_strAuthor;
  std::string m_strLink;
  std::string m_strGuid;
  std::string m_strDescription;
};

class CRssChannel {
 public:
  // Appends the items of one feed text (references already decoded). False when the text
  // is not RSS, has no channel or no channel title, or the channel still holds no item.
  bool Parse(std::string_view text);

  int GetItemCount() const { return static_cast<int>(m_Items.size()); }
  // None when index is outside 0 .. count - 1.
  const CRssItem* GetItem(int index) const;
  // The memory the channel holds for its texts and items: every string's allocation, each
  // shared feed title once, and the item records themselves.
  size_t HeldBytes() const;

  std::string m_strTitle;
  std::string m_strLink;
  std::string m_strDescription;
  std::vector<std::unique_ptr<CRssItem>> m_Items;

 private:
  size_t m_nItemBytes = 0;  // the items' fields and their feed titles, as charged when added
};

// The link F2 opens for an item: its link, or its guid when the link is empty.
std::string_view ItemAddress(const CRssItem& item);

}  // namespace qv
