// Our node.dll in this process, behind the real panel, against a loopback web server. The system
// may have no HTML engine (as under the test Wine), but the control still fetches pages through
// the system's URL stack, so requests, their user agent and their cookies can be observed.
#include <gtest/gtest.h>

#include <urlmon.h>
#include <wininet.h>

#include <functional>
#include <iterator>

#include "browser/login_browser.h"
#include "runtime/codepage.h"
#include "tests/support/loopback_server.h"
#include "tests/support/message_pump.h"

namespace {

constexpr char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/69.0.2228.0 Safari/537.36";
// A call that starts a load must come back at once; the fetch goes on in the background.
constexpr DWORD kPromptMs = 1500;

// Loaded once and never unloaded: the system control may release its site objects late.
const WkeApi& Engine() {
  static WkeEngine* engine = [] {
    std::vector<std::string> shown;
    auto* loaded = new WkeEngine(LoadWkeEngine(WideToGbk(WinePathOf(BinaryDir() + "/bin")),
                                               [&shown](const std::string& caption, const std::string& text) {
                                                 shown.push_back(caption + ": " + text);
                                               }));
    EXPECT_TRUE(shown.empty()) << shown.front();
    return loaded;
  }();
  return engine->api;
}

DWORD Elapsed(const std::function<void()>& call) {
  DWORD start = GetTickCount();
  call();
  return GetTickCount() - start;
}

// Whether this process's Internet session holds `cookie` ("name=value") for `url`: the panel's
// pages keep their cookies there, once their answers have been taken in.
bool SessionHasCookie(const std::string& url, const std::string& cookie) {
  wchar_t buffer[4096] = {};
  DWORD size = static_cast<DWORD>(std::size(buffer));
  if (!InternetGetCookieW(GbkToWide(url).c_str(), nullptr, buffer, &size)) return false;
  return WideToGbk(buffer).find(cookie) != std::string::npos;
}

ServerResponse Page(std::vector<std::pair<std::string, std::string>> headers = {}) {
  ServerResponse page;
  page.headers = std::move(headers);
  page.headers.push_back({"Content-Type", "text/html"});
  page.body = "<html><body>login</body></html>";
  return page;
}

class OurEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Engine().createWebWindow);
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 500, nullptr,
                              nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    if (IsWindow(parent_)) DestroyWindow(parent_);
    PumpUntil([] { return false; }, 100);
  }
  HWND CreatePanel(const std::string& initialAddress) {
    return CreateBrowserControl(Engine(), parent_, 10, 16, 346, 408, 1, {initialAddress});
  }
  bool WaitForRequests(size_t count, DWORD timeoutMs = 15000) {
    return PumpUntil([&] { return server_.Requests().size() >= count; }, timeoutMs);
  }
  std::vector<std::string> Targets() const {
    std::vector<std::string> targets;
    for (const RecordedRequest& request : server_.Requests()) targets.push_back(request.Target());
    return targets;
  }

  LoopbackServer server_;
  HWND parent_ = nullptr;
};

TEST_F(OurEngineTest, PagesAreFetchedWithTheUserAgentAndClearingCookiesSignsOut) {
  server_.Route("/login", Page({{"Set-Cookie", "sid=abc; path=/"}}));
  server_.Default(Page());
  ASSERT_TRUE(server_.Start());

  HWND browser = CreatePanel(server_.Url("/login"));
  ASSERT_NE(browser, nullptr);
  ASSERT_TRUE(WaitForRequests(1));
  EXPECT_EQ(server_.Requests()[0].Header("User-Agent"), kUserAgent);
  // As a user would, the next page is asked for once the login page's answer is in: a new address
  // given earlier cancels the load before its cookie is taken.
  ASSERT_TRUE(PumpUntil([&] { return SessionHasCookie(server_.Url("/"), "sid=abc"); }, 15000));

  SetBrowserAddress(browser, server_.Url("/signed-in"));
  ASSERT_TRUE(WaitForRequests(2));
  EXPECT_EQ(server_.Requests()[1].Header("Cookie"), "sid=abc");

  // What a login button does: cookies first, then the page.
  ClearBrowserCookies(browser);
  SetBrowserAddress(browser, server_.Url("/login-again"));
  ASSERT_TRUE(WaitForRequests(3));
  EXPECT_FALSE(server_.Requests()[2].HasHeader("Cookie")) << server_.Requests()[2].raw;
  EXPECT_EQ(server_.Requests()[2].Header("User-Agent"), kUserAgent);
  std::vector<std::string> expected = {"/login", "/signed-in", "/login-again"};
  EXPECT_EQ(Targets(), expected);
}

