// The real program with its browser panel: PictureTool.exe copied into a program folder with an
// engine double (or our node.dll, or none) as node.dll, its message boxes answered, its login
// buttons clicked, and what reached the engine read from the double's log.
#include <gtest/gtest.h>

#include <functional>

#include "app/main_window.h"
#include "browser/tests/browser_test_support.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "tests/support/window_support.h"

namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr DWORD kStepTimeoutMs = 10000;
constexpr char kWelcomeCaption[] = "【岚栩】- 这是一个提示！";
constexpr char kUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/69.0.2228.0 Safari/537.36";

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

// A control of the program's window, found by its command identifier among all descendants.
HWND ControlOf(HWND mainWindow, Control control) {
  return DescendantWithId(mainWindow, ControlCommandId(control));
}

// The text of a message box: its one static control with text.
std::string MessageText(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (WindowClassName(child) == "Static" && !GetControlText(child).empty()) return GetControlText(child);
  return {};
}

struct ShownBox {
  std::string caption;
  std::string text;
  std::vector<std::string> engineCallsMeanwhile;
};

class ProgramWithPanelTest : public ::testing::Test {
 protected:
  void Install(const std::string& engineFile) {
    ASSERT_TRUE(CopyInto(BinFile("PictureTool.exe"), folder_.File("PictureTool.exe")));
    if (!engineFile.empty()) {
      ASSERT_TRUE(CopyInto(engineFile, folder_.File("node.dll")));
    }
  }
  // Starts the program and answers its message boxes until the welcome has been answered.
  void Start() {
    program_ = std::make_unique<RunningProgram>(folder_.File("PictureTool.exe"), std::vector<std::string>{},
                                                folder_.path());
    ASSERT_TRUE(program_->started());
    bool welcomed = WaitFor(
        [&] {
          HWND box = TopLevelOf(program_->id(), L"#32770");
          // A box still being built has no caption yet.
          if (!box || GetControlText(box).empty()) return false;
          shown_.push_back({GetControlText(box), MessageText(box), EngineCalls()});
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          WaitFor([&] { return !IsWindow(box); }, kStepTimeoutMs);
          return shown_.back().caption == kWelcomeCaption;
        },
        kStartTimeoutMs);
    ASSERT_TRUE(welcomed) << "no welcome message";
    main_ = TopLevelOf(program_->id(), kMainWindowClass);
    ASSERT_NE(main_, nullptr);
  }
  void Click(Control button) {
    HWND control = ControlOf(main_, button);
    ASSERT_NE(control, nullptr);
    DWORD_PTR result = 0;
    ASSERT_TRUE(SendMessageTimeoutW(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kStepTimeoutMs, &result));
  }
  bool Responds() {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
  }
  void CloseAndExpectCleanEnd() {
    PostMessageW(main_, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(program_->Wait(kStepTimeoutMs, &exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0u);
  }
  std::vector<std::string> EngineCalls() const { return ReadLines(folder_.File("calls.log")); }
  bool WaitForCalls(size_t count) {
    return WaitFor([&] { return EngineCalls().size() >= count; }, kStepTimeoutMs);
  }
  std::string Handle(HWND window) const { return std::to_string(reinterpret_cast<INT_PTR>(window)); }

  TempFolder folder_{"岚栩货图匣"};
  std::unique_ptr<RunningProgram> program_;
  std::vector<ShownBox> shown_;
  HWND main_ = nullptr;
};

TEST_F(ProgramWithPanelTest, StartUpLoadsTheLoginPageAndClearsCookiesAfterTheWelcome) {
  Install(BrowserTestFile("wke_recorder.dll"));
  Start();
  HWND panel = ControlOf(main_, Control::精易Web浏览器1);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(WindowClassName(panel), "JYwkeCtrl");
  EXPECT_EQ(GetParent(panel), ControlOf(main_, Control::分组框1));

  // While the welcome is up, the view exists and loads, but no cookie has been cleared yet.
  ASSERT_EQ(shown_.size(), 1u);
  std::vector<std::string> beforeWelcome = {
      "wkeInitializeEx\t(null)",
      "wkeCreateWebWindow\tview1\t2\t" + Handle(panel) + "\t0\t0\t346\t408",
      std::string("wkeSetUserAgent\tview1\t") + kUserAgent,
      "wkeLoadURL\tview1\thttps://login.taobao.com/",
  };
  EXPECT_EQ(JoinLines(shown_[0].engineCallsMeanwhile), JoinLines(beforeWelcome));
  ASSERT_TRUE(WaitForCalls(beforeWelcome.size() + 1));
  EXPECT_EQ(EngineCalls()[beforeWelcome.size()], "wkeClearCookie\tview1");
  CloseAndExpectCleanEnd();
}

TEST_F(ProgramWithPanelTest, LoginButtonsSignOutEmptyTheCookieBoxAndLoadTheirPage) {
  Install(BrowserTestFile("wke_recorder.dll"));
  Start();
  ASSERT_TRUE(WaitForCalls(5));
  HWND cookieBox = ControlOf(main_, Control::cookie值);
  ASSERT_NE(cookieBox, nullptr);
  struct Row {
    Control button;
    const char* page;
  } rows[] = {
      {Control::载入淘宝, "https://login.taobao.com/"},
      {Control::载入阿里, "https://login.1688.com/"},
      {Control::载入淘宝, "https://login.taobao.com/"},
  };
  for (const Row& row : rows) {
    SetControlText(cookieBox, "_tb_token_=e5; cookie2=1f");
    size_t before = EngineCalls().size();
    Click(row.button);
    ASSERT_TRUE(WaitForCalls(before + 2));
    std::vector<std::string> calls = EngineCalls();
    EXPECT_EQ(calls[before], "wkeClearCookie\tview1");
    EXPECT_EQ(calls[before + 1], std::string("wkeLoadURL\tview1\t") + row.page);
    EXPECT_EQ(GetControlText(cookieBox), "");
  }
  CloseAndExpectCleanEnd();
  EXPECT_EQ(EngineCalls().back(), "wkeDestroyWebWindow\tview1");
}

TEST_F(ProgramWithPanelTest, MissingEngineIsReportedFirstAndTheWindowWorksWithAnEmptyPanel) {
  Install("");
  Start();
  ASSERT_EQ(shown_.size(), 2u);
  EXPECT_EQ(shown_[0].caption, "错误");
  EXPECT_EQ(shown_[0].text, "请把node.dll放在[" + folder_.File("node.dll") + "]位置");
  EXPECT_EQ(shown_[1].caption, kWelcomeCaption);

  HWND panel = ControlOf(main_, Control::精易Web浏览器1);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(WindowClassName(panel), "JYwkeCtrl");
  EXPECT_EQ(GetWindow(panel, GW_CHILD), nullptr);
  HWND cookieBox = ControlOf(main_, Control::cookie值);
  SetControlText(cookieBox, "a=1");
  Click(Control::载入阿里);
  EXPECT_EQ(GetControlText(cookieBox), "");
  HWND link = ControlOf(main_, Control::url);
  SetControlText(link, "https://item.taobao.com/item.htm?id=1");
  EXPECT_EQ(GetControlText(link), "https://item.taobao.com/item.htm?id=1");
  EXPECT_TRUE(Responds());
  CloseAndExpectCleanEnd();
}

TEST_F(ProgramWithPanelTest, OurEngineShowsAViewAndNothingBlocks) {
  Install(BinFile("node.dll"));
  Start();
  EXPECT_EQ(shown_.size(), 1u);
  HWND panel = ControlOf(main_, Control::精易Web浏览器1);
  ASSERT_NE(panel, nullptr);
  HWND view = GetWindow(panel, GW_CHILD);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(WindowClassName(view), "NodeEngineView");
  RECT rect{};
  GetClientRect(view, &rect);
  EXPECT_EQ(rect.right, 346);
  EXPECT_EQ(rect.bottom, 408);
  Click(Control::载入阿里);
  Click(Control::载入淘宝);
  EXPECT_TRUE(Responds());
  CloseAndExpectCleanEnd();
}

}  // namespace
