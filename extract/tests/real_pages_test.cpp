// The extractors on item pages saved from the real sites (see SOURCES.md beside them). The counts
// were made once by hand, reading each page's HTML; the comments say what was counted.
#include <gtest/gtest.h>

#include "config/endpoints.h"
#include "extract/item_extractors.h"
#include "extract/tests/extractor_fixtures.h"

namespace {

using Harvest = ExtractionReport (*)(const ItemSource&, HarvestSink&);

struct RealPage {
  const char* file;
  bool utf8Bytes;  // handed over as GBK, as the page engine does for these
  Harvest harvest;
  const char* descLinkHost;  // the description host this page's era names
  int mainPictures, skuPictures, textLines;
  const char* itemId;
  const char* title;
  const char* why;
  const char* link = nullptr;  // the item's link; a made-up one without a number when not given
};

// textLines counts every line appended: title line and empty line (all but JD), SKU names and
// attributes (or JD's parameters).
const RealPage kPages[] = {
    {"taobao-1.html", false, HarvestTaobaoItem, "desc.alicdn.com", 6, 0, 2 + 0 + 19, "561495525977",
     "FFAN泛泛 御寒神器 回馈Bi入款 貉子大毛领加厚羽绒服女中长款3色-淘宝网",
     "J_UlThumb holds 6 li thumbnails, all written //gd…_50x50; the colour and size values have no "
     "swatch pictures; propertyMemoMap is {}; attributes-list has 19 li"},
    {"taobao-2.html", true, HarvestTaobaoItem, kTaobaoDescLinkHost, 10, 2, 2 + 2 + 8, "562283240178",
     "乳白亚克力外壳 60%键盘外壳 poker外壳无加强筋底壳透光外壳-淘宝网",
     "5 thumbnails, each named twice in this browser save (data-src and the rendered src); 2 colour "
     "swatches //gd…_30x30; propertyMemoMap names 2 values; attributes-list has 8 li"},
    {"tmall-1.html", false, HarvestTmallItem, kTaobaoDescLinkHost, 5, 6, 2 + 13 + 4, "605258110430",
     "【官网价直降】Apple/苹果 iPhone 11 4G全网通智能手机正品苏宁易购官方旗舰店苹果11",
     "5 thumbnails _60x60; 6 colour swatches _40x40; 13 spans up to J_Amount (1 network type, 6 "
     "colours, 1 package, 3 capacities, 2 purchase ways); J_AttrUL has 4 li"},
    {"tmall-2.html", true, HarvestTmallItem, "desc.alicdn.com", 5, 5, 2 + 8 + 10, "538218798736", "",
     "5 thumbnails; 5 colour swatches; 8 spans before J_Amount; J_AttrUL has 10 li; the title's "
     "Chinese was destroyed before saving, so the title suffix is not there"},
    {"jd-1.html", false, HarvestJdItem, kTaobaoDescLinkHost, 5, 0, 10, "1020565583", "",
     "spec-list has 5 li with data-url; choose-attrs is empty until a script fills it; "
     "parameter2 has 9 li, and the shop item's link ends in '> too, starting one more line"},
    {"jd-2.html", true, HarvestJdItem, kTaobaoDescLinkHost, 5, 0, 10, "1020565583", "",
     "the same item as jd-1, saved as UTF-8"},
    // Both offers have no video (videoId "0"): each is named after the offer id of its link.
    {"1688-1.html", false, HarvestAlibabaItem, kTaobaoDescLinkHost, 8, 3, 2 + 7, "601748658723", "",
     "8 tab-trigger thumbnails; skuProps: 3 colours with imageUrl, 4 sizes without; the title ends "
     "\" - 阿里巴巴\" with a blank, not the exact suffix; videoId is \"0\"",
     "https://detail.1688.com/offer/601748658723.html"},
    {"1688-2.html", false, HarvestAlibabaItem, kTaobaoDescLinkHost, 18, 13, 2 + 20, "529158833228", "",
     "18 tab-trigger thumbnails; skuProps: 13 colours with imageUrl, 7 sizes without",
     "https://detail.1688.com/offer/529158833228.html?spm=a2615.7691456.newlist.1"},
};

int CountRows(const RecordingSink& sink, PictureKind kind, Harvest harvest) {
  Platform platform = harvest == HarvestTaobaoItem ? Platform::Taobao
                      : harvest == HarvestTmallItem ? Platform::Tmall
                      : harvest == HarvestJdItem    ? Platform::Jd
                                                    : Platform::Alibaba;
  const std::string label = PictureKindLabel(platform, kind);
  int n = 0;
  for (const Row& row : sink.rows) n += row.label.compare(0, label.size(), label) == 0;
  return n;
}

int CountLines(const std::string& text) {
  int n = 0;
  for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++n;
  return n;
}

std::string LoadRealPage(const std::string& dir, const RealPage& page) {
  std::string bytes = ReadTestFile(dir + "/" + page.file);
  return page.utf8Bytes ? Utf8ToGbk(bytes) : bytes;
}

TEST(RealPagesTest, CountsMatchWhatThePagesShow) {
  const std::string dir = RealPagesDir();
  if (dir.empty()) return MissingSavedPages("real-pages");
  for (const RealPage& page : kPages) {
    const std::string link = page.link ? page.link : "https://item.example/" + std::string(page.file);
    ScriptedFetch fetch;
    fetch.pages[link] = LoadRealPage(dir, page);
    ASSERT_FALSE(fetch.pages[link].empty()) << page.file;
    EndpointHosts hosts{"desc.test", page.descLinkHost, "video.test", kTmallTitleDomain, "img.test", "m.test"};
    RecordingSink sink;
    page.harvest({link, [] { return std::string("c=1"); }, fetch.Function(), hosts}, sink);

    SCOPED_TRACE(std::string(page.file) + ": " + page.why);
    EXPECT_EQ(CountRows(sink, PictureKind::Main, page.harvest), page.mainPictures);
    EXPECT_EQ(CountRows(sink, PictureKind::Sku, page.harvest), page.skuPictures);
    EXPECT_EQ(CountLines(sink.text), page.textLines);
    EXPECT_EQ(sink.itemId, page.itemId);
    if (page.harvest != HarvestJdItem) {
      EXPECT_EQ(sink.text.substr(0, sink.text.find("\r\n")), page.title);
    }
    for (const Row& row : sink.rows)
      EXPECT_EQ(row.url.find_first_of("\"'<> \r\n"), std::string::npos) << row.url;
    // The lines are text: no tag nor character reference reaches them.
    EXPECT_EQ(sink.text.find_first_of("<>"), std::string::npos) << sink.text;
    EXPECT_EQ(sink.text.find("&"), std::string::npos) << sink.text;
  }
}

TEST(RealPagesTest, AddressesAndLinesReadAsOnThePage) {
  const std::string dir = RealPagesDir();
  if (dir.empty()) return MissingSavedPages("real-pages");
  struct Case {
    size_t page;  // index into kPages
    std::string firstMain, descriptionUrl, firstLineAfterTitle, videoUrl;
  } cases[] = {
      {0, "https://gd2.alicdn.com/imgextra/i2/108727117/TB2DcRIgMnH8KJjSspcXXb3QFXa_!!108727117.jpg",
       "https://desc.test/i2/560/490/561495525977/"
       "TB1_Du5eAfb_uJkHFNR8qw3vpla.desc%7Cvar%5Edesc%3Bsign%5Ed4b25aadf1b0b48de565d34b3a0d3f95%3Blang%5Egbk%3Bt%5E1516958426",
       "充绒量:200g(含)-250g(不含)", "http://video.test/play/u/108727117/p/1/e/6/t/1/50047688890.mp4"},
      {1, "https://gd4.alicdn.com/imgextra/i4/134583372/TB2bje8gS_I8KJjy0FoXXaFnVXa_!!134583372.jpg",
       "https://desc.test/i1/560/280/562283240178/"
       "TB1anp2zSf2gK0jSZFP8qtsopla.desc%7Cvar%5Edesc%3Bsign%5E7c3a3b929433f6889231d494897cc7af%3Blang%5Egbk%3Bt%5E1592531667",
       "glow in the dark 夜光无加强筋", ""},
      {3, "https://img.alicdn.com/imgextra/i3/2616970884/TB1Uz3gsDXYBeNkHFrdXXciuVXa_!!0-item_pic.jpg",
       "https://desc.test/i4/531/211/538218798736/"
       "TB1zf3dj8jTBKNjSZFN8qusFXla.desc%7Cvar%5Edesc%3Bsign%5Ea0001fb6f1cc2b36a2519fd2e09f0c4c%3Blang%5Egbk%3Bt%5E1530582893",
       "", ""},
      {6, "https://cbu01.alicdn.com/img/ibank/2019/142/552/11844255241_2126953827.jpg",
       "https://img.alicdn.com/tfscom/TB1yzC9kfb2gK0jSZK9XXaEgFXa", "红色", ""},
  };
  for (const Case& c : cases) {
    const RealPage& page = kPages[c.page];
    SCOPED_TRACE(page.file);
    ScriptedFetch fetch;
    fetch.pages["https://item.example/"] = LoadRealPage(dir, page);
    EndpointHosts hosts{"desc.test", page.descLinkHost, "video.test", kTmallTitleDomain, "img.test", "m.test"};
    RecordingSink sink;
    page.harvest({"https://item.example/", [] { return std::string(); }, fetch.Function(), hosts}, sink);
    ASSERT_FALSE(sink.rows.empty());
    EXPECT_EQ(sink.rows.front().url, c.firstMain);
    EXPECT_EQ(sink.descriptionUrl, c.descriptionUrl);
    EXPECT_EQ(sink.videoUrl, c.videoUrl);
    const size_t afterTitle = sink.text.find("\r\n\r\n");
    ASSERT_NE(afterTitle, std::string::npos);
    const std::string rest = sink.text.substr(afterTitle + 4);
    if (!c.firstLineAfterTitle.empty()) {
      EXPECT_EQ(rest.substr(0, rest.find("\r\n")), c.firstLineAfterTitle);
    }
  }
}

// The shop's parameter holds a link around the shop's name; its closing "'>" starts one more line
// (the pieces overlap), which is the name again.
TEST(RealPagesTest, JdParametersReadAsText) {
  const std::string dir = RealPagesDir();
  if (dir.empty()) return MissingSavedPages("real-pages");
  ScriptedFetch fetch;
  fetch.pages["https://item.jd.com/1020565583.html"] = LoadRealPage(dir, kPages[4]);
  RecordingSink sink;
  HarvestJdItem({"https://item.jd.com/1020565583.html", nullptr, fetch.Function(),
                 {"", "", "", "", "img.test", "m.test"}},
                sink);
  EXPECT_EQ(sink.rows.front().url,
            "https://img.test//imgzone//jfs/t12388/362/991957813/170220/2f4daf5a/5a17f8a8N760e3a43.jpg");
  EXPECT_EQ(sink.text,
            "商品名称：良品铺子 手剥东北红松218g*2袋 特产东北松子 坚果炒货零食\r\n"
            "商品编号：1020565583\r\n"
            "店铺： 良品铺子官方旗舰店\r\n"
            "良品铺子官方旗舰店\r\n"
            "商品毛重：436.00g\r\n货号：ZH11015001\r\n国产/进口：国产\r\n口味：原味\r\n特性：带皮\r\n分类：松子\r\n");
  EXPECT_EQ(fetch.requests.back().url, "https://m.test/detail/1020565583_d10480324630_normal.html");
}

// The page saved by a browser names its description first in a script tag the browser added, so
// the cut runs on into 116 KB of markup; the address asked for and shown ends where it begins.
TEST(RealPagesTest, TheDescriptionAddressEndsWhereMarkupBegins) {
  const std::string dir = RealPagesDir();
  if (dir.empty()) return MissingSavedPages("real-pages");
  const std::string link = "https://item.example/item.htm?id=605258110430";
  const std::string desc =
      "https://desc.test/i4/600/251/605258110430/"
      "TB1iwlabnM11u4jSZPx8quhcXla.desc%7Cvar%5Edesc%3Bsign%5Ec128cfc683a27360464f3b943a484bd4%3Blang%5Egbk%3Bt%5E1594189090";
  for (Harvest harvest : {HarvestTmallItem, HarvestTaobaoItem}) {
    ScriptedFetch fetch;
    fetch.pages[link] = LoadRealPage(dir, kPages[2]);
    RecordingSink sink;
    EndpointHosts hosts{"desc.test", kTaobaoDescLinkHost, "video.test", kTmallTitleDomain, "img.test", "m.test"};
    harvest({link, [] { return std::string("c=1"); }, fetch.Function(), hosts}, sink);
    ASSERT_EQ(fetch.requests.size(), 2u);
    EXPECT_EQ(fetch.requests[1].url, desc);
    // The Taobao button finds no picture on the Tmall page, and a press that finds nothing shows
    // nothing of it.
    EXPECT_EQ(sink.descriptionUrl, sink.rows.empty() ? "" : desc);
  }
}

}  // namespace
