// The cookie box travels only over a verified connection: the platform buttons of the real main
// window against TLS servers on the loopback address whose certificates the prefix's test
// authority issued (or not). Each server logs what reached it.
#include <windows.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/tests/fixture_pages.h"
#include "runtime/controls.h"
#include "runtime/message_box.h"
#include "tests/support/loopback_server.h"
#include "tests/support/message_pump.h"
#include "tests/support/test_authority.h"
#include "tests/support/window_support.h"

namespace {

// Before the first test: the process's first certificate check must already see the authority.
[[maybe_unused]] const auto* const kAuthority = ::testing::AddGlobalTestEnvironment(new TestAuthorityEnvironment);

const std::string kCookie = "_m_h5_tk=0123456789abcdef0123456789abcdef_1700000000000; cookie2=session";
const std::string kItem = "/item.htm?id=601234567890";
const std::string kDescPath = "/i1/601/234/601234567890/TB1aBcDeFgH.desc%7Cvar%5Edesc%3Bsign%5E0a1b2c3d4e5f%3Blang%5Egbk%3Bt%5E1601234567";
const std::string kLoginPage =
    "<html><head><title>淘宝网 - 淘！我喜欢</title></head><body><form id=\"login-form\">"
    "<input type=\"password\" name=\"fm-login-password\"></form></body></html>";

std::unique_ptr<LoopbackServer> ServerWith(TestCertificate certificate) {
  auto server = std::make_unique<LoopbackServer>();
  TestAuthorityEnvironment::Get()->Present(certificate, *server);
  return server;
}

class ExtractVerifiedCookieTest : public ::testing::Test {
 protected:
  void TearDown() override {
    main_.reset();
    PumpFor(20);
  }
  // The real window; the Taobao description and its signed call go to the given hosts.
  void MakeWindow(const std::string& descHost, const std::string& apiHost) {
    main_.reset();
    WindowConfig config;
    config.hosts.endpoints = {descHost,   kTaobaoDescLinkHost, "video.test", kTmallTitleDomain,
                              "img.test", "m.invalid",         apiHost,      "jdimg.invalid"};
    config.answer = [](const MessageBoxRequest&) { return static_cast<int>(kPressedOk); };
    main_ = std::make_unique<MainWindow>(config);
    ASSERT_TRUE(main_->Create(GetModuleHandleW(nullptr)));
  }
  // Presses 淘宝数据 with the link and the cookie box filled; the status line's message after.
  std::string HarvestTaobao(const std::string& link) {
    SetControlText(main_->control(Control::url), link);
    SetControlText(main_->control(Control::cookie值), kCookie);
    SendMessageW(main_->control(Control::淘宝_按钮), BM_CLICK, 0, 0);
    const std::string line = ToolTipText(main_->statusTip(), main_->control(Control::岚栩_tim));
    const size_t dash = line.find(" - ");
    return dash == std::string::npos ? line : line.substr(dash + 3);
  }
  int Rows() const { return ListViewRowCount(main_->control(Control::images_列表框)); }

