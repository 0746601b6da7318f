// The clear, help and hot-key handlers, driven through the real main window: clicks on its buttons
// and WM_HOTKEY messages, with the easing animators' thread timers dispatched by the test.
#include <windows.h>
// After windows.h, which commctrl.h needs.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window.h"
#include "effects/ease_animator.h"
#include "effects/shadow.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/message_box.h"
#include "tests/support/loopback_server.h"
#include "tests/support/message_pump.h"
#include "tests/support/window_support.h"

namespace {

RECT WindowRect(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  return r;
}

int WindowWidth(HWND window) {
  RECT r = WindowRect(window);
  return r.right - r.left;
}

bool Idle(int slot) { return EasingSlot(slot) && EasingSlot(slot)->GetInterval() == 0; }

// An animation counts frames, not time: on a loaded machine, where every frame of a window resize
// takes long, a run of 17 frames may take many seconds.
constexpr DWORD kAnimationBoundMs = 30000;

WindowConfig AnsweringOk() {
  WindowConfig config;
  config.answer = [](const MessageBoxRequest&) { return static_cast<int>(kPressedOk); };
  return config;
}

// Records every move or resize a window goes through: one entry per animation frame.
struct FrameLog {
  std::vector<int> tops;
  std::vector<int> widths;
  std::vector<RECT> rects;  // the window's rectangle after each change
};

LRESULT CALLBACK RecordFrames(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
  if (msg == WM_WINDOWPOSCHANGED) {
    auto* log = reinterpret_cast<FrameLog*>(data);
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lp);
    if (!(pos->flags & SWP_NOMOVE)) log->tops.push_back(pos->y);
    if (!(pos->flags & SWP_NOSIZE)) log->widths.push_back(pos->cx);
    RECT r{};
    GetWindowRect(hwnd, &r);
    log->rects.push_back(r);
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

// The real main window with the program's animators. The hot keys are system-wide: while another
// test program holds them, the window is made again until its own registrations succeed.
class CommandHandlersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateEasingSlots();
    const DWORD begin = GetTickCount();
    for (;;) {
      main_ = std::make_unique<MainWindow>(AnsweringOk());
      ASSERT_TRUE(main_->Create(GetModuleHandleW(nullptr)));
      window_ = main_->handle();
      if (main_->expandHotKeyId() != 0 && main_->collapseHotKeyId() != 0) break;
      ASSERT_LT(GetTickCount() - begin, 30000u) << "Page Up / Page Down stay taken elsewhere";
      main_.reset();
      PumpFor(100);
    }
    SetWindowSubclass(window_, RecordFrames, 1, reinterpret_cast<DWORD_PTR>(&windowFrames_));
    SetWindowSubclass(ControlHandle(Control::帮助分组), RecordFrames, 1,
                      reinterpret_cast<DWORD_PTR>(&panelFrames_));
  }
  void TearDown() override {
    if (IsWindow(window_)) {
      RemoveWindowSubclass(ControlHandle(Control::帮助分组), RecordFrames, 1);
      RemoveWindowSubclass(window_, RecordFrames, 1);
    }
    main_.reset();
    ReleaseEasingSlots();
    PumpFor(20);
  }

  void PressHotKey(int id, UINT vk) { PostMessageW(window_, WM_HOTKEY, id, MAKELPARAM(0, vk)); }
  HWND ControlHandle(Control c) const { return main_->control(c); }
  void Click(Control c) { SendMessageW(ControlHandle(c), BM_CLICK, 0, 0); }
  int HelpTop() const { return RectInParent(ControlHandle(Control::帮助分组)).top; }
  // Whether a raw-data box lies fully inside the window's client area.
  bool InSight(Control c) const {
    RECT client;
    GetClientRect(window_, &client);
    RECT r = RectInParent(ControlHandle(c));
    return r.right <= client.right;
  }

  std::unique_ptr<MainWindow> main_;
  HWND window_ = nullptr;
  FrameLog windowFrames_;
  FrameLog panelFrames_;
};

const Control kRawDataBoxes[] = {Control::测试, Control::详情数据, Control::文本数据, Control::参数文本};

