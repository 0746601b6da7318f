#include "http/winhttp_request.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "http/header_text.h"
#include "tests/support/loopback_server.h"

namespace {

const char kUserAgentLine[] =
    "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)";
const char kUntouched[] = "untouched";

std::string Utf8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

ServerResponse Page(std::string body, std::vector<std::pair<std::string, std::string>> headers = {}) {
  ServerResponse r;
  r.body = std::move(body);
  r.headers = std::move(headers);
  return r;
}

// The request header lines we chose, without those WinHttp adds on its own.
TextList OwnHeaderLines(const RecordedRequest& request) {
  TextList lines;
  for (const std::string& line : SplitText(request.Headers(), "\r\n")) {
    const std::string name = HeaderLineName(line);
    if (name == "Host" || name == "Connection" || name == "Content-Length") continue;
    lines.push_back(line);
  }
  return lines;
}

bool RunningUnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

class WinHttpRequestTest : public ::testing::Test {
 protected:
  // Routes are added before the server starts.
  void Start() { ASSERT_TRUE(server_.Start()); }
  RecordedRequest OnlyRequest() {
    std::vector<RecordedRequest> got = server_.WaitForRequests(1);
    EXPECT_EQ(got.size(), 1u);
    return got.empty() ? RecordedRequest() : got.back();
  }
  LoopbackServer server_;
};

TEST_F(WinHttpRequestTest, PlainGetSendsTheDefaultHeaderBlock) {
  server_.Route("/item", Page("hello"));
  Start();
  std::string status, headers;
  const std::string result = WinHttpPageRequest(server_.Url("/item?id=1&x=a%20b"),
                                                {.returnedHeaders = &headers, .statusText = &status});
  EXPECT_EQ(result, "hello");
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(headers.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << headers;
  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.Method(), "GET");
  EXPECT_EQ(request.Target(), "/item?id=1&x=a%20b");
  const TextList expected = {kUserAgentLine, "Accept: text/html, application/xhtml+xml, */*",
                             "Accept-Encoding: gbk, GB2312", "Accept-Language: zh-cn",
                             "Cache-Control: no-cache"};
  EXPECT_EQ(OwnHeaderLines(request), expected) << request.raw;
  EXPECT_EQ(request.Body(), "");
}

TEST_F(WinHttpRequestTest, RequestHeaderBlockTable) {
  server_.Default(Page("ok"));
  Start();
  struct Row {
    const char* what;
    WinHttpRequestOptions options;
    std::string method;
    TextList lines;
  } rows[] = {
      {"post adds the form type",
       {.method = HttpMethod::Post, .postText = "a=1&b=2"},
       "POST",
       {kUserAgentLine, "Accept: text/html, application/xhtml+xml, */*",
        "Accept-Encoding: gbk, GB2312", "Accept-Language: zh-cn",
        "Content-Type: application/x-www-form-urlencoded", "Cache-Control: no-cache"}},
      {"a lower-case type of the caller's suppresses the form type",
       {.method = HttpMethod::Post, .extraHeaders = "content-type: text/plain"},
       "POST",
       {"Content-Type: text/plain", kUserAgentLine,
        "Accept: text/html, application/xhtml+xml, */*", "Accept-Encoding: gbk, GB2312",
        "Accept-Language: zh-cn", "Cache-Control: no-cache"}},
      {"a lower-case user-agent replaces the default one and is renamed",
       {.extraHeaders = "user-agent: probe/1\r\nx-requested-with: abc", .completeHeaders = false},
       "GET",
       {"User-Agent: probe/1", "X-Requested-With: abc"}},
      {"names kept as given without normalising",
       {.extraHeaders = "x-lower: v", .completeHeaders = false, .normaliseHeaderNames = false},
       "GET",
       {"x-lower: v"}},
      {"a verb number outside the table is GET", {.method = static_cast<HttpMethod>(9), .completeHeaders = false}, "GET", {}},
      {"PUT", {.method = HttpMethod::Put, .completeHeaders = false}, "PUT", {}},
      {"DELETE", {.method = HttpMethod::Delete, .completeHeaders = false}, "DELETE", {}},
  };
  size_t seen = 0;
  for (const Row& r : rows) {
    EXPECT_EQ(WinHttpPageRequest(server_.Url("/h"), r.options), "ok") << r.what;
    const std::vector<RecordedRequest> got = server_.WaitForRequests(++seen);
    ASSERT_EQ(got.size(), seen) << r.what;
    EXPECT_EQ(got.back().Method(), r.method) << r.what;
    EXPECT_EQ(OwnHeaderLines(got.back()), r.lines) << r.what << "\n" << got.back().raw;
  }
}

TEST_F(WinHttpRequestTest, BodiesAreSentAsGiven) {
  server_.Default(Page("ok"));
  Start();
  WinHttpPageRequest(server_.Url("/p"), {.method = HttpMethod::Post, .postText = "q=中文"});
  WinHttpPageRequest(server_.Url("/p"), {.method = HttpMethod::Post, .postText = "ignored",
                                         .postBytes = std::string("x\0y", 3)});
  // The body goes out whatever the verb.
  WinHttpPageRequest(server_.Url("/p"), {.postText = "with get"});
  const std::vector<RecordedRequest> got = server_.WaitForRequests(3);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].Body(), "q=中文");
  EXPECT_EQ(got[1].Body(), std::string("x\0y", 3));
  EXPECT_EQ(got[2].Method(), "GET");
  EXPECT_EQ(got[2].Body(), "with get");
}

