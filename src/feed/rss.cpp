#include "feed/rss.h"

#include <array>
#include <cstdint>

#include "document/ansi_text.h"
#include "feed/ascii_text.h"

namespace qv {

namespace {

bool StartsWithNoCaseAt(std::string_view text, size_t at, std::string_view prefix) {
  return StartsWithNoCase(text.substr(at), prefix);
}

// The digits of a numeric reference: hexadecimal after an 'x', else decimal; reading
// stops at the first character that is no digit. Only the low 16 bits matter.
uint16_t ReferenceValue(std::string_view digits) {
  uint32_t value = 0;
  if (!digits.empty() && digits[0] == 'x') {
    for (char c : digits.substr(1)) {
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else break;
      value = (value << 4) | static_cast<uint32_t>(d);
    }
  } else {
    for (char c : digits) {
      if (c < '0' || c > '9') break;
      value = value * 10 + static_cast<uint32_t>(c - '0');
    }
  }
  return static_cast<uint16_t>(value);
}

// First byte of one UTF-16 unit in the ANSI code page (its default character when it
// has none).
char AnsiByteOf(uint16_t unit, Utf16ToAnsiFn toAnsi) {
  const unsigned char le[2] = {static_cast<unsigned char>(unit & 0xFF),
                               static_cast<unsigned char>(unit >> 8)};
  const std::string s = toAnsi(le, 1);
  return s.empty() ? '?' : s[0];
}

// The bytes a string holds outside itself (nothing while it fits in its own storage).
size_t HeapBytes(const std::string& s) {
  static const size_t kInline = std::string().capacity();
  return s.capacity() > kInline ? s.capacity() + 1 : 0;
}

// A shared feed title: the string, its allocation and the count block beside it.
size_t SharedTitleBytes(const std::string& s) { return sizeof(std::string) + 2 * sizeof(void*) + HeapBytes(s); }

// CString::Mid: start and count clamped to the text.
std::string_view Mid(std::string_view s, size_t start, size_t count) {
  if (start >= s.size()) return {};
  return s.substr(start, count);
}

}  // namespace

std::string DecodeCharacterReferences(std::string_view text) {
  return DecodeCharacterReferences(text, GetUtf16ToAnsi());
}

std::string DecodeCharacterReferences(std::string_view text, Utf16ToAnsiFn toAnsi) {
  static constexpr std::string_view kNames[] = {"lt;", "amp;", "gt;", "apos;", "quot;"};
  static constexpr char kChars[] = {'<', '&', '>', '\'', '"'};
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t amp = text.find('&', i);
    if (amp == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    out.append(text.substr(i, amp - i));
    i = amp + 1;
    char written = '&';
    for (size_t k = 0; k < 5; ++k) {
      if (text.substr(i, kNames[k].size()) == kNames[k]) {
        written = kChars[k];
        i += kNames[k].size();
        break;
      }
    }
    if (written == '&' && i < text.size() && text[i] == '#') {
      // Up to 9 characters after the '#', stopping before a ';'; then the '#', those
      // characters and the ';' are skipped.
      size_t n = 0;
      while (n < 9 && i + 1 + n < text.size() && text[i + 1 + n] != ';') ++n;
      const std::string_view digits = text.substr(i + 1, n);
      i += n + 2;
      if (i > text.size()) i = text.size();
      written = AnsiByteOf(ReferenceValue(digits), toAnsi);
      // A reference to character 0 would end the text for every C-string reader
      // downstream; it is dropped instead.
      if (written == '\0') continue;
    }
    out.push_back(written);
  }
  return out;
}

std::string_view ExtractElement(std::string_view text, std::string_view name, size_t* end) {
  std::string open, close;
  open.reserve(name.size() + 2);
  open.append("<").append(name).append(">");
  close.reserve(name.size() + 3);
  close.append("</").append(name).append(">");
  const size_t start = text.find(open);
  if (start == std::string_view::npos && !end) return {};
  const size_t stop = text.find(close);
  if (end) *end = stop == std::string_view::npos ? std::string_view::npos : stop + close.size();
  if (start == std::string_view::npos || stop == std::string_view::npos) return {};
  const size_t from = start + open.size();
  if (stop < from) return {};
  return text.substr(from, stop - from);
}

std::string CleanMarkup(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    // Copy the run up to the next character that needs a look.
    static constexpr auto kLook = [] {
      std::array<bool, 256> look{};
      look['\r'] = look['\n'] = look['<'] = look[']'] = true;
      return look;
    }();
    size_t j = i;
    while (j < text.size() && !kLook[static_cast<uint8_t>(text[j])]) ++j;
    out.append(text.substr(i, j - i));
    i = j;
    if (i >= text.size()) break;
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c == '<' && StartsWithNoCaseAt(text, i, "<![CDATA[")) {
      i += 9;
      continue;
    }
    if (c == ']' && text.substr(i, 3) == "]]>") {
      i += 3;
      continue;
    }
    if (c == '<' && i + 1 < text.size()) {
      const char n = LowerAscii(text[i + 1]);
      if (n == '/' || n == '!' || n == 'p' || n == 'a' || n == 'i' || n == 'o' || n == 'l' ||
          n == 'b' || n == 's') {
        const bool lineBreak = n == 'b' && i + 2 < text.size() && LowerAscii(text[i + 2]) == 'r';
        const bool paragraphEnd = n == '/' && i + 2 < text.size() && LowerAscii(text[i + 2]) == 'p';
        const size_t close = text.find('>', i + 1);
        i = close == std::string_view::npos ? text.size() : close + 1;
        if (lineBreak || paragraphEnd) out.append("\r\n");
        continue;
      }
    }
    out.push_back(c);
    ++i;
  }
  return out;
}

