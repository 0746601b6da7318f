// The cookie on a way of redirects between https and plain http: once the way went over https,
// no plain-http request carries it, and the page at the end says it went without.
#include "extract/page_redirects.h"

#include <gtest/gtest.h>

#include "extract/tests/extractor_fixtures.h"

namespace {

const std::string kCookie = "_tb_token_=e5f6; cookie2=secret";
const std::string kLoginPage =
    "<html><head><title>淘宝网 - 淘！我喜欢</title></head><body><form id=\"login-form\">"
    "<input type=\"password\" name=\"fm-login-password\"></form></body></html>";

FetchedPage MovedTo(const std::string& location) {
  FetchedPage page;
  page.status = 302;
  page.location = location;
  return page;
}

TEST(RedirectDowngradeTest, NoPlainHttpRequestAfterHttpsCarriesTheCookie) {
  const struct {
    const char* name;
    std::vector<std::string> way;  // the first address, then where each redirect leads
    std::vector<bool> carried;     // whether each request carried the cookie
    bool withheld;                 // what the page at the end says
  } rows[] = {
      {"https all the way", {"https://item.taobao.com/a", "https://detail.tmall.com/b"}, {true, true}, false},
      {"https to http", {"https://item.taobao.com/a", "http://detail.tmall.com/b"}, {true, false}, true},
      {"and on over http",
       {"https://item.taobao.com/a", "http://detail.tmall.com/b", "http://detail.tmall.com/c"},
       {true, false, false},
       true},
      {"back to https",
       {"https://item.taobao.com/a", "HTTP://detail.tmall.com/b", "https://detail.tmall.com/c"},
       {true, false, true},
       false},
      // A link pasted as http was sent so by the user; the way never left plain http.
      {"http all the way", {"http://item.taobao.com/a", "http://detail.tmall.com/b"}, {true, true}, false},
      {"http to https to http",
       {"http://item.taobao.com/a", "https://detail.tmall.com/b", "http://detail.tmall.com/c"},
       {true, true, false},
       true},
      {"relative, keeping http after https",
       {"https://item.taobao.com/a", "http://item.taobao.com/b", "/c"},
       {true, false, false},
       true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ScriptedFetch fetch;
    for (size_t i = 0; i + 1 < row.way.size(); ++i) fetch.answers[row.way[i]] = MovedTo(row.way[i + 1]);
    const FetchedPage page = FetchFollowingRedirects(fetch.Function(), row.way[0], kCookie,
                                                     [](const std::string&) { return true; });
    ASSERT_EQ(fetch.requests.size(), row.carried.size());
    for (size_t i = 0; i < row.carried.size(); ++i)
      EXPECT_EQ(fetch.requests[i].cookies.has_value(), row.carried[i]) << fetch.requests[i].url;
    EXPECT_EQ(page.cookieWithheldOverHttp, row.withheld);
  }
}

// A page without the cookie only because its host is not the platform's says nothing of http.
TEST(RedirectDowngradeTest, AForeignHostOverHttpIsNoWithheldCookie) {
  ScriptedFetch fetch;
  fetch.answers["https://item.taobao.com/a"] = MovedTo("http://evil.example/b");
  const FetchedPage page = FetchFollowingRedirects(fetch.Function(), "https://item.taobao.com/a", kCookie,
                                                   [](const std::string& url) { return url.find("evil") == std::string::npos; });
  ASSERT_EQ(fetch.requests.size(), 2u);
  EXPECT_FALSE(fetch.requests[1].cookies);
  EXPECT_FALSE(page.cookieWithheldOverHttp);
}

// The harvest: a login page reached over plain http says the cookie was not sent, not that it is
// missing; the item page reached so is read as usual.
TEST(RedirectDowngradeTest, TheStatusLineSaysWhyALoginPageCame) {
  const std::string link = "https://item.taobao.com/item.htm?id=601234567890";
  const std::string plain = "http://item.taobao.com/item.htm?id=601234567890";
  const struct {
    std::string location;
    std::string text;
  } rows[] = {
      {plain, "返回的是登录页：页面转到了未加密的http地址，Cookie未发送（淘宝数据）"},
      {"https://login.taobao.com/member/login.jhtml", "返回的是登录页，请重新登录或粘贴新的Cookie（淘宝数据）"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.location);
    ScriptedFetch fetch;
    fetch.answers[link] = MovedTo(row.location);
    fetch.pages[row.location] = kLoginPage;
    RecordingSink sink;
    const ExtractionReport report =
        HarvestTaobaoItem({link, [] { return kCookie; }, fetch.Function(), EndpointHosts{"desc.test"}}, sink);
    EXPECT_EQ(ExtractionStatusText(report), row.text);
  }
}

}  // namespace