TEST_F(WinHttpRequestTest, ObjectNameTable) {
  server_.Default(Page("ok"));
  Start();
  const std::string base = "http://" + server_.HostPort();
  struct Row {
    std::string url, target;
  } rows[] = {
      {base + "/a/b.htm?c=d&e=f", "/a/b.htm?c=d&e=f"},
      {base, "/"},
      {base + "/", "/"},
      {base + "?q=1", "/?q=1"},  // a bare host keeps its query
  };
  size_t seen = 0;
  for (const Row& r : rows) {
    EXPECT_EQ(WinHttpPageRequest(r.url), "ok") << r.url;
    const std::vector<RecordedRequest> got = server_.WaitForRequests(++seen);
    ASSERT_EQ(got.size(), seen) << r.url;
    EXPECT_EQ(got.back().Target(), r.target) << r.url;
  }
}

TEST_F(WinHttpRequestTest, HttpsToASelfSignedServerOnAnExplicitPort) {
  server_.Route("/secure", Page("over tls"));
  Start();
  std::string status;
  EXPECT_EQ(WinHttpPageRequest(server_.TlsUrl("/secure?s=1"), {.statusText = &status}), "over tls");
  EXPECT_EQ(status, "200 OK");
  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.port, server_.tlsPort());
  EXPECT_EQ(request.Target(), "/secure?s=1");
}

TEST_F(WinHttpRequestTest, HttpsWithCookies) {
  server_.Route("/secure", Page("over tls"));
  Start();
  std::string cookies = "k=v";
  EXPECT_EQ(WinHttpPageRequest(server_.TlsUrl("/secure"), {.cookies = &cookies}), "over tls");
  EXPECT_EQ(OnlyRequest().Header("Cookie"), "k=v");
}

TEST_F(WinHttpRequestTest, UnusableUrlsFailWith701) {
  const std::string urls[] = {"", "127.0.0.1/page", "www.example.com", "http//x/", "mailto:a@b"};
  for (const std::string& url : urls) {
    int yields = 0;
    std::string status = kUntouched, headers = kUntouched, bytes = kUntouched;
    const std::string result = WinHttpPageRequest(
        url, {.returnedHeaders = &headers, .statusText = &status, .responseBytes = &bytes, .yield = [&] { ++yields; }});
    EXPECT_EQ(result, "") << url;
    EXPECT_EQ(status, "701 解析URL地址失败!") << url;
    EXPECT_EQ(headers, kUntouched) << url;
    EXPECT_EQ(bytes, kUntouched) << url;
    EXPECT_EQ(yields, 1) << url << ": once, for the URL step";
  }
}

