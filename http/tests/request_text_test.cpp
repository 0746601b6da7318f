#include "http/request_text.h"

#include <gtest/gtest.h>

namespace {

TEST(RequestVerbTest, TableAndOutOfRange) {
  const char* expected[] = {"GET", "POST", "HEAD", "PUT", "OPTIONS", "DELETE", "TRACE", "CONNECT"};
  for (int i = 0; i < 8; ++i) EXPECT_STREQ(RequestVerb(i), expected[i]);
  for (int i : {-1, 8, 9, 1 << 30}) {
    EXPECT_STREQ(RequestVerb(i), "GET") << i;
    EXPECT_EQ(NormaliseMethod(i), 0) << i;
  }
}

TEST(CompleteHeadersTest, WinInetBlocks) {
  const std::string url = "http://h/p";
  const struct {
    std::string in;
    int method;
    std::string out;
  } rows[] = {
      {"", 0, "Accept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"},
      {"", 1, "Accept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded"},
      {"", 9, "Accept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"},
      {"X-A: 1", 0, "X-A: 1\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"},
      // Present lines are found ignoring case and not added again.
      {"accept: image/*\r\nREFERER: r\r\naccept-language: en", 0, "accept: image/*\r\nREFERER: r\r\naccept-language: en"},
      {"content-type: text/plain", 1, "content-type: text/plain\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"},
  };
  for (const auto& r : rows) EXPECT_EQ(CompleteWinInetHeaders(r.in, url, r.method), r.out) << r.in;
}

TEST(CompleteHeadersTest, ComBlocks) {
  const std::string ua = std::string("\r\nUser-Agent: ") + kDefaultUserAgent;
  EXPECT_EQ(CompleteComHeaders("", "u", 2), "\r\nAccept: */*\r\nReferer: u\r\nAccept-Language: zh-cn" + ua);
  EXPECT_EQ(CompleteComHeaders("", "u", 1),
            "\r\nAccept: */*\r\nReferer: u\r\nAccept-Language: zh-cn" + ua +
                "\r\nContent-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(CompleteComHeaders("user-agent: me\r\nAccept: a", "u", 0),
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

TEST(RemoveAllIgnoringCaseTest, Table) {
  EXPECT_EQ(RemoveAllIgnoringCase("Cookie: a=1", "cookie:"), " a=1");
  EXPECT_EQ(RemoveAllIgnoringCase("COOKIE:x;cookie:y", "Cookie:"), "x;y");
  EXPECT_EQ(RemoveAllIgnoringCase("abc", ""), "abc");
  EXPECT_EQ(RemoveAllIgnoringCase("", "x"), "");
  EXPECT_EQ(RemoveAllIgnoringCase("xx", "x"), "");
}

}  // namespace
