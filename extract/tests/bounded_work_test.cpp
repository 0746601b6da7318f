// Pages built to make reading them expensive: data that reaches one node through many references,
// pieces by the hundred thousand, a page of 64 MB, names that would overfill the text box. Whatever
// the page, a harvest keeps to its bounds on rows, lines and text, and the readers to their work
// budget.
#include <gtest/gtest.h>

#include <algorithm>

#include "extract/harvest_bounds.h"
#include "extract/item_extractors.h"
#include "extract/page_data/taobao_page_data.h"
#include "extract/tests/extractor_fixtures.h"
#include "text/text_items.h"

namespace {

const std::string kTaobaoLink = "https://item.taobao.com/item.htm?id=1";
const std::string kTmallLink = "https://detail.tmall.com/item.htm?id=1";
const std::string kAlibabaLink = "https://detail.1688.com/offer/1.html";

std::string Repeated(const std::string& piece, size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// Kept with the fuzz target's regression inputs. Both read one 4 KB string of Chinese text through
// 2,000 references from a node that is itself reached 2,000 (SKU names) or 200 times (attribute
// values): before every visit was paid for, each read the string 4,000,000 times.
std::string Reproducer(const std::string& name) {
  return ReadTestFile(TestSourceDir() + "/fuzz/regressions/page_data_taobao/" + name);
}

// The SKU reproducer's shape, its shared node referenced from 64 MB of SKU properties.
std::string SixtyFourMegabytePage() {
  const std::string page = Reproducer("sku-names-through-one-shared-reference");
  const std::string props = "\"props\":[";
  const size_t at = page.find(props) + props.size();
  const std::string element = "{\"$ref\":\"$.p\"},";
  return page.substr(0, at) + Repeated(element, (64u << 20) / element.size()) + page.substr(at);
}

// A converter that counts the bytes it is given: the work of turning strings into text.
struct CountingConverter {
  size_t bytes = 0;
  Utf8ToText Function() {
    return [this](std::string_view utf8) {
      bytes += utf8.size();
      return Utf8ToGbk(utf8);
    };
  }
};

TEST(BoundedWorkTest, ReferencesArePaidForEachTimeTheyAreReached) {
  struct Case {
    const char* name;
    std::string page;
    size_t skuNames, attributes;  // at least this many lines read before the budget ran out
  } cases[] = {
      {"SKU names", Reproducer("sku-names-through-one-shared-reference"), 500, 0},
      {"attribute values", Reproducer("attribute-values-through-one-shared-reference"), 0, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CountingConverter converter;
    const ItemPageData d = ReadTaobaoPageData(c.page, converter.Function(), PageEncoding::Utf8);
    ASSERT_TRUE(d.found);
    EXPECT_TRUE(d.cutShort);
    EXPECT_GE(d.skuNames.size(), c.skuNames);
    EXPECT_GE(d.attributes.size(), c.attributes);
    for (const TextList* lines : {&d.skuNames, &d.attributes}) {
      EXPECT_LE(lines->size(), kMaxTextLines);
      for (const std::string& line : *lines) EXPECT_LE(line.size(), kMaxLineBytes);
    }
    // The work stays within what the page was granted (the last step may overdraw it by one
    // string's start), and so does the converting.
    const size_t granted = WorkBudget(c.page.size()).Remaining();
    EXPECT_LE(d.work, granted + 4 * kMaxLineBytes);
    EXPECT_LE(converter.bytes, granted);
  }
}

TEST(BoundedWorkTest, AHarvestKeepsToItsRowsLinesAndText) {
  using Harvest = ExtractionReport (*)(const ItemSource&, HarvestSink&);
  struct Case {
    const char* name;
    Harvest harvest;
    std::string link, page;
    const char* cut;  // what the status line says of the cut
  } cases[] = {
      {"SKU names through one reference", HarvestTaobaoItem, kTaobaoLink,
       Reproducer("sku-names-through-one-shared-reference"), "；页面数据过多，只取了一部分"},
      {"attribute values through one reference", HarvestTaobaoItem, kTaobaoLink,
       Reproducer("attribute-values-through-one-shared-reference"), "；页面数据过多，只取了一部分"},
      {"400,000 empty pieces", HarvestAlibabaItem, kAlibabaLink,
       "tab-trigger active" + Repeated("original\":\"\"}'>", 400000) + "unit-detail-fav skuProps" +
           Repeated("name\":\"\"}", 400000) + "allTagIds",
       "；页面数据过多，只取了前2000条"},
      {"64 MB", HarvestTaobaoItem, kTaobaoLink, SixtyFourMegabytePage(), "；页面数据过多，只取了一部分"},
      // Each line cut to 4 KB where a character ends, and the text stops short of 1 MB.
      {"300 attributes of 8 KB", HarvestTmallItem, kTmallLink,
       "<ul id=\"J_AttrUL\">" + Repeated("<li title=\"a\">a" + Repeated("中", 4000) + "</li>", 300) + "</ul>",
       "；页面数据过多，只取了一部分"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedFetch fetch;
    fetch.pages[c.link] = c.page;
    CountingConverter converter;
    RecordingSink sink;
    const ExtractionReport report =
        c.harvest({c.link, nullptr, fetch.Function(), EndpointHosts{}, nullptr, converter.Function()}, sink);

    EXPECT_LE(std::max({report.mainPictures, report.skuPictures, report.detailPictures}), 2000);
    EXPECT_EQ(sink.rows.size(), static_cast<size_t>(report.mainPictures + report.skuPictures + report.detailPictures));
    EXPECT_LE(sink.text.size(), kMaxTextBytes);
    const TextList lines = [&] {
      TextList out;
      for (size_t at = 0, end; (end = sink.text.find("\r\n", at)) != std::string::npos; at = end + 2)
        out.push_back(sink.text.substr(at, end - at));
      return out;
    }();
    EXPECT_LE(lines.size(), kMaxTextLines + 1);  // the title's empty line
    for (const std::string& line : lines) {
      EXPECT_LE(line.size(), kMaxLineBytes);
      EXPECT_EQ(CharacterPrefix(line + "x", line.size()).size(), line.size()) << "no lead byte without its trail";
    }
    EXPECT_LE(converter.bytes, WorkBudget::kCeiling);
    const std::string status = ExtractionStatusText(report);
    EXPECT_TRUE(report.cutShort);
    EXPECT_NE(status.find(c.cut), std::string::npos) << status;
  }
}

// An offer of the classic layout with one main picture and `names` SKU names of `bytes` bytes each.
std::string OfferWithNames(int names, size_t bytes) {
  std::string page = "tab-trigger active original\":\"https://cbu01.alicdn.com/img/1.jpg\"}'> unit-detail-fav skuProps";
  for (int i = 0; i < names; ++i) page += "name\":\"" + std::string(bytes, static_cast<char>('a' + i % 26)) + "\"}";
  return page + "allTagIds";
}

// The text a harvest adds stops, at a line's end, where the box would pass kMaxTextBytes (the room
// an earlier harvest left); a page whose body went on past its bound counts as cut short too.
TEST(BoundedWorkTest, TheTextStopsWhereTheBoxIsFullAndACutPageIsCutShort) {
  struct Case {
    const char* name;
    std::string page;
    size_t room;
    bool pageCut;
    size_t textBytes;  // what the harvest adds
    bool cutShort;
  } cases[] = {
      // The empty title's two line ends, then 49 bytes a name.
      {"room for every line", OfferWithNames(10, 47), kMaxTextBytes, false, 4 + 10 * 49, false},
      {"80 KB of names into an empty box", OfferWithNames(1600, 47), kMaxTextBytes, false,
       4 + (kMaxTextBytes - 4) / 49 * 49, true},
      {"room an earlier harvest left", OfferWithNames(100, 47), 1000, false, 4 + 20 * 49, true},
      {"no room left", OfferWithNames(3, 47), 0, false, 0, true},
      {"a page cut at its bound", OfferWithNames(3, 47), kMaxTextBytes, true, 4 + 3 * 49, true},
  };
  const std::string link = "https://detail.1688.com/offer/1.html";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedFetch fetch;
    FetchedPage answer(c.page);
    answer.cutShort = c.pageCut;
    fetch.answers[link] = answer;
    RecordingSink sink;
    ItemSource source{link, nullptr, fetch.Function(), EndpointHosts{}, nullptr, Utf8ToGbk};
    source.textRoom = c.room;
    const ExtractionReport report = HarvestAlibabaItem(source, sink);
    EXPECT_EQ(report.mainPictures, 1);
    EXPECT_EQ(sink.text.size(), c.textBytes);
    EXPECT_TRUE(sink.text.empty() || sink.text.ends_with("\r\n"));
    EXPECT_EQ(report.cutShort, c.cutShort);
    const std::string status = ExtractionStatusText(report);
    EXPECT_EQ(status.find("；页面数据过多，只取了一部分") != std::string::npos, c.cutShort) << status;
  }
}

}  // namespace