TEST_F(CommandHandlersTest, PageUpWidensToTwelveTwentyAndPageDownNarrowsBack) {
  const RECT before = WindowRect(window_);
  ASSERT_EQ(before.right - before.left, 880);
  for (Control c : kRawDataBoxes) EXPECT_FALSE(InSight(c)) << static_cast<int>(c);

  const struct {
    int id;
    UINT vk;
    int width;
  } steps[] = {{main_->expandHotKeyId(), VK_PRIOR, 1220}, {main_->collapseHotKeyId(), VK_NEXT, 880}};
  for (const auto& step : steps) {
    windowFrames_.widths.clear();
    PressHotKey(step.id, step.vk);
    ASSERT_TRUE(PumpUntil([&] { return !windowFrames_.widths.empty(); }));
    ASSERT_TRUE(PumpUntil([] { return Idle(kWindowWidthSlot); }, kAnimationBoundMs));
    const RECT after = WindowRect(window_);
    EXPECT_EQ(after.right - after.left, step.width);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    // Frame by frame, never back, within the 17 frames of one change.
    const std::vector<int>& w = windowFrames_.widths;
    EXPECT_LE(w.size(), 17u);
    EXPECT_GE(w.size(), 10u);
    EXPECT_EQ(w.back(), step.width);
    for (size_t i = 1; i < w.size(); ++i)
      EXPECT_TRUE(step.width > 880 ? w[i] >= w[i - 1] : w[i] <= w[i - 1]) << i;
    for (Control c : kRawDataBoxes) EXPECT_EQ(InSight(c), step.width == 1220);
  }
}

TEST_F(CommandHandlersTest, TypedKeysReachTheWindowWhileAnotherHasTheFocus) {
  // Another program's window in front, with the keyboard focus.
  HWND other = CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  SetForegroundWindow(other);
  SetFocus(other);
  const struct {
    WORD vk;
    int width;
  } keys[] = {{VK_PRIOR, 1220}, {VK_NEXT, 880}};
  for (const auto& key : keys) {
    windowFrames_.widths.clear();
    TypeKey(key.vk);
    ASSERT_TRUE(PumpUntil([&] { return !windowFrames_.widths.empty(); })) << key.vk;
    ASSERT_TRUE(PumpUntil([] { return Idle(kWindowWidthSlot); }, kAnimationBoundMs));
    EXPECT_EQ(WindowWidth(window_), key.width);
  }
  DestroyWindow(other);
}

RECT WorkArea(HWND window) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  return monitor.rcWork;
}

