// The extractors on item pages saved from the sites as they are today (current-pages/SOURCES.md),
// on which the marker cuts find nothing and the page data is read instead. The counts were made by
// reading each page's data script by hand (the arrays and objects SOURCES.md names), independently
// of this code; the comments say what was counted.
#include <gtest/gtest.h>

#include "config/endpoints.h"
#include "extract/item_extractors.h"
#include "extract/tests/extractor_fixtures.h"

namespace {

EndpointHosts Hosts() {
  EndpointHosts hosts{"desc.test", kTaobaoDescLinkHost, "video.test", kTmallTitleDomain, "img.test", "m.test"};
  hosts.TaobaoDescApiHost = "api.test";
  hosts.JdMobileImageHost = "jdimg.test";
  return hosts;
}

int CountKind(const RecordingSink& sink, Platform platform, PictureKind kind) {
  const std::string label = PictureKindLabel(platform, kind);
  int n = 0;
  for (const Row& row : sink.rows) n += row.label.compare(0, label.size(), label) == 0;
  return n;
}

using Harvest = ExtractionReport (*)(const ItemSource&, HarvestSink&);

struct CurrentPage {
  const char* file;
  // The page engine re-decodes a page into GBK when a meta tag in its first 1024 bytes names a
  // charset; a page naming it later arrives as its UTF-8 bytes.
  bool engineDecodes;
  Harvest harvest;
  Platform platform;
  const char* link;
  int mainPictures, skuPictures, skuNames;
  const char* itemId;
  const char* title;
  const char* videoUrl;
  const char* why;
};

const CurrentPage kPages[] = {
    {"1688-1.html", true, HarvestAlibabaItem, Platform::Alibaba, "https://detail.1688.com/offer/1007511748868.html", 16,
     11, 12, "1007511748868", "新款墙面装饰花朵纸扇花生日派对橱窗背景墙装饰悬挂纸扇装饰",
     "https://cloud.video.taobao.com/play/u/2221089585610/p/2/e/6/t/1/547417934541.mp4",
     "meta charset at byte 405; gallery.fields.offerImgList has 16 addresses; offerDetail.skuProps: 尺寸 with 11 "
     "values each with imageUrl, 颜色 with 1 value without; gallery video id 547417934541"},
    {"1688-3.html", false, HarvestAlibabaItem, Platform::Alibaba, "https://detail.1688.com/offer/1047391401971.html", 5,
     0, 5, "1047391401971", "LED投光灯铝鳍片1000W球场灯TP65码头广场高杆灯角度30°60°90°",
     "https://cloud.video.taobao.com/play/u/2217681628866/p/2/e/6/t/1/464582826414.mp4",
     "meta charset at byte 1184, so the bytes arrive as UTF-8; offerImgList has 5 addresses; skuProps are two $ref "
     "nodes into customizedProcessingModel.skuModelOrigin: 3 powers and 2 colour temperatures, no pictures"},
    {"1688-4-mobile.html", true, HarvestAlibabaItem, Platform::Alibaba, "https://m.1688.com/offer/905371660854.html", 5,
     8, 8, "905371660854", "跨境极窄韩系ins风窄款A6活页外壳双扣透明闪粉卡册人生四格收纳", "",
     "window.__INIT_DATA module @ali/cmod-od-wap-main-pic: offerImgList 5, skuImages 8 (each name and imgUrl), "
     "videoId 0"},
    {"tmall-1.html", true, HarvestTmallItem, Platform::Tmall, "https://detail.tmall.com/item.htm?id=617129397971", 3,
     10, 10, "617129397971",
     "随行盾(SPORTLINK)适用于苹果手表充电支架applewatch7/9底座S8无线iwatch新款Ultra2手表架Airpods耳机架", "",
     "res.item.images has 3; skuBase.props: 颜色分类 with 10 values, each with an image; no video"},
    {"taobao-1.html", true, HarvestTaobaoItem, Platform::Taobao, "https://item.taobao.com/item.htm?id=1076425861755", 0,
     0, 0, "1076425861755", "洁柔抽纸Face粉软柔韧100抽3层抽实惠亲肤细腻宝宝可用2元包邮", "",
     "cleaned by its owner: res.item holds only itemId, title and a sales count"},
};

// The page as the engine hands it over, with the encoding it reports or (`reported` false) with
// none, as a page handed in otherwise.
FetchedPage AsTheEngineHandsItOver(const std::string& bytes, bool engineDecodes, bool reported) {
  FetchedPage page(engineDecodes ? Utf8ToGbk(bytes) : bytes);
  if (reported) page.encoding = engineDecodes ? PageEncoding::Gbk : PageEncoding::Utf8;
  return page;
}

TEST(CurrentPagesTest, EveryPageYieldsItsPicturesNamesAndIds) {
  const std::string dir = CurrentPagesDir();
  if (dir.empty()) return MissingSavedPages("current-pages");
  for (const CurrentPage& page : kPages) {
    for (bool reported : {false, true}) {
      SCOPED_TRACE(std::string(page.file) + (reported ? " (encoding reported): " : ": ") + page.why);
      ScriptedFetch fetch;
      fetch.answers[page.link] =
          AsTheEngineHandsItOver(ReadTestFile(dir + "/" + page.file), page.engineDecodes, reported);
      ASSERT_FALSE(fetch.answers[page.link].text.empty());
      RecordingSink sink;
      const ExtractionReport report =
          page.harvest({page.link, [] { return std::string("c=1"); }, fetch.Function(), Hosts(), nullptr, Utf8ToGbk},
                       sink);

      EXPECT_EQ(CountKind(sink, page.platform, PictureKind::Main), page.mainPictures);
      EXPECT_EQ(CountKind(sink, page.platform, PictureKind::Sku), page.skuPictures);
      EXPECT_EQ(report.mainPictures, page.mainPictures);
      EXPECT_EQ(report.skuPictures, page.skuPictures);
      EXPECT_EQ(sink.itemId, page.itemId);
      EXPECT_EQ(sink.videoUrl, page.videoUrl);
      EXPECT_EQ(report.video, *page.videoUrl != '\0');
      // The title line and an empty line, then one line per SKU name.
      const std::string title = page.title;
      ASSERT_EQ(sink.text.substr(0, title.size() + 4), title + "\r\n\r\n");
      int lines = 0;
      for (size_t at = title.size() + 4; (at = sink.text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
      EXPECT_EQ(lines, page.skuNames);
      for (const Row& row : sink.rows) EXPECT_EQ(row.url.rfind("https://", 0), 0u) << row.url;
      EXPECT_EQ(report.trouble, PageTrouble::None);
      EXPECT_FALSE(report.cutShort);
    }
  }
}

TEST(CurrentPagesTest, AlibabaDetailPicturesComeFromTheDescriptionDocument) {
  const std::string dir = CurrentPagesDir();
  if (dir.empty()) return MissingSavedPages("current-pages");
  const std::string link = "https://detail.1688.com/offer/1007511748868.html";
  const std::string descUrl = "https://itemcdn.tmall.com/1688offer/icoss1516487213c4a2fa40226c2e8b";
  ScriptedFetch fetch;
  fetch.pages[link] = Utf8ToGbk(ReadTestFile(dir + "/1688-1.html"));
  // No meta tag: the document arrives as its bytes.
  fetch.pages[descUrl] = ReadTestFile(dir + "/1688-1-desc.js");
  RecordingSink sink;
  CookieBox box;
  const ExtractionReport report =
      HarvestAlibabaItem({link, box.Reader(), fetch.Function(), Hosts(), nullptr, Utf8ToGbk}, sink);

  // 17 <img> tags in the document's content; the first is the third SKU's picture again.
  EXPECT_EQ(CountKind(sink, Platform::Alibaba, PictureKind::Detail), 17);
  EXPECT_EQ(report.detailPictures, 17);
  EXPECT_EQ(report.detail, DetailTrouble::None);
  ASSERT_EQ(sink.rows.size(), 16u + 11u + 17u);
  EXPECT_EQ(sink.rows[0], (Row{"1", "https://cbu01.alicdn.com/img/ibank/O1CN01FxqkwU1rJR2gmrqJT_!!2221089585610-0-cib.jpg",
                               "阿里主图图片1"}));
  EXPECT_EQ(sink.rows[16], (Row{"17", "https://cbu01.alicdn.com/img/ibank/O1CN01m6P7Mf1rJR2hBtjPc_!!2221089585610-0-cib.jpg",
                                "阿里SKU图片1"}));
  EXPECT_EQ(sink.rows[27], (Row{"28", "https://cbu01.alicdn.com/img/ibank/O1CN016eF4xV1rJR2bXz9ZN_!!2221089585610-0-cib.jpg",
                                "阿里详情图片1"}));
  EXPECT_EQ(sink.rows.back().url, "https://cbu01.alicdn.com/img/ibank/O1CN01R4euBV1rJR2hMahSB_!!2221089585610-0-cib.jpg");
  // The SKU names: the eleven fans, then the one pack size.
  EXPECT_NE(sink.text.find("\r\n\r\n玫红+粉色+浅粉花朵扇\r\n"), std::string::npos);
  EXPECT_NE(sink.text.find("彩色系纸扇\r\n9个装\r\n"), std::string::npos);
  // The offer page goes without a cookie (an empty description address first, as the marker
  // procedure asks for it); the description host lies under tmall.com, so it gets the cookie.
  ASSERT_EQ(fetch.requests.size(), 3u);
  EXPECT_EQ(fetch.requests[0], (FetchRecord{link, std::nullopt}));
  EXPECT_EQ(fetch.requests[2], (FetchRecord{descUrl, "cookie-2"}));
  EXPECT_EQ(sink.descriptionUrl, descUrl);
  EXPECT_EQ(ExtractionStatusText(report), "44张图片：主图16，SKU图11，详情图17，视频1个（阿里数据）");
}

TEST(CurrentPagesTest, TaobaoAndTmallWithoutATokenSayTheDetailPicturesWereNotRead) {
  const std::string dir = CurrentPagesDir();
  if (dir.empty()) return MissingSavedPages("current-pages");
  ScriptedFetch fetch;
  const std::string link = "https://detail.tmall.com/item.htm?id=617129397971";
  fetch.pages[link] = Utf8ToGbk(ReadTestFile(dir + "/tmall-1.html"));
  RecordingSink sink;
  const ExtractionReport report =
      HarvestTmallItem({link, [] { return std::string("t=1; cna=x"); }, fetch.Function(), Hosts()}, sink);
  EXPECT_EQ(report.detail, DetailTrouble::NoToken);
  EXPECT_EQ(sink.rows.size(), 13u);
  EXPECT_EQ(ExtractionStatusText(report),
            "13张图片，详情图未能读取：Cookie里没有接口令牌，请重新登录或粘贴新的Cookie；主图3，SKU图10，详情图0（天猫数据）");
}

}  // namespace
