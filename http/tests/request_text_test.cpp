#include "http/request_text.h"

#include <gtest/gtest.h>

namespace {

TEST(RequestVerbTest, TableAndOutOfRange) {
  const char* expected[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
  for (int i = 0; i < 8; ++i) EXPECT_STREQ(RequestVerb(static_cast<HttpMethod>(i)), expected[i]);
  for (int i : {-1, 8, 9, 1 << 30}) {
    EXPECT_STREQ(RequestVerb(static_cast<HttpMethod>(i)), "GET") << i;
    EXPECT_EQ(NormaliseMethod(static_cast<HttpMethod>(i)), HttpMethod::Get) << i;
  }
}

TEST(CompleteHeadersTest, WinInetBlocks) {
  const std::string url = "http://h/p";
  const struct {
    std::string in;
    HttpMethod method;
    std::string out;
  } rows[] = {
      {"", HttpMethod::Get, "Accept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"},
      {"", HttpMethod::Post, "Accept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded"},
      {"", static_cast<HttpMethod>(9), "Accept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"},
      {"X-A: 1", HttpMethod::Get, "X-A: 1\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"},
      // Present lines are found ignoring case and not added again.
      {"accept: image/*\r\nREFERER: r\r\naccept-language: en", HttpMethod::Get, "accept: image/*\r\nREFERER: r\r\naccept-language: en"},
      {"content-type: text/plain", HttpMethod::Post, "content-type: text/plain\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"},
  };
  for (const auto& r : rows) EXPECT_EQ(CompleteWinInetHeaders(r.in, url, r.method), r.out) << r.in;
}

TEST(CompleteHeadersTest, ComBlocks) {
  const std::string ua = std::string("\r\nUser-Agent: ") + kDefaultUserAgent;
  EXPECT_EQ(CompleteComHeaders("", "u", HttpMethod::Head), "\r\nAccept: */*\r\nReferer: u\r\nAccept-Language: zh-cn" + ua);
  EXPECT_EQ(CompleteComHeaders("", "u", HttpMethod::Post),
            "\r\nAccept: */*\r\nReferer: u\r\nAccept-Language: zh-cn" + ua +
                "\r\nContent-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(CompleteComHeaders("user-agent: me\r\nAccept: a", "u", HttpMethod::Get),
            "user-agent: me\r\nAccept: a\r\nReferer: u\r\nAccept-Language: zh-cn");
}

TEST(WinInetUserAgentTest, Table) {
  const struct {
    const char* extra;
    const char* agent;
  } rows[] = {
      {"", kDefaultUserAgent},
      {"Accept: x", kDefaultUserAgent},
      {"User-Agent: Mine/1.0", "Mine/1.0"},
      {"Accept: x\r\nUser-Agent:   Mine/2.0  \r\nReferer: r", "Mine/2.0"},
      {"user-agent: lower", "lower"},
      // An empty value leaves the default instead of taking the rest of the block.
      {"User-Agent:  \r\nAccept: x", kDefaultUserAgent},
  };
  for (const auto& r : rows) EXPECT_EQ(WinInetUserAgent(r.extra), r.agent) << r.extra;
}

TEST(CollectSetCookiesTest, Table) {
  const struct {
    const char* headers;
    const char* cookies;
  } rows[] = {
      {"", ""},
      {"HTTP/1.1 200 OK\r\nSet-Cookie: a=1; Path=/; HttpOnly\r\nSet-Cookie: b=2\r\n\r\n", "a=1; b=2"},
      {"Set-Cookie: only=x", "only=x"},
      // Only lines named exactly "Set-Cookie" followed by ": " count.
      {"set-cookie: a=1\r\nSet-Cookie2: b=2\r\nX-Set-Cookie: c=3\r\nSet-Cookie:d=4", ""},
      {"Set-Cookie: e=5;\r\nSet-Cookie: f=6 ; x", "e=5; f=6"},
  };
  for (const auto& r : rows) EXPECT_EQ(CollectSetCookies(r.headers), r.cookies) << r.headers;
}

TEST(RemoveAllTest, Table) {
  EXPECT_EQ(RemoveAll("Cookie: a=1", "cookie:", MarkerCase::Ignored), " a=1");
  EXPECT_EQ(RemoveAll("COOKIE:x;cookie:y", "Cookie:", MarkerCase::Ignored), "x;y");
  EXPECT_EQ(RemoveAll("COOKIE:x;Cookie:y", "Cookie:", MarkerCase::Exact), "COOKIE:x;y");
  EXPECT_EQ(RemoveAll("abc", "", MarkerCase::Ignored), "abc");
  EXPECT_EQ(RemoveAll("", "x", MarkerCase::Ignored), "");
  EXPECT_EQ(RemoveAll("xx", "x", MarkerCase::Exact), "");
  // A marker is found on character starts only: "\xB0" + "x" holds no "x" of its own.
  EXPECT_EQ(RemoveAll("\xB0xx", "x", MarkerCase::Exact), "\xB0x");
}

TEST(CookieHeaderTest, LineAndValue) {
  const struct {
    const char* cookies;
    MarkerCase markerCase;
    const char* line;
  } rows[] = {
      {"", MarkerCase::Exact, ""},
      {"a=1; b=2", MarkerCase::Exact, "Cookie: a=1; b=2"},
      {"Cookie: x=9", MarkerCase::Exact, "Cookie: x=9"},  // already a header line
      {"cookie: x=9", MarkerCase::Exact, "Cookie: cookie: x=9"},
      {"cookie: x=9", MarkerCase::Ignored, "cookie: x=9"},
  };
  for (const auto& r : rows) EXPECT_EQ(CookieHeaderLine(r.cookies, r.markerCase), r.line) << r.cookies;
  // The value keeps the space that followed the name.
  EXPECT_EQ(CookieHeaderValue("Cookie: x=9"), " x=9");
  EXPECT_EQ(CookieHeaderValue("a=1"), "a=1");
}

TEST(CookieHeaderTest, ACookieTextWithLineBreaksGoesOnOneLine) {
  const struct {
    const char* cookies;
    const char* line;
  } rows[] = {
      {"a=1; b=2\r\n", "Cookie: a=1; b=2"},
      {"a=1;\r\nb=2\nc=3\r", "Cookie: a=1; b=2; c=3"},
      {"a=1\r\nX-Injected: from-box", "Cookie: a=1; X-Injected: from-box"},
      {"Cookie: a=1\r\n\r\nb=2", "Cookie: a=1; b=2"},
      {"\r\n \r\n", ""},
      {"a=1 ; b=2", "Cookie: a=1 ; b=2"},  // without a line break the text stays as it is
  };
  for (const auto& r : rows) EXPECT_EQ(CookieHeaderLine(r.cookies, MarkerCase::Exact), r.line) << r.cookies;
  EXPECT_EQ(CookieHeaderValue("Cookie: a=1\r\nb=2"), " a=1; b=2");
  // The Referer the engines add never carries a line break of the URL.
  EXPECT_EQ(CompleteWinInetHeaders("Accept: x\r\nAccept-Language: y", "http://h/a\r\nX: 1", HttpMethod::Get),
            "Accept: x\r\nAccept-Language: y\r\nReferer: http://h/aX: 1");
}

TEST(ResponseBodyIsWholeTest, Table) {
  const struct {
    HttpMethod method;
    uint32_t status;
    size_t received;
    std::optional<uint32_t> announced;
    bool whole;
  } rows[] = {
      {HttpMethod::Get, 0, 0, std::nullopt, false},  // no response at all
      {HttpMethod::Get, 200, 5, 10u, false},          // cut short
      {HttpMethod::Get, 200, 10, 10u, true},
      {HttpMethod::Get, 200, 3, std::nullopt, true},  // no length: read to the end
      {HttpMethod::Head, 200, 0, 10u, true},
      {static_cast<HttpMethod>(2), 200, 0, 10u, true},
      {static_cast<HttpMethod>(99), 200, 0, 10u, false},  // an unknown number is GET
      {HttpMethod::Get, 204, 0, 10u, true},
      {HttpMethod::Get, 304, 0, 10u, true},
      {HttpMethod::Get, 101, 0, 10u, true},
      {HttpMethod::Post, 404, 2, 10u, false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ResponseBodyIsWhole(r.method, r.status, r.received, r.announced), r.whole)
        << static_cast<int>(r.method) << " " << r.status << " " << r.received;
}

}  // namespace
