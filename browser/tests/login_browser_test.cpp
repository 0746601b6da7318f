// The panel and its engine loader in this process, against the recording engine doubles.
#include <gtest/gtest.h>

#include <memory>

#include "browser/login_browser.h"
#include "browser/tests/browser_test_support.h"

namespace {

constexpr char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/69.0.2228.0 Safari/537.36";

struct Message {
  std::string caption;
  std::string text;
  bool operator==(const Message&) const = default;
};

std::string Hwnd(HWND window) { return std::to_string(reinterpret_cast<INT_PTR>(window)); }

// A program folder holding an engine double as node.dll, a parent window, and the message boxes
// shown meanwhile.
class BrowserPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 500, nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    if (IsWindow(parent_)) DestroyWindow(parent_);
    engine_.reset();
  }

  void LoadEngine(const std::string& doubleName) {
    ASSERT_TRUE(CopyInto(BrowserTestFile(doubleName), folder_.File("node.dll")));
    engine_ = std::make_unique<WkeEngine>(LoadWkeEngine(folder_.path(), Notice()));
    ASSERT_TRUE(engine_->library);
  }
  BrowserNotice Notice() {
    return [this](const std::string& caption, const std::string& text) { messages_.push_back({caption, text}); };
  }
  HWND Create(BrowserOptions options) {
    options.notice = Notice();
    return CreateBrowserControl(engine_->api, parent_, 10, 16, 346, 408, 77, options);
  }
  std::vector<std::string> Calls() const { return ReadLines(folder_.File("calls.log")); }
  // The calls made since the engine was loaded and initialised.
  std::vector<std::string> CallsAfterInitialize() const {
    std::vector<std::string> calls = Calls();
    if (!calls.empty() && calls.front().rfind("wkeInitializeEx", 0) == 0) calls.erase(calls.begin());
    return calls;
  }

  TempFolder folder_{"浏览器测试"};
  std::unique_ptr<WkeEngine> engine_;
  HWND parent_ = nullptr;
  std::vector<Message> messages_;
};

TEST(WkeEnginePathTest, JoinsProgramFolderAndFileName) {
  struct Row {
    const char* folder;
    const char* path;
  } rows[] = {
      {"C:\\app", "C:\\app\\node.dll"},
      {"C:\\", "C:\\node.dll"},
      {"Z:\\tmp\\图片工具", "Z:\\tmp\\图片工具\\node.dll"},
      // The last character's second byte is 0x5C, the byte of a backslash.
      {"C:\\工具乗", "C:\\工具乗\\node.dll"},
      {"", "node.dll"},
  };
  for (const Row& row : rows) EXPECT_EQ(WkeEnginePath(row.folder), row.path) << row.folder;
}

TEST_F(BrowserPanelTest, CompleteEngineIsInitialisedOnceAndFullyBound) {
  LoadEngine("wke_recorder.dll");
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(JoinLines(Calls()), "wkeInitializeEx\t(null)\n");
  const WkeApi& api = engine_->api;
  const void* functions[] = {
      reinterpret_cast<const void*>(api.initializeEx),     reinterpret_cast<const void*>(api.createWebWindow),
      reinterpret_cast<const void*>(api.destroyWebWindow), reinterpret_cast<const void*>(api.getWindowHandle),
      reinterpret_cast<const void*>(api.moveWindow),       reinterpret_cast<const void*>(api.loadUrl),
      reinterpret_cast<const void*>(api.loadHtml),         reinterpret_cast<const void*>(api.clearCookie),
      reinterpret_cast<const void*>(api.setUserAgent),     reinterpret_cast<const void*>(api.setCookieJarPath),
      reinterpret_cast<const void*>(api.setLocalStorageFullPath),
  };
  for (const void* function : functions) EXPECT_NE(function, nullptr);
}

