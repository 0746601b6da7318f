#include "extract/item_extractors.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "config/endpoints.h"
#include "extract/extraction_gate.h"
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

using Harvest = void (*)(const ItemSource&, HarvestSink&);

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
  const std::vector<std::string> expectedCalls = {
      "AppendText", "SetVideoUrl", "SetItemId", "SetDescriptionUrl", "SetDescriptionPage",
      "PublishPictures 淘宝主图图片 4", "PublishPictures 淘宝SKU图片 2", "PublishPictures 淘宝详情图片 3",
      "AppendText", "AppendText",  // SKU names
      "AppendText", "AppendText", "AppendText", "AppendText"};  // attributes
  EXPECT_EQ(run.sink.calls, expectedCalls);
}

TEST(TaobaoExtractorTest, EmptyPageStillSetsTheFixedPartsAndAsksForTheDescription) {
  Session run;  // every request answers ""
  run.Go(HarvestTaobaoItem, kTaobaoLink);
  EXPECT_EQ(run.fetch.requests, (std::vector<FetchRecord>{{kTaobaoLink, "cookie-1"},
                                                          {"https://desc.test/", "cookie-2"}}));
  EXPECT_EQ(run.sink.videoUrl, "http://video.test/play/u//p/1/e/6/t/1/.mp4");
  EXPECT_EQ(run.sink.itemId, "");
  EXPECT_EQ(run.sink.text, "\r\n\r\n");
  EXPECT_TRUE(run.sink.rows.empty());
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
    run.fetch.pages[kTaobaoLink] = "<script>" + c.script + "</script>";
    run.Go(HarvestTaobaoItem, kTaobaoLink);
    EXPECT_EQ(run.sink.text, c.expectedText) << c.name;
  }
}

TEST(TaobaoExtractorTest, CharacterReferencesLeaveTheAttributes) {
  Session run;
  run.fetch.pages[kTaobaoLink] =
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
  run.fetch.pages[kTmallLink] =
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
  run.fetch.pages[kTmallLink] = "{\"httpsDescUrl\":\"//descnew.taobao.com/i2/602/TB1x.desc\",\"fetchDcUrl\":\"\"}";
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
  EXPECT_EQ(run.sink.calls.front(), "SetItemId");
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
  run.fetch.pages[kJdLink] = "<script>var pageConfig = {product: {skuid:100012345678, name: 'x'}};</script>";
  run.Go(HarvestJdItem, kJdLink);
  EXPECT_EQ(run.sink.itemId, "");
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
  EXPECT_EQ(run.sink.itemId, "350123456789");
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
  EXPECT_EQ(run.sink.itemId, "");
  EXPECT_EQ(run.sink.videoUrl, "http://video.test/play/u//p/2/e/6/t/1/.mp4");
  // Addresses stand as the page writes them; the title lacks the exact suffix.
  EXPECT_EQ(run.sink.rows, Rows("阿里主图图片", {"//cbu01.alicdn.com/a.jpg"}, 1));
  EXPECT_EQ(run.sink.text, "\r\n\r\n红\r\n");
  // The description request is made with an empty address all the same.
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

}  // namespace