std::string FormatRssDate(std::string_view d) {
  std::string_view day = Mid(d, 0, 2), month = Mid(d, 3, 3), year = Mid(d, 7, 4);
  if (!year.empty() && d.size() > 1 && d[1] == ' ') {
    day = Mid(d, 0, 1);
    month = Mid(d, 2, 3);
    year = Mid(d, 6, 4);
  }
  if (year.empty()) day = Mid(d, 1, 1);
  static constexpr std::string_view kShort[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static constexpr std::string_view kLong[] = {"January", "February", "March",     "April",
                                               "May",     "June",     "July",      "August",
                                               "September", "October", "November", "December"};
  for (size_t k = 0; k < 12; ++k) {
    if (month == kShort[k]) {
      month = kLong[k];
      break;
    }
  }
  std::string out;
  out.append(month).append(" ").append(day).append(", ").append(year);
  return out;
}

void CRssItem::Parse(std::string_view item) {
  m_strTitle = CleanMarkup(ExtractElement(item, "title"));
  const std::string_view date = ExtractElement(item, "pubDate");
  m_strDate = date.empty() ? std::string() : FormatRssDate(Mid(date, 5, 11));
  m_strAuthor = std::string(ExtractElement(item, "author"));
  m_strAuthorDisplay = m_strAuthor;
  m_strLink = std::string(ExtractElement(item, "link"));
  m_strGuid = std::string(ExtractElement(item, "guid"));
  const std::string_view description = ExtractElement(item, "description");
  m_strDescription = description.empty() ? std::string("No description.") : CleanMarkup(description);
}

const std::string& CRssItem::FeedTitle() const {
  static const std::string kNone;
  return m_pFeedTitle ? *m_pFeedTitle : kNone;
}

size_t CRssItem::FieldBytes() const {
  size_t n = 0;
  for (const std::string* s : {&m_strTitle, &m_strDate, &m_strAuthorDisplay, &m_strAuthor, &m_strLink,
                               &m_strGuid, &m_strDescription})
    n += HeapBytes(*s);
  return n;
}

bool CRssChannel::Parse(std::string_view text) {
  const bool open = text.find("<rss ") != std::string_view::npos ||
                    text.find("<RSS ") != std::string_view::npos;
  const bool close = text.find("</rss>") != std::string_view::npos ||
                     text.find("</RSS>") != std::string_view::npos;
  if (!open || !close) return false;
  std::string_view channel = ExtractElement(text, "channel");
  if (channel.empty()) return false;
  m_strTitle = std::string(ExtractElement(channel, "title"));
  m_strLink = std::string(ExtractElement(channel, "link"));
  m_strDescription = std::string(ExtractElement(channel, "description"));
  if (m_strTitle.empty()) return false;
  // One copy of the title for all of this feed's items, charged with the first of them.
  const auto feedTitle = std::make_shared<const std::string>(m_strTitle);
  size_t titleCharge = SharedTitleBytes(*feedTitle);
  while (m_Items.size() < kMaxFeedItems) {
    size_t end = 0;
    const std::string_view itemText = ExtractElement(channel, "item", &end);
    if (itemText.empty()) break;
    auto item = std::make_unique<CRssItem>();
    item->Parse(itemText);
    const size_t charge = sizeof(CRssItem) + item->FieldBytes() + titleCharge;
    if (charge > kMaxChannelItemBytes - m_nItemBytes) break;
    m_nItemBytes += charge;
    titleCharge = 0;
    item->m_pFeedTitle = feedTitle;
    m_Items.push_back(std::move(item));
    channel = channel.substr(end);
  }
  return !m_Items.empty();
}

const CRssItem* CRssChannel::GetItem(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= m_Items.size()) return nullptr;
  return m_Items[static_cast<size_t>(index)].get();
}

size_t CRssChannel::HeldBytes() const {
  size_t n = sizeof(*this) + HeapBytes(m_strTitle) + HeapBytes(m_strLink) + HeapBytes(m_strDescription) +
             m_Items.capacity() * sizeof(m_Items[0]);
  const std::string* lastTitle = nullptr;
  for (const auto& item : m_Items) {
    n += sizeof(CRssItem) + item->FieldBytes();
    // A feed's items stand together, so each shared title is counted once.
    if (item->m_pFeedTitle && item->m_pFeedTitle.get() != lastTitle) {
      lastTitle = item->m_pFeedTitle.get();
      n += SharedTitleBytes(*lastTitle);
    }
  }
  return n;
}

std::string_view ItemAddress(const CRssItem& item) {
  return item.m_strLink.empty() ? std::string_view(item.m_strGuid) : std::string_view(item.m_strLink);
}

}  // namespace qv
