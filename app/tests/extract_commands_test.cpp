// The platform buttons of the real main window, fetching from loopback servers: the boxes are
// filled, the button is clicked, and the list view, the text boxes, the harvest globals and the
// requests each server saw are read back.
#include <windows.h>
// After windows.h, which commctrl.h needs.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/tests/fixture_pages.h"
#include "config/hosts_file.h"
#include "extract/harvest_bounds.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/message_box.h"
#include "tests/support/loopback_server.h"
#include "tests/support/message_pump.h"
#include "tests/support/test_authority.h"
#include "tests/support/window_support.h"

namespace {

// The servers present certificates of a test authority, trusted before the first test: requests
// that carry the cookie box go only to servers the system trusts.
[[maybe_unused]] const auto* const kAuthority = ::testing::AddGlobalTestEnvironment(new TestAuthorityEnvironment);

const std::string kCookie = "thw=cn; t=0123abcd; cna=QWERTY";

struct Row {
  std::string number, url, label;
  bool operator==(const Row&) const = default;
};

// Served in UTF-8, as the page declares: the engine must re-decode it.
ServerResponse Utf8Page(const std::string& utf8) {
  ServerResponse r;
  r.headers = {{"Content-Type", "text/html; charset=utf-8"}};
  r.body = utf8;
  return r;
}


std::vector<Row> Rows(const std::string& label, const std::vector<std::string>& urls, int first) {
  std::vector<Row> rows;
  for (size_t i = 0; i < urls.size(); ++i)
    rows.push_back({std::to_string(first + static_cast<int>(i)), urls[i], label + std::to_string(i + 1)});
  return rows;
}

// The real window, made by each test once its server runs: every fetched host is on the loopback
// server; item pages still name the real description host.
class ExtractCommandsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    main_.reset();
    PumpFor(20);
  }
  void UseServer(const LoopbackServer& server) {
    main_.reset();
    WindowConfig config;
    config.hosts.endpoints = {server.TlsHostPort(), kTaobaoDescLinkHost, "video.test", kTmallTitleDomain, "img.test",
                              server.TlsHostPort()};
    config.answer = [](const MessageBoxRequest&) { return static_cast<int>(kPressedOk); };
    main_ = std::make_unique<MainWindow>(config);
    ASSERT_TRUE(main_->Create(GetModuleHandleW(nullptr)));
  }
  HWND ControlHandle(Control c) const { return main_->control(c); }
  std::string Box(Control c) const { return GetControlText(ControlHandle(c)); }
  void SetBox(Control c, const std::string& gbk) { SetControlText(ControlHandle(c), gbk); }
  void Click(Control c) { SendMessageW(ControlHandle(c), BM_CLICK, 0, 0); }
  std::string ItemId() const { return main_->harvest().itemId; }
  std::string VideoUrl() const { return main_->harvest().videoUrl; }
  std::vector<Row> ListRows() const {
    HWND list = ControlHandle(Control::images_列表框);
    std::vector<Row> rows;
    for (int i = 0; i < ListViewRowCount(list); ++i)
      rows.push_back({ListViewCell(list, i, 0), ListViewCell(list, i, 1), ListViewCell(list, i, 2)});
    return rows;
  }

  std::unique_ptr<MainWindow> main_;
};

const std::string kTaobaoDescPath =
    "/i1/601/234/601234567890/"
    "TB1aBcDeFgH.desc%7Cvar%5Edesc%3Bsign%5E0a1b2c3d4e5f%3Blang%5Egbk%3Bt%5E1601234567";

// What the description of the fixture item names.
const std::vector<std::string> kTaobaoDetailPictures = {
    "https://img.alicdn.com/imgextra/i1/2200000001/O1CN01Desc1_!!2200000001.jpg",
    "https://img.alicdn.com/imgextra/i2/2200000001/O1CN01Desc2_!!2200000001.png",
    "https://img.alicdn.com/imgextra/i3/2200000001/O1CN01Desc3_!!2200000001.jpg"};

