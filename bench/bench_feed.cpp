// The feed scan on a 1 MB feed of 500 items (UTF-8, CDATA and HTML descriptions,
// character references) beside two real XML parsers from the system, expat and libxml2,
// each asked for the same thing: every item's title, link, date and description. Our
// pipeline includes the encoding decode, the reference decode and the markup cleaning.
#include <benchmark/benchmark.h>
#include <expat.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdio>
#include <string>
#include <vector>

#include "feed/feed_text.h"
#include "feed/rss.h"

namespace {

std::string MakeFeed() {
  std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
                  "<title>Benchmark News</title><link>http://127.0.0.1/</link>"
                  "<description>A large feed</description>\n";
  const std::string para =
      "The harbour caf\xC3\xA9 opened its doors again &amp; served cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
      "e to the ferry crews before the morning departures. ";
  for (int i = 0; i < 500; ++i) {
    s += "<item>\n<title>Headline number " + std::to_string(i) + " &#8211; Se\xC3\xB1or Pe\xC3\xB1" "a</title>\n";
    s += "<link>http://127.0.0.1/news/" + std::to_string(i) + "</link>\n";
    s += "<guid isPermaLink=\"true\">http://127.0.0.1/news/" + std::to_string(i) + "</guid>\n";
    s += "<pubDate>Tue, 10 Jun 2003 04:00:00 GMT</pubDate>\n<description>";
    if (i % 2) {
      s += "<![CDATA[<p>";
      for (int k = 0; k < 14; ++k) s += para;
      s += "<br/><b>Bold</b> end.</p>]]>";
    } else {
      s += "&lt;p&gt;";
      for (int k = 0; k < 14; ++k) s += para;
      s += "&lt;/p&gt;";
    }
    s += "</description>\n</item>\n";
  }
  s += "</channel>\n</rss>\n";
  return s;
}

const std::string& Feed() {
  static const std::string feed = MakeFeed();
  return feed;
}

struct Item {
  std::string title, link, date, description;
};

void BM_QuorvexScan(benchmark::State& state) {
  const std::string& feed = Feed();
  for (auto _ : state) {
    qv::CRssChannel channel;
    channel.Parse(qv::DecodeCharacterReferences(qv::DecodeFeedBytes(feed)));
    if (channel.GetItemCount() != 500) state.SkipWithError("wrong item count");
    benchmark::DoNotOptimize(channel.m_Items.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(feed.size()));
}

// expat: a streaming parser; the handler collects the text of the four elements of each
// item.
struct ExpatState {
  std::vector<Item> items;
  std::string* target = nullptr;
  bool inItem = false;
};

void XMLCALL ExpatStart(void* user, const XML_Char* name, const XML_Char**) {
  auto* s = static_cast<ExpatState*>(user);
  const std::string_view n(name);
  if (n == "item") {
    s->items.emplace_back();
    s->inItem = true;
  } else if (s->inItem) {
    Item& it = s->items.back();
    s->target = n == "title" ? &it.title : n == "link" ? &it.link : n == "pubDate" ? &it.date
              : n == "description" ? &it.description : nullptr;
  }
}
void XMLCALL ExpatEnd(void* user, const XML_Char* name) {
  auto* s = static_cast<ExpatState*>(user);
  s->target = nullptr;
  if (std::string_view(name) == "item") s->inItem = false;
}
void XMLCALL ExpatText(void* user, const XML_Char* text, int len) {
  auto* s = static_cast<ExpatState*>(user);
  if (s->target) s->target->append(text, static_cast<size_t>(len));
}

void BM_Expat(benchmark::State& state) {
  const std::string& feed = Feed();
  for (auto _ : state) {
    ExpatState s;
    XML_Parser p = XML_ParserCreate(nullptr);
    XML_SetUserData(p, &s);
    XML_SetElementHandler(p, ExpatStart, ExpatEnd);
    XML_SetCharacterDataHandler(p, ExpatText);
    if (XML_Parse(p, feed.data(), static_cast<int>(feed.size()), 1) != XML_STATUS_OK)
      state.SkipWithError("expat failed");
    XML_ParserFree(p);
    if (s.items.size() != 500) state.SkipWithError("wrong item count");
    benchmark::DoNotOptimize(s.items.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(feed.size()));
}

// libxml2: the whole tree, then the four elements' contents of each item.
void BM_Libxml2(benchmark::State& state) {
  const std::string& feed = Feed();
  for (auto _ : state) {
    xmlDocPtr doc = xmlReadMemory(feed.data(), static_cast<int>(feed.size()), "feed.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOBLANKS);
    std::vector<Item> items;
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : nullptr;
    for (xmlNodePtr ch = root ? root->children : nullptr; ch; ch = ch->next) {
      if (ch->type != XML_ELEMENT_NODE) continue;
      for (xmlNodePtr it = ch->children; it; it = it->next) {
        if (it->type != XML_ELEMENT_NODE || xmlStrcmp(it->name, BAD_CAST "item")) continue;
        Item& item = items.emplace_back();
        for (xmlNodePtr f = it->children; f; f = f->next) {
          if (f->type != XML_ELEMENT_NODE) continue;
          const std::string_view n(reinterpret_cast<const char*>(f->name));
          std::string* t = n == "title" ? &item.title : n == "link" ? &item.link : n == "pubDate" ? &item.date
                         : n == "description" ? &item.description : nullptr;
          if (!t) continue;
          xmlChar* text = xmlNodeGetContent(f);
          t->assign(reinterpret_cast<const char*>(text));
          xmlFree(text);
        }
      }
    }
    xmlFreeDoc(doc);
    if (items.size() != 500) state.SkipWithError("wrong item count");
    benchmark::DoNotOptimize(items.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(feed.size()));
}

BENCHMARK(BM_QuorvexScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Expat)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libxml2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::printf("feed: %zu bytes, 500 items\n", Feed().size());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
