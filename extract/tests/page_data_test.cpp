// The readers of today's page data on pages of our own in today's shapes, their hostile variants,
// and the small pieces under them: the received encoding, the cookie's scope, MD5 and the signed
// description call.
#include <gtest/gtest.h>

#include "extract/page_data/alibaba_page_data.h"
#include "extract/page_data/jd_page_data.h"
#include "extract/page_data/page_kind.h"
#include "extract/page_data/taobao_description_call.h"
#include "extract/page_data/taobao_page_data.h"

#include "config/endpoints.h"
#include "extract/cookie_scope.h"
#include "extract/md5.h"
#include "extract/tests/extractor_fixtures.h"
#include "text/tests/url_table.h"

namespace {

const Utf8ToText kToGbk = Utf8ToGbk;
const std::string kJdBase = "https://jdimg.test/mobilecms/";

TEST(ReceivedEncodingTest, FollowsWhatThePageEngineDoes) {
  const std::string chinese = "\xE4\xB8\xAD\xE6\x96\x87";  // UTF-8 bytes
  struct Case {
    const char* name;
    std::string page;
    bool utf8;
  } cases[] = {
      {"declared early: the engine made it GBK", "<meta charset=\"utf-8\">" + chinese, false},
      {"declared in an http-equiv tag", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">" + chinese, false},
      {"declared after byte 1024: as sent", std::string(1100, ' ') + "<meta charset=\"utf-8\">" + chinese, true},
      {"declared on the next line of the tag: not seen", "<meta\ncharset=\"utf-8\">" + chinese, true},
      {"no declaration, UTF-8 bytes", "var offer_details={\"content\":\"" + chinese + "\"}", true},
      {"no declaration, GBK bytes", "{\"a\":\"\xD6\xD0\xCE\xC4\"}", false},
      {"declared gbk but sent as UTF-8: left as sent", "<meta charset=\"gbk\">" + chinese, true},
      {"pure ASCII needs no decision", "{\"a\":1}", false},
  };
  for (const Case& c : cases) EXPECT_EQ(ArrivedAsUtf8(c.page), c.utf8) << c.name;
}

// What the engine reports decides, whatever the bytes look like: GBK text whose bytes read as
// UTF-8 too ("楼" is C2 A5, which is "¥" in UTF-8), and UTF-8 bytes behind an early declaration
// of a charset the engine could not decode.
TEST(ReceivedEncodingTest, TheReportedEncodingDecides) {
  using Title = std::string (*)(const std::string& page, PageEncoding encoding);
  const struct {
    const char* reader;
    Title title;
    const char* before;
    const char* after;
  } readers[] = {
      {"Taobao", [](const std::string& p, PageEncoding e) { return ReadTaobaoPageData(p, kToGbk, e).title; },
       "var b = {loaderData:{home:{data:{res:{item:{itemId:'1',title:'", "'}}}}}};"},
      {"1688", [](const std::string& p, PageEncoding e) { return ReadAlibabaPageData(p, kToGbk, e).title; },
       "window.__INIT_DATA={data:{'1':{componentType:'main-pic',data:{offerInfoModel:{offerId:1,title:'", "'}}}}};"},
      {"JD", [](const std::string& p, PageEncoding e) { return ReadJdPhonePageData(p, kJdBase, kToGbk, e).title; },
       "window._itemOnly=({item:{skuId:'1',skuName:'", "'}});"},
  };
  const struct {
    const char* name;
    std::string head, title;
    PageEncoding encoding;
    std::string expected;
  } pages[] = {
      {"GBK that reads as UTF-8", "<p>", "楼", PageEncoding::Gbk, "楼"},
      {"UTF-8 behind an undecodable declaration", "<meta charset=\"x-unknown\">", "\xE4\xB8\xAD\xE6\x96\x87",
       PageEncoding::Utf8, "中文"},
  };
  for (const auto& r : readers)
    for (const auto& p : pages)
      EXPECT_EQ(r.title(p.head + r.before + p.title + r.after, p.encoding), p.expected) << r.reader << ": " << p.name;
}

// ---- 1688 ----

const std::string kAlibabaDetailUrl = "https://itemcdn.tmall.com/1688offer/icossTEST";

TEST(AlibabaPageDataTest, ReadsTheContextLiteralWithReferencesAndGbkTrailBytes) {
  // As the engine hands it over: GBK, with "淺" (9C 5C) and "誠" (D5 5C) whose trailing bytes are
  // backslashes, "誠" right before a closing quote.
  const std::string page = FixtureGbk("alibaba_today.html", {{"DETAIL_URL", kAlibabaDetailUrl}});
  const ItemPageData d = ReadAlibabaPageData(page, nullptr);
  ASSERT_TRUE(d.found);
  EXPECT_EQ(d.itemId, "610000000001");
  EXPECT_EQ(d.title, "淺藍色 誠 收纳盒");
  EXPECT_EQ(d.mainPictures, (TextList{"https://cbu01.alicdn.com/img/ibank/O1CN01Main1_!!2200000010-0-cib.jpg",
                                      "https://cbu01.alicdn.com/img/ibank/O1CN01Main2_!!2200000010-0-cib.jpg"}));
  // The SKU properties stand behind a "$ref" node.
  EXPECT_EQ(d.skuNames, (TextList{"淺藍色", "誠"}));
  EXPECT_EQ(d.skuPictures, (TextList{"https://cbu01.alicdn.com/img/ibank/O1CN01Sku1_!!2200000010-0-cib.jpg"}));
  EXPECT_EQ(d.videoUrl, "");  // video id 0
  EXPECT_EQ(d.descriptionUrl, kAlibabaDetailUrl);
  EXPECT_FALSE(d.cutShort);

  // The same page as UTF-8 bytes (its charset named too late for the engine) reads the same.
  std::string utf8 = ReadTestFile(TestSourceDir() + "/extract/tests/fixtures/alibaba_today.html");
  utf8.replace(utf8.find("{{DETAIL_URL}}"), 14, kAlibabaDetailUrl);
  utf8.insert(utf8.find("<meta"), std::string(1100, ' '));
  const ItemPageData u = ReadAlibabaPageData(utf8, kToGbk);
  EXPECT_EQ(u.title, d.title);
  EXPECT_EQ(u.skuNames, d.skuNames);
}

TEST(AlibabaPageDataTest, DescriptionDocumentNamesItsPictures) {
  const DetailPictures read = ReadAlibabaDescription(ReadTestFile(TestSourceDir() + "/extract/tests/fixtures/alibaba_today_desc.js"));
  EXPECT_TRUE(read.readable);
  EXPECT_EQ(read.pictures, (TextList{"https://cbu01.alicdn.com/img/ibank/O1CN01Desc1_!!2200000010-0-cib.jpg",
                                     "https://cbu01.alicdn.com/img/ibank/O1CN01Desc2_!!2200000010-0-cib.jpg"}));
  EXPECT_FALSE(ReadAlibabaDescription("<html>no description</html>").readable);
  // Schemes in any case, written the usual way; addresses of other schemes are no pictures.
  EXPECT_EQ(ReadAlibabaDescription("var offer_details={\"content\":\"<img src=\\\"hTtPs://a.alicdn.com/1.jpg\\\">"
                                   "<img src=\\\"javascript:alert(1)\\\">\"};")
                .pictures,
            TextList{"https://a.alicdn.com/1.jpg"});
}

TEST(AlibabaPageDataTest, PhonePageModulesAreFoundByTheirType) {
  const std::string page =
      "<meta charset=\"utf-8\"><script>window.__INIT_DATA={\"data\":{"
      "\"1\":{\"componentType\":\"@ali/cmod-odw-basic-description\",\"data\":{\"detailUrl\":\"//itemcdn.tmall.com/1688offer/icossM\"}},"
      "\"2\":{},"
      "\"3\":{\"componentType\":\"@ali/cmod-od-wap-main-pic\",\"data\":{\"offerImgList\":[\"https://cbu01.alicdn.com/m1.jpg\"],"
      "\"videoId\":5,\"videoUrl\":\"https://cloud.video.taobao.com/play/u/1/p/2/e/6/t/1/5.mp4\","
      "\"offerInfoModel\":{\"offerId\":905371660854,\"title\":\"手机页标题\"},"
      "\"skuImages\":[{\"imgUrl\":\"https://cbu01.alicdn.com/s1.jpg\",\"name\":\"红\",\"type\":\"sku\"}]}}}}</script>";
  const ItemPageData d = ReadAlibabaPageData(page, nullptr);
  ASSERT_TRUE(d.found);
  EXPECT_EQ(d.itemId, "905371660854");
  EXPECT_EQ(d.title, "手机页标题");
  EXPECT_EQ(d.mainPictures, TextList{"https://cbu01.alicdn.com/m1.jpg"});
  EXPECT_EQ(d.skuNames, TextList{"红"});
  EXPECT_EQ(d.skuPictures, TextList{"https://cbu01.alicdn.com/s1.jpg"});
  EXPECT_EQ(d.videoUrl, "https://cloud.video.taobao.com/play/u/1/p/2/e/6/t/1/5.mp4");
  EXPECT_EQ(d.descriptionUrl, "https://itemcdn.tmall.com/1688offer/icossM");
}

TEST(AlibabaPageDataTest, HostileContextsGiveNothingOrABoundedPart) {
  const std::string page = FixtureGbk("alibaba_today.html", {{"DETAIL_URL", kAlibabaDetailUrl}});
  // Cut anywhere inside the literal: never a crash, and never data from a value cut off.
  const size_t start = page.find("window.contextPath,{");
  const size_t end = page.find("});", start);
  for (size_t cut = start; cut < end; cut += 7) EXPECT_FALSE(ReadAlibabaPageData(page.substr(0, cut), nullptr).found) << cut;

  // Nesting beyond the bound, before the data.
  std::string deep = page;
  deep.insert(deep.find("\"result\""), "\"x\":" + std::string(100000, '[') + std::string(100000, ']') + ",");
  EXPECT_FALSE(ReadAlibabaPageData(deep, nullptr).found);

  // References that lead in a circle or nowhere resolve to nothing.
  std::string circle = page;
  circle.replace(circle.find("$.result.global.globalData.model.origin.skuProps[0]"), 51, "$.result.global.globalData.model.offerDetail.skuProps[0]");
  const ItemPageData c = ReadAlibabaPageData(circle, nullptr);
  EXPECT_TRUE(c.found);
  EXPECT_TRUE(c.skuNames.empty());

  // A huge gallery: the first rows up to the bound, and the page is marked as cut short.
  std::string huge = page;
  std::string images;
  for (int i = 0; i < 5000; ++i) images += "\"https://cbu01.alicdn.com/img/ibank/" + std::to_string(i) + ".jpg\",";
  huge.insert(huge.find("\"offerImgList\":[") + 16, images);
  const ItemPageData h = ReadAlibabaPageData(huge, nullptr);
  ASSERT_TRUE(h.found);
  EXPECT_EQ(h.mainPictures.size(), 2000u);
  EXPECT_EQ(h.mainPictures.back(), "https://cbu01.alicdn.com/img/ibank/1999.jpg");
  EXPECT_TRUE(h.cutShort);
}

// ---- Taobao and Tmall ----

TEST(TaobaoPageDataTest, ReadsTheItemData) {
  const ItemPageData d = ReadTaobaoPageData(FixtureGbk("taobao_today.html"), nullptr);
  ASSERT_TRUE(d.found);
  EXPECT_EQ(d.itemId, "700000000001");
  EXPECT_EQ(d.title, "今日新款 纯棉T恤 男女同款");
  EXPECT_EQ(d.mainPictures, (TextList{"https://img.alicdn.com/imgextra/i1/2200000009/O1CN01Today1_!!2200000009.jpg",
                                      "https://img.alicdn.com/imgextra/i2/2200000009/O1CN01Today2_!!2200000009.jpg",
                                      "https://img.alicdn.com/imgextra/i3/2200000009/O1CN01Today3_!!2200000009.png"}));
  EXPECT_EQ(d.skuNames, (TextList{"淺藍色", "誠", "黑色", "M", "L"}));
  EXPECT_EQ(d.skuPictures, (TextList{"https://gw.alicdn.com/bao/uploaded/i1/2200000009/O1CN01Sku1_!!2200000009.jpg",
                                     "https://gw.alicdn.com/bao/uploaded/i2/2200000009/O1CN01Sku2_!!2200000009.jpg"}));
  EXPECT_EQ(d.videoUrl, "https://cloud.video.taobao.com/play/u/2200000009/p/1/e/6/t/1/300000000001.mp4");
  // Only the basic properties, a list value joined by blanks.
  EXPECT_EQ(d.attributes, (TextList{"品牌:某某", "面料:棉 氨纶", "适用季节:夏季"}));
  EXPECT_EQ(d.descriptionUrl,
            "https://market.m.taobao.com/app/detail-project/desc/index.html?id=700000000001&descVersion=7.0&type=1&"
            "f=desc%2Ficoss123&sellerType=C");
}

TEST(TaobaoPageDataTest, AttributesFromTheIndustryParameterList) {
  const std::string page =
      "var b = {\"loaderData\":{\"home\":{\"data\":{\"res\":{\"item\":{\"itemId\":\"1\",\"title\":\"t\"},"
      "\"plusViewVO\":{\"industryParamVO\":{\"basicParamList\":[{\"propertyName\":\"产地\",\"valueName\":\"中国\"},"
      "{\"propertyName\":\"空值\",\"valueName\":\"\"},{\"propertyName\":\"换行\",\"valueName\":\"a\\r\\nb\"}]}}}}}}};";
  EXPECT_EQ(ReadTaobaoPageData(page, nullptr).attributes, (TextList{"产地:中国", "换行:a  b"}));
}

TEST(TaobaoPageDataTest, DescriptionAnswers) {
  const std::string success = ReadTestFile(TestSourceDir() + "/extract/tests/fixtures/taobao_desc_answer.json");
  const TextList described = {"https://img.alicdn.com/imgextra/i1/2200000009/O1CN01Desc1_!!2200000009.jpg",
                              "https://img.alicdn.com/imgextra/i2/2200000009/O1CN01Desc2_!!2200000009.png"};
  struct Case {
    const char* name;
    std::string answer;
    TextList pictures;
    bool readable, refused, challenge;
  } cases[] = {
      {"a description, data-src left out", success, described, true, false, false},
      {"wrapped in a callback", "mtopjsonp1(" + success + ")", described, true, false, false},
      {"an expired token", R"({"api":"mtop.taobao.detail.getdesc","ret":["FAIL_SYS_TOKEN_EXOIRED::令牌过期"]})", {}, false, true, false},
      {"a verification", R"({"ret":["RGV587_ERROR::SM::哎哟喂,被挤爆啦"],"data":{"url":"https://h5api.m.taobao.com/_____tmd_____/punish"}})", {}, false, true, true},
      {"a block page instead of JSON", "<html><title>验证码拦截</title><div id=\"nocaptcha\"></div></html>", {}, false, false, true},
      {"nothing", "", {}, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DetailPictures read = ReadTaobaoDescriptionAnswer(c.answer);
    EXPECT_EQ(read.pictures, c.pictures);
    EXPECT_EQ(read.readable, c.readable);
    EXPECT_EQ(read.refused, c.refused);
    EXPECT_EQ(read.challenge, c.challenge);
  }
}

TEST(TaobaoPageDataTest, DescriptionCallIsSignedWithTheCookieToken) {
  const std::string page =
      "//market.m.taobao.com/app/detail-project/desc/index.html?id=700000000001&descVersion=7.0&type=1&f=desc%2Ficoss123";
  const std::string cookies = "t=1; _m_h5_tk=0123456789abcdef0123456789abcdef_1700000000000; _m_h5_tk_enc=x";
  // The sign is md5("token&t&appKey&data"), worked out with Python's hashlib.
  EXPECT_EQ(TaobaoDescriptionCallUrl("api.test", cookies, "700000000001", page, 1700000000000),
            "https://api.test/h5/mtop.taobao.detail.getdesc/6.0/?jsv=2.7.2&appKey=12574478&t=1700000000000"
            "&sign=53867328a6dd4c3d903654e1ebdd155d&api=mtop.taobao.detail.getdesc&v=6.0&type=originaljson"
            "&dataType=json&timeout=20000"
            "&data=%7B%22id%22%3A%22700000000001%22%2C%22type%22%3A%221%22%2C%22f%22%3A%22desc%2Ficoss123%22%7D");
  struct Case {
    const char* name;
    std::string cookies;
  } refused[] = {{"no token cookie", "t=1; cna=2"},
                 {"an empty token", "_m_h5_tk=_1700000000000"},
                 {"a token with other characters", "_m_h5_tk=ab\"c_1"},
                 {"a cookie whose name only ends like it", "x_m_h5_tk=0123_1"}};
  for (const Case& c : refused) EXPECT_EQ(TaobaoDescriptionCallUrl("api.test", c.cookies, "1", page, 1), "") << c.name;
  // Without the script page the item id stands in, type 0.
  EXPECT_NE(TaobaoDescriptionCallUrl("api.test", cookies, "42", "", 1).find("%7B%22id%22%3A%2242%22%2C%22type%22%3A%220%22%7D"),
            std::string::npos);
}

// ---- JD ----

TEST(JdPageDataTest, ReadsThePhonePage) {
  const ItemPageData d = ReadJdPhonePageData(FixtureGbk("jd_phone.html"), kJdBase, nullptr);
  ASSERT_TRUE(d.found);
  EXPECT_EQ(d.itemId, "100012345678");
  EXPECT_EQ(d.title, "某品牌 智能手机 曜石黑 128GB");
  EXPECT_EQ(d.mainPictures, (TextList{kJdBase + "jfs/t1/11111/1/1111/111111/aaaa1111/0123456789abcdef.jpg",
                                      kJdBase + "jfs/t1/22222/2/2222/222222/bbbb2222/1123456789abcdef.png"}));
  // One picture per colour, the colours and then the sizes as names.
  EXPECT_EQ(d.skuPictures, (TextList{kJdBase + "jfs/t1/33333/3/3333/333333/cccc3333/2123456789abcdef.jpg",
                                     kJdBase + "jfs/t1/44444/4/4444/444444/dddd4444/3123456789abcdef.jpg"}));
  EXPECT_EQ(d.skuNames, (TextList{"曜石黑", "雪域白", "128GB", "256GB"}));
}

TEST(JdPageDataTest, SaleSequenceAndNumberedDimensions) {
  const std::string page =
      "window._itemOnly = ({item:{image:['//img14.360buyimg.com/n1/jfs/t1/1/a.jpg'],"
      "newColorSize:[{'1':'红','2':'S',imagePath:'jfs/t1/2/b.jpg'}],salePropSeq:{'1':['红','蓝'],'2':['S','M']}}});";
  const ItemPageData d = ReadJdPhonePageData(page, kJdBase, nullptr);
  EXPECT_EQ(d.mainPictures, TextList{"https://img14.360buyimg.com/n1/jfs/t1/1/a.jpg"});
  EXPECT_EQ(d.skuNames, (TextList{"红", "蓝", "S", "M"}));
  EXPECT_EQ(d.skuPictures, TextList{kJdBase + "jfs/t1/2/b.jpg"});
}

// _itemInfo's product name stands for the item when it has one; the SKU id of _itemOnly comes first.
TEST(JdPageDataTest, TheItemInfoNamesTheItem) {
  const std::string only = "window._itemOnly = ({item:{image:['jfs/t1/1/a.jpg'],skuName:'单品名'";
  struct Case {
    const char* name;
    std::string page;
    const char* title;
    const char* itemId;
  } cases[] = {
      {"both name it", only + ",skuId:'1'}});window._itemInfo = {product:{skuName:'商品名',skuId:'2'}};", "商品名", "1"},
      {"the info's name is blank", only + ",skuId:'1'}});window._itemInfo = {product:{skuName:' ',skuId:'2'}};", "单品名",
       "1"},
      {"no info", only + ",skuId:'1'}});", "单品名", "1"},
      {"only the info has an id", only + "}});window._itemInfo = {product:{skuId:'2'}};", "单品名", "2"},
  };
  for (const Case& c : cases) {
    const ItemPageData d = ReadJdPhonePageData(c.page, kJdBase, nullptr);
    EXPECT_EQ(d.title, c.title) << c.name;
    EXPECT_EQ(d.itemId, c.itemId) << c.name;
  }
}

TEST(JdPageDataTest, DetailPicturesAreTheJfsPictureAddresses) {
  const DetailPictures read = ReadJdDetailPictures(FixtureGbk("jd_phone_detail.html"), kJdBase);
  EXPECT_EQ(read.pictures,
            (TextList{"https://img30.360buyimg.com/sku/jfs/t1/55555/5/5555/555555/eeee5555/4123456789abcdef.jpg",
                      "https://img10.360buyimg.com/imgzone/jfs/t1/66666/6/6666/666666/ffff6666/5123456789abcdef.png",
                      kJdBase + "jfs/t1/77777/7/7777/777777/aaaa7777/6123456789abcdef.gif"}));
  // 400 000 "jfs/" in a row: one pass, no picture.
  std::string many;
  for (int i = 0; i < 400000; ++i) many += "jfs/";
  EXPECT_TRUE(ReadJdDetailPictures(many, kJdBase).pictures.empty());
}

// Pages and description documents of today name pictures by thumbnail and format copies; the
// rows are the originals.
TEST(PageDataTest, PicturesAreTheOriginalsOfTheCopiesNamed) {
  EXPECT_EQ(ReadJdDetailPictures("<img src=\"//img30.360buyimg.com/sku/s450x450_jfs/t1/5/a.jpg!q70.dpg\">"
                                 "<img src=\"//m.360buyimg.com/mobilecms/jfs/t1/6/b.png.avif\">",
                                 kJdBase)
                .pictures,
            (TextList{"https://img30.360buyimg.com/sku/jfs/t1/5/a.jpg", "https://m.360buyimg.com/mobilecms/jfs/t1/6/b.png"}));
  EXPECT_EQ(ReadAlibabaDescription("var offer_details={\"content\":\"<img src=\\\"https://cbu01.alicdn.com/img/"
                                   "ibank/O1CN01a_!!22-0-cib.jpg_.webp\\\"/><img src=\\\"//img.alicdn.com/"
                                   "imgextra/i1/O1CN01b_!!22.png_q50.jpg?x=1\\\"/>\"};")
                .pictures,
            (TextList{"https://cbu01.alicdn.com/img/ibank/O1CN01a_!!22-0-cib.jpg",
                      "https://img.alicdn.com/imgextra/i1/O1CN01b_!!22.png"}));
}

TEST(JdPageDataTest, DetailPicturesStopAtTheRowBound) {
  std::string page;
  for (int i = 0; i < 2500; ++i) page += "<img src=\"//img30.360buyimg.com/sku/jfs/t1/" + std::to_string(i) + ".jpg\">";
  const DetailPictures read = ReadJdDetailPictures(page, kJdBase);
  ASSERT_EQ(read.pictures.size(), 2000u);
  EXPECT_EQ(read.pictures.back(), "https://img30.360buyimg.com/sku/jfs/t1/1999.jpg");
  EXPECT_TRUE(read.cutShort);
}

// ---- pages that are not item pages ----

TEST(RecognisePageTest, LoginChallengeAndMissingItemPages) {
  struct Case {
    const char* name;
    std::string page;
    PageKind kind;
  } cases[] = {
      {"a slider verification", "<html><title>验证码拦截</title><div id=\"nc_1_n1z\"></div></html>", PageKind::Challenge},
      {"a punish page", "<script>location.href='https://detail.1688.com/_____tmd_____/punish?x5secdata=xx'</script>", PageKind::Challenge},
      {"a login form", "<form id=\"login-form\"><input type=\"password\" name=\"fm-login-password\"></form>", PageKind::Login},
      {"a login page in UTF-8", "<title>\xE5\xAF\x86\xE7\xA0\x81\xE7\x99\xBB\xE5\xBD\x95</title>", PageKind::Login},
      {"a missing item", "<div class=\"error-notice\">很抱歉，您查看的宝贝不存在，可能已下架或者被转移。</div>", PageKind::NoSuchItem},
      {"an unrelated page", "<html><body>hello</body></html>", PageKind::Other},
      {"a large page naming a login host is judged by its data, not here",
       std::string(70 * 1024, ' ') + "//login.taobao.com/member/login.jhtml", PageKind::Other},
  };
  for (const Case& c : cases) EXPECT_EQ(RecognisePage(c.page), c.kind) << c.name;
}

// ---- the cookie's scope ----

TEST(CookieScopeTest, OnlyTheLinkHostThePlatformsOfTheCookieAndTheOwnDescriptionHosts) {
  EndpointHosts hosts;
  hosts.TaobaoDescHost = "127.0.0.1:8443";
  hosts.TaobaoDescApiHost = "api.test";
  const std::string link = "https://shop.example/item.htm?id=1";
  struct Case {
    const char* url;
    bool cookie;
  } cases[] = {
      {"https://shop.example/desc", true},
      {"http://SHOP.example:8080/desc", true},
      {"https://img.alicdn.com/tfscom/TB1", false},  // pictures and documents: no login needed
      {"https://itemcdn.tmall.com/1688offer/icoss1", true},
      {"https://taobao.com/x", true},
      {"https://desc.3.cn/x", false},  // JD's pages take no cookie
      {"https://detail.1688.com./x", true},
      {"https://127.0.0.1:9999/x", true},  // the description host, any port
      {"https://api.test/h5/x", true},
      {"https://evil-taobao.com/x", false},
      {"https://taobao.com.evil.cn/x", false},
      {"https://eviltaobao.com/x", false},
      {"https://13.cn/x", false},
      {"https://img.alicdn.com@evil.example/x", false},
      {"https://evil.example\\@img.alicdn.com/x", false},
      {"https://evil.example%2Ealicdn.com/x", false},
      {"https://localhost/x", false},
      {"//img.alicdn.com/x", false},
      {"ftp://img.alicdn.com/x", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(CookieMayGo(c.url, link, hosts), c.cookie) << c.url;

  // "?" and "#" end the host, an IPv6 literal is a host of its own.
  const std::string v6Link = "http://[::1]:8080/item.htm?id=1";
  EXPECT_TRUE(CookieMayGo("http://[::1]:9000/desc", v6Link, hosts));
  EXPECT_FALSE(CookieMayGo("http://[::2]:8080/desc", v6Link, hosts));
  EXPECT_FALSE(CookieMayGo("https://evil.example?.taobao.com/x", link, hosts));
  EXPECT_FALSE(CookieMayGo("https://evil.example#.taobao.com/x", link, hosts));
}

// The cookie rule reads every address of the one URL table as the request engines do: the host it
// judges is the host they connect to.
TEST(CookieScopeTest, HostsOfTheUrlTable) {
  for (const UrlRow& r : kUrlRows) {
    const bool http = r.scheme && (std::string(r.scheme) == "http" || std::string(r.scheme) == "https");
    EXPECT_EQ(HostOfUrl(r.url), http && !*r.userInfo ? r.host : "") << r.url;
  }
}

TEST(Md5Test, Rfc1321Vectors) {
  struct Case {
    std::string text;
    const char* digest;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
      // Lengths around the padding boundary (55, 56 and 64 bytes), from Python's hashlib.
      {std::string(55, 'x'), "04364420e25c512fd958a70738aa8f72"},
      {std::string(56, 'x'), "668a72d5ba17f08e62dabcafad6db14b"},
      {std::string(64, 'x'), "c1bb4f81d892b2d57947682aeb252456"},
  };
  for (const Case& c : cases) EXPECT_EQ(Md5Hex(c.text), c.digest) << c.text.size();
}

}  // namespace