void RouteTaobao(LoopbackServer& server) {
  ServerResponse item = GbkPage(Fixture("taobao_item.html"));
  // A cookie the engine merges into its copy; the cookie box must not take it up.
  item.headers.push_back({"Set-Cookie", "_tb_token_=e7f3; Path=/; HttpOnly"});
  server.Route("/item.htm", item);
  server.Route(kTaobaoDescPath, GbkPage(Fixture("taobao_desc.js")));
}

TEST_F(ExtractCommandsTest, TaobaoButtonFillsTheWindowFromBothPages) {
  TrustedLoopbackServer server;
  RouteTaobao(server);
  ASSERT_TRUE(server.Start());
  UseServer(server);
  SetBox(Control::url, server.Url("/item.htm?id=601234567890"));
  SetBox(Control::cookie值, kCookie);

  Click(Control::淘宝_按钮);

  std::vector<Row> expected = Rows("淘宝主图图片",
                                   {"https://gd1.alicdn.com/imgextra/i1/2200000001/O1CN01Main1_!!2200000001.jpg",
                                    "https://gd2.alicdn.com/imgextra/i2/2200000001/O1CN01Main2_!!2200000001.jpg",
                                    "https://gd3.alicdn.com/imgextra/i3/2200000001/O1CN01Main3_!!2200000001.png",
                                    "https://gd4.alicdn.com/imgextra/i4/2200000001/O1CN01Main4_!!0-item_pic.jpg"},
                                   1);
  for (const Row& r : Rows("淘宝SKU图片",
                           {"https://gd3.alicdn.com/imgextra/i3/2200000001/O1CN01Sku1_!!2200000001.jpg",
                            "https://gd1.alicdn.com/imgextra/i1/2200000001/O1CN01Sku2_!!2200000001.jpg"},
                           5))
    expected.push_back(r);
  for (const Row& r : Rows("淘宝详情图片", kTaobaoDetailPictures, 7)) expected.push_back(r);
  EXPECT_EQ(ListRows(), expected);
  EXPECT_EQ(Box(Control::文本数据),
            "秋冬新款 加厚羊羔毛外套女 短款宽松夹克-淘宝网\r\n\r\n黑色\r\n米白色（加绒）\r\n"
            "面料:羊羔毛\r\n服装版型:宽松\r\n上市年份季节:2020年冬季\r\n颜色分类:黑色米白色\r\n");
  EXPECT_EQ(Box(Control::详情数据), "https://" + server.TlsHostPort() + kTaobaoDescPath);
  EXPECT_EQ(Box(Control::测试), Utf8ToGbk(Fixture("taobao_desc.js")));
  EXPECT_EQ(ItemId(), "601234567890");
  EXPECT_EQ(VideoUrl(), "http://video.test/play/u/2200000001/p/1/e/6/t/1/270123456789.mp4");
  EXPECT_EQ(Box(Control::cookie值), kCookie);

  std::vector<RecordedRequest> requests = server.WaitForRequests(2);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].port, server.port());
  EXPECT_EQ(requests[0].Target(), "/item.htm?id=601234567890");
  EXPECT_EQ(requests[0].Header("Cookie"), kCookie);
  EXPECT_EQ(requests[1].port, server.tlsPort());
  EXPECT_EQ(requests[1].Target(), kTaobaoDescPath);
  EXPECT_EQ(requests[1].Header("Cookie"), kCookie);
}

// The raw-data box is disabled and shows a page's first lines only: a long description goes in
// as its first 4 KB, cut where a character ends, while its pictures are all listed.
TEST_F(ExtractCommandsTest, ALongDescriptionShowsItsStartInTheDisabledBox) {
  TrustedLoopbackServer server;
  RouteTaobao(server);
  std::string desc = "var desc='";
  for (int i = 0; i < 2000; ++i) desc += "<p>图" + std::to_string(i) + "<img src=\"https://img.alicdn.com/" + std::to_string(i) + ".jpg\"></p>";
  desc += "';";
  server.Route(kTaobaoDescPath, GbkPage(desc));
  ASSERT_TRUE(server.Start());
  UseServer(server);
  SetBox(Control::url, server.Url("/item.htm?id=601234567890"));

  Click(Control::淘宝_按钮);

  const std::string shown = Box(Control::测试);
  const std::string whole = Utf8ToGbk(desc);
  ASSERT_LE(shown.size(), 4096u);
  EXPECT_GE(shown.size(), 4095u);
  EXPECT_EQ(shown, whole.substr(0, shown.size()));
  EXPECT_EQ(ListRows().size(), 4u + 2u + 2000u);
}

