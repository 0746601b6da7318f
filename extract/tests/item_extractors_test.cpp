#include "extract/item_extractors.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "config/endpoints.h"
#include "extract/extraction_gate.h"
#include "extract/md5.h"
#include "extract/page_redirects.h"
#include "extract/tests/extractor_fixtures.h"

namespace {

// Pages name the real description server; everything fetched lives on test hosts.
EndpointHosts TestHosts() {
  return {"desc.test", kTaobaoDescLinkHost, "video.test", kTmallTitleDomain, "img.test", "m.test"};
}

const std::string kTaobaoLink = "https://item.taobao.com/item.htm?id=601234567890";
const std::string kTaobaoDescUrl =
    "https://desc.test/i1/601/234/601234567890/"
    "TB1aBcDeFgH.desc%7Cvar%5Edesc%3Bsign%5E0a1b2c3d4e5f%3Blang%5Egbk%3Bt%5E1601234567";
const std::string kTmallLink = "https://detail.tmall.com/item.htm?id=602345678901";
const std::string kTmallDescUrl =
    "https://desc.test/i2/602/345/602345678901/"
    "TB1TmDesc.desc%7Cvar%5Edesc%3Bsign%5Eab12cd34%3Blang%5Egbk%3Bt%5E1601234567";
const std::string kJdLink = "https://item.jd.com/100012345678.html";
const std::string kJdMobileUrl = "https://m.test/detail/100012345678_d10480324630_normal.html";
const std::string kAlibabaLink = "https://detail.1688.com/offer/610123456789.html";
const std::string kAlibabaDescUrl = "https://desc.test/tfscom/TB1OfferDesc";

using Harvest = ExtractionReport (*)(const ItemSource&, HarvestSink&);

struct Session {
  ScriptedFetch fetch;
  CookieBox box;
  RecordingSink sink;

