// The cookie box reaches only the hosts it belongs to: the platform buttons of the real main
// window against loopback servers, where two names of the loopback host ("127.0.0.1" and
// "localhost") stand for two hosts. And what the page engine tells the extraction about a failed
// request.
#include <windows.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/extract_commands.h"
#include "app/main_window.h"
#include "config/endpoints.h"
#include "extract/item_harvest.h"
#include "http/winhttp_request.h"
#include "runtime/controls.h"
#include "runtime/message_box.h"
#include "tests/support/loopback_server.h"
#include "tests/support/message_pump.h"

namespace {

const std::string kCookie = "thw=cn; _m_h5_tk=0123abcd_1700000000000; cookie2=session";

std::string Fixture(const std::string& name, const std::map<std::string, std::string>& replacements = {}) {
  std::string text = ReadUnixFile(SourceDir() + "/extract/tests/fixtures/" + name);
  for (const auto& [key, value] : replacements) {
    const std::string placeholder = "{{" + key + "}}";
    for (size_t at; (at = text.find(placeholder)) != std::string::npos;) text.replace(at, placeholder.size(), value);
  }
  return text;
}

ServerResponse GbkPage(const std::string& utf8) {
  ServerResponse r;
  r.headers = {{"Content-Type", "text/html"}};
  r.body = utf8;
  r.convertFrom = "utf-8";
  r.convertTo = "gbk";
  return r;
}

void SetBox(Control c, const std::string& gbk) { SetControlText(ControlHandle(c), gbk); }
void Click(Control c) { SendMessageW(ControlHandle(c), BM_CLICK, 0, 0); }

class ExtractCookieScopeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxHandler([](const MessageBoxRequest&) { return static_cast<int>(kPressedOk); });
    window_ = CreateMainWindow(GetModuleHandleW(nullptr));
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
    PumpFor(20);
    SetMessageBoxHandler({});
    UseEndpointHosts(ShippedEndpointHosts());
    SetItemId("");
    SetVideoUrl("");
  }
  HWND window_ = nullptr;
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
    const std::string descUrl =
        "http://" + std::string(c.descHost) + ":" + std::to_string(descriptions.port()) + "/tfscom/TB1OfferDesc";
    LoopbackServer offers;
    offers.Route("/offer/610123456789.html", GbkPage(Fixture("alibaba_offer.html", {{"DESC_URL", descUrl}})));
    ASSERT_TRUE(offers.Start());
    // None of the program's own description hosts is a loopback name here.
    UseEndpointHosts({"desc.invalid", kTaobaoDescLinkHost, "video.test", kTmallTitleDomain, "img.test", "m.invalid",
                      "api.invalid", "jdimg.invalid"});
    Click(Control::数据_清空);
    SetBox(Control::url, offers.Url("/offer/610123456789.html"));
    SetBox(Control::cookie值, kCookie);

    Click(Control::阿里_按钮);

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