TEST_F(ExtractCommandsTest, TmallButtonSendsTheCookieBoxToBothPages) {
  const std::string descPath =
      "/i2/602/345/602345678901/TB1TmDesc.desc%7Cvar%5Edesc%3Bsign%5Eab12cd34%3Blang%5Egbk%3Bt%5E1601234567";
  TrustedLoopbackServer server;
  server.Route("/item.htm", GbkPage(Fixture("tmall_item.html")));
  server.Route(descPath, GbkPage(Fixture("tmall_desc.js")));
  ASSERT_TRUE(server.Start());
  UseServer(server);
  SetBox(Control::url, server.Url("/item.htm?id=602345678901"));
  SetBox(Control::cookie值, kCookie);

  Click(Control::天猫_按钮);

  std::vector<Row> rows = ListRows();
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[0], (Row{"1", "https://img.alicdn.com/imgextra/i1/2200000002/O1CN01TmMain1_!!2200000002.jpg", "天猫主图图片1"}));
  EXPECT_EQ(rows[3], (Row{"4", "https://img.alicdn.com/imgextra/i1/2200000002/O1CN01TmSku1_!!2200000002.jpg", "天猫SKU图片1"}));
  EXPECT_EQ(rows[6], (Row{"7", "https://img.alicdn.com/imgextra/i2/2200000002/O1CN01TmDesc2_!!2200000002.jpg", "天猫详情图片2"}));
  EXPECT_EQ(Box(Control::文本数据),
            "春夏新款 真丝印花连衣裙女 桑蚕丝中长裙\r\n\r\n藏青色\r\n杏色碎花\r\nS\r\nM\r\n"
            "面料:桑蚕丝\r\n裙长:中长裙\r\n颜色分类:藏青色杏色碎花\r\n");
  EXPECT_EQ(ItemId(), "602345678901");
  EXPECT_EQ(VideoUrl(), "http://video.test/play/u/2200000002/p/1/e/6/t/1/280234567890.mp4");

  std::vector<RecordedRequest> requests = server.WaitForRequests(2);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Header("Cookie"), kCookie);
  EXPECT_EQ(requests[1].Target(), descPath);
  EXPECT_EQ(requests[1].Header("Cookie"), kCookie);
}