TEST_F(WinHttpRequestTest, APageAtTheIpv6LoopbackAddressArrives) {
  server_.Route("/item", Page("over ipv6"));
  Start();
  if (!server_.ListensOnIpv6()) GTEST_SKIP() << "this machine has no IPv6 loopback address";
  std::string status;
  EXPECT_EQ(WinHttpPageRequest(server_.Ipv6Url("/item?id=6"), {.statusText = &status}), "over ipv6");
  EXPECT_EQ(status, "200 OK");
  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.Target(), "/item?id=6");
  EXPECT_EQ(request.Header("Host"), "[::1]:" + std::to_string(server_.port()));
}

// Neither the address nor the cookie text can start a header line of their own.
TEST_F(WinHttpRequestTest, NoLineBreakReachesTheRequestHeaders) {
  server_.Default(Page("ok"));
  Start();
  std::string status;
  EXPECT_EQ(WinHttpPageRequest(server_.Url("/a.jpg\r\nX-Injected: from-page"), {.statusText = &status}), "");
  EXPECT_EQ(status, "701 解析URL地址失败!");
  std::string cookies = "a=1\r\nX-Injected: from-box\r\n";
  EXPECT_EQ(WinHttpPageRequest(server_.Url("/box"), {.cookies = &cookies}), "ok");
  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.Header("Cookie"), "a=1; X-Injected: from-box");
  EXPECT_FALSE(request.HasHeader("X-Injected")) << request.raw;
}

TEST_F(WinHttpRequestTest, NothingListeningFailsWith711) {
  std::string status;
  const std::string url = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/x";
  EXPECT_EQ(WinHttpPageRequest(url, {.timeoutSeconds = 5, .statusText = &status}), "");
  EXPECT_EQ(status, "711 发送请求失败!");
}

TEST_F(WinHttpRequestTest, CookieLineTable) {
  server_.Default(Page("ok"));
  Start();
  // The merge runs whenever cookies were sent, even with none returned: their spaces go.
  struct Row {
    std::string cookies, extraHeaders, sent, cookiesAfter;
  } rows[] = {
      {"a=1; b=2", "", "a=1; b=2", "a=1; b=2"},
      {"Cookie: x=9", "", "x=9", "Cookie:x=9"},  // already a header line: appended unchanged
      {"a=1", "Cookie: mine=1", "mine=1", "a=1"},  // the caller's own Cookie line wins
  };
  size_t seen = 0;
  for (const Row& r : rows) {
    std::string cookies = r.cookies;
    WinHttpPageRequest(server_.Url("/c"), {.cookies = &cookies, .extraHeaders = r.extraHeaders});
    const std::vector<RecordedRequest> got = server_.WaitForRequests(++seen);
    ASSERT_EQ(got.size(), seen);
    EXPECT_EQ(got.back().Header("Cookie"), r.sent) << got.back().raw;
    EXPECT_EQ(CountOccurrences(got.back().Headers(), "Cookie:"), 1) << got.back().raw;
    EXPECT_EQ(cookies, r.cookiesAfter);
  }
}