TEST_F(OurEngineTest, TheUserAgentStaysWithThePanel) {
  server_.Default(Page());
  ASSERT_TRUE(server_.Start());
  HWND browser = CreatePanel(server_.Url("/panel"));
  ASSERT_NE(browser, nullptr);
  ASSERT_TRUE(WaitForRequests(1));
  // Other downloads of the program through the same system URL stack keep their own user agent.
  wchar_t file[MAX_PATH] = {};
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"ua", 0, file);
  EXPECT_EQ(URLDownloadToFileW(nullptr, GbkToWide(server_.Url("/download")).c_str(), file, 0, nullptr), S_OK);
  DeleteFileW(file);
  ASSERT_TRUE(WaitForRequests(2));
  EXPECT_EQ(server_.Requests()[0].Header("User-Agent"), kUserAgent);
  EXPECT_EQ(server_.Requests()[1].Target(), "/download");
  EXPECT_NE(server_.Requests()[1].Header("User-Agent"), kUserAgent);
}

TEST_F(OurEngineTest, NothingWaitsForASlowOrSilentServer) {
  ServerResponse hang = Page();
  hang.mode = "hang";
  server_.Route("/hang", hang);
  ServerResponse slow = Page();
  slow.delayMs = 4000;
  server_.Route("/slow", slow);
  server_.Default(Page());
  ASSERT_TRUE(server_.Start());

  HWND browser = nullptr;
  EXPECT_LT(Elapsed([&] { browser = CreatePanel(server_.Url("/hang")); }), kPromptMs);
  ASSERT_NE(browser, nullptr);
  ASSERT_TRUE(WaitForRequests(1));
  // A new address replaces the load in progress, whatever state it is in.
  EXPECT_LT(Elapsed([&] { SetBrowserAddress(browser, server_.Url("/slow")); }), kPromptMs);
  ASSERT_TRUE(WaitForRequests(2));
  EXPECT_LT(Elapsed([&] { SetBrowserAddress(browser, server_.Url("/next")); }), kPromptMs);
  ASSERT_TRUE(WaitForRequests(3));
  EXPECT_LT(Elapsed([&] { SetBrowserAddress(browser, ""); }), kPromptMs);
  EXPECT_LT(Elapsed([&] { ClearBrowserCookies(browser); }), kPromptMs);
  // Closing while a fetch hangs.
  SetBrowserAddress(browser, server_.Url("/hang"));
  EXPECT_LT(Elapsed([&] { DestroyWindow(browser); }), kPromptMs);
  EXPECT_FALSE(IsWindow(browser));
  std::vector<std::string> expected = {"/hang", "/slow", "/next"};
  std::vector<std::string> targets = Targets();
  targets.resize(std::min<size_t>(targets.size(), 3));
  EXPECT_EQ(targets, expected);
}

TEST_F(OurEngineTest, BlankPageAndUnreachableHostsLeaveThePanelWorking) {
  HWND browser = CreatePanel("");
  ASSERT_NE(browser, nullptr);
  const char* addresses[] = {"", "http://127.0.0.1:1/", "not a url", "https://login.taobao.com/", "about:blank"};
  for (const char* address : addresses) {
    EXPECT_LT(Elapsed([&] { SetBrowserAddress(browser, address); }), kPromptMs) << address;
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(BrowserAddress(browser), address);
  }
  // The view keeps filling the panel.
  MoveWindow(browser, 10, 16, 200, 120, TRUE);
  HWND view = GetWindow(browser, GW_CHILD);
  ASSERT_NE(view, nullptr);
  RECT rect{};
  GetClientRect(view, &rect);
  EXPECT_EQ(rect.right, 200);
  EXPECT_EQ(rect.bottom, 120);
}

TEST(OurEngineExportsTest, ViewlessAndBadCallsDoNothing) {
  const WkeApi& api = Engine();
  EXPECT_EQ(api.createWebWindow(WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 10, 10), nullptr);
  EXPECT_EQ(api.createWebWindow(WKE_WINDOW_TYPE_CONTROL, reinterpret_cast<HWND>(0x12345), 0, 0, 10, 10), nullptr);
  EXPECT_EQ(api.createWebWindow(static_cast<wkeWindowType>(0), GetDesktopWindow(), 0, 0, 10, 10), nullptr);
  api.loadUrl(nullptr, L"http://127.0.0.1/");
  api.loadHtml(nullptr, L" ");
  api.clearCookie(nullptr);
  api.setUserAgent(nullptr, L"x");
  api.moveWindow(nullptr, 0, 0, 1, 1);
  api.destroyWebWindow(nullptr);
  EXPECT_EQ(api.getWindowHandle(nullptr), nullptr);
}

}  // namespace