TEST_F(ExtractCommandsTest, JdButtonSendsNoCookieAndDropsTheEarlierVideo) {
  TrustedLoopbackServer server;
  RouteTaobao(server);
  server.Route("/100012345678.html", GbkPage(Fixture("jd_item.html")));
  server.Route("/detail/100012345678_d10480324630_normal.html", Utf8Page(Fixture("jd_mobile_detail.html")));
  ASSERT_TRUE(server.Start());
  UseServer(server);
  // An earlier Taobao run left its video address.
  SetBox(Control::url, server.Url("/item.htm?id=601234567890"));
  Click(Control::淘宝_按钮);
  ASSERT_FALSE(VideoUrl().empty());
  ListViewDeleteAll(ControlHandle(Control::images_列表框));
  SetBox(Control::文本数据, "");
  SetBox(Control::url, server.Url("/100012345678.html"));
  SetBox(Control::cookie值, kCookie);
  SetBox(Control::详情数据, "earlier description");
  const size_t before = server.WaitForRequests(2).size();

  Click(Control::京东_按钮);

  const std::string base = "https://img.test//imgzone//jfs";
  std::vector<Row> rows = ListRows();
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[2], (Row{"3", base + "/t1/133333/3/4444/55555/5f1a2b3eE6d7e8f9c/2123456789abcdef.png", "京东主图图片3"}));
  EXPECT_EQ(rows[4], (Row{"5", base + "/t1/155555/5/6666/77777/5f1a2b40E8d9e0f1e/4123456789abcdef.jpg", "京东SKU图片2"}));
  // The mobile page came as UTF-8 and its .png detail picture is listed as .jpg.
  EXPECT_EQ(rows[6], (Row{"7", base + "/t1/177777/7/8888/99999/5f1a2b42E0e1f2a3a/6123456789abcdef.jpg", "京东详情图片2"}));
  EXPECT_EQ(Box(Control::文本数据),
            "商品名称：华为FreeBuds\r\n商品编号：100012345678\r\n商品毛重：120.00g\r\n佩戴方式：入耳式\r\n功能：主动降噪\r\n");
  EXPECT_EQ(ItemId(), "100012345678");
  EXPECT_EQ(VideoUrl(), "");
  EXPECT_EQ(Box(Control::详情数据), "earlier description");

  std::vector<RecordedRequest> requests = server.WaitForRequests(before + 2);
  ASSERT_EQ(requests.size(), before + 2);
  EXPECT_EQ(requests[before].Target(), "/100012345678.html");
  EXPECT_FALSE(requests[before].HasHeader("Cookie"));
  EXPECT_EQ(requests[before + 1].port, server.tlsPort());
  EXPECT_EQ(requests[before + 1].Target(), "/detail/100012345678_d10480324630_normal.html");
  EXPECT_FALSE(requests[before + 1].HasHeader("Cookie"));
}

TEST_F(ExtractCommandsTest, AlibabaButtonSendsTheCookieToTheDescriptionOnly) {
  TrustedLoopbackServer server;
  server.Route("/tfscom/TB1OfferDesc", GbkPage(Fixture("alibaba_desc.js")));
  ASSERT_TRUE(server.Start());  // the port must be known before the offer page names it
  TrustedLoopbackServer offers;
  offers.Route("/offer/610123456789.html",
               GbkPage(Fixture("alibaba_offer.html", {{"DESC_URL", server.Url("/tfscom/TB1OfferDesc")}})));
  ASSERT_TRUE(offers.Start());
  UseServer(server);
  SetBox(Control::url, offers.Url("/offer/610123456789.html"));
  SetBox(Control::cookie值, kCookie);

  Click(Control::阿里_按钮);

  std::vector<Row> rows = ListRows();
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0], (Row{"1", "https://cbu01.alicdn.com/img/ibank/2020/555/666/2005555666_2100000003.jpg", "阿里主图图片1"}));
  EXPECT_EQ(rows[3], (Row{"4", "https://cbu01.alicdn.com/img/ibank/2020/333/444/2003333444_2100000003.jpg", "阿里SKU图片2"}));
  EXPECT_EQ(rows[5], (Row{"6", "https://cbu01.alicdn.com/img/ibank/2020/902/345/2009902345_2100000003.jpg", "阿里详情图片2"}));
  EXPECT_EQ(Box(Control::文本数据),
            "厂家直销 304不锈钢保温杯 大容量商务水杯 可定制logo\r\n\r\n象牙白\r\n磨砂黑\r\n樱花粉\r\n500ml\r\n750ml\r\n");
  EXPECT_EQ(Box(Control::详情数据), server.Url("/tfscom/TB1OfferDesc"));
  // Filed under the offer number of the link; the video keeps its video id's name.
  EXPECT_EQ(ItemId(), "610123456789");
  EXPECT_EQ(main_->harvest().videoName, "350123456789");
  EXPECT_EQ(VideoUrl(), "http://video.test/play/u/2100000003/p/2/e/6/t/1/350123456789.mp4");

  std::vector<RecordedRequest> offerRequests = offers.WaitForRequests(1);
  ASSERT_EQ(offerRequests.size(), 1u);
  EXPECT_FALSE(offerRequests[0].HasHeader("Cookie"));
  std::vector<RecordedRequest> descRequests = server.WaitForRequests(1);
  ASSERT_EQ(descRequests.size(), 1u);
  EXPECT_EQ(descRequests[0].Target(), "/tfscom/TB1OfferDesc");
  EXPECT_EQ(descRequests[0].Header("Cookie"), kCookie);
}

