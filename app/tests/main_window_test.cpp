// The real main window, built in-process and read back through the window system; and the real
// program started from a folder with a Chinese name.
#include <windows.h>
// After windows.h, which commctrl.h needs.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "extract/extraction_report.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/handles.h"
#include "runtime/message_box.h"
#include "runtime/program_dir.h"
#include "runtime/ui_task.h"
#include "tests/support/loopback_server.h"
#include "tests/support/message_pump.h"
#include "tests/support/test_files.h"
#include "tests/support/window_support.h"

namespace {

const char kWelcomeText[] =
    "欢迎使用【岚栩】- 货图匣 V3.0版本\r\n\r\n此版本聚合了主流电商平台的图片数据下载\r\n\r\n"
    "为了能更好的获取图片，请务必输入Cookie\r\n\r\n本工具免费使用，下载的数据仅供参考学习\r\n\r\n"
    "使用本工具造成的一切后果均由使用者自行承担\r\n\r\n请于下载后24小时内删除本工具\r\n\r\n"
    "默认已添加修改图片MD5功能\r\n\r\n如您进行使用本工具则为默认同意以上内容\r\n\r\n作者：岚栩";

struct MessageBoxLog {
  std::vector<MessageBoxRequest> shown;
  std::vector<std::string> outputFolderWhenShown;
};

// Builds the window with message boxes answered by the test; destroys it afterwards.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowConfig config;
    config.answer = [this](const MessageBoxRequest& r) {
      log_.shown.push_back(r);
      log_.outputFolderWhenShown.push_back(main_->harvest().outputFolder);
      return static_cast<int>(kPressedOk);
    };
    main_ = std::make_unique<MainWindow>(config);
    ASSERT_TRUE(main_->Create(GetModuleHandleW(nullptr)));
    window_ = main_->handle();
  }
  void TearDown() override {
    main_.reset();
    PumpFor(20);
  }
  HWND ControlHandle(Control c) const { return main_->control(c); }

  std::unique_ptr<MainWindow> main_;
  HWND window_ = nullptr;
  MessageBoxLog log_;
};

TEST_F(MainWindowTest, WindowClassCaptionSizeAndFrame) {
  EXPECT_EQ(WindowClassName(window_), "Lzv - E-commerce picture tool");
  std::string caption = GetControlText(window_);
  const std::string title = "【岚栩】- 货图匣合集 V3.1";
  ASSERT_EQ(caption.compare(0, title.size(), title), 0) << caption;
  // The by-line: three spaces, a bracketed note, three spaces, an author note.
  std::string byline = caption.substr(title.size());
  EXPECT_EQ(byline.compare(0, 5, "   【"), 0) << byline;
  EXPECT_NE(byline.find("】   "), std::string::npos) << byline;
  EXPECT_NE(byline.find("岚栩"), std::string::npos) << byline;

  RECT r;
  GetWindowRect(window_, &r);
  EXPECT_EQ(r.right - r.left, 880);
  EXPECT_EQ(r.bottom - r.top, 700);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 880) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - 700) / 2);

  LONG style = GetWindowLongW(window_, GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME) << "the border is fixed";
  EXPECT_TRUE(style & WS_SYSMENU);
}

struct ExpectedControl {
  Control name;
  const char* className;  // "" for the browser panel (its class belongs to the browser)
  Control parent;         // Control::Count for the window itself
  RECT rect;              // left, top, right, bottom in the parent
  const char* text;
  bool tabStop;
};