TEST_F(WinHttpRequestTest, KeepAliveLineIsDroppedAndCloseKept) {
  server_.Default(Page("ok"));
  Start();
  WinHttpPageRequest(server_.Url("/k"), {.extraHeaders = "Connection: keep-alive\r\nX-After: 1"});
  WinHttpPageRequest(server_.Url("/k"), {.extraHeaders = "Connection: close\r\nX-After: 1"});
  const std::vector<RecordedRequest> got = server_.WaitForRequests(2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(Find(got[0].raw, "Connection: keep-alive"), -1) << got[0].raw;
  EXPECT_EQ(got[0].Header("X-After"), "1");
  EXPECT_GT(Find(got[1].raw, "Connection: close", 1, true), 0) << got[1].raw;
}

TEST(WinHttpRedirectTest, FollowedOrReported) {
  LoopbackServer target;
  target.Route("/final", Page("final page"));
  ASSERT_TRUE(target.Start());
  // The Location names the other server, so its port must be known first.
  ServerResponse moved = Page("moved", {{"Location", target.Url("/final")}, {"Set-Cookie", "s=1; path=/"}});
  moved.status = 302;
  moved.reason = "Found";
  LoopbackServer redirecting;
  redirecting.Route("/r", moved);
  ASSERT_TRUE(redirecting.Start());

  std::string location = kUntouched, status;
  EXPECT_EQ(WinHttpPageRequest(redirecting.Url("/r"),
                               {.noRedirect = true, .location = &location, .statusText = &status}),
            "moved");
  EXPECT_EQ(location, target.Url("/final"));
  EXPECT_EQ(status, "302 Found");
  EXPECT_TRUE(target.Requests().empty());

  location = kUntouched;
  EXPECT_EQ(WinHttpPageRequest(redirecting.Url("/r"), {.location = &location, .statusText = &status}),
            "final page");
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(location, kUntouched) << "the final response names no Location";
  const std::vector<RecordedRequest> finals = target.WaitForRequests(1);
  ASSERT_EQ(finals.size(), 1u);
  EXPECT_FALSE(finals[0].HasHeader("Cookie")) << "WinHttp's own cookie handling is off";
}

TEST_F(WinHttpRequestTest, SetCookieLinesAreCollectedAndMerged) {
  server_.Route("/c", Page("ok", {{"Set-Cookie", "a=1; path=/"}, {"Set-Cookie", "b=2"}}));
  Start();
  struct Row {
    const char* what;
    std::string cookies, returnedBefore;
    bool merge;
    std::string cookiesAfter, returnedAfter;
  } rows[] = {
      {"no cookies sent", "", "", true, "", "a=1; b=2"},
      {"merged into the sent cookies", "a=0; c=3", "", true, "a=1; b=2; c=3", "a=1; b=2; c=3"},
      {"merging off", "a=0; c=3", "", false, "a=0; c=3", "a=1; b=2"},
      {"earlier returned cookies stay in front", "", "z=9; ", true, "", "z=9; a=1; b=2"},
  };
  for (const Row& r : rows) {
    std::string cookies = r.cookies, returned = r.returnedBefore;
    EXPECT_EQ(WinHttpPageRequest(server_.Url("/c"), {.cookies = &cookies,
                                                      .returnedCookies = &returned,
                                                      .mergeCookies = r.merge}),
              "ok")
        << r.what;
    EXPECT_EQ(cookies, r.cookiesAfter) << r.what;
    EXPECT_EQ(returned, r.returnedAfter) << r.what;
  }
}

TEST_F(WinHttpRequestTest, ZeroByteCutsTheTextButNotTheBytes) {
  const std::string body("abc\0def", 7);
  server_.Route("/z", Page(body));
  Start();
  std::string bytes;
  EXPECT_EQ(WinHttpPageRequest(server_.Url("/z"), {.responseBytes = &bytes}), "abc");
  EXPECT_EQ(bytes, body);
}

TEST_F(WinHttpRequestTest, LargeBodyArrivesWhole) {
  std::string body;
  for (int i = 0; body.size() < 3 * 1024 * 1024; ++i) body += "line " + std::to_string(i) + "\n";
  server_.Route("/big", Page(body));
  Start();
  std::string bytes;
  EXPECT_EQ(WinHttpPageRequest(server_.Url("/big"), {.responseBytes = &bytes}).size(), body.size());
  EXPECT_EQ(bytes, body);
}

TEST_F(WinHttpRequestTest, CharsetTable) {
  const std::string utf8Page =
      Utf8(u8"<html><head><meta charset=\"utf-8\"><title>中文标题</title></head>。 ok</html>");
  const std::string gbkPage = "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">中文";
  const std::string padding(1100, ' ');
  const PageEncoding gbk = PageEncoding::Gbk, utf8 = PageEncoding::Utf8;
  struct Row {
    const char* what;
    std::string body, expected;
    PageEncoding encoding;  // as the engine reports it
  } rows[] = {
      {"utf-8 re-decoded", utf8Page, "<html><head><meta charset=\"utf-8\"><title>中文标题</title></head>。 ok</html>", gbk},
      {"utf-8 with a byte-order mark", "\xEF\xBB\xBF" + utf8Page,
       "<html><head><meta charset=\"utf-8\"><title>中文标题</title></head>。 ok</html>", gbk},
      {"gbk as received", gbkPage, gbkPage, gbk},
      {"gb2312 as received", "<meta charset=gb2312>\xB0\xA1", "<meta charset=gb2312>\xB0\xA1", gbk},
      {"a declaration in capitals", Utf8(u8"<META CHARSET=UTF-8>中文"), "<META CHARSET=UTF-8>中文", gbk},
      {"no declaration", Utf8(u8"<p>中</p>"), Utf8(u8"<p>中</p>"), utf8},
      {"declaration after the first 1024 bytes", padding + Utf8(u8"<meta charset=utf-8>中"),
       padding + Utf8(u8"<meta charset=utf-8>中"), utf8},
      {"unknown charset keeps the text", "<meta charset=x-no-such-set>\xB0\xA1",
       "<meta charset=x-no-such-set>\xB0\xA1", gbk},
      {"unknown charset, UTF-8 bytes as received", Utf8(u8"<meta charset=x-no-such-set>中"),
       Utf8(u8"<meta charset=x-no-such-set>中"), utf8},
  };
  int i = 0;
  for (const Row& r : rows) server_.Route("/" + std::to_string(i++), Page(r.body));
  Start();
  i = 0;
  for (const Row& r : rows) {
    std::string bytes;
    PageEncoding encoding = PageEncoding::Unknown;
    EXPECT_EQ(WinHttpPageRequest(server_.Url("/" + std::to_string(i++)), {.responseBytes = &bytes, .encoding = &encoding}),
              r.expected)
        << r.what;
    EXPECT_EQ(bytes, r.body) << r.what << ": the raw bytes stay as received";
    EXPECT_EQ(encoding, r.encoding) << r.what;
  }
}

TEST_F(WinHttpRequestTest, SilentServerTimesOutWithinTheGivenTime) {
  ServerResponse silent;
  silent.mode = "hang";
  server_.Route("/slow", silent);
  Start();
  std::string status;
  const DWORD started = GetTickCount();
  EXPECT_EQ(WinHttpPageRequest(server_.Url("/slow"), {.timeoutSeconds = 2, .statusText = &status}),
            "");
  const DWORD elapsed = GetTickCount() - started;
  EXPECT_EQ(status, "712 服务器未响应!");
  EXPECT_GE(elapsed, 1500u);
  EXPECT_LT(elapsed, 20000u) << "short of the default 30 seconds, however busy the machine";
}

TEST_F(WinHttpRequestTest, ABodyThatEndsEarlyIsAFailedRead) {
  const std::string body = GeneratedBody(64 * 1024);
  struct Row {
    const char* mode;
    bool whole;
    bool wineTells = true;
  } rows[] = {
      {"chunked", true},
      {"close_mid_body", false},  // fewer bytes than Content-Length announced
      {"reset_mid_body", false},  // a reset: the first read to meet it fails
      // Wine's WinHttp ends a chunked body quietly wherever the connection ends; WinHttp reports
      // the missing last chunk as a failed read.
      {"chunked_cut", false, false},      // chunks end without the last, empty one
      {"chunked_cut_mid", false, false},  // the connection ends inside a chunk
  };
  for (const Row& r : rows) {
    ServerResponse response = Page(body);
    response.mode = r.mode;
    server_.Route(std::string("/") + r.mode, response);
  }
  Start();
  for (const Row& r : rows) {
    if (!r.wineTells && RunningUnderWine()) continue;
    std::string status, bytes = kUntouched, headers = kUntouched;
    const std::string result = WinHttpPageRequest(
        server_.Url(std::string("/") + r.mode),
        {.returnedHeaders = &headers, .timeoutSeconds = 5, .statusText = &status, .responseBytes = &bytes});
    if (r.whole) {
      EXPECT_EQ(result, body) << r.mode;
      EXPECT_EQ(status, "200 OK") << r.mode;
      continue;
    }
    EXPECT_EQ(result, "") << r.mode;
    EXPECT_EQ(bytes, kUntouched) << r.mode;
    EXPECT_EQ(headers, kUntouched) << r.mode;
    // A reset that overtakes the response head ends the exchange before any body is read.
    if (std::string(r.mode) == "reset_mid_body" && status == "712 服务器未响应!") continue;
    EXPECT_EQ(status, "713 读取数据失败!") << r.mode;
  }
}

TEST_F(WinHttpRequestTest, ABodyOverItsBoundIsAFailedRead) {
  server_.Route("/at", Page(GeneratedBody(10000)));
  server_.Route("/over", Page(GeneratedBody(10001)));
  ServerResponse huge;
  huge.bodySize = (size_t{64} << 20) + 1;
  server_.Route("/huge", huge);
  Start();
  std::string status;
  EXPECT_EQ(WinHttpPageRequest(server_.Url("/at"), {.statusText = &status, .maxBodyBytes = 10000}),
            GeneratedBody(10000));
  EXPECT_EQ(status, "200 OK");
  EXPECT_EQ(WinHttpPageRequest(server_.Url("/over"), {.statusText = &status, .maxBodyBytes = 10000}), "");
  EXPECT_EQ(status, "713 读取数据失败!");
  EXPECT_EQ(WinHttpPageRequest(server_.Url("/huge"), {.statusText = &status}), "") << "64 MB by default";
  EXPECT_EQ(status, "713 读取数据失败!");
}

// A caller that takes a cut body gets the body up to the bound, and is told whether more came.
TEST_F(WinHttpRequestTest, ABodyPastItsBoundIsCutWhereTheCallerTakesIt) {
  const struct {
    const char* path;
    size_t bytes;
    const char* mode;
    bool cut;
  } rows[] = {{"/under", 9999, "normal", false},
              {"/at", 10000, "normal", false},
              {"/over", 10001, "normal", true},
              {"/far-over", 4u << 20, "normal", true},
              {"/chunked-over", 30000, "chunked", true}};
  for (const auto& r : rows) {
    ServerResponse response;
    response.bodySize = r.bytes;
    response.mode = r.mode;
    server_.Route(r.path, response);
  }
  Start();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.path);
    std::string status;
    bool cut = !r.cut;
    const std::string body =
        WinHttpPageRequest(server_.Url(r.path), {.statusText = &status, .maxBodyBytes = 10000, .bodyCut = &cut});
    EXPECT_EQ(body, GeneratedBody(r.bytes).substr(0, 10000));
    EXPECT_EQ(status, "200 OK");
    EXPECT_EQ(cut, r.cut);
  }
}