// A link pasted with blanks, a tab or a line end around it is used without them; the box keeps
// what was typed.
TEST_F(ExtractCommandsTest, TheLinkIsUsedWithoutTheBlanksAroundIt) {
  TrustedLoopbackServer server;
  server.Route("/100012345678.html", GbkPage(Fixture("jd_item.html")));
  server.Route("/detail/100012345678_d10480324630_normal.html", Utf8Page(Fixture("jd_mobile_detail.html")));
  ASSERT_TRUE(server.Start());
  UseServer(server);
  const std::string typed = " \t" + server.Url("/100012345678.html") + "  \t";
  SetBox(Control::url, typed);

  Click(Control::京东_按钮);

  EXPECT_EQ(ListRows().size(), 8u);
  EXPECT_EQ(ItemId(), "100012345678");
  std::vector<RecordedRequest> requests = server.WaitForRequests(2);
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].Target(), "/100012345678.html");
  EXPECT_EQ(Box(Control::url), typed);
}

// A link of another platform's site pressed with this button: the status line names the link's
// platform, and nothing is fetched or changed.
TEST_F(ExtractCommandsTest, ALinkOfAnotherPlatformIsNamedInTheStatusLine) {
  TrustedLoopbackServer server;
  RouteTaobao(server);
  ASSERT_TRUE(server.Start());
  UseServer(server);
  SetBox(Control::url, server.Url("/item.htm?id=601234567890"));
  Click(Control::淘宝_按钮);
  ASSERT_EQ(ListRows().size(), 9u);
  const size_t requests = server.WaitForRequests(2).size();

  SetBox(Control::url, "https://item.jd.com/100012345678.html");
  Click(Control::淘宝_按钮);

  HWND label = ControlHandle(Control::岚栩_tim);
  EXPECT_TRUE(ToolTipText(main_->statusTip(), label).ends_with(" - 这是京东的链接，请点京东数据"))
      << ToolTipText(main_->statusTip(), label);
  EXPECT_NE(Box(Control::岚栩_tim).find("这是京东的链接"), std::string::npos) << Box(Control::岚栩_tim);
  EXPECT_EQ(ListRows().size(), 9u);
  EXPECT_EQ(ItemId(), "601234567890");
  PumpFor(200);
  EXPECT_EQ(server.Requests().size(), requests);
}