TEST_F(BrowserPanelTest, CreationMakesTheViewThenSetsUserAgentThenLoadsTheInitialAddress) {
  LoadEngine("wke_recorder.dll");
  HWND browser = Create({"https://login.taobao.com/"});
  ASSERT_NE(browser, nullptr);
  std::vector<std::string> calls = {
      "wkeCreateWebWindow\tview1\t2\t" + Hwnd(browser) + "\t0\t0\t346\t408",
      std::string("wkeSetUserAgent\tview1\t") + kUserAgent,
      "wkeLoadURL\tview1\thttps://login.taobao.com/",
  };
  EXPECT_EQ(JoinLines(CallsAfterInitialize()), JoinLines(calls));
  EXPECT_TRUE(messages_.empty());

  wchar_t className[32] = {};
  GetClassNameW(browser, className, 32);
  EXPECT_STREQ(className, L"JYwkeCtrl");
  EXPECT_EQ(GetClassLongW(browser, GCL_STYLE) & (CS_HREDRAW | CS_VREDRAW), UINT(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(GetParent(browser), parent_);
  EXPECT_EQ(GetDlgCtrlID(browser), 77);
  EXPECT_TRUE(GetWindowLongW(browser, GWL_STYLE) & WS_TABSTOP);
  RECT rect{};
  GetWindowRect(browser, &rect);
  MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 16);
  EXPECT_EQ(rect.right - rect.left, 346);
  EXPECT_EQ(rect.bottom - rect.top, 408);
  EXPECT_EQ(BrowserAddress(browser), "https://login.taobao.com/");
}

TEST_F(BrowserPanelTest, DirectoriesAreAppliedOnlyWhenGiven) {
  LoadEngine("wke_recorder.dll");
  HWND withFolders = Create({"", "C:\\cookies", "C:\\缓存"});
  HWND withoutFolders = Create({});
  ASSERT_NE(withFolders, nullptr);
  ASSERT_NE(withoutFolders, nullptr);
  std::vector<std::string> calls = {
      "wkeCreateWebWindow\tview1\t2\t" + Hwnd(withFolders) + "\t0\t0\t346\t408",
      std::string("wkeSetUserAgent\tview1\t") + kUserAgent,
      "wkeSetCookieJarPath\tview1\tC:\\cookies",
      "wkeSetLocalStorageFullPath\tview1\tC:\\缓存",
      "wkeCreateWebWindow\tview2\t2\t" + Hwnd(withoutFolders) + "\t0\t0\t346\t408",
      std::string("wkeSetUserAgent\tview2\t") + kUserAgent,
  };
  // No initial address: nothing is loaded and the address stays empty.
  EXPECT_EQ(JoinLines(CallsAfterInitialize()), JoinLines(calls));
  EXPECT_EQ(BrowserAddress(withoutFolders), "");
}

TEST_F(BrowserPanelTest, AddressPropertyLoadsUrlsAndShowsABlankPageForEmptyText) {
  LoadEngine("wke_recorder.dll");
  HWND browser = Create({});
  ASSERT_NE(browser, nullptr);
  struct Row {
    std::string address;
    std::string call;
  } rows[] = {
      {"https://login.1688.com/", "wkeLoadURL\tview1\thttps://login.1688.com/"},
      {"", "wkeLoadHTML\tview1\t[ ]"},
      {"https://例子.cn/登录?店=淘宝", "wkeLoadURL\tview1\thttps://例子.cn/登录?店=淘宝"},
      {"about:blank", "wkeLoadURL\tview1\tabout:blank"},
  };
  for (const Row& row : rows) {
    SetBrowserAddress(browser, row.address);
    std::vector<std::string> calls = Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), row.call);
    EXPECT_EQ(BrowserAddress(browser), row.address);
  }
}

TEST_F(BrowserPanelTest, ClearingCookiesGoesToTheView) {
  LoadEngine("wke_recorder.dll");
  HWND browser = Create({"https://login.taobao.com/"});
  ClearBrowserCookies(browser);
  ASSERT_FALSE(Calls().empty());
  EXPECT_EQ(Calls().back(), "wkeClearCookie\tview1");
}

TEST_F(BrowserPanelTest, ViewFollowsTheWindowAndEndsWithIt) {
  LoadEngine("wke_recorder.dll");
  HWND browser = Create({"https://login.taobao.com/"});
  ASSERT_NE(browser, nullptr);
  size_t before = Calls().size();
  MoveWindow(browser, 10, 16, 300, 200, TRUE);
  SetFocus(browser);
  DestroyWindow(parent_);
  std::vector<std::string> calls = Calls();
  calls.erase(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(before));
  std::vector<std::string> expected = {
      "wkeMoveWindow\tview1\t0\t0\t300\t200",
      "wkeGetWindowHandle\tview1",
      "wkeDestroyWebWindow\tview1",
  };
  EXPECT_EQ(JoinLines(calls), JoinLines(expected));

  // The dead window is no longer a panel: nothing reaches the freed view.
  ClearBrowserCookies(browser);
  SetBrowserAddress(browser, "https://login.taobao.com/");
  EXPECT_EQ(BrowserAddress(browser), "");
  EXPECT_EQ(Calls().size(), before + expected.size());
}

TEST_F(BrowserPanelTest, WithoutAnEngineThePanelIsAnEmptyWindowThatKeepsItsAddress) {
  WkeApi none;
  HWND browser = CreateBrowserControl(none, parent_, 10, 16, 346, 408, 78, {"https://login.taobao.com/"});
  ASSERT_NE(browser, nullptr);
  EXPECT_EQ(GetParent(browser), parent_);
  EXPECT_EQ(GetWindow(browser, GW_CHILD), nullptr);
  ClearBrowserCookies(browser);
  SetBrowserAddress(browser, "https://login.1688.com/");
  EXPECT_EQ(BrowserAddress(browser), "https://login.1688.com/");
  SetBrowserAddress(browser, "");
  EXPECT_EQ(BrowserAddress(browser), "");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(BrowserPanelTest, OtherWindowsAreNotTakenForPanels) {
  HWND windows[] = {nullptr, parent_, GetDesktopWindow(), reinterpret_cast<HWND>(0x12345)};
  for (HWND window : windows) {
    ClearBrowserCookies(window);
    SetBrowserAddress(window, "https://login.taobao.com/");
    EXPECT_EQ(BrowserAddress(window), "");
  }
}

}  // namespace