  void Go(Harvest harvest, const std::string& link) {
    harvest({link, box.Reader(), fetch.Function(), TestHosts()}, sink);
  }
};

std::vector<Row> Rows(const std::string& label, const std::vector<std::string>& urls, int firstNumber) {
  std::vector<Row> rows;
  int n = 0;
  for (const std::string& url : urls)
    rows.push_back({std::to_string(firstNumber + n), url, label + std::to_string(n + 1)}), ++n;
  return rows;
}

std::vector<Row> Concat(std::initializer_list<std::vector<Row>> parts) {
  std::vector<Row> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// ---- Taobao ----

const std::vector<Row> kTaobaoRows = Concat({
    Rows("淘宝主图图片",
         {"https://gd1.alicdn.com/imgextra/i1/2200000001/O1CN01Main1_!!2200000001.jpg",
          "https://gd2.alicdn.com/imgextra/i2/2200000001/O1CN01Main2_!!2200000001.jpg",
          "https://gd3.alicdn.com/imgextra/i3/2200000001/O1CN01Main3_!!2200000001.png",
          "https://gd4.alicdn.com/imgextra/i4/2200000001/O1CN01Main4_!!0-item_pic.jpg"},
         1),
    Rows("淘宝SKU图片",
         {"https://gd3.alicdn.com/imgextra/i3/2200000001/O1CN01Sku1_!!2200000001.jpg",
          "https://gd1.alicdn.com/imgextra/i1/2200000001/O1CN01Sku2_!!2200000001.jpg"},
         5),
    Rows("淘宝详情图片",
         {"https://img.alicdn.com/imgextra/i1/2200000001/O1CN01Desc1_!!2200000001.jpg",
          "https://img.alicdn.com/imgextra/i2/2200000001/O1CN01Desc2_!!2200000001.png",
          "https://img.alicdn.com/imgextra/i3/2200000001/O1CN01Desc3_!!2200000001.jpg"},
         7),
});

const std::string kTaobaoText =
    "秋冬新款 加厚羊羔毛外套女 短款宽松夹克-淘宝网\r\n\r\n"
    "黑色\r\n米白色（加绒）\r\n"
    "面料:羊羔毛\r\n服装版型:宽松\r\n上市年份季节:2020年冬季\r\n颜色分类:黑色米白色\r\n";

TEST(TaobaoExtractorTest, HarvestsTheFixtureItem) {
  Session run;
  run.fetch.pages[kTaobaoLink] = FixtureGbk("taobao_item.html");
  run.fetch.pages[kTaobaoDescUrl] = FixtureGbk("taobao_desc.js");
  run.Go(HarvestTaobaoItem, kTaobaoLink);

  // The cookie box is read again for the second request, so each carries what the box held then.
  EXPECT_EQ(run.fetch.requests, (std::vector<FetchRecord>{{kTaobaoLink, "cookie-1"},
                                                          {kTaobaoDescUrl, "cookie-2"}}));
  EXPECT_EQ(run.sink.rows, kTaobaoRows);
  EXPECT_EQ(run.sink.text, kTaobaoText);
  EXPECT_EQ(run.sink.itemId, "601234567890");
  EXPECT_EQ(run.sink.videoUrl, "http://video.test/play/u/2200000001/p/1/e/6/t/1/270123456789.mp4");
  EXPECT_EQ(run.sink.descriptionUrl, kTaobaoDescUrl);
  EXPECT_EQ(run.sink.descriptionPage, FixtureGbk("taobao_desc.js"));
  // In one go, the text (title, SKU names, attributes) in one piece where the title came.
  const std::vector<std::string> expectedCalls = {
      "DeliveryStarts", "AppendText", "SetVideoUrl", "SetItemId", "SetDescriptionUrl", "SetDescriptionPage",
      "PublishPictures 淘宝主图图片 4", "PublishPictures 淘宝SKU图片 2", "PublishPictures 淘宝详情图片 3",
      "DeliveryEnds"};
  EXPECT_EQ(run.sink.calls, expectedCalls);
}

TEST(TaobaoExtractorTest, AnEmptyPageStillAsksForTheDescriptionAndDeliversNothing) {
  Session run;  // every request answers ""
  run.Go(HarvestTaobaoItem, kTaobaoLink);
  EXPECT_EQ(run.fetch.requests, (std::vector<FetchRecord>{{kTaobaoLink, "cookie-1"},
                                                          {"https://desc.test/", "cookie-2"}}));
  EXPECT_TRUE(run.sink.calls.empty()) << "no title line, no item id, no video address of the fixed parts";
}

TEST(TaobaoExtractorTest, EmptyCookieBoxIsSentAsAnEmptyCookieNotAsNone) {
  ScriptedFetch fetch;
  RecordingSink sink;
  HarvestTaobaoItem({kTaobaoLink, [] { return std::string(); }, fetch.Function(), TestHosts()}, sink);
  ASSERT_EQ(fetch.requests.size(), 2u);
  EXPECT_EQ(fetch.requests[0].cookies, std::optional<std::string>(""));
  EXPECT_EQ(fetch.requests[1].cookies, std::optional<std::string>(""));
}

TEST(TaobaoExtractorTest, ThumbnailCutsTable) {
  // What the gallery gives for thumbnail lists of different shapes.
  struct Case {
    const char* name;
    std::string gallery;
    std::vector<std::string> expected;
  } cases[] = {
      {"the same picture twice gives two rows",
       "<img data-src=\"https://gd1.alicdn.com/a.jpg_50x50.jpg\" /><img data-src=\"https://gd1.alicdn.com/a.jpg_50x50.jpg\" />",
       {"https://gd1.alicdn.com/a.jpg", "https://gd1.alicdn.com/a.jpg"}},
      {"protocol-relative thumbnails",
       "<img data-src=\"//gd2.alicdn.com/b.jpg_50x50.jpg\" /><img data-src=\"//img.alicdn.com/c.png_50x50.jpg\" />",
       {"https://gd2.alicdn.com/b.jpg", "https://img.alicdn.com/c.png"}},
      {"a link before the first thumbnail is no picture",
       "<a href=\"//www.taobao.com/view_image.php?pic=Wx0\" target=\"_blank\"><img data-src=\"//gd3.alicdn.com/d.jpg_50x50.jpg\" /></a>",
       {"https://gd3.alicdn.com/d.jpg"}},
      {"thumbnails without the size suffix give nothing", "<img src=\"//gd1.alicdn.com/e.jpg\" />", {}},
  };
  for (const Case& c : cases) {
    Session run;
    run.fetch.pages[kTaobaoLink] =
        "<ul id=\"J_UlThumb\" class=\"tb-thumb tb-clearfix\">" + c.gallery + "</ul><script>this.WebP</script>";
    run.Go(HarvestTaobaoItem, kTaobaoLink);
    EXPECT_EQ(run.sink.rows, Rows("淘宝主图图片", c.expected, 1)) << c.name;
  }
}

// A gallery of one picture: a page that yields no picture delivers nothing at all.
const std::string kOneTaobaoThumbnail =
    "<ul class=\"tb-clearfix\"><img data-src=\"//gd1.alicdn.com/a.jpg_50x50.jpg\" /></ul><script>this.WebP</script>";
const std::string kOneTmallThumbnail =
    "<ul class=\"tb-thumb-content\"><img src=\"//img.alicdn.com/a.jpg_60x60q90.jpg\"></ul><div class=\"tb-thumb-right\">";

TEST(TaobaoExtractorTest, SkuNamesComeFromThePropertyMemoOnly) {
  struct Case {
    const char* name;
    std::string script;
    std::string expectedText;
  } cases[] = {
      {"names in page order", "propertyMemoMap: {\"1627207:1\":\"红色\",\"1627207:2\":\"蓝色\"}", "\r\n\r\n红色\r\n蓝色\r\n"},
      {"an empty memo", "propertyMemoMap: {}", "\r\n\r\n"},
      {"no memo at all", "skuMap: {\";1627207:1;\":{\"price\":\"9.90\"}}", "\r\n\r\n"},
      {"the memo ends at its first brace", "propertyMemoMap: {\"1:1\":\"甲\"} , other: {\"x\":\"乙\"}", "\r\n\r\n甲\r\n"},
  };
  for (const Case& c : cases) {
    Session run;
    run.fetch.pages[kTaobaoLink] = kOneTaobaoThumbnail + "<script>" + c.script + "</script>";
    run.Go(HarvestTaobaoItem, kTaobaoLink);
    EXPECT_EQ(run.sink.text, c.expectedText) << c.name;
  }
}

TEST(TaobaoExtractorTest, CharacterReferencesLeaveTheAttributes) {
  Session run;
  run.fetch.pages[kTaobaoLink] = kOneTaobaoThumbnail +
      "<ul class=\"attributes-list\"><li title=\"&nbsp;棉\">材质:&nbsp;棉</li>"
      "<li title=\"A&amp;B\">品牌:&#160;A&amp;B</li></ul>";
  run.Go(HarvestTaobaoItem, kTaobaoLink);
  EXPECT_EQ(run.sink.text, "\r\n\r\n材质:棉\r\n品牌:AB\r\n");
}

TEST(TaobaoExtractorTest, TwoRunsWithoutAClearContinueRowsAndRestartKinds) {
  Session run;
  run.fetch.pages[kTaobaoLink] = FixtureGbk("taobao_item.html");
  run.fetch.pages[kTaobaoDescUrl] = FixtureGbk("taobao_desc.js");
  run.Go(HarvestTaobaoItem, kTaobaoLink);
  run.Go(HarvestTaobaoItem, kTaobaoLink);

  ASSERT_EQ(run.sink.rows.size(), 2 * kTaobaoRows.size());
  for (size_t i = 0; i < kTaobaoRows.size(); ++i) {
    const Row& second = run.sink.rows[kTaobaoRows.size() + i];
    EXPECT_EQ(second.number, std::to_string(kTaobaoRows.size() + i + 1));
    EXPECT_EQ(second.url, kTaobaoRows[i].url);
    EXPECT_EQ(second.label, kTaobaoRows[i].label);  // "淘宝主图图片1" again
  }
  EXPECT_EQ(run.sink.text, kTaobaoText + kTaobaoText);
  EXPECT_EQ(run.box.reads, 4);
}

// ---- Tmall ----

const std::vector<Row> kTmallRows = Concat({
    Rows("天猫主图图片",
         {"https://img.alicdn.com/imgextra/i1/2200000002/O1CN01TmMain1_!!2200000002.jpg",
          "https://img.alicdn.com/imgextra/i2/2200000002/O1CN01TmMain2_!!2200000002.jpg",
          "https://img.alicdn.com/imgextra/i3/2200000002/O1CN01TmMain3_!!0-item_pic.jpg"},
         1),
    Rows("天猫SKU图片",
         {"https://img.alicdn.com/imgextra/i1/2200000002/O1CN01TmSku1_!!2200000002.jpg",
          "https://img.alicdn.com/imgextra/i2/2200000002/O1CN01TmSku2_!!2200000002.jpg"},
         4),
    Rows("天猫详情图片",
         {"https://img.alicdn.com/imgextra/i1/2200000002/O1CN01TmDesc1_!!2200000002.jpg",
          "https://img.alicdn.com/imgextra/i2/2200000002/O1CN01TmDesc2_!!2200000002.jpg"},
         6),
});

TEST(TmallExtractorTest, HarvestsTheFixtureItem) {
  Session run;
  run.fetch.pages[kTmallLink] = FixtureGbk("tmall_item.html");
  run.fetch.pages[kTmallDescUrl] = FixtureGbk("tmall_desc.js");
  run.Go(HarvestTmallItem, kTmallLink);

  EXPECT_EQ(run.fetch.requests, (std::vector<FetchRecord>{{kTmallLink, "cookie-1"},
                                                          {kTmallDescUrl, "cookie-2"}}));
  EXPECT_EQ(run.sink.rows, kTmallRows);
  EXPECT_EQ(run.sink.text,
            "春夏新款 真丝印花连衣裙女 桑蚕丝中长裙\r\n\r\n"
            "藏青色\r\n杏色碎花\r\nS\r\nM\r\n"
            "面料:桑蚕丝\r\n裙长:中长裙\r\n颜色分类:藏青色杏色碎花\r\n");
  EXPECT_EQ(run.sink.itemId, "602345678901");
  EXPECT_EQ(run.sink.videoUrl, "http://video.test/play/u/2200000002/p/1/e/6/t/1/280234567890.mp4");
  EXPECT_EQ(run.sink.descriptionUrl, kTmallDescUrl);
  EXPECT_EQ(run.sink.descriptionPage, FixtureGbk("tmall_desc.js"));
}

TEST(TmallExtractorTest, TitleWithoutTheSuffixAndApostropheDescriptionLink) {
  Session run;
  // A Taobao-style description link (apostrophe, comma) is not the Tmall form.
  run.fetch.pages[kTmallLink] = kOneTmallThumbnail +
      "<title>春夏新款连衣裙-天猫Tmall.com</title>"
      "<div class=\"tb-skin\"><span>白色</span></div><dd id=\"J_Amount\"></dd>"
      "<script>descUrl: '//descnew.taobao.com/i2/602/TB1x.desc%7Cvar',</script>";
  run.Go(HarvestTmallItem, kTmallLink);
  EXPECT_EQ(run.sink.text, "\r\n\r\n白色\r\n");
  EXPECT_EQ(run.sink.descriptionUrl, "https://desc.test/");
  ASSERT_EQ(run.fetch.requests.size(), 2u);
  EXPECT_EQ(run.fetch.requests[1], (FetchRecord{"https://desc.test/", "cookie-2"}));
}

TEST(TmallExtractorTest, QuoteCommaDescriptionLinkIsFound) {
  Session run;
  run.fetch.pages[kTmallLink] =
      kOneTmallThumbnail + "{\"httpsDescUrl\":\"//descnew.taobao.com/i2/602/TB1x.desc\",\"fetchDcUrl\":\"\"}";
  run.Go(HarvestTmallItem, kTmallLink);
  EXPECT_EQ(run.sink.descriptionUrl, "https://desc.test/i2/602/TB1x.desc");
}

// ---- JD ----

const std::string kJdBase = "https://img.test//imgzone//jfs";

TEST(JdExtractorTest, HarvestsTheFixtureItemWithoutCookies) {
  Session run;
  run.fetch.pages[kJdLink] = FixtureGbk("jd_item.html");
  run.fetch.pages[kJdMobileUrl] = FixtureGbk("jd_mobile_detail.html");
  run.Go(HarvestJdItem, kJdLink);

  EXPECT_EQ(run.fetch.requests, (std::vector<FetchRecord>{{kJdLink, std::nullopt},
                                                          {kJdMobileUrl, std::nullopt}}));
  EXPECT_EQ(run.box.reads, 0);
  const std::vector<Row> expected = Concat({
      Rows("京东主图图片",
           {kJdBase + "/t1/111111/1/2222/33333/5f1a2b3cE4d5e6f7a/0123456789abcdef.jpg",
            kJdBase + "/t1/122222/2/3333/44444/5f1a2b3dE5d6e7f8b/1123456789abcdef.jpg",
            kJdBase + "/t1/133333/3/4444/55555/5f1a2b3eE6d7e8f9c/2123456789abcdef.png"},
           1),
      Rows("京东SKU图片",
           {kJdBase + "/t1/144444/4/5555/66666/5f1a2b3fE7d8e9f0d/3123456789abcdef.jpg",
            kJdBase + "/t1/155555/5/6666/77777/5f1a2b40E8d9e0f1e/4123456789abcdef.jpg"},
           4),
      // The .png detail picture is listed with ".jpg" put after its path.
      Rows("京东详情图片",
           {kJdBase + "/t1/166666/6/7777/88888/5f1a2b41E9d0e1f2f/5123456789abcdef.jpg",
            kJdBase + "/t1/177777/7/8888/99999/5f1a2b42E0e1f2a3a/6123456789abcdef.jpg",
            kJdBase + "/t1/188888/8/9999/11111/5f1a2b43E1f2a3b4b/7123456789abcdef.jpg"},
           6),
  });
  EXPECT_EQ(run.sink.rows, expected);
  EXPECT_EQ(run.sink.text,
            "商品名称：华为FreeBuds\r\n商品编号：100012345678\r\n商品毛重：120.00g\r\n"
            "佩戴方式：入耳式\r\n功能：主动降噪\r\n");
  EXPECT_EQ(run.sink.itemId, "100012345678");
  // JD runs neither touch the description boxes nor append a title line.
  EXPECT_EQ(run.sink.calls[1], "SetItemId");
  EXPECT_EQ(std::count(run.sink.calls.begin(), run.sink.calls.end(), "SetDescriptionUrl"), 0);
  EXPECT_EQ(std::count(run.sink.calls.begin(), run.sink.calls.end(), "SetDescriptionPage"), 0);
}

TEST(JdExtractorTest, ClearsTheVideoOfAnEarlierItem) {
  Session run;
  run.fetch.pages[kTaobaoLink] = FixtureGbk("taobao_item.html");
  run.Go(HarvestTaobaoItem, kTaobaoLink);
  ASSERT_NE(run.sink.videoUrl, "");
  run.fetch.pages[kJdLink] = FixtureGbk("jd_item.html");
  run.Go(HarvestJdItem, kJdLink);
  EXPECT_EQ(run.sink.videoUrl, "");
  EXPECT_EQ(run.sink.itemId, "100012345678");
}

TEST(JdExtractorTest, SkuIdNeedsTheBlankAfterItsMarker) {
  Session run;
  run.fetch.pages[kJdLink] = "<ul class=\"spec-list\"><li><img data-url='jfs/t1/1/a.jpg'></li></ul><div class=\"preview-info\">"
                             "<script>var pageConfig = {product: {skuid:100012345678, name: 'x'}};</script>";
  run.Go(HarvestJdItem, kJdLink);
  EXPECT_EQ(run.sink.itemId, "100012345678") << "the item is named after its link";
  ASSERT_EQ(run.fetch.requests.size(), 2u);
  EXPECT_EQ(run.fetch.requests[1],
            (FetchRecord{"https://m.test/detail/_d10480324630_normal.html", std::nullopt}));
}

TEST(JdExtractorTest, EveryJfsOnTheMobilePageIsADetailPicture) {
  Session run;
  run.fetch.pages[kJdLink] = "skuid: 7,";
  run.fetch.pages["https://m.test/detail/7_d10480324630_normal.html"] =
      "<script src=\"//static.360buyimg.com/jfs-loader.js\"></script><img src=\"//img30.360buyimg.com/sku/jfs/t1/1/a.gif\">";
  run.Go(HarvestJdItem, kJdLink);
  EXPECT_EQ(run.sink.rows, Rows("京东详情图片", {kJdBase + "-loader.jpg", kJdBase + "/t1/1/a.jpg"}, 1));
}

TEST(JdExtractorTest, HostilePagesDoNotExhaustMemory) {
  // A left marker repeated ahead of one far right marker: the overlapping pieces would add up to
  // hundreds of gigabytes. Such a cut yields nothing; the other cuts of the run still work.
  std::string repeated;
  for (int i = 0; i < 400000; ++i) repeated += "jfs";
  Session run;
  run.fetch.pages[kJdLink] = FixtureGbk("jd_item.html");
  run.fetch.pages[kJdMobileUrl] = "<p>" + repeated + ".</p>";
  run.Go(HarvestJdItem, kJdLink);
  EXPECT_EQ(run.sink.rows.size(), 5u) << "the gallery and SKU pictures, no detail pictures";
  EXPECT_EQ(run.sink.itemId, "100012345678");
}

// ---- Alibaba ----

TEST(AlibabaExtractorTest, HarvestsTheFixtureOffer) {
  Session run;
  run.fetch.pages[kAlibabaLink] = FixtureGbk("alibaba_offer.html", {{"DESC_URL", kAlibabaDescUrl}});
  run.fetch.pages[kAlibabaDescUrl] = FixtureGbk("alibaba_desc.js");
  run.Go(HarvestAlibabaItem, kAlibabaLink);

  // The offer page goes without a cookie, the description document with the box's text.
  EXPECT_EQ(run.fetch.requests, (std::vector<FetchRecord>{{kAlibabaLink, std::nullopt},
                                                          {kAlibabaDescUrl, "cookie-1"}}));
  // Three colours but two pictures: the SKU picture numbers do not follow the names.
  const std::vector<Row> expected = Concat({
      Rows("阿里主图图片",
           {"https://cbu01.alicdn.com/img/ibank/2020/555/666/2005555666_2100000003.jpg",
            "https://cbu01.alicdn.com/img/ibank/2020/777/888/2007777888_2100000003.jpg"},
           1),
      Rows("阿里SKU图片",
           {"https://cbu01.alicdn.com/img/ibank/2020/111/222/2001111222_2100000003.jpg",
            "https://cbu01.alicdn.com/img/ibank/2020/333/444/2003333444_2100000003.jpg"},
           3),
      Rows("阿里详情图片",
           {"https://cbu01.alicdn.com/img/ibank/2020/901/234/2009901234_2100000003.jpg",
            "https://cbu01.alicdn.com/img/ibank/2020/902/345/2009902345_2100000003.jpg"},
           5),
  });
  EXPECT_EQ(run.sink.rows, expected);
  EXPECT_EQ(run.sink.text,
            "厂家直销 304不锈钢保温杯 大容量商务水杯 可定制logo\r\n\r\n"
            "象牙白\r\n磨砂黑\r\n樱花粉\r\n500ml\r\n750ml\r\n");
  // Filed under the offer number of the link; the video keeps its video id's name.
  EXPECT_EQ(run.sink.itemId, "610123456789");
  EXPECT_EQ(run.sink.videoName, "350123456789");
  EXPECT_EQ(run.sink.videoUrl, "http://video.test/play/u/2100000003/p/2/e/6/t/1/350123456789.mp4");
  EXPECT_EQ(run.sink.descriptionUrl, kAlibabaDescUrl);
  EXPECT_EQ(run.sink.descriptionPage, FixtureGbk("alibaba_desc.js"));
}

TEST(AlibabaExtractorTest, OfferWithoutVideoOrDescription) {
  Session run;
  run.fetch.pages[kAlibabaLink] =
      "<title>无视频商品 - 阿里巴巴</title>"
      "<li class=\"tab-trigger active\" data-imgs='{\"original\":\"//cbu01.alicdn.com/a.jpg\"}'></li>"
      "<div class=\"unit-detail-fav\"></div>"
      "\"skuProps\":[{\"prop\":\"颜色\",\"value\":[{\"name\":\"红\"}]}] iDetailData.allTagIds";
  run.Go(HarvestAlibabaItem, kAlibabaLink);
  EXPECT_EQ(run.sink.itemId, "610123456789") << "the offer id of the link";
  EXPECT_EQ(run.sink.videoUrl, "");
  // A protocol-relative address gets its scheme; the title lacks the exact suffix.
  EXPECT_EQ(run.sink.rows, Rows("阿里主图图片", {"https://cbu01.alicdn.com/a.jpg"}, 1));
  EXPECT_EQ(run.sink.text, "\r\n\r\n红\r\n");
  // The description request is made with an empty address all the same.
  EXPECT_EQ(run.fetch.requests, (std::vector<FetchRecord>{{kAlibabaLink, std::nullopt}, {"", "cookie-1"}}));
}

// ---- what a run names and leaves out ----

const std::string kOneOfferPicture =
    "<li class=\"tab-trigger active\" data-imgs='{\"original\":\"//cbu01.alicdn.com/a.jpg\"}'></li>"
    "<div class=\"unit-detail-fav\"></div>";
const std::string kOneJdPicture = "<ul class=\"spec-list\"><img data-url='jfs/t1/1/a.jpg'></ul><div class=\"preview-info\">";

// Every item gets a folder of its own: where the page gives no id (or the "0" of an offer without
// a video), the item is named after the number in its link, failing that after the harvest's time.
// A page without both of the video's ids has no video, rather than an address of the fixed parts.
TEST(ItemNameAndVideoTest, WhatThePageLeavesOutComesFromTheLinkOrIsLeftOut) {
  const std::string noVideo = "\"videoId\":\"0\",\"userId\":\"2206450696202\",\"title\"";
  struct Case {
    const char* name;
    Harvest harvest;
    std::string link, page, itemId, videoUrl;
  } cases[] = {
      {"Taobao without the video's owner or its item id", HarvestTaobaoItem, kTaobaoLink,
       kOneTaobaoThumbnail + "\"videoId\":\"270123456789\",", "601234567890", ""},
      {"Taobao without the video id, with its item id", HarvestTaobaoItem, kTaobaoLink,
       kOneTaobaoThumbnail + "\"videoOwnerId\":\"2200000001\", itemId=555&", "555", ""},
      {"Tmall without the video id", HarvestTmallItem, kTmallLink, kOneTmallThumbnail + "\"sellerId\":\"2200000002\",",
       "602345678901", ""},
      {"JD without the SKU id", HarvestJdItem, kJdLink, kOneJdPicture, "100012345678", ""},
      {"an offer without a video", HarvestAlibabaItem, kAlibabaLink, kOneOfferPicture + noVideo, "610123456789", ""},
      // Offers of one seller may share their video: each keeps its own folder.
      {"an offer with a video", HarvestAlibabaItem, kAlibabaLink,
       kOneOfferPicture + "\"videoId\":\"350123456789\",\"userId\":\"2100000003\",\"title\"", "610123456789",
       "http://video.test/play/u/2100000003/p/2/e/6/t/1/350123456789.mp4"},
      {"a link without a number", HarvestAlibabaItem, "https://detail.1688.com/offer.htm?spm=a2615",
       kOneOfferPicture + noVideo, "20261206-174533", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedFetch fetch;
    fetch.pages[c.link] = c.page;
    RecordingSink sink;
    const ExtractionReport report =
        c.harvest({c.link, nullptr, fetch.Function(), TestHosts(), nullptr, nullptr, "20261206-174533"}, sink);
    ASSERT_EQ(sink.rows.size(), 1u);
    EXPECT_EQ(sink.itemId, c.itemId);
    EXPECT_EQ(sink.videoUrl, c.videoUrl);
    EXPECT_EQ(report.video, !c.videoUrl.empty());
  }
}

// The window is going: the fetch under way is the run's last request, and nothing it found reaches
// the window.
TEST(StoppedRunTest, AStopEndsTheRunWithoutAnotherRequestOrAnyDelivery) {
  struct Case {
    Harvest harvest;
    std::string link;
  } cases[] = {{HarvestTaobaoItem, kTaobaoLink}, {HarvestJdItem, kJdLink}, {HarvestAlibabaItem, kAlibabaLink}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    ScriptedFetch fetch;
    fetch.pages[kTaobaoLink] = FixtureGbk("taobao_item.html");
    fetch.pages[kJdLink] = FixtureGbk("jd_item.html");
    fetch.pages[kAlibabaLink] = FixtureGbk("alibaba_offer.html", {{"DESC_URL", kAlibabaDescUrl}});
    bool stopped = false;
    const PageFetch scripted = fetch.Function();
    ItemSource source{c.link, nullptr,
                      [&](const std::string& url, const std::optional<std::string>& cookies) {
                        stopped = true;  // the close comes while the page loads
                        return scripted(url, cookies);
                      },
                      TestHosts()};
    source.stopped = [&] { return stopped; };
    RecordingSink sink;
    c.harvest(source, sink);
    EXPECT_EQ(fetch.requests.size(), 1u);
    EXPECT_TRUE(sink.calls.empty());
  }
}

// Page text with a line break never becomes a row, the video, or a request: it would start a
// header line of its own in the request for it.
TEST(AlibabaExtractorTest, AddressesWithLineBreaksAreDropped) {
  Session run;
  run.fetch.pages[kAlibabaLink] =
      "\"videoId\":\"35\r\nX-Injected: from-page\",\"userId\":\"21\",\"title"
      "<li class=\"tab-trigger active\" data-imgs='{\"original\":\"https://cbu01.alicdn.com/a.jpg\r\n"
      "X-Injected: from-page\"}'></li>"
      "<li data-imgs='{\"original\":\"https://cbu01.alicdn.com/b.jpg\"}'></li><div class=\"unit-detail-fav\"></div>"
      "<div data-tfs-url=\"https://desc.test/d\nX-Injected: from-page\" data-enable=\"true\"></div>";
  run.Go(HarvestAlibabaItem, kAlibabaLink);
  EXPECT_EQ(run.sink.rows, Rows("阿里主图图片", {"https://cbu01.alicdn.com/b.jpg"}, 1));
  EXPECT_EQ(run.sink.videoUrl, "");
  EXPECT_EQ(run.sink.descriptionUrl, "");
  EXPECT_EQ(run.fetch.requests, (std::vector<FetchRecord>{{kAlibabaLink, std::nullopt}, {"", "cookie-1"}}));
}

// ---- one run at a time, and clearing under a run ----

TEST(ExtractionGateTest, ButtonPressedDuringARunIsIgnored) {
  ExtractionGate gate;
  Session run;
  run.fetch.pages[kTaobaoLink] = FixtureGbk("taobao_item.html");
  run.fetch.pages[kTaobaoDescUrl] = FixtureGbk("taobao_desc.js");
  ScriptedFetch nestedFetch;
  bool nestedRan = true;
  PageFetch fetch = run.fetch.Function();
  // While the description loads, the window lets a click on the JD button through.
  PageFetch clicking = [&](const std::string& url, const std::optional<std::string>& cookies) {
    if (url == kTaobaoDescUrl)
      nestedRan = gate.Run(run.sink, [&](HarvestSink& sink) {
        HarvestJdItem({kJdLink, nullptr, nestedFetch.Function(), TestHosts()}, sink);
      });
    return fetch(url, cookies);
  };
  EXPECT_TRUE(gate.Run(run.sink, [&](HarvestSink& sink) {
    HarvestTaobaoItem({kTaobaoLink, run.box.Reader(), clicking, TestHosts()}, sink);
  }));
  EXPECT_FALSE(nestedRan);
  EXPECT_TRUE(nestedFetch.requests.empty());
  EXPECT_EQ(run.sink.rows, kTaobaoRows);
  EXPECT_FALSE(gate.Running());
}

TEST(ExtractionGateTest, ClearDuringARunLeavesTheHarvestEmpty) {
  // The clear arrives while the description loads, and while the gallery is cut.
  struct Case {
    const char* name;
    bool duringFetch;
  } cases[] = {{"during the description request", true}, {"while a list is cut", false}};
  for (const Case& c : cases) {
    ExtractionGate gate;
    Session run;
    run.fetch.pages[kTaobaoLink] = FixtureGbk("taobao_item.html");
    run.fetch.pages[kTaobaoDescUrl] = FixtureGbk("taobao_desc.js");
    auto clear = [&] {
      run.sink.Clear();
      gate.NoteCleared();
    };
    PageFetch fetch = run.fetch.Function();
    PageFetch clearing = [&](const std::string& url, const std::optional<std::string>& cookies) {
      if (c.duringFetch && url == kTaobaoDescUrl) clear();
      return fetch(url, cookies);
    };
    bool pumped = false;
    std::function<void()> yield;
    if (!c.duringFetch)
      yield = [&] {
        if (!pumped) pumped = true, clear();
      };
    gate.Run(run.sink, [&](HarvestSink& sink) {
      HarvestTaobaoItem({kTaobaoLink, run.box.Reader(), clearing, TestHosts(), yield}, sink);
    });
    EXPECT_TRUE(run.sink.rows.empty()) << c.name;
    EXPECT_EQ(run.sink.text, "") << c.name;
    EXPECT_EQ(run.sink.itemId, "") << c.name;
    EXPECT_EQ(run.sink.videoUrl, "") << c.name;

    // The next run is not affected by the earlier clear.
    gate.Run(run.sink, [&](HarvestSink& sink) {
      HarvestTaobaoItem({kTaobaoLink, run.box.Reader(), fetch, TestHosts()}, sink);
    });
    EXPECT_EQ(run.sink.rows, kTaobaoRows) << c.name;
    EXPECT_EQ(run.sink.text, kTaobaoText) << c.name;
  }
}

TEST(ExtractionGateTest, ClearBetweenRunsDoesNotSilenceTheNextRun) {
  ExtractionGate gate;
  RecordingSink sink;
  gate.NoteCleared();
  EXPECT_TRUE(gate.Run(sink, [](HarvestSink& s) { s.SetItemId("1"); }));
  EXPECT_EQ(sink.itemId, "1");
}

// ---- today's pages, read when the marker cuts find no picture ----

EndpointHosts TodayHosts() {
  EndpointHosts hosts = TestHosts();
  hosts.TaobaoDescApiHost = "api.test";
  hosts.JdMobileImageHost = "jdimg.test";
  return hosts;
}

const std::string kTokenCookie = "t=1; _m_h5_tk=0123456789abcdef0123456789abcdef_1700000000000; cna=2";
const std::string kCallPrefix = "https://api.test/h5/mtop.taobao.detail.getdesc/6.0/?";

FetchedPage Answer(std::string text, int status, std::string failure = {}) {
  FetchedPage page(std::move(text));
  page.status = status;
  page.failure = std::move(failure);
  return page;
}

// What the page engine hands back when a server's certificate failed the check.
FetchedPage Rejected() {
  FetchedPage page = Answer("", 0, "714 服务器证书未通过验证!");
  page.certificateRejected = true;
  return page;
}

// The scripted pages, and one answer for whatever is asked of the description call (its address
// carries the time).
PageFetch WithDescriptionCall(ScriptedFetch& fetch, const FetchedPage& answer) {
  PageFetch scripted = fetch.Function();
  return [&fetch, scripted, answer](const std::string& url, const std::optional<std::string>& cookies) {
    if (url.rfind(kCallPrefix, 0) != 0) return scripted(url, cookies);
    fetch.requests.push_back({url, cookies});
    return answer;
  };
}

std::string QueryParameter(const std::string& url, const std::string& name) {
  const size_t at = url.find("&" + name + "=");
  if (at == std::string::npos) return {};
  const size_t begin = at + name.size() + 2;
  return url.substr(begin, url.find('&', begin) - begin);
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '%' && i + 2 < text.size()) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  return out;
}

const std::string kTodayText =
    "今日新款 纯棉T恤 男女同款\r\n\r\n淺藍色\r\n誠\r\n黑色\r\nM\r\nL\r\n品牌:某某\r\n面料:棉 氨纶\r\n适用季节:夏季\r\n";

TEST(TodaysPagesTest, TaobaoAndTmallReadThePageDataAndSignTheDescriptionCall) {
  struct Case {
    Harvest harvest;
    Platform platform;
    std::string link;
  } cases[] = {{HarvestTaobaoItem, Platform::Taobao, kTaobaoLink}, {HarvestTmallItem, Platform::Tmall, kTmallLink}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    ScriptedFetch fetch;
    fetch.pages[c.link] = FixtureGbk("taobao_today.html");
    const std::string answer = ReadTestFile(TestSourceDir() + "/extract/tests/fixtures/taobao_desc_answer.json");
    RecordingSink sink;
    const ExtractionReport report = c.harvest(
        {c.link, [] { return kTokenCookie; }, WithDescriptionCall(fetch, FetchedPage(answer)), TodayHosts()}, sink);

    const std::string main = PictureKindLabel(c.platform, PictureKind::Main);
    const std::string sku = PictureKindLabel(c.platform, PictureKind::Sku);
    const std::string detail = PictureKindLabel(c.platform, PictureKind::Detail);
    EXPECT_EQ(sink.rows,
              Concat({Rows(main,
                           {"https://img.alicdn.com/imgextra/i1/2200000009/O1CN01Today1_!!2200000009.jpg",
                            "https://img.alicdn.com/imgextra/i2/2200000009/O1CN01Today2_!!2200000009.jpg",
                            "https://img.alicdn.com/imgextra/i3/2200000009/O1CN01Today3_!!2200000009.png"},
                           1),
                      Rows(sku,
                           {"https://gw.alicdn.com/bao/uploaded/i1/2200000009/O1CN01Sku1_!!2200000009.jpg",
                            "https://gw.alicdn.com/bao/uploaded/i2/2200000009/O1CN01Sku2_!!2200000009.jpg"},
                           4),
                      Rows(detail,
                           {"https://img.alicdn.com/imgextra/i1/2200000009/O1CN01Desc1_!!2200000009.jpg",
                            "https://img.alicdn.com/imgextra/i2/2200000009/O1CN01Desc2_!!2200000009.png"},
                           6)}));
    EXPECT_EQ(sink.text, kTodayText);
    EXPECT_EQ(sink.itemId, "700000000001");
    EXPECT_EQ(sink.videoUrl, "https://cloud.video.taobao.com/play/u/2200000009/p/1/e/6/t/1/300000000001.mp4");
    // Only the harvest of the page data reaches the window, in the procedure's order.
    const std::vector<std::string> expectedCalls = {
        "DeliveryStarts", "AppendText", "SetVideoUrl", "SetItemId", "SetDescriptionUrl", "SetDescriptionPage",
        "PublishPictures " + main + " 3", "PublishPictures " + sku + " 2", "PublishPictures " + detail + " 2",
        "DeliveryEnds"};
    EXPECT_EQ(sink.calls, expectedCalls);

    // The item page, the marker procedure's description request, then the signed call.
    ASSERT_EQ(fetch.requests.size(), 3u);
    const FetchRecord& call = fetch.requests[2];
    EXPECT_EQ(call.cookies, std::optional<std::string>(kTokenCookie));
    EXPECT_EQ(sink.descriptionUrl, call.url);
    const std::string t = QueryParameter(call.url, "t");
    const std::string data = PercentDecoded(QueryParameter(call.url, "data"));
    EXPECT_EQ(data, "{\"id\":\"700000000001\",\"type\":\"1\",\"f\":\"desc/icoss123\"}");
    EXPECT_EQ(QueryParameter(call.url, "sign"), Md5Hex("0123456789abcdef0123456789abcdef&" + t + "&12574478&" + data));

    EXPECT_EQ(report.mainPictures, 3);
    EXPECT_EQ(report.skuPictures, 2);
    EXPECT_EQ(report.detailPictures, 2);
    EXPECT_TRUE(report.video);
    EXPECT_EQ(report.detail, DetailTrouble::None);
  }
}

TEST(TodaysPagesTest, AnUnreadableDescriptionLeavesTheOtherRows) {
  struct Case {
    const char* name;
    std::string cookies;
    FetchedPage answer;
    DetailTrouble trouble;
    size_t requests;
  } cases[] = {
      {"no token in the cookie", "t=1", FetchedPage(""), DetailTrouble::NoToken, 2},
      {"an expired token", kTokenCookie, FetchedPage(R"({"ret":["FAIL_SYS_TOKEN_EXOIRED::令牌过期"]})"),
       DetailTrouble::Refused, 3},
      {"a verification", kTokenCookie, FetchedPage(R"({"ret":["RGV587_ERROR::SM::被挤爆啦"]})"), DetailTrouble::Challenge, 3},
      {"no response", kTokenCookie, Answer("", 0, "712 接收响应失败!"), DetailTrouble::FetchFailed, 3},
      {"an error page", kTokenCookie, Answer("<html>502</html>", 502), DetailTrouble::FetchFailed, 3},
      {"a certificate that failed the check", kTokenCookie, Rejected(), DetailTrouble::CertificateRejected, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedFetch fetch;
    fetch.pages[kTaobaoLink] = FixtureGbk("taobao_today.html");
    RecordingSink sink;
    const std::string cookies = c.cookies;
    const ExtractionReport report = HarvestTaobaoItem(
        {kTaobaoLink, [cookies] { return cookies; }, WithDescriptionCall(fetch, c.answer), TodayHosts()}, sink);
    EXPECT_EQ(sink.rows.size(), 5u);
    EXPECT_EQ(sink.text, kTodayText);
    EXPECT_EQ(report.detailPictures, 0);
    EXPECT_EQ(report.detail, c.trouble);
    EXPECT_EQ(report.trouble, PageTrouble::None);
    EXPECT_EQ(fetch.requests.size(), c.requests);
  }
}

TEST(TodaysPagesTest, AlibabaReadsTheContextAndTheDescriptionDocument) {
  const std::string detailUrl = "https://itemcdn.tmall.com/1688offer/icossTEST";
  ScriptedFetch fetch;
  fetch.pages[kAlibabaLink] = FixtureGbk("alibaba_today.html", {{"DETAIL_URL", detailUrl}});
  fetch.pages[detailUrl] = ReadTestFile(TestSourceDir() + "/extract/tests/fixtures/alibaba_today_desc.js");
  CookieBox box;
  RecordingSink sink;
  const ExtractionReport report = HarvestAlibabaItem({kAlibabaLink, box.Reader(), fetch.Function(), TodayHosts()}, sink);

  EXPECT_EQ(sink.rows,
            Concat({Rows("阿里主图图片",
                         {"https://cbu01.alicdn.com/img/ibank/O1CN01Main1_!!2200000010-0-cib.jpg",
                          "https://cbu01.alicdn.com/img/ibank/O1CN01Main2_!!2200000010-0-cib.jpg"},
                         1),
                    Rows("阿里SKU图片", {"https://cbu01.alicdn.com/img/ibank/O1CN01Sku1_!!2200000010-0-cib.jpg"}, 3),
                    Rows("阿里详情图片",
                         {"https://cbu01.alicdn.com/img/ibank/O1CN01Desc1_!!2200000010-0-cib.jpg",
                          "https://cbu01.alicdn.com/img/ibank/O1CN01Desc2_!!2200000010-0-cib.jpg"},
                         4)}));
  EXPECT_EQ(sink.text, "淺藍色 誠 收纳盒\r\n\r\n淺藍色\r\n誠\r\n");
  EXPECT_EQ(sink.itemId, "610000000001");  // the offer id: this offer has no video
  EXPECT_EQ(sink.videoUrl, "");
  EXPECT_EQ(sink.descriptionUrl, detailUrl);
  // The offer page without a cookie, the marker procedure's empty description address, then the
  // document the page names, under tmall.com.
  EXPECT_EQ(fetch.requests, (std::vector<FetchRecord>{{kAlibabaLink, std::nullopt}, {"", "cookie-1"}, {detailUrl, "cookie-2"}}));
  EXPECT_EQ(ExtractionStatusText(report), "5张图片：主图2，SKU图1，详情图2（阿里数据）");
}

TEST(TodaysPagesTest, JdPhonePageWhenTheDesktopPageHoldsNoData) {
  const std::string phoneUrl = "https://m.test/product/100012345678.html";
  ScriptedFetch fetch;
  fetch.pages[kJdLink] = "<html><head><title>京东</title></head><body><div id=\"app\"></div></body></html>";
  fetch.pages[phoneUrl] = FixtureGbk("jd_phone.html");
  fetch.pages[kJdMobileUrl] = FixtureGbk("jd_phone_detail.html");
  CookieBox box;
  RecordingSink sink;
  const ExtractionReport report = HarvestJdItem({kJdLink, box.Reader(), fetch.Function(), TodayHosts()}, sink);

  const std::string base = "https://jdimg.test/mobilecms/";
  EXPECT_EQ(sink.rows,
            Concat({Rows("京东主图图片",
                         {base + "jfs/t1/11111/1/1111/111111/aaaa1111/0123456789abcdef.jpg",
                          base + "jfs/t1/22222/2/2222/222222/bbbb2222/1123456789abcdef.png"},
                         1),
                    Rows("京东SKU图片",
                         {base + "jfs/t1/33333/3/3333/333333/cccc3333/2123456789abcdef.jpg",
                          base + "jfs/t1/44444/4/4444/444444/dddd4444/3123456789abcdef.jpg"},
                         3),
                    Rows("京东详情图片",
                         {"https://img30.360buyimg.com/sku/jfs/t1/55555/5/5555/555555/eeee5555/4123456789abcdef.jpg",
                          "https://img10.360buyimg.com/imgzone/jfs/t1/66666/6/6666/666666/ffff6666/5123456789abcdef.png",
                          base + "jfs/t1/77777/7/7777/777777/aaaa7777/6123456789abcdef.gif"},
                         5)}));
  EXPECT_EQ(sink.text, "某品牌 智能手机 曜石黑 128GB\r\n\r\n曜石黑\r\n雪域白\r\n128GB\r\n256GB\r\n");
  EXPECT_EQ(sink.itemId, "100012345678");
  EXPECT_EQ(sink.videoUrl, "");
  // Every JD request goes without a cookie: the desktop page, the marker procedure's detail page
  // (no SKU id on the desktop page), the phone page, and the detail page of the SKU.
  EXPECT_EQ(fetch.requests, (std::vector<FetchRecord>{{kJdLink, std::nullopt},
                                                      {"https://m.test/detail/_d10480324630_normal.html", std::nullopt},
                                                      {phoneUrl, std::nullopt},
                                                      {kJdMobileUrl, std::nullopt}}));
  EXPECT_EQ(box.reads, 0);
  EXPECT_EQ(ExtractionStatusText(report), "7张图片：主图2，SKU图2，详情图3（京东数据）");
}

TEST(TodaysPagesTest, AFailedJdDetailPageLeavesTheOtherRows) {
  const std::string phoneUrl = "https://m.test/product/100012345678.html";
  struct Case {
    const char* name;
    FetchedPage detail;
    const char* why;
  } cases[] = {{"no response", Answer("", 0, "712 接收响应失败!"), "（712 接收响应失败!）"},
               {"an error page", Answer("<html>Not Found</html>", 404), "（HTTP 404）"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedFetch fetch;
    fetch.pages[kJdLink] = "<html><div id=\"app\"></div></html>";
    fetch.pages[phoneUrl] = FixtureGbk("jd_phone.html");
    fetch.answers[kJdMobileUrl] = c.detail;
    RecordingSink sink;
    const ExtractionReport report = HarvestJdItem({kJdLink, nullptr, fetch.Function(), TodayHosts()}, sink);
    EXPECT_EQ(sink.rows.size(), 4u);
    EXPECT_EQ(report.detail, DetailTrouble::FetchFailed);
    EXPECT_EQ(report.trouble, PageTrouble::None);
    EXPECT_EQ(ExtractionStatusText(report),
              std::string("4张图片，详情图未能读取：详情页获取失败") + c.why + "；主图2，SKU图2，详情图0（京东数据）");
  }
}

// On pages of the classic layouts too: a description page the page names that does not come
// leaves the item's detail pictures out, and the report says so; a page that names none does not.
TEST(ClassicPagesTest, ADescriptionPageThatDoesNotComeIsReported) {
  const FetchedPage serverError = Answer("<html>500</html>", 500);
  const FetchedPage noResponse = Answer("", 0, "712 接收响应失败!");
  struct Case {
    const char* name;
    Harvest harvest;
    std::string link, page, descUrl;
    FetchedPage answer;
    size_t rows;
    DetailTrouble detail;
    const char* status;
  } cases[] = {
      {"Taobao", HarvestTaobaoItem, kTaobaoLink, FixtureGbk("taobao_item.html"), kTaobaoDescUrl, serverError, 6,
       DetailTrouble::FetchFailed, "6张图片，详情图未能读取：详情页获取失败（HTTP 500）；主图4，SKU图2，详情图0，视频1个（淘宝数据）"},
      {"Tmall", HarvestTmallItem, kTmallLink, FixtureGbk("tmall_item.html"), kTmallDescUrl, noResponse, 5,
       DetailTrouble::FetchFailed,
       "5张图片，详情图未能读取：详情页获取失败（712 接收响应失败!）；主图3，SKU图2，详情图0，视频1个（天猫数据）"},
      {"JD", HarvestJdItem, kJdLink, FixtureGbk("jd_item.html"), kJdMobileUrl, serverError, 5,
       DetailTrouble::FetchFailed, "5张图片，详情图未能读取：详情页获取失败（HTTP 500）；主图3，SKU图2，详情图0（京东数据）"},
      {"1688", HarvestAlibabaItem, kAlibabaLink, FixtureGbk("alibaba_offer.html", {{"DESC_URL", kAlibabaDescUrl}}),
       kAlibabaDescUrl, Answer("", 200), 4, DetailTrouble::FetchFailed,
       "4张图片，详情图未能读取：详情页获取失败；主图2，SKU图2，详情图0，视频1个（阿里数据）"},
      {"1688 naming no description", HarvestAlibabaItem, kAlibabaLink, kOneOfferPicture, "", serverError, 1,
       DetailTrouble::None, "1张图片：主图1，SKU图0，详情图0（阿里数据）"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedFetch fetch;
    fetch.pages[c.link] = c.page;
    fetch.answers[c.descUrl] = c.answer;
    RecordingSink sink;
    const ExtractionReport report = c.harvest({c.link, nullptr, fetch.Function(), TestHosts()}, sink);
    EXPECT_EQ(sink.rows.size(), c.rows);
    EXPECT_EQ(report.detail, c.detail);
    EXPECT_EQ(report.trouble, PageTrouble::None);
    EXPECT_EQ(ExtractionStatusText(report), c.status);
  }
}

// The fixtures as their UTF-8 bytes, reported as such: read on their own, their early charset
// declarations would make them GBK text.
TEST(TodaysPagesTest, PagesAreReadInTheEncodingTheFetchReports) {
  const std::string phoneUrl = "https://m.test/product/100012345678.html";
  struct Case {
    Harvest harvest;
    std::string link, pageUrl, fixture, title;
  } cases[] = {
      {HarvestTaobaoItem, kTaobaoLink, kTaobaoLink, "taobao_today.html", "今日新款 纯棉T恤 男女同款"},
      {HarvestAlibabaItem, kAlibabaLink, kAlibabaLink, "alibaba_today.html", "淺藍色 誠 收纳盒"},
      {HarvestJdItem, kJdLink, phoneUrl, "jd_phone.html", "某品牌 智能手机 曜石黑 128GB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    ScriptedFetch fetch;
    FetchedPage page(ReadTestFile(TestSourceDir() + "/extract/tests/fixtures/" + c.fixture));
    page.encoding = PageEncoding::Utf8;
    fetch.answers[c.pageUrl] = page;
    if (c.harvest == HarvestJdItem) fetch.pages[kJdLink] = "<html><div id=\"app\"></div></html>";
    RecordingSink sink;
    c.harvest({c.link, nullptr, fetch.Function(), TodayHosts(), nullptr, Utf8ToGbk}, sink);
    EXPECT_EQ(sink.text.substr(0, c.title.size() + 4), c.title + "\r\n\r\n");
  }
}

// ---- why nothing was found ----

TEST(ExtractionReportHarvestTest, PagesThatHoldNoItemSayWhy) {
  const std::string login =
      "<html><head><title>淘宝网 - 淘！我喜欢</title></head><body><form id=\"login-form\">"
      "<input type=\"password\" name=\"fm-login-password\"></form></body></html>";
  const std::string challenge =
      "<html><head><title>验证码拦截</title></head><body><div id=\"nocaptcha\"></div>"
      "<script>var url='/_____tmd_____/punish?x5secdata=abc';</script></body></html>";
  const std::string missing = "<html><body><div class=\"error-notice\">很抱歉，您查看的宝贝不存在，可能已下架或者被转移。</div></body></html>";
  const std::string changed = "<html><body><div id=\"root\"></div>" + std::string(100000, ' ') + "</body></html>";
  struct Case {
    const char* name;
    Harvest harvest;
    std::string link;
    FetchedPage page;
    PageTrouble trouble;
    std::string text;
  } cases[] = {
      {"no response", HarvestTaobaoItem, kTaobaoLink, Answer("", 0, "711 发送请求失败!"), PageTrouble::FetchFailed,
       "页面获取失败（711 发送请求失败!），请检查链接和网络（淘宝数据）"},
      {"an error status", HarvestTmallItem, kTmallLink, Answer("<html>Not Found</html>", 404), PageTrouble::FetchFailed,
       "页面获取失败（HTTP 404），请检查链接和网络（天猫数据）"},
      {"a certificate that failed the check", HarvestTmallItem, kTmallLink, Rejected(),
       PageTrouble::CertificateRejected, "页面获取失败（证书无效，Cookie未发送），请检查网络（天猫数据）"},
      {"a login page", HarvestTaobaoItem, kTaobaoLink, FetchedPage(login), PageTrouble::LoginPage,
       "返回的是登录页，请重新登录或粘贴新的Cookie（淘宝数据）"},
      {"a challenge page", HarvestAlibabaItem, kAlibabaLink, FetchedPage(challenge), PageTrouble::ChallengePage,
       "遇到安全验证页，请稍等片刻再试（阿里数据）"},
      {"a missing item", HarvestTmallItem, kTmallLink, FetchedPage(missing), PageTrouble::NoSuchItem,
       "商品不存在或已下架（天猫数据）"},
      {"a changed layout", HarvestAlibabaItem, kAlibabaLink, FetchedPage(changed), PageTrouble::NoItemData,
       "没有找到商品数据：页面可能已改版，请检查链接和Cookie（阿里数据）"},
      {"an empty page", HarvestTaobaoItem, kTaobaoLink, FetchedPage(""), PageTrouble::EmptyPage,
       "返回的页面是空的，请检查链接（淘宝数据）"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The harvest of an item before: a press that finds nothing leaves it as it was.
    Session earlier;
    earlier.fetch.pages[kTaobaoLink] = FixtureGbk("taobao_item.html");
    earlier.fetch.pages[kTaobaoDescUrl] = FixtureGbk("taobao_desc.js");
    earlier.Go(HarvestTaobaoItem, kTaobaoLink);
    RecordingSink& sink = earlier.sink;
    const std::vector<std::string> callsBefore = sink.calls;
    ScriptedFetch fetch;
    fetch.answers[c.link] = c.page;
    const ExtractionReport report =
        c.harvest({c.link, [] { return kTokenCookie; }, fetch.Function(), TodayHosts()}, sink);
    EXPECT_EQ(sink.calls, callsBefore);
    EXPECT_EQ(sink.rows, kTaobaoRows);
    EXPECT_EQ(sink.text, kTaobaoText);
    EXPECT_EQ(sink.itemId, "601234567890");
    EXPECT_EQ(sink.videoUrl, "http://video.test/play/u/2200000001/p/1/e/6/t/1/270123456789.mp4");
    EXPECT_EQ(report.trouble, c.trouble);
    EXPECT_EQ(ExtractionStatusText(report), c.text);
  }
}

TEST(ExtractionReportHarvestTest, JdIsJudgedByThePhonePageWhenTheDesktopPageHoldsNoData) {
  ScriptedFetch fetch;
  fetch.pages[kJdLink] = "<html><div id=\"app\"></div></html>";
  fetch.pages["https://m.test/product/100012345678.html"] =
      "<html><title>京东-欢迎登录</title><form><input type=\"password\"></form></html>";
  RecordingSink sink;
  const ExtractionReport report = HarvestJdItem({kJdLink, nullptr, fetch.Function(), TodayHosts()}, sink);
  EXPECT_TRUE(sink.rows.empty());
  EXPECT_EQ(ExtractionStatusText(report), "返回的是登录页，请稍后再试（京东数据）");
}

// A link of another platform's site is named as such instead of the page's reason. Nothing is
// fetched for it (and no cookie sent), but for a Taobao link pressed with Tmall's button, since
// Taobao sends a Tmall item on to Tmall's page.
TEST(ExtractionReportHarvestTest, LinksOfAnotherPlatformAreNamed) {
  const std::string login = "<html><form id=\"login-form\"><input type=\"password\"></form></html>";
  struct Case {
    Harvest harvest;
    std::string link;
    bool fetched;
    std::string text;
  } cases[] = {
      {HarvestTaobaoItem, kJdLink, false, "这是京东的链接，请点京东数据"},
      {HarvestAlibabaItem, kTmallLink, false, "这是天猫的链接，请点天猫数据"},
      {HarvestJdItem, "https://m.tb.cn/h.UaBcD", false, "这是淘宝的链接，请点淘宝数据"},
      {HarvestTmallItem, "https://3.cn/1A-bcD", false, "这是京东的链接，请点京东数据"},
      {HarvestJdItem, "detail.1688.com/offer/1.html", false, "这是1688的链接，请点阿里数据"},
      {HarvestTaobaoItem, "https://npcitem.jd.hk/1.html", false, "这是京东的链接，请点京东数据"},
      // A mirror of the site on this machine (the demo shop) is told apart alike.
      {HarvestAlibabaItem, "http://item.jd.localhost:41233/1.html", false, "这是京东的链接，请点京东数据"},
      {HarvestTmallItem, kTaobaoLink, true, "这是淘宝的链接，请点淘宝数据"},
      {HarvestTaobaoItem, "https://detail.tmall.hk/item.htm?id=1", false, "这是天猫的链接，请点天猫数据"},
      // Taobao's short links open Tmall items too: the page's own reason stands.
      {HarvestTmallItem, "https://m.tb.cn/h.UaBcD", true, "返回的是登录页，请重新登录或粘贴新的Cookie（天猫数据）"},
      {HarvestAlibabaItem, "http://detail.1688.localhost:41233/offer/1.html", true,
       "返回的是登录页，请重新登录或粘贴新的Cookie（阿里数据）"},
      // Hosts that only look like a platform's are no platform's.
      {HarvestTaobaoItem, "https://jd.com.evil.cn/1.html", true,
       "返回的是登录页，请重新登录或粘贴新的Cookie（淘宝数据）"},
      {HarvestTaobaoItem, "https://notjd.com/1.html", true, "返回的是登录页，请重新登录或粘贴新的Cookie（淘宝数据）"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    ScriptedFetch fetch;
    fetch.pages[c.link] = login;
    RecordingSink sink;
    sink.itemId = "earlier";
    const ExtractionReport report =
        c.harvest({c.link, [] { return kTokenCookie; }, fetch.Function(), TodayHosts()}, sink);
    EXPECT_EQ(ExtractionStatusText(report), c.text);
    EXPECT_EQ(!fetch.requests.empty(), c.fetched);
    if (!c.fetched) {
      EXPECT_TRUE(sink.calls.empty()) << "the harvest of an earlier item stays";
    }
  }

  // A Taobao link the site answers with the Tmall item's page works with the Tmall button.
  ScriptedFetch fetch;
  fetch.pages[kTaobaoLink] = FixtureGbk("tmall_item.html");
  fetch.pages[kTmallDescUrl] = FixtureGbk("tmall_desc.js");
  RecordingSink sink;
  const ExtractionReport report = HarvestTmallItem({kTaobaoLink, nullptr, fetch.Function(), TestHosts()}, sink);
  EXPECT_EQ(sink.rows.size(), 7u);
  EXPECT_EQ(ExtractionStatusText(report), "7张图片：主图3，SKU图2，详情图2，视频1个（天猫数据）");
}

// ---- bounds: a hostile page cannot flood the window ----

std::string Repeated(const std::string& piece, int times) {
  std::string out;
  out.reserve(piece.size() * static_cast<size_t>(times));
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

TEST(HarvestBoundsTest, EmptyPiecesCountAgainstTheBounds) {
  struct Case {
    const char* name;
    Harvest harvest;
    std::string link;
    std::string page;
    size_t rows;
    size_t lineEnds;  // the title's two and one per further line
  } cases[] = {
      // Each empty piece used to cost nothing: 100 000 rows and as many lines.
      {"empty gallery and SKU pieces", HarvestAlibabaItem, kAlibabaLink,
       "tab-trigger active" + Repeated("original\":\"\"}'>", 100000) + "unit-detail-fav skuProps" +
           Repeated("name\":\"\"}", 100000) + "allTagIds",
       0, 0},  // the cut stops at the bound; its empty pieces are no addresses and give no row
      {"empty thumbnails", HarvestTaobaoItem, kTaobaoLink,
       "<ul class=\"tb-clearfix\">" + Repeated("//_50x50", 100000) + "</ul>this.WebP", 0, 0},
      {"SKU spans and attributes", HarvestTmallItem, kTmallLink,
       "tb-skin" + Repeated("<span>x</span>//img_40x40", 3000) + "J_Amount <ul id=\"J_AttrUL\">" +
           Repeated("<li title=\"a\">a:b</li>", 3000) + "</ul>",
       2000, 2001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedFetch fetch;
    fetch.pages[c.link] = c.page;
    RecordingSink sink;
    const ExtractionReport report = c.harvest({c.link, nullptr, fetch.Function(), TestHosts()}, sink);
    EXPECT_EQ(sink.rows.size(), c.rows);
    size_t lineEnds = 0;
    for (size_t at = sink.text.find("\r\n"); at != std::string::npos; at = sink.text.find("\r\n", at + 2)) ++lineEnds;
    EXPECT_EQ(lineEnds, c.lineEnds);
    if (c.rows == 0) {
      // No picture: the press found nothing and says why, leaving the harvest as it was.
      EXPECT_NE(report.trouble, PageTrouble::None);
      continue;
    }
    EXPECT_TRUE(report.cutShort);
    const std::string text = ExtractionStatusText(report);
    EXPECT_NE(text.find("；页面数据过多，只取了前2000条"), std::string::npos) << text;
  }
}

TEST(HarvestBoundsTest, ThePageDataIsBoundedToo) {
  std::string images;
  for (int i = 0; i < 3000; ++i) images += "\"https://img.alicdn.com/" + std::to_string(i) + ".jpg\",";
  std::string page = FixtureGbk("taobao_today.html");
  page.insert(page.find("\"images\":[") + 10, images);
  ScriptedFetch fetch;
  fetch.pages[kTaobaoLink] = page;
  RecordingSink sink;
  const ExtractionReport report = HarvestTaobaoItem({kTaobaoLink, nullptr, fetch.Function(), TodayHosts()}, sink);
  EXPECT_EQ(report.mainPictures, 2000);
  EXPECT_EQ(sink.rows[1999].url, "https://img.alicdn.com/1999.jpg");
  EXPECT_TRUE(report.cutShort);
}

// ---- the cookie goes only where it belongs ----

TEST(CookieScopeHarvestTest, DescriptionAddressTakenFromTheOfferPage) {
  struct Case {
    std::string link, descUrl;
    bool cookie;
  } cases[] = {
      // The picture hosts serve description documents to anybody: no platform's, no cookie.
      {kAlibabaLink, "https://img.alicdn.com/tfscom/TB1OfferDesc", false},
      {kAlibabaLink, "https://detail.1688.com/desc/TB1", true},
      {"https://shop.example/offer/1.html", "https://shop.example/desc/TB1", true},
      {kAlibabaLink, "https://evil.example/steal", false},
      {kAlibabaLink, "https://evil-taobao.com/steal", false},
      {kAlibabaLink, "https://taobao.com.evil.cn/steal", false},
      {kAlibabaLink, "https://img.alicdn.com@evil.example/steal", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.descUrl);
    ScriptedFetch fetch;
    fetch.pages[c.link] = FixtureGbk("alibaba_offer.html", {{"DESC_URL", c.descUrl}});
    RecordingSink sink;
    HarvestAlibabaItem({c.link, [] { return std::string("_m_h5_tk=secret_1"); }, fetch.Function(), TestHosts()}, sink);
    ASSERT_EQ(fetch.requests.size(), 2u);
    EXPECT_EQ(fetch.requests[1].url, c.descUrl);
    EXPECT_EQ(fetch.requests[1].cookies, c.cookie ? std::optional<std::string>("_m_h5_tk=secret_1") : std::nullopt);
    EXPECT_EQ(sink.rows.size(), 4u);
  }
}

TEST(CookieScopeHarvestTest, DescriptionDocumentNamedByTodaysOfferPage) {
  ScriptedFetch fetch;
  fetch.pages[kAlibabaLink] = FixtureGbk("alibaba_today.html", {{"DETAIL_URL", "https://evil.example/desc.js"}});
  RecordingSink sink;
  HarvestAlibabaItem({kAlibabaLink, [] { return std::string("cookie"); }, fetch.Function(), TodayHosts()}, sink);
  ASSERT_EQ(fetch.requests.size(), 3u);
  EXPECT_EQ(fetch.requests[2], (FetchRecord{"https://evil.example/desc.js", std::nullopt}));
}

// ---- redirects: followed by the extraction, the cookie decided for each address ----

FetchedPage Redirect(const std::string& location, int status = 302) {
  FetchedPage page;
  page.status = status;
  page.location = location;
  return page;
}

// A Taobao link of a Tmall item lands on Tmall with the cookie; a detour through a foreign host
// gets none, and the platform's host after it has it again.
TEST(RedirectTest, TheCookieGoesOnlyToTheHopsWhereItBelongs) {
  const std::string tmall = "https://detail.tmall.com/item.htm?id=601234567890";
  const std::string final = "https://item.taobao.com/item.htm?id=601234567890&r=1";
  Session run;
  run.fetch.answers[kTaobaoLink] = Redirect(tmall);
  run.fetch.answers[tmall] = Redirect("https://evil.example/hop", 301);
  run.fetch.answers["https://evil.example/hop"] = Redirect(final, 307);
  run.fetch.pages[final] = FixtureGbk("taobao_item.html");
  run.fetch.pages[kTaobaoDescUrl] = FixtureGbk("taobao_desc.js");
  run.Go(HarvestTaobaoItem, kTaobaoLink);
  EXPECT_EQ(run.fetch.requests, (std::vector<FetchRecord>{{kTaobaoLink, "cookie-1"},
                                                          {tmall, "cookie-1"},
                                                          {"https://evil.example/hop", std::nullopt},
                                                          {final, "cookie-1"},
                                                          {kTaobaoDescUrl, "cookie-2"}}));
  EXPECT_EQ(run.sink.rows, kTaobaoRows);
}

// While the sites are mirrored (a demo shop), a request for a platform's address goes to the
// mirror with the cookie the site's own address would get; other hosts are asked as they are.
TEST(RedirectTest, AMirrorOfTheSitesGetsTheirRequestsAndTheirCookie) {
  const std::string mirrored = "https://item.taobao.localhost:8080/item.htm?id=601234567890";
  Session run;
  EndpointHosts hosts = TestHosts();
  hosts.PlatformMirror = "localhost:8080";
  run.fetch.pages[mirrored] = FixtureGbk("taobao_item.html");
  run.fetch.pages[kTaobaoDescUrl] = FixtureGbk("taobao_desc.js");
  HarvestTaobaoItem({kTaobaoLink, run.box.Reader(), run.fetch.Function(), hosts}, run.sink);
  EXPECT_EQ(run.fetch.requests, (std::vector<FetchRecord>{{mirrored, "cookie-1"}, {kTaobaoDescUrl, "cookie-2"}}));
  EXPECT_EQ(run.sink.rows, kTaobaoRows);
}

TEST(RedirectTest, ARedirectOffTheWebOrOneTooManyFailsTheFetch) {
  const struct {
    const char* name;
    int redirects;  // the link answers with a chain of this many redirects before the page
    std::string lastLocation;
    std::string status;
  } rows[] = {
      // The page at the end of five is read (and holds nothing).
      {"five redirects are followed", 5, "", "没有找到商品数据：页面可能已改版，请检查链接和Cookie（阿里数据）"},
      {"a sixth is not", 6, "", "页面获取失败（重定向次数过多），请检查链接和网络（阿里数据）"},
      {"another scheme", 1, "ftp://detail.1688.com/offer.html",
       "页面获取失败（重定向到了非http(s)地址），请检查链接和网络（阿里数据）"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedFetch fetch;
    std::string at = kAlibabaLink;
    for (int i = 1; i <= row.redirects; ++i) {
      const std::string next = i == row.redirects && !row.lastLocation.empty()
                                   ? row.lastLocation
                                   : "https://detail.1688.com/offer/hop" + std::to_string(i) + ".html";
      fetch.answers[at] = Redirect(next);
      at = next;
    }
    fetch.pages[at] = "<html><title>x</title></html>";
    RecordingSink sink;
    const ExtractionReport report = HarvestAlibabaItem({kAlibabaLink, {}, fetch.Function(), TestHosts()}, sink);
    EXPECT_EQ(ExtractionStatusText(report), row.status);
    EXPECT_LE(fetch.requests.size(), 1u + kMaxRedirects + 1) << "the offer page, its hops and the description";
  }
}

}  // namespace
