// The cookie box reaches only the hosts it belongs to: the platform buttons of the real main
// window against loopback servers, where two names of the loopback host ("127.0.0.1" and
// "localhost") stand for two hosts. And what the page engine tells the extraction about a failed
// request.
#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/tests/fixture_pages.h"
#include "config/endpoints.h"
#include "config/hosts_file.h"
#include "extract/item_harvest.h"
#include "http/winhttp_request.h"
#include "runtime/controls.h"
#include "runtime/message_box.h"
#include "tests/support/loopback_server.h"
#include "tests/support/message_pump.h"

namespace {

const std::string kCookie = "thw=cn; _m_h5_tk=0123abcd_1700000000000; cookie2=session";

class ExtractCookieScopeTest : public ::testing::Test {
 protected:
  void TearDown() override {
    main_.reset();
    offers_.reset();
    PumpFor(20);
  }
  // The real window with the given hosts; its message boxes are answered with OK.
  void MakeWindow(const EndpointHosts& hosts) {
    main_.reset();
    WindowConfig config;
    config.hosts.endpoints = hosts;
    config.answer = [](const MessageBoxRequest&) { return static_cast<int>(kPressedOk); };
    main_ = std::make_unique<MainWindow>(config);
    ASSERT_TRUE(main_->Create(GetModuleHandleW(nullptr)));
  }
  HWND ControlHandle(Control c) const { return main_->control(c); }
  void SetBox(Control c, const std::string& gbk) { SetControlText(ControlHandle(c), gbk); }
  void Click(Control c) { SendMessageW(ControlHandle(c), BM_CLICK, 0, 0); }
  // Presses 阿里数据 with the cookie box filled, on an offer page (on a server of its own) that names
  // `descUrl` as its description. None of the program's own description hosts is a loopback name.
  void HarvestOfferNaming(const std::string& descUrl) {
    offers_ = std::make_unique<LoopbackServer>();
    offers_->Route("/offer/610123456789.html", GbkPage(Fixture("alibaba_offer.html", {{"DESC_URL", descUrl}})));
    ASSERT_TRUE(offers_->Start());
    MakeWindow({"desc.invalid", kTaobaoDescLinkHost, "video.test", kTmallTitleDomain, "img.test", "m.invalid",
                "api.invalid", "jdimg.invalid"});
    SetBox(Control::url, offers_->Url("/offer/610123456789.html"));
    SetBox(Control::cookie值, kCookie);
    Click(Control::阿里_按钮);
  }

  std::unique_ptr<MainWindow> main_;
  std::unique_ptr<LoopbackServer> offers_;
};

TEST_F(ExtractCookieScopeTest, DescriptionNamedOnAnotherHostGoesWithoutTheCookie) {
  struct Case {
    const char* descHost;
    bool cookie;
  } cases[] = {{"127.0.0.1", true}, {"localhost", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.descHost);
    LoopbackServer descriptions;
    descriptions.Route("/tfscom/TB1OfferDesc", GbkPage(Fixture("alibaba_desc.js")));
    ASSERT_TRUE(descriptions.Start());
    HarvestOfferNaming("http://" + std::string(c.descHost) + ":" + std::to_string(descriptions.port()) +
                       "/tfscom/TB1OfferDesc");

    std::vector<RecordedRequest> requests = descriptions.WaitForRequests(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Target(), "/tfscom/TB1OfferDesc");
    EXPECT_EQ(requests[0].HasHeader("Cookie"), c.cookie);
    if (c.cookie) {
      EXPECT_EQ(requests[0].Header("Cookie"), kCookie);
    }
    // The description is read either way: two gallery, two SKU and two detail pictures.
    EXPECT_EQ(ListViewRowCount(ControlHandle(Control::images_列表框)), 6);
  }
}

// A description address on the link's own host that redirects to another host name: the first
// request carries the cookie, the hop does not (the page engine would send its cookie line along).
TEST_F(ExtractCookieScopeTest, ARedirectToAnotherHostGoesWithoutTheCookie) {
  LoopbackServer descriptions;
  descriptions.Route("/tfscom/TB1OfferDesc", GbkPage(Fixture("alibaba_desc.js")));
  ASSERT_TRUE(descriptions.Start());
  LoopbackServer hops;
  ServerResponse moved;
  moved.status = 302;
  moved.reason = "Found";
  moved.headers = {{"Location", "http://localhost:" + std::to_string(descriptions.port()) + "/tfscom/TB1OfferDesc"}};
  hops.Route("/desc", moved);
  ASSERT_TRUE(hops.Start());
  HarvestOfferNaming(hops.Url("/desc"));

  EXPECT_EQ(hops.LastRequestFor("/desc").Header("Cookie"), kCookie) << "the link's own host";
  const RecordedRequest hop = descriptions.LastRequestFor("/tfscom/TB1OfferDesc");
  ASSERT_FALSE(hop.raw.empty());
  EXPECT_FALSE(hop.HasHeader("Cookie"));
  EXPECT_EQ(ListViewRowCount(ControlHandle(Control::images_列表框)), 6);
}

// What the fetch of the platform buttons hands the extraction: the status of a response, or the
// engine's numbered message when none came.
TEST(PageExchangeResultTest, StatusOrFailure) {
  LoopbackServer server;
  ServerResponse missing;
  missing.status = 404;
  missing.reason = "Not Found";
  missing.body = "<html>no such page</html>";
  server.Route("/missing.html", missing);
  ASSERT_TRUE(server.Start());
  struct Case {
    std::string url;
    int status;
    bool failure;
  } cases[] = {
      {server.Url("/missing.html"), 404, false},
      {"http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    WinHttpRequestOptions options;
    std::string status, headers;
    options.statusText = &status;
    options.returnedHeaders = &headers;
    options.timeoutSeconds = 10;
    std::string text = WinHttpPageRequest(c.url, options);
    const FetchedPage page = FetchedPageFromExchange(std::move(text), status, headers);
    EXPECT_EQ(page.status, c.status);
    EXPECT_EQ(!page.failure.empty(), c.failure);
    if (c.failure) {
      EXPECT_EQ(page.failure.substr(0, 1), "7") << page.failure;
    }
  }
}

}  // namespace