TEST_F(WinHttpRequestTest, AnExchangeThatOutlastsItsBoundFails) {
  // Every byte comes well within the time-out, but the whole body would take 30 seconds.
  ServerResponse trickle = Page(GeneratedBody(300));
  trickle.mode = "trickle";
  trickle.intervalMs = 100;
  server_.Route("/trickle", trickle);
  Start();
  std::string status;
  const ULONGLONG started = GetTickCount64();
  EXPECT_EQ(WinHttpPageRequest(server_.Url("/trickle"), {.statusText = &status, .maxExchangeMs = 1500}), "");
  EXPECT_EQ(status, "713 读取数据失败!");
  EXPECT_LT(GetTickCount64() - started, 20000u) << "well before the 30 seconds of the whole trickle";
}

TEST_F(WinHttpRequestTest, APortOutsideTheRangeReachesNoServer) {
  server_.Default(Page("ok"));
  Start();
  // The number wraps around to the server's port where it is cut to 16 bits.
  const std::string urls[] = {"http://127.0.0.1:" + std::to_string(65536 + server_.port()) + "/p",
                              "http://127.0.0.1:0/p", "http://127.0.0.1:2147483649/p"};
  for (const std::string& url : urls) {
    std::string status;
    EXPECT_EQ(WinHttpPageRequest(url, {.timeoutSeconds = 5, .statusText = &status}), "") << url;
    EXPECT_NE(status, "200 OK") << url;
  }
  EXPECT_TRUE(server_.Requests().empty());
}