  std::unique_ptr<MainWindow> main_;
};

TEST_F(ExtractVerifiedCookieTest, TheItemPageAndItsCookieGoOnlyToACertificateTheSystemTrusts) {
  const struct {
    const char* name;
    TestCertificate certificate;
    bool trusted;
  } cases[] = {{"trusted", TestCertificate::Trusted, true},
               {"untrusted", TestCertificate::Untrusted, false},
               {"expired", TestCertificate::Expired, false},
               {"wrong name", TestCertificate::WrongName, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<LoopbackServer> server = ServerWith(c.certificate);
    server->Route("/item.htm", GbkPage(Fixture("taobao_item.html")));
    server->Route(kDescPath, GbkPage(Fixture("taobao_desc.js")));
    ASSERT_TRUE(server->Start());
    MakeWindow(server->TlsHostPort(), "api.invalid");

    const std::string status = HarvestTaobao(server->TlsUrl(kItem));

    if (c.trusted) {
      EXPECT_EQ(status, "9张图片：主图4，SKU图2，详情图3，视频1个（淘宝数据）");
      const std::vector<RecordedRequest> requests = server->WaitForRequests(2);
      ASSERT_EQ(requests.size(), 2u);
      for (const RecordedRequest& r : requests) EXPECT_EQ(r.Header("Cookie"), kCookie) << r.Target();
    } else {
      EXPECT_EQ(status, "页面获取失败（证书无效，Cookie未发送），请检查网络（淘宝数据）");
      EXPECT_EQ(Rows(), 0);
      EXPECT_TRUE(server->Requests().empty()) << "nothing reaches a server whose certificate failed";
    }
  }
}

// Today's page over plain http, as the demo shop serves it; its detail pictures come from the
// signed call, which carries the cookie and so goes only to a server the system trusts.
TEST_F(ExtractVerifiedCookieTest, TheSignedDescriptionCallGoesOnlyToACertificateTheSystemTrusts) {
  const struct {
    TestCertificate certificate;
    std::string status;
  } cases[] = {
      {TestCertificate::Trusted, "7张图片：主图3，SKU图2，详情图2，视频1个（淘宝数据）"},
      {TestCertificate::Untrusted,
       "5张图片，详情图未能读取：证书无效，Cookie未发送，请检查网络；主图3，SKU图2，详情图0，视频1个（淘宝数据）"},
  };
  LoopbackServer pages;
  ServerResponse today;
  today.headers = {{"Content-Type", "text/html; charset=utf-8"}};
  today.body = Fixture("taobao_today.html");
  pages.Route("/item.htm", today);
  ASSERT_TRUE(pages.Start());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    std::unique_ptr<LoopbackServer> api = ServerWith(c.certificate);
    ServerResponse answer;
    answer.headers = {{"Content-Type", "application/json; charset=utf-8"}};
    answer.body = ReadUnixFile(SourceDir() + "/extract/tests/fixtures/taobao_desc_answer.json");
    api->Route("/h5/mtop.taobao.detail.getdesc/6.0/", answer);
    ASSERT_TRUE(api->Start());
    MakeWindow("desc.invalid", api->TlsHostPort());

    EXPECT_EQ(HarvestTaobao(pages.Url(kItem)), c.status);

    EXPECT_EQ(pages.LastRequestFor(kItem).Header("Cookie"), kCookie) << "plain http, as the link says";
    // The call's answer came as UTF-8 bytes: the description box shows it as text.
    if (c.certificate == TestCertificate::Trusted) {
      EXPECT_EQ(GetControlText(main_->control(Control::测试)), Utf8ToGbk(answer.body));
    }
    const std::vector<RecordedRequest> calls = api->WaitForRequests(1, c.certificate == TestCertificate::Trusted ? 5000 : 0);
    EXPECT_EQ(calls.size(), c.certificate == TestCertificate::Trusted ? 1u : 0u);
    for (const RecordedRequest& call : calls) EXPECT_EQ(call.Header("Cookie"), kCookie);
  }
}

// A redirect from the verified item page to plain http: followed without the cookie. A page that
// then asks for a login says why it did; an item page is read as usual.
TEST_F(ExtractVerifiedCookieTest, ARedirectToPlainHttpGoesWithoutTheCookie) {
  const struct {
    const char* name;
    std::string page;
    std::string status;
  } cases[] = {
      {"a login page", kLoginPage, "返回的是登录页：页面转到了未加密的http地址，Cookie未发送（淘宝数据）"},
      {"the item page", Fixture("taobao_item.html"), "9张图片：主图4，SKU图2，详情图3，视频1个（淘宝数据）"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer plain;
    plain.Route("/item.htm", GbkPage(c.page));
    ASSERT_TRUE(plain.Start());
    TrustedLoopbackServer secure;
    ServerResponse moved;
    moved.status = 302;
    moved.reason = "Found";
    moved.headers = {{"Location", plain.Url(kItem)}};
    secure.Route("/item.htm", moved);
    secure.Route(kDescPath, GbkPage(Fixture("taobao_desc.js")));
    ASSERT_TRUE(secure.Start());
    MakeWindow(secure.TlsHostPort(), "api.invalid");

    EXPECT_EQ(HarvestTaobao(secure.TlsUrl(kItem)), c.status);

    EXPECT_EQ(secure.LastRequestFor(kItem).Header("Cookie"), kCookie);
    const RecordedRequest hop = plain.LastRequestFor(kItem);
    ASSERT_FALSE(hop.raw.empty());
    EXPECT_FALSE(hop.HasHeader("Cookie"));
  }
}

}  // namespace