const ExpectedControl kExpected[] = {
    {Control::分组框1, "Button", Control::Count, {8, 8, 376, 490}, " 【Cookie控制台】 ", false},
    {Control::精易Web浏览器1, "", Control::分组框1, {10, 16, 356, 424}, nullptr, true},
    {Control::载入淘宝, "Button", Control::分组框1, {10, 433, 184, 473}, "载入淘宝", true},
    {Control::载入阿里, "Button", Control::分组框1, {194, 433, 352, 473}, "载入阿里", true},
    {Control::分组框2, "Button", Control::Count, {8, 496, 376, 664}, " 【Cookie】 ", false},
    {Control::cookie值, "Edit", Control::分组框2, {8, 16, 360, 160}, "", true},
    {Control::分组框3, "Button", Control::Count, {384, 8, 864, 200}, " 【Images数据控制台】 ", false},
    {Control::透明标签2, "Static", Control::分组框3, {8, 27, 72, 51}, "宝贝链接：", false},
    {Control::url, "Edit", Control::分组框3, {64, 27, 468, 51}, "", true},
    {Control::淘宝_按钮, "Button", Control::分组框3, {8, 65, 108, 97}, "淘宝数据", true},
    {Control::天猫_按钮, "Button", Control::分组框3, {128, 64, 228, 96}, "天猫数据", true},
    {Control::阿里_按钮, "Button", Control::分组框3, {248, 64, 348, 96}, "阿里数据", true},
    {Control::京东_按钮, "Button", Control::分组框3, {368, 64, 468, 96}, "京东数据", true},
    {Control::数据_下载, "Button", Control::分组框3, {8, 108, 108, 140}, "下载数据", true},
    {Control::数据_清空, "Button", Control::分组框3, {129, 108, 229, 140}, "清空数据", true},
    {Control::帮助, "Button", Control::分组框3, {249, 108, 349, 140}, "使用帮助", true},
    {Control::tis1, "Static", Control::分组框3, {8, 155, 88, 179}, "操作提示信息：", false},
    {Control::岚栩_tim, "Static", Control::分组框3, {96, 155, 469, 179}, "", false},
    {Control::分组框8, "Button", Control::Count, {384, 208, 864, 664}, " 【Images数据链接】 ", false},
    {Control::images_列表框, "SysListView32", Control::分组框8, {8, 21, 472, 448}, "", true},
    {Control::帮助分组, "Button", Control::Count, {8, 688, 864, 1072}, " 【使用说明】 ", false},
    {Control::图片框1, "Static", Control::帮助分组, {8, 18, 846, 360}, "", false},
    {Control::tok, "Button", Control::图片框1, {720, 303, 828, 343}, "我知道了！", true},
    {Control::测试, "Edit", Control::Count, {891, 8, 1203, 160}, "", false},
    {Control::详情数据, "Edit", Control::Count, {891, 168, 1203, 240}, "", false},
    {Control::文本数据, "Edit", Control::Count, {891, 248, 1203, 416}, "", false},
    {Control::参数文本, "Edit", Control::Count, {889, 424, 1201, 592}, "", false},
    {Control::标签1, "Static", Control::Count, {1168, 640, 1208, 664}, "", false},
};

TEST_F(MainWindowTest, EveryControlAsLaidOut) {
  for (const ExpectedControl& e : kExpected) {
    SCOPED_TRACE(static_cast<int>(e.name));
    HWND c = ControlHandle(e.name);
    ASSERT_NE(c, nullptr);
    HWND parent = e.parent == Control::Count ? window_ : ControlHandle(e.parent);
    EXPECT_EQ(GetParent(c), parent);
    if (*e.className) {
      EXPECT_STRCASEEQ(WindowClassName(c).c_str(), e.className);
    }
    RECT r = RectInParent(c);
    EXPECT_EQ(r.left, e.rect.left);
    EXPECT_EQ(r.top, e.rect.top);
    EXPECT_EQ(r.right, e.rect.right);
    EXPECT_EQ(r.bottom, e.rect.bottom);
    if (e.text) {
      EXPECT_EQ(GetControlText(c), e.text);
    }
    EXPECT_EQ((GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) != 0, e.tabStop);
    EXPECT_EQ(GetDlgCtrlID(c), ControlCommandId(e.name));
  }
}