TEST_F(WinHttpRequestTest, BasicCredentialsGoWithTheFirstRequest) {
  server_.Default(Page("ok"));
  Start();
  EXPECT_EQ(WinHttpPageRequest(server_.Url("/auth"), {.userName = "user", .password = "pass"}), "ok");
  // Half a pair is not sent.
  EXPECT_EQ(WinHttpPageRequest(server_.Url("/auth"), {.userName = "user"}), "ok");
  const std::vector<RecordedRequest> got = server_.WaitForRequests(2);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].Header("Authorization"), "Basic dXNlcjpwYXNz") << got[0].raw;
  EXPECT_FALSE(got[1].HasHeader("Authorization")) << got[1].raw;
}

TEST_F(WinHttpRequestTest, PlainHttpThroughANamedProxy) {
  // Wine's WinHttp reads a proxy list entry "http=host:port" as a host name.
  if (RunningUnderWine()) GTEST_SKIP() << "Wine's WinHttp does not parse scheme-qualified proxies";
  server_.Default(Page("ok"));
  Start();
  EXPECT_EQ(WinHttpPageRequest("http://proxied.invalid/p?q=1", {.proxy = server_.HostPort()}), "ok");
  const RecordedRequest request = OnlyRequest();
  EXPECT_EQ(request.Target(), "http://proxied.invalid/p?q=1");
  EXPECT_EQ(request.Header("Host"), "proxied.invalid");
}