// Another link's run adds its rows and lines after the earlier ones.
TEST_F(ExtractCommandsTest, AnotherLinksRunContinuesRowNumbersAndRestartsKinds) {
  TrustedLoopbackServer server;
  RouteTaobao(server);
  ASSERT_TRUE(server.Start());
  UseServer(server);
  SetBox(Control::url, server.Url("/item.htm?id=601234567890"));

  HWND list = ControlHandle(Control::images_列表框);
  HWND edit = ControlHandle(Control::文本数据);
  Click(Control::淘宝_按钮);
  // The list was filled with its repainting held; it is released, so the rows wait to be painted.
  EXPECT_TRUE(GetUpdateRect(list, nullptr, FALSE));
  PumpFor(50);
  SetBox(Control::url, server.Url("/item.htm?id=601234567890&spm=2"));
  Click(Control::淘宝_按钮);
  EXPECT_TRUE(GetUpdateRect(list, nullptr, FALSE));

  std::vector<Row> rows = ListRows();
  ASSERT_EQ(rows.size(), 18u);
  EXPECT_EQ(rows[9], (Row{"10", rows[0].url, "淘宝主图图片1"}));
  EXPECT_EQ(rows[17], (Row{"18", rows[8].url, "淘宝详情图片3"}));
  // The second run's text follows the first's, and the box shows its end, caret there.
  const std::string text = "\r\n\r\n黑色\r\n米白色（加绒）\r\n面料:羊羔毛\r\n服装版型:宽松\r\n上市年份季节:2020年冬季\r\n"
                           "颜色分类:黑色米白色\r\n";
  const std::string title = "秋冬新款 加厚羊羔毛外套女 短款宽松夹克-淘宝网";
  EXPECT_EQ(Box(Control::文本数据), title + text + title + text);
  DWORD selStart = 0, selEnd = 0;
  SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));
  const auto length = static_cast<DWORD>(SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
  EXPECT_EQ(selStart, length);
  EXPECT_EQ(selEnd, length);
  const auto lines = static_cast<int>(SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
  EXPECT_GT(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0) << lines << " lines";
  // An empty cookie box sends no cookie.
  for (const RecordedRequest& r : server.WaitForRequests(4)) EXPECT_FALSE(r.HasHeader("Cookie")) << r.Target();
}

// The retry after pasting a missing cookie: a press for a link already listed (typed without its
// scheme, as an address bar copies it) replaces that link's rows and lines where they stand; the
// rows of another link stay, every row numbered by its place. A link without a scheme is asked
// for over https: JD's item page itself, not only its phone page.
TEST_F(ExtractCommandsTest, APressForAListedLinkReplacesItsRowsWhereTheyStand) {
  TrustedLoopbackServer server;
  server.Route("/item.htm", GbkPage(Fixture("taobao_item.html")));
  ServerResponse busy;
  busy.status = 500;
  busy.reason = "Internal Server Error";
  server.RouteSequence(kTaobaoDescPath, {busy, GbkPage(Fixture("taobao_desc.js"))});
  server.Route("/100012345678.html", GbkPage(Fixture("jd_item.html")));
  server.Route("/detail/100012345678_d10480324630_normal.html", Utf8Page(Fixture("jd_mobile_detail.html")));
  ASSERT_TRUE(server.Start());
  UseServer(server);
  const std::string taobao = server.TlsUrl("/item.htm?id=601234567890");

  SetBox(Control::url, taobao);
  Click(Control::淘宝_按钮);
  const std::vector<Row> first = ListRows();
  ASSERT_EQ(first.size(), 6u) << "the description failed: main and SKU pictures only";
  const std::string taobaoText = Box(Control::文本数据);
  SetBox(Control::url, server.TlsHostPort() + "/100012345678.html");
  Click(Control::京东_按钮);
  EXPECT_EQ(server.LastRequestFor("/100012345678.html").port, server.tlsPort());
  const std::vector<Row> both = ListRows();
  const std::vector<Row> jd(both.begin() + 6, both.end());
  ASSERT_EQ(jd.size(), 8u);
  const std::string text = Box(Control::文本数据);

  SetBox(Control::url, taobao.substr(std::string("https://").size()));
  Click(Control::淘宝_按钮);

  std::vector<Row> expected(first);
  for (const Row& r : Rows("淘宝详情图片", kTaobaoDetailPictures, 7)) expected.push_back(r);
  for (Row r : jd) {
    r.number = std::to_string(expected.size() + 1);
    expected.push_back(r);
  }
  EXPECT_EQ(ListRows(), expected);
  EXPECT_EQ(Box(Control::文本数据), text) << "the retry's lines replace the first run's";
  EXPECT_NE(Box(Control::岚栩_tim).find("9张图片"), std::string::npos) << Box(Control::岚栩_tim);
  EXPECT_EQ(ItemId(), "601234567890");

  // Lines written over by hand stay; the next press's lines then go after them.
  SetBox(Control::文本数据, "手写的一行\r\n");
  Click(Control::淘宝_按钮);
  EXPECT_EQ(ListRows(), expected);
  EXPECT_EQ(Box(Control::文本数据), "手写的一行\r\n" + taobaoText);
}

// A classic offer with one main picture and `names` SKU names of 47 bytes, blanks after it up to
// `bytes` in all.
std::string Offer(int names, size_t bytes = 0) {
  std::string page = "tab-trigger active original\":\"https://cbu01.alicdn.com/img/1.jpg\"}'> unit-detail-fav skuProps";
  for (int i = 0; i < names; ++i) page += "name\":\"" + std::string(47, static_cast<char>('a' + i % 26)) + "\"}";
  page += "allTagIds";
  if (page.size() < bytes) page.append(bytes - page.size(), ' ');
  return page;
}

// The text box holds at most kMaxTextBytes of the harvest's text: a run whose lines would pass it
// adds them up to there and says it took part. A page whose body goes on past the page bound is
// read up to there, and said to be cut short too.
TEST_F(ExtractCommandsTest, TheTextBoxAndThePagesKeepToTheirBounds) {
  const size_t name = 49, title = 4;  // a name and its line end; the empty title's two line ends
  const size_t afterTwo = 2 * title + 803 * name;
  const struct {
    const char* path;
    std::string page;
    size_t boxBytes;  // what the box holds after the run
    bool cut;
  } runs[] = {
      {"/past-the-bound.html", Offer(3, kMaxPageBytes + 4096), title + 3 * name, true},
      {"/names.html", Offer(800), afterTwo, false},
      {"/names.html?again", Offer(800), afterTwo + title + (kMaxTextBytes - afterTwo - title) / name * name, true},
  };
  LoopbackServer server;
  for (const auto& run : runs) server.Route(run.path, GbkPage(run.page));
  ASSERT_TRUE(server.Start());
  UseServer(server);
  int rows = 0;
  for (const auto& run : runs) {
    SCOPED_TRACE(std::to_string(rows + 1) + ". run");
    SetBox(Control::url, server.Url(run.path));
    Click(Control::阿里_按钮);
    EXPECT_EQ(ListRows().size(), static_cast<size_t>(++rows));
    const std::string box = Box(Control::文本数据);
    EXPECT_EQ(box.size(), run.boxBytes);
    EXPECT_TRUE(box.ends_with("\r\n"));
    const std::string status = ToolTipText(main_->statusTip(), ControlHandle(Control::岚栩_tim));
    EXPECT_EQ(status.find("；页面数据过多，只取了一部分") != std::string::npos, run.cut) << status;
  }
}

TEST_F(ExtractCommandsTest, ButtonsPressedDuringARunAreIgnored) {
  TrustedLoopbackServer server;
  RouteTaobao(server);
  ServerResponse slowDesc = GbkPage(Fixture("taobao_desc.js"));
  slowDesc.delayMs = 600;
  server.Route(kTaobaoDescPath, slowDesc);
  server.Route("/100012345678.html", GbkPage(Fixture("jd_item.html")));
  ASSERT_TRUE(server.Start());
  UseServer(server);
  SetBox(Control::url, server.Url("/item.htm?id=601234567890"));

  // Clicks waiting in the queue reach their buttons while the Taobao run fetches its pages.
  PostMessageW(ControlHandle(Control::京东_按钮), BM_CLICK, 0, 0);
  PostMessageW(ControlHandle(Control::淘宝_按钮), BM_CLICK, 0, 0);
  Click(Control::淘宝_按钮);
  EXPECT_FALSE(main_->ExtractionRunning());
  PumpFor(300);  // anything still queued would run now

  EXPECT_EQ(ListRows().size(), 9u);
  std::vector<RecordedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Target(), "/item.htm?id=601234567890");
  EXPECT_EQ(requests[1].Target(), kTaobaoDescPath);
  EXPECT_EQ(ItemId(), "601234567890");
}