TEST_F(MainWindowTest, EditBoxStylesAndTheListViewColumns) {
  auto style = [this](Control c) { return GetWindowLongW(ControlHandle(c), GWL_STYLE); };
  auto exStyle = [this](Control c) { return GetWindowLongW(ControlHandle(c), GWL_EXSTYLE); };
  // The cookie box: multi-line, scroll bar, a flat one-line border instead of the sunken one.
  EXPECT_TRUE(style(Control::cookie值) & ES_MULTILINE);
  EXPECT_TRUE(style(Control::cookie值) & WS_VSCROLL);
  EXPECT_FALSE(exStyle(Control::cookie值) & WS_EX_CLIENTEDGE);
  EXPECT_FALSE(style(Control::url) & ES_MULTILINE);
  EXPECT_FALSE(style(Control::url) & WS_VSCROLL);
  EXPECT_TRUE(exStyle(Control::url) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(style(Control::测试) & WS_DISABLED);
  EXPECT_TRUE(style(Control::测试) & WS_VSCROLL);
  EXPECT_TRUE(style(Control::详情数据) & ES_MULTILINE);
  EXPECT_FALSE(style(Control::详情数据) & WS_VSCROLL);
  for (Control c : {Control::文本数据, Control::参数文本}) {
    EXPECT_TRUE(style(c) & ES_MULTILINE);
    EXPECT_TRUE(style(c) & WS_VSCROLL);
    EXPECT_FALSE(style(c) & WS_DISABLED);
  }

  // Green on black: ask the window for the colours it gives the cookie box.
  HDC dc = GetDC(ControlHandle(Control::cookie值));
  SendMessageW(window_, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc),
               reinterpret_cast<LPARAM>(ControlHandle(Control::cookie值)));
  EXPECT_EQ(GetTextColor(dc), RGB(0, 128, 0));
  EXPECT_EQ(GetBkColor(dc), RGB(0, 0, 0));
  ReleaseDC(ControlHandle(Control::cookie值), dc);

  HWND list = ControlHandle(Control::images_列表框);
  EXPECT_EQ(style(Control::images_列表框) & LVS_TYPEMASK, LVS_REPORT);
  const struct {
    const char* title;
    int width;
  } columns[] = {{"序号", 45}, {"图片Url", 315}, {"图片类型", 96}};
  for (int i = 0; i < 3; ++i) {
    wchar_t text[64] = {};
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.pszText = text;
    col.cchTextMax = 64;
    ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&col)));
    EXPECT_EQ(WideToGbk(text), columns[i].title);
    EXPECT_EQ(col.cx, columns[i].width);
  }
}