TEST_F(WinHttpRequestTest, YieldsAfterEveryStepAndHeaderLine) {
  server_.Route("/e", Page("<meta charset=gbk>ok"));
  Start();
  int yields = 0;
  std::string headers;
  WinHttpPageRequest(server_.Url("/e"), {.returnedHeaders = &headers, .yield = [&] { ++yields; }});
  // Nine steps, one per header line (the split keeps the empty line before the end), and one for
  // the charset search.
  EXPECT_EQ(yields, 9 + static_cast<int>(SplitText(headers, "\r\n").size()) + 1) << headers;
}

TEST(TextConversionTest, Utf16RoundTrips) {
  EXPECT_EQ(TextToUtf16(""), "");
  EXPECT_EQ(TextToUtf16("中a"), std::string("\x2D\x4E" "a\0\0\0", 6));
  EXPECT_EQ(Utf16ToText(std::string("\x2D\x4E" "a\0b\0", 6)), "中ab");
  EXPECT_EQ(Utf16ToText(TextToUtf16("标题 title")), "标题 title");
  EXPECT_EQ(Utf16ToText(std::string("a\0", 2) + std::string("\0\0b\0", 4)), "a") << "ends at zero";
  EXPECT_EQ(Utf16ToText(std::string("a\0b", 3)), "a") << "an odd last byte is no character";
  EXPECT_EQ(Utf16ToText(L""), "");
}

}  // namespace