TEST_F(ExtractCommandsTest, ClearDuringARunLeavesAnEmptyHarvest) {
  TrustedLoopbackServer server;
  RouteTaobao(server);
  ServerResponse slowDesc = GbkPage(Fixture("taobao_desc.js"));
  slowDesc.delayMs = 600;
  server.Route(kTaobaoDescPath, slowDesc);
  ASSERT_TRUE(server.Start());
  UseServer(server);
  SetBox(Control::url, server.Url("/item.htm?id=601234567890"));

  PostMessageW(ControlHandle(Control::数据_清空), BM_CLICK, 0, 0);
  Click(Control::淘宝_按钮);

  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_TRUE(ListRows().empty());
  EXPECT_EQ(Box(Control::文本数据), "");
  EXPECT_EQ(Box(Control::详情数据), "");
  EXPECT_EQ(Box(Control::测试), "");
  EXPECT_EQ(ItemId(), "");
  EXPECT_EQ(VideoUrl(), "");

  // The next run fills the window again, numbered from 1.
  SetBox(Control::url, server.Url("/item.htm?id=601234567890"));
  Click(Control::淘宝_按钮);
  std::vector<Row> rows = ListRows();
  ASSERT_EQ(rows.size(), 9u);
  EXPECT_EQ(rows[0].number, "1");
  EXPECT_EQ(ItemId(), "601234567890");
}