TEST_F(MainWindowTest, ControlsBeyondTheWidthAndTheHelpPanelStartOutOfSight) {
  RECT client;
  GetClientRect(window_, &client);
  for (Control c : {Control::测试, Control::详情数据, Control::文本数据, Control::参数文本, Control::标签1}) {
    RECT r = RectInParent(ControlHandle(c));
    EXPECT_GE(r.left, client.right) << static_cast<int>(c);
  }
  EXPECT_GE(RectInParent(ControlHandle(Control::帮助分组)).top, client.bottom);
  // The help picture was decoded and scaled into the picture box.
  HBITMAP bitmap = reinterpret_cast<HBITMAP>(
      SendMessageW(ControlHandle(Control::图片框1), STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(bitmap, nullptr);
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 838);
  EXPECT_EQ(info.bmHeight, 342);
}

TEST_F(MainWindowTest, CreatedHandlerWelcomesThenCreatesTheOutputRoot) {
  ASSERT_EQ(log_.shown.size(), 1u);
  EXPECT_EQ(log_.shown[0].caption, "【岚栩】- 这是一个提示！");
  EXPECT_EQ(log_.shown[0].text, kWelcomeText);
  EXPECT_EQ(log_.shown[0].buttons & 0xF, static_cast<UINT>(MB_OK));
  EXPECT_EQ(log_.shown[0].owner, nullptr);
  EXPECT_EQ(log_.outputFolderWhenShown[0], "") << "the box comes before the rest of the handler";

  const std::string root = ProgramDirectory() + "\\岚栩图片工具箱\\";
  EXPECT_EQ(DefaultOutputRoot(), root);
  EXPECT_EQ(main_->outputRoot(), root);
  EXPECT_EQ(main_->harvest().outputFolder, root);
  DWORD attributes = GetFileAttributesW(GbkToWide(root).c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(MainWindowTest, HotKeysAreNumberedFrom33001) {
  EXPECT_EQ(main_->expandHotKeyId(), 33001);
  EXPECT_EQ(main_->collapseHotKeyId(), 33002);
}

TEST(MainWindowHotKeyTest, KeysHeldElsewhereGiveZeroWithoutAMessage) {
  // Another thread holds Page Up and Page Down as system-wide hot keys.
  HeldHotKeys holder({VK_PRIOR, VK_NEXT});
  ASSERT_TRUE(holder.holdsAll());

  int boxes = 0;
  WindowConfig config;
  config.answer = [&](const MessageBoxRequest&) {
    ++boxes;
    return static_cast<int>(kPressedOk);
  };
  {
    MainWindow window(config);
    ASSERT_TRUE(window.Create(GetModuleHandleW(nullptr)));
    EXPECT_EQ(window.expandHotKeyId(), 0);
    EXPECT_EQ(window.collapseHotKeyId(), 0);
    EXPECT_EQ(boxes, 1) << "only the welcome message";
  }
  PumpFor(20);
}

TEST_F(MainWindowTest, PublishPicturesNumbersRowsAcrossRunsAndKindsPerCall) {
  HWND list = ControlHandle(Control::images_列表框);
  main_->PublishPictures({"https://a/1.jpg", "https://a/2.jpg"}, "淘宝主图图片");
  main_->PublishPictures({"https://a/3.jpg"}, "淘宝SKU图片");
  main_->PublishPictures({"https://a/1.jpg"}, "淘宝主图图片");  // a second run: kind numbers restart
  ASSERT_EQ(ListViewRowCount(list), 4);
  const char* expected[4][3] = {{"1", "https://a/1.jpg", "淘宝主图图片1"},
                                {"2", "https://a/2.jpg", "淘宝主图图片2"},
                                {"3", "https://a/3.jpg", "淘宝SKU图片1"},
                                {"4", "https://a/1.jpg", "淘宝主图图片1"}};
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 3; ++col) EXPECT_EQ(ListViewCell(list, row, col), expected[row][col]);
}

TEST_F(MainWindowTest, AppendLinesAddsEachLineAtTheEnd) {
  HWND edit = ControlHandle(Control::文本数据);
  SetControlText(edit, "标题\r\n\r\n");
  SendMessageW(edit, EM_SETSEL, 0, 0);  // the caret elsewhere must not matter
  main_->AppendLines({"颜色分类：红色", "尺码：XL"});
  EXPECT_EQ(GetControlText(edit), "标题\r\n\r\n颜色分类：红色\r\n尺码：XL\r\n");
  // A long text is not cut at the edit box's default limit (30,000 characters). Just past it: the
  // edit box lays out a long unbroken line slowly under Wine.
  std::string big(32000, 'x');
  main_->AppendLines({big});
  EXPECT_EQ(GetControlText(edit).size(), std::string("标题\r\n\r\n颜色分类：红色\r\n尺码：XL\r\n").size() + 32002);
}

// The width a label's text takes in the label's font.
int LabelTextWidth(HWND label, const std::string& text) {
  const std::wstring wide = GbkToWide(text);
  HDC dc = GetDC(label);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, wide.data(), static_cast<int>(wide.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(label, dc);
  return size.cx;
}

ExtractionReport Report(Platform platform, int main, int sku, int detail) {
  ExtractionReport r;
  r.platform = platform;
  r.mainPictures = main;
  r.skuPictures = sku;
  r.detailPictures = detail;
  return r;
}

// A line longer than the status label shows what fits, then "…"; its tooltip holds the whole of
// the latest line; and the messages of an extraction say what matters in the part that shows.
TEST_F(MainWindowTest, TheStatusLineShowsWhatFitsAndItsTooltipTheWhole) {
  HWND label = ControlHandle(Control::岚栩_tim);
  HWND tip = main_->statusTip();
  ASSERT_NE(tip, nullptr);
  RECT client{};
  GetClientRect(label, &client);
  const std::string ellipsis = "…";

  ExtractionReport detailRefused = Report(Platform::Tmall, 3, 10, 0);
  detailRefused.detail = DetailTrouble::Refused;
  ExtractionReport login = Report(Platform::Taobao, 0, 0, 0);
  login.trouble = PageTrouble::LoginPage;
  ExtractionReport otherSite = Report(Platform::Taobao, 0, 0, 0);
  otherSite.trouble = PageTrouble::OtherPlatform;
  otherSite.linkPlatform = Platform::Jd;
  const struct {
    std::string message;
    std::string inSight;  // must show before the "…"
  } cases[] = {
      {ExtractionStatusText(Report(Platform::Taobao, 5, 6, 20)), "31张图片：主图5"},
      {ExtractionStatusText(detailRefused), "13张图片，详情图未能读取"},
      {ExtractionStatusText(login), "返回的是登录页"},
      {ExtractionStatusText(otherSite), "这是京东的链接，请点京东数据"},
      {"图片数据保存完成 天猫主图图片1", "图片数据保存完成"},
      {std::string(200, 'x') + "尾", std::string(20, 'x')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    main_->ShowStatus(c.message);
    const std::string whole = ToolTipText(tip, label);
    const std::string shown = GetControlText(label);
    EXPECT_TRUE(whole.ends_with(" - " + c.message)) << whole;
    EXPECT_NE(shown.find(c.inSight), std::string::npos) << shown;
    EXPECT_LE(LabelTextWidth(label, shown), client.right) << shown;
    if (LabelTextWidth(label, whole) <= client.right) {
      EXPECT_EQ(shown, whole);
      continue;
    }
    // As much as fits: one more character of the line would not.
    ASSERT_TRUE(shown.ends_with(ellipsis)) << shown;
    const std::string kept = shown.substr(0, shown.size() - ellipsis.size());
    ASSERT_EQ(whole.compare(0, kept.size(), kept), 0) << shown;
    const size_t next = static_cast<unsigned char>(whole[kept.size()]) >= 0x80 ? 2 : 1;
    EXPECT_GT(LabelTextWidth(label, whole.substr(0, kept.size() + next) + ellipsis), client.right) << shown;
  }

  // The mouse over the status line brings the tooltip up.
  RECT r{};
  GetWindowRect(label, &r);
  SetForegroundWindow(window_);
  SetCursorPos(r.left + 40, (r.top + r.bottom) / 2);
  PumpFor(50);
  SetCursorPos(r.left + 60, (r.top + r.bottom) / 2);
  EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(tip) != FALSE; }, 10000)) << "no tooltip over the status line";
  SetCursorPos(0, 0);
}

// Ctrl+A selects all of the link box and of the cookie box, so that what is typed next replaces
// it; the key types no character of its own.
TEST_F(MainWindowTest, CtrlASelectsTheWholeBox) {
  for (Control c : {Control::url, Control::cookie值}) {
    SCOPED_TRACE(static_cast<int>(c));
    HWND box = ControlHandle(c);
    SetControlText(box, "https://old.example/item.htm?id=1");
    SetForegroundWindow(window_);
    SetFocus(box);
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == box; }));
    SendMessageW(box, EM_SETSEL, 5, 5);
    TypeKey('A', true);
    const DWORD length = static_cast<DWORD>(GetWindowTextLengthW(box));
    EXPECT_TRUE(PumpUntil([&] {
      DWORD from = 1, to = 0;
      SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
      return from == 0 && to == length;
    }));
    EXPECT_EQ(GetControlText(box), "https://old.example/item.htm?id=1");
    TypeKey('X');
    EXPECT_TRUE(PumpUntil([&] { return GetControlText(box) == "x"; })) << GetControlText(box);
  }
}