// Near the right edge of the screen, Page Up widens the window leftwards as far as it would pass
// the work area, frame by frame; Page Down brings it back to where it stood. A window moved by
// hand meanwhile stays where it was put.
TEST_F(CommandHandlersTest, PageUpKeepsTheWindowWithinTheWorkArea) {
  const RECT work = WorkArea(window_);
  const int home = work.right - 900;  // 340 pixels short of the room the wide window needs
  ASSERT_GE(home - 340, work.left) << "the screen is too small for this test";
  SetWindowPos(window_, nullptr, home, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  auto slide = [&](int id, UINT vk) {
    windowFrames_.widths.clear();
    windowFrames_.rects.clear();
    PressHotKey(id, vk);
    EXPECT_TRUE(PumpUntil([&] { return !windowFrames_.widths.empty(); }));
    EXPECT_TRUE(PumpUntil([] { return Idle(kWindowWidthSlot); }, kAnimationBoundMs));
  };

  slide(main_->expandHotKeyId(), VK_PRIOR);
  RECT r = WindowRect(window_);
  EXPECT_EQ(r.right - r.left, 1220);
  EXPECT_EQ(r.right, work.right);
  EXPECT_EQ(r.top, 50);
  EXPECT_GE(windowFrames_.rects.size(), 10u);
  for (const RECT& frame : windowFrames_.rects) EXPECT_LE(frame.right, work.right) << frame.left;

  slide(main_->collapseHotKeyId(), VK_NEXT);
  r = WindowRect(window_);
  EXPECT_EQ(r.left, home);
  EXPECT_EQ(r.right - r.left, 880);
  for (size_t i = 1; i < windowFrames_.rects.size(); ++i)
    EXPECT_GE(windowFrames_.rects[i].left, windowFrames_.rects[i - 1].left) << i;

  // Widened again, then moved by hand: narrowing keeps the left edge where the hand put it.
  slide(main_->expandHotKeyId(), VK_PRIOR);
  SetWindowPos(window_, nullptr, work.left + 10, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  slide(main_->collapseHotKeyId(), VK_NEXT);
  r = WindowRect(window_);
  EXPECT_EQ(r.left, work.left + 10);
  EXPECT_EQ(r.right - r.left, 880);
}

TEST_F(CommandHandlersTest, FirstWideningFrameIsTruncated) {
  PressHotKey(main_->expandHotKeyId(), VK_PRIOR);
  ASSERT_TRUE(PumpUntil([&] { return !windowFrames_.widths.empty(); }));
  EXPECT_EQ(windowFrames_.widths[0], 936);  // 936.54 at the first of 17 frames
  ASSERT_TRUE(PumpUntil([] { return Idle(kWindowWidthSlot); }, kAnimationBoundMs));
}

TEST_F(CommandHandlersTest, PageDownRightAfterPageUpIsDropped) {
  PressHotKey(main_->expandHotKeyId(), VK_PRIOR);
  PressHotKey(main_->collapseHotKeyId(), VK_NEXT);
  ASSERT_TRUE(PumpUntil([&] { return !windowFrames_.widths.empty(); }));
  ASSERT_TRUE(PumpUntil([] { return Idle(kWindowWidthSlot); }, kAnimationBoundMs));
  PumpFor(100);
  EXPECT_EQ(WindowWidth(window_), 1220);
  EXPECT_TRUE(Idle(kWindowWidthSlot));
}

TEST_F(CommandHandlersTest, PageUpOnAWideWindowChangesNothingVisible) {
  PressHotKey(main_->expandHotKeyId(), VK_PRIOR);
  ASSERT_TRUE(PumpUntil([&] { return !windowFrames_.widths.empty(); }));
  ASSERT_TRUE(PumpUntil([] { return Idle(kWindowWidthSlot); }, kAnimationBoundMs));
  windowFrames_.widths.clear();
  PressHotKey(main_->expandHotKeyId(), VK_PRIOR);
  PumpFor(300);
  ASSERT_TRUE(PumpUntil([] { return Idle(kWindowWidthSlot); }, kAnimationBoundMs));
  EXPECT_EQ(WindowWidth(window_), 1220);
  for (int w : windowFrames_.widths) EXPECT_EQ(w, 1220);
}

TEST_F(CommandHandlersTest, OtherIdentifiersAreIgnored) {
  for (int id : {0, 1, 33003, main_->expandHotKeyId() + 100}) main_->OnHotKey(id, 0);
  PumpFor(100);
  EXPECT_TRUE(Idle(kWindowWidthSlot));
  EXPECT_EQ(WindowWidth(window_), 880);
}

TEST_F(CommandHandlersTest, HelpPressedTwiceQuicklyIsOneSlide) {
  ASSERT_EQ(HelpTop(), 688);
  Click(Control::帮助);
  ASSERT_TRUE(PumpUntil([&] { return panelFrames_.tops.size() >= 3; }));
  const UINT_PTR timer = EasingSlot(kHelpPanelSlot)->GetTimerId();
  ASSERT_NE(timer, 0u);
  Click(Control::帮助);
  EXPECT_EQ(EasingSlot(kHelpPanelSlot)->GetTimerId(), timer);
  ASSERT_TRUE(PumpUntil([] { return Idle(kHelpPanelSlot); }, kAnimationBoundMs));
  EXPECT_EQ(HelpTop(), 8);
  EXPECT_EQ(RectInParent(ControlHandle(Control::帮助分组)).left, 8);
  const std::vector<int>& tops = panelFrames_.tops;
  EXPECT_LE(tops.size(), 34u) << "one slide of 34 frames at most";
  EXPECT_EQ(tops.back(), 8);
  for (size_t i = 1; i < tops.size(); ++i) EXPECT_LE(tops[i], tops[i - 1]) << i;
  EXPECT_EQ(tops.front(), 629);  // 688 - 680 * (1 - (33/34)^3) = 629.75
}

TEST_F(CommandHandlersTest, OkWhileRisingIsIgnoredAndAfterwardsSlidesTheHelpDown) {
  Click(Control::帮助);
  ASSERT_TRUE(PumpUntil([&] { return panelFrames_.tops.size() >= 3; }));
  Click(Control::tok);
  ASSERT_TRUE(PumpUntil([] { return Idle(kHelpPanelSlot); }, kAnimationBoundMs));
  EXPECT_EQ(HelpTop(), 8);
  PumpFor(100);
  EXPECT_EQ(HelpTop(), 8);

  panelFrames_.tops.clear();
  Click(Control::tok);
  ASSERT_TRUE(PumpUntil([&] { return !panelFrames_.tops.empty(); }));
  ASSERT_TRUE(PumpUntil([] { return Idle(kHelpPanelSlot); }, kAnimationBoundMs));
  EXPECT_EQ(HelpTop(), 688);
  EXPECT_EQ(RectInParent(ControlHandle(Control::帮助分组)).left, 8);
  for (size_t i = 1; i < panelFrames_.tops.size(); ++i)
    EXPECT_GE(panelFrames_.tops[i], panelFrames_.tops[i - 1]) << i;
}

TEST_F(CommandHandlersTest, HelpAndWidthAnimateSideBySide) {
  Click(Control::帮助);
  PressHotKey(main_->expandHotKeyId(), VK_PRIOR);
  ASSERT_TRUE(PumpUntil([&] { return !windowFrames_.widths.empty(); }));
  ASSERT_TRUE(PumpUntil([] { return Idle(kHelpPanelSlot) && Idle(kWindowWidthSlot); }, kAnimationBoundMs));
  EXPECT_EQ(HelpTop(), 8);
  EXPECT_EQ(WindowWidth(window_), 1220);
}

TEST_F(CommandHandlersTest, ClearEmptiesTheHarvestAndKeepsTheCookie) {
  SetControlText(ControlHandle(Control::url), "https://item.example/item.htm?id=123");
  HWND list = ControlHandle(Control::images_列表框);
  ListViewAppendRow(list, {"1", "https://img.example/1.jpg", "淘宝主图图片1"});
  ListViewAppendRow(list, {"2", "https://img.example/2.jpg", "淘宝主图图片2"});
  main_->PublishPictures({"https://img.example/3.jpg"}, "淘宝SKU图片");
  ASSERT_FALSE(main_->harvest().outputFolder.empty());
  SetControlText(ControlHandle(Control::测试), "<html>描述</html>");
  SetControlText(ControlHandle(Control::详情数据), "https://desc.example/d");
  SetControlText(ControlHandle(Control::文本数据), "标题\r\n颜色分类：红色\r\n");
  SetControlText(ControlHandle(Control::cookie值), "t=abc; cna=中文");
  SetControlText(ControlHandle(Control::岚栩_tim), "12:00:00 - 保存成功");
  SetControlText(ControlHandle(Control::参数文本), "参数");

  Click(Control::数据_清空);

  EXPECT_EQ(GetControlText(ControlHandle(Control::url)), "");
  EXPECT_EQ(ListViewRowCount(list), 0);
  EXPECT_EQ(main_->harvest().itemId, "");
  EXPECT_EQ(main_->harvest().videoUrl, "");
  EXPECT_EQ(main_->harvest().outputFolder, "");
  EXPECT_EQ(GetControlText(ControlHandle(Control::测试)), "");
  EXPECT_EQ(GetControlText(ControlHandle(Control::详情数据)), "");
  EXPECT_EQ(GetControlText(ControlHandle(Control::文本数据)), "");
  // Left as they were.
  EXPECT_EQ(GetControlText(ControlHandle(Control::cookie值)), "t=abc; cna=中文");
  EXPECT_EQ(GetControlText(ControlHandle(Control::岚栩_tim)), "12:00:00 - 保存成功");
  EXPECT_EQ(GetControlText(ControlHandle(Control::参数文本)), "参数");

  // A second clear on the emptied window changes nothing.
  Click(Control::数据_清空);
  EXPECT_EQ(ListViewRowCount(list), 0);
  EXPECT_EQ(GetControlText(ControlHandle(Control::cookie值)), "t=abc; cna=中文");
}

TEST_F(CommandHandlersTest, FramesAreTruncatedTowardZero) {
  const RECT before = WindowRect(window_);
  const struct {
    double value;
    int width;
  } widths[] = {{1000.9, 1000}, {1219.999, 1219}, {880.0, 880}};
  for (const auto& row : widths) {
    main_->ApplyWindowWidth(row.value);
    const RECT r = WindowRect(window_);
    EXPECT_EQ(r.right - r.left, row.width) << row.value;
    EXPECT_EQ(r.left, before.left);
    EXPECT_EQ(r.top, before.top);
    EXPECT_EQ(r.bottom - r.top, before.bottom - before.top);
  }
  const struct {
    double value;
    int top;
  } tops[] = {{100.7, 100}, {-3.7, -3}, {8.999, 8}, {688, 688}};
  for (const auto& row : tops) {
    main_->ApplyHelpTop(row.value);
    const RECT r = RectInParent(ControlHandle(Control::帮助分组));
    EXPECT_EQ(r.top, row.top) << row.value;
    EXPECT_EQ(r.left, 8);
    EXPECT_EQ(r.right - r.left, 856);
    EXPECT_EQ(r.bottom - r.top, 384);
  }
}

TEST(CommandHandlersHotKeyTest, AFailedRegistrationMatchesNoKey) {
  // Another thread holds Page Up, so the window's own registration of it fails and leaves 0.
  HeldHotKeys holder({VK_PRIOR});
  ASSERT_TRUE(holder.holdsAll());
  CreateEasingSlots();
  {
    MainWindow window(AnsweringOk());
    ASSERT_TRUE(window.Create(GetModuleHandleW(nullptr)));
    EXPECT_EQ(window.expandHotKeyId(), 0);

    window.OnHotKey(0, 0);
    PumpFor(100);
    EXPECT_TRUE(Idle(kWindowWidthSlot));
    EXPECT_EQ(WindowWidth(window.handle()), 880);
  }
  ReleaseEasingSlots();
  PumpFor(20);
}

HWND ChildOf(HWND main, Control c) { return DescendantWithId(main, ControlCommandId(c)); }

// The real program, started on its own: its animators exist from start-up, the help button and
// Page Up move its window, and it still closes cleanly with them released at exit.
TEST(ProgramAnimationTest, RealProgramSlidesItsHelpAndWidensOnPageUp) {
  const std::string folder = "/tmp/pt-easing-program-" + std::to_string(GetCurrentProcessId());
  const std::wstring dir = WinePathOf(folder);
  const std::wstring bin = WinePathOf(BinaryDir() + "/bin");
  CreateDirectoryW(dir.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((bin + L"\\PictureTool.exe").c_str(), (dir + L"\\PictureTool.exe").c_str(), FALSE));
  CopyFileW((bin + L"\\node.dll").c_str(), (dir + L"\\node.dll").c_str(), FALSE);

  std::wstring cmd = L"\"" + dir + L"\\PictureTool.exe\"";
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi));

  // Answer its message boxes until the window is up and the created handler is done with them:
  // the window shows before the welcome box, so quiet only counts once a box was answered.
  HWND main = nullptr;
  int quietRounds = 0;
  bool answered = false;
  for (DWORD begin = GetTickCount(); GetTickCount() - begin < 30000 && quietRounds < 10;) {
    main = TopLevelOf(pi.dwProcessId, kMainWindowClass);
    if (HWND box = TopLevelOf(pi.dwProcessId, L"#32770")) {
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      answered = true;
      quietRounds = 0;
    } else if (main && answered) {
      ++quietRounds;
    }
    Sleep(50);
  }
  ASSERT_NE(main, nullptr);

  HWND panel = ChildOf(main, Control::帮助分组);
  HWND help = ChildOf(main, Control::帮助);
  ASSERT_NE(panel, nullptr);
  ASSERT_NE(help, nullptr);
  SendMessageW(help, BM_CLICK, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return RectInParent(panel).top == 8; }, kAnimationBoundMs));

  // The program's Page Up registration is 33001 when it got the key.
  PostMessageW(main, WM_HOTKEY, 33001, MAKELPARAM(0, VK_PRIOR));
  EXPECT_TRUE(PumpUntil([&] { return WindowWidth(main) == 1220; }, kAnimationBoundMs));
  // Once a slide is over, its shadow lies exactly around the window again, whichever way it went.
  auto shadowAround = [&] {
    RECT window{}, shadow{};
    GetWindowRect(main, &window);
    GetWindowRect(static_cast<HWND>(GetPropW(main, kShadowProp)), &shadow);
    InflateRect(&window, 5, 5);
    return EqualRect(&window, &shadow) != FALSE;
  };
  EXPECT_TRUE(PumpUntil(shadowAround, kAnimationBoundMs)) << "after widening";
  PostMessageW(main, WM_HOTKEY, 33002, MAKELPARAM(0, VK_NEXT));
  EXPECT_TRUE(PumpUntil([&] { return WindowWidth(main) == 880; }, kAnimationBoundMs));
  EXPECT_TRUE(PumpUntil(shadowAround, kAnimationBoundMs)) << "after narrowing";

  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  DeleteFileW((dir + L"\\PictureTool.exe").c_str());
  DeleteFileW((dir + L"\\node.dll").c_str());
  RemoveDirectoryW((dir + L"\\" + GbkToWide("岚栩图片工具箱")).c_str());
  RemoveDirectoryW(dir.c_str());
}

}  // namespace