// The window goes at once when it is closed while a page loads (here one that never comes), and
// the run ends with it: nothing more is asked for and nothing is published.
TEST_F(ExtractCommandsTest, ClosingTheWindowWhileAPageLoadsEndsTheRunAtOnce) {
  TrustedLoopbackServer server;
  ServerResponse hang;
  hang.mode = "hang";
  server.Route("/item.htm", hang);
  ASSERT_TRUE(server.Start());
  UseServer(server);
  const std::string link = server.Url("/item.htm?id=601234567890");
  SetBox(Control::url, link);
  const HWND window = main_->handle();
  std::atomic<DWORD> closedAt{0};
  std::thread closer([&] {
    server.LastRequestFor("/item.htm?id=601234567890", 10000);
    closedAt = GetTickCount();
    PostMessageW(window, WM_CLOSE, 0, 0);
  });

  Click(Control::淘宝_按钮);
  const DWORD returnedAt = GetTickCount();
  closer.join();

  ASSERT_NE(closedAt.load(), 0u);
  EXPECT_LT(returnedAt - closedAt, 1000u) << "the run ended " << returnedAt - closedAt << " ms after the close";
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(main_->ExtractionRunning());
  EXPECT_EQ(ItemId(), "");
  EXPECT_EQ(VideoUrl(), "");
  EXPECT_EQ(server.Requests().size(), 1u) << "no description asked for";
}

// Saved real pages served as their sites would: GBK pages as they are, and the pages that declare
// a charset other than their bytes converted to what they declare. Counts as in the native tests.
TEST_F(ExtractCommandsTest, RealPagesThroughTheWindow) {
  const std::string dir = SharedDir() + "/real-pages";
  if (!UnixFileExists(dir + "/SOURCES.md")) GTEST_SKIP() << "no saved real pages beside the checkout";
  struct Case {
    const char* file;
    const char* convertFrom;  // "" to serve the bytes unchanged
    Control button;
    size_t rows;
    std::string firstText;
  } cases[] = {
      // 6 gallery thumbnails, no SKU swatch pictures; GBK bytes declaring gbk.
      {"taobao-1.html", "", Control::淘宝_按钮, 6, "FFAN泛泛 御寒神器 回馈Bi入款 貉子大毛领加厚羽绒服女中长款3色-淘宝网\r\n"},
      // 5 thumbnails and 5 swatches; UTF-8 bytes declaring gbk, so served as GBK.
      {"tmall-2.html", "utf-8", Control::天猫_按钮, 10, "\r\n"},
      // 5 gallery pictures; declares UTF-8 first, served as UTF-8 for the engine to re-decode.
      {"jd-2.html", "", Control::京东_按钮, 5, "商品名称：良品铺子 手剥东北红松218g*2袋 特产东北松子 坚果炒货零食\r\n"},
      // 8 gallery pictures and 3 colour pictures; GBK.
      {"1688-1.html", "", Control::阿里_按钮, 11, "\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TrustedLoopbackServer server;
    ServerResponse page;
    page.bodyFile = dir + "/" + c.file;
    if (*c.convertFrom) {
      page.convertFrom = c.convertFrom;
      page.convertTo = "gbk";
    }
    server.Route("/item.html", page);
    ASSERT_TRUE(server.Start());
    UseServer(server);
    Click(Control::数据_清空);
    SetBox(Control::url, server.Url("/item.html"));
    Click(c.button);
    EXPECT_EQ(ListRows().size(), c.rows);
    const std::string text = Box(Control::文本数据);
    EXPECT_EQ(text.substr(0, c.firstText.size()), c.firstText);
  }
}

}  // namespace