struct SeenTasks {
  std::vector<int> order;
  std::vector<DWORD> threads;
};
struct PostingThread {
  HWND window;
  SeenTasks* seen;
};

DWORD WINAPI PostFiftyTasks(void* parameter) {
  const auto* posting = static_cast<const PostingThread*>(parameter);
  for (int i = 0; i < 50; ++i)
    PostUiTask(posting->window, [seen = posting->seen, i] {
      seen->order.push_back(i);
      seen->threads.push_back(GetCurrentThreadId());
    });
  return 0;
}

// Work done elsewhere reaches the window as tasks it runs on its own thread, in the order posted;
// a task that fails stays inside the window, and a stray message that carries no task is ignored.
TEST_F(MainWindowTest, PostedTasksRunOnTheWindowsThreadInOrder) {
  const DWORD windowThread = GetCurrentThreadId();
  SeenTasks seen;
  PostingThread posting{window_, &seen};
  UniqueHandle worker(CreateThread(nullptr, 0, PostFiftyTasks, &posting, 0, nullptr));
  ASSERT_TRUE(worker);
  EXPECT_EQ(WaitForSingleObject(worker.get(), 10000), WAIT_OBJECT_0);
  PostUiTask(window_, [] { throw std::runtime_error("a failing task"); });
  PostMessageW(window_, UiTaskMessage(), 0, 0x1234);
  PostUiTask(window_, [&seen] { seen.order.push_back(-1); });
  ASSERT_TRUE(PumpUntil([&] { return seen.order.size() == 51; }));
  std::vector<int> expected;
  for (int i = 0; i < 50; ++i) expected.push_back(i);
  expected.push_back(-1);
  EXPECT_EQ(seen.order, expected);
  for (DWORD thread : seen.threads) EXPECT_EQ(thread, windowThread);
  EXPECT_TRUE(IsWindow(window_));
}

TEST_F(MainWindowTest, TasksForAWindowThatIsGoneAreFreedWithoutRunning) {
  auto token = std::make_shared<int>(0);
  ASSERT_TRUE(PostUiTask(window_, [token] { ++*token; }));
  EXPECT_EQ(token.use_count(), 2);
  main_.reset();  // destroyed with the task still queued
  EXPECT_EQ(token.use_count(), 1);
  EXPECT_FALSE(PostUiTask(window_, [token] { ++*token; }));
  EXPECT_EQ(token.use_count(), 1);
  PumpFor(50);
  EXPECT_EQ(*token, 0);
}

// The real program, copied into a folder with a Chinese name: it welcomes, creates its output
// root below that folder with the name intact, and closes cleanly.
TEST(ProgramTest, RealProgramCreatesItsOutputRootBelowAChineseFolder) {
  const std::string bin = BinaryDir() + "/bin";
  const std::string folder =
      "/tmp/pt-program-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
  const std::wstring dir = WinePathOf(folder) + L"\\" + GbkToWide("岚栩测试目录");
  CreateDirectoryW(WinePathOf(folder).c_str(), nullptr);
  CreateDirectoryW(dir.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW((WinePathOf(bin) + L"\\PictureTool.exe").c_str(), (dir + L"\\PictureTool.exe").c_str(), FALSE));
  CopyFileW((WinePathOf(bin) + L"\\node.dll").c_str(), (dir + L"\\node.dll").c_str(), FALSE);

  std::wstring cmd = L"\"" + dir + L"\\PictureTool.exe\"";
  STARTUPINFOW si{sizeof si};
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi));

  // Answer the program's message boxes (the welcome message; a missing-engine notice if any).
  std::vector<std::string> captions;
  HWND main = nullptr;
  const std::wstring root = dir + L"\\" + GbkToWide("岚栩图片工具箱");
  for (int waited = 0; waited < 20000; waited += 50) {
    HWND box = TopLevelOf(pi.dwProcessId, L"#32770");
    // A box still being built has no caption yet: answer it once it has one.
    if (box && !GetControlText(box).empty()) {
      captions.push_back(GetControlText(box));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      Sleep(200);
    }
    main = FindWindowW(kMainWindowClass, nullptr);
    if (main && !captions.empty() && GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES) break;
    Sleep(50);
  }
  ASSERT_NE(main, nullptr);
  DWORD attributes = GetFileAttributesW(root.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << "output root below the Chinese folder";
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  bool welcomed = false;
  for (const std::string& c : captions) welcomed |= (c == "【岚栩】- 这是一个提示！");
  EXPECT_TRUE(welcomed) << ::testing::PrintToString(captions);

  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  EXPECT_EQ(code, 0u);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  RemoveTree(WideToGbk(WinePathOf(folder)) + "\\");
}

TEST(LocaleTest, RunsUnderTheLocaleItWasGiven) {
  // The window tests run once under a Chinese and once under an English locale; the program's
  // texts must come out the same either way, since it converts with code page 936 itself.
  const char* expected = std::getenv("PT_EXPECT_ACP");
  if (!expected) GTEST_SKIP() << "no locale requested";
  EXPECT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
}

}  // namespace
