// The download button of the real window: the snapshot it takes of the harvest, the save on its
// worker thread, the status line that comes back through the window's task messages, and the
// window (in-process, and the real program) closed in the middle of a save.
#include <windows.h>
// After windows.h, which commctrl.h needs.
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/startup.h"
#include "browser/tests/browser_test_support.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/handles.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_files.h"
#include "tests/support/message_pump.h"
#include "tests/support/window_support.h"

namespace {

const char kProbeDate[] = "Sun, 06 Dec 2026 09:45:33 GMT";
// An offer is filed under the offer number of its link; its video keeps the video id's name.
const char kOfferPath[] = "/offer/610000000001.html";
const char kItemId[] = "610000000001";
constexpr size_t kPictureBytes = 20 * 1024;

std::string Numbered(const std::string& prefix, int n) {
  std::string out = prefix;
  out += std::to_string(n);
  return out;
}

// An Alibaba offer page: its item id, a video and the address of its description document.
std::string OfferPage(const std::string& descUrl) {
  return "<html><head><title>演示商品-阿里巴巴</title></head><body>\n"
         "<div data-video='{\"videoId\":\"350123456789\",\"userId\":\"2100000003\",\"title\":\"x\"}'></div>\n"
         "<div data-tfs-url=\"" + descUrl + "\" data-enable=\"true\"></div>\n</body></html>\n";
}

// The description document, naming `count` pictures on the picture server.
std::string DescDocument(const LoopbackServer& pictures, int count) {
  std::string doc = "var offer_details={\"content\":\"<p>";
  for (int i = 1; i <= count; ++i) doc += "<img src=\\\"" + pictures.Url(Numbered("/pic/", i) + ".jpg") + "\\\" />";
  return doc + "</p>\"};";
}

ServerResponse Gbk(const std::string& utf8Text, int delayMs = 0) {
  ServerResponse r;
  r.headers = {{"Content-Type", "text/html"}};
  r.body = utf8Text;
  r.convertFrom = "utf-8";
  r.convertTo = "gbk";
  r.delayMs = delayMs;
  return r;
}

// The picture server (pictures, the video and the time probe's page), the description server
// (whose document names the pictures) and the offer server (whose page names the description):
// each starts once the one it names runs.
struct Shop {
  LoopbackServer pictures;
  LoopbackServer desc;
  LoopbackServer pages;
  // Pictures past the first `answered` (when given) are never answered.
  bool Start(int count, int pictureDelayMs, int descDelayMs = 0, int answered = -1) {
    ServerResponse probe;
    probe.headers = {{"Date", kProbeDate}};
    pictures.Route("/", probe);
    ServerResponse picture;
    picture.body = std::string(kPictureBytes, 'j');
    picture.headers = {{"Content-Type", "image/jpeg"}};
    picture.delayMs = pictureDelayMs;
    if (answered < 0) {
      pictures.Default(picture);
    } else {
      for (int i = 1; i <= answered; ++i) pictures.Route(Numbered("/pic/", i) + ".jpg", picture);
      ServerResponse hang;
      hang.mode = "hang";
      pictures.Default(hang);
    }
    ServerResponse video;
    video.body = std::string(3000, 'v');
    pictures.Route("/play/u/2100000003/p/2/e/6/t/1/350123456789.mp4", video);
    if (!pictures.Start()) return false;
    desc.Route("/desc.js", Gbk(DescDocument(pictures, count), descDelayMs));
    if (!desc.Start()) return false;
    pages.Route(kOfferPath, Gbk(OfferPage(desc.Url("/desc.js"))));
    return pages.Start();
  }
};

size_t HeadRequests(const LoopbackServer& server) {
  size_t n = 0;
  for (const RecordedRequest& r : server.Requests()) n += r.Method() == "HEAD";
  return n;
}

size_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(GbkToWide(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return data.nFileSizeLow;
}

// Every file a stopped save left is a whole picture.
void ExpectOnlyWholePictures(const std::string& folder, size_t* count) {
  const std::set<std::string> files = ListFolder(folder);
  for (const std::string& name : files) {
    EXPECT_TRUE(name.ends_with(".jpg")) << name;
    EXPECT_EQ(FileSize(folder + name), kPictureBytes + 4) << name;
  }
  *count = files.size();
}

struct Asked {
  MessageBoxRequest request;
  DWORD thread;
};

class SaveCommandsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    main_.reset();
    PumpFor(20);
  }

  void MakeWindow(const Shop& shop) {
    WindowConfig config;
    config.hosts.endpoints.TaobaoVideoHost = shop.pictures.HostPort();
    config.hosts.timeProbeHost = shop.pictures.HostPort();
    config.outputRoot = root_.path() + "\\";
    config.answer = [this](const MessageBoxRequest& r) {
      std::lock_guard<std::mutex> lock(mutex_);
      asked_.push_back({r, GetCurrentThreadId()});
      return static_cast<int>((r.buttons & 0xF) == MB_YESNO ? kPressedNo : kPressedOk);
    };
    config.openFolder = [](const std::string&) {};
    config.progress = &progress_;
    main_ = std::make_unique<MainWindow>(config);
    ASSERT_TRUE(main_->Create(GetModuleHandleW(nullptr)));
  }
  HWND ControlHandle(Control c) const { return main_->control(c); }
  void Click(Control c) { SendMessageW(ControlHandle(c), BM_CLICK, 0, 0); }
  // The whole latest status line: the label shows a long one shortened, its tooltip whole.
  std::string Label() const { return ToolTipText(main_->statusTip(), ControlHandle(Control::岚栩_tim)); }
  void Extract(const Shop& shop) {
    SetControlText(ControlHandle(Control::url), shop.pages.Url(kOfferPath));
    Click(Control::阿里_按钮);
  }
  std::vector<Asked> Questions() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Asked> questions;
    for (const Asked& a : asked_)
      if ((a.request.buttons & 0xF) == MB_YESNO) questions.push_back(a);
    return questions;
  }
  bool SaveEnds() {
    return PumpUntil([&] { return !main_->SaveRunning() && Label().ends_with(" - 所有图片保存完成"); }, 60000);
  }
  std::string ItemFolder() const { return root_.path() + "\\" + kItemId + "\\"; }

  TempFolder root_{"岚栩保存"};
  std::unique_ptr<MainWindow> main_;
  std::mutex mutex_;
  std::vector<Asked> asked_;
  ProgressRecorder progress_;
};

TEST_F(SaveCommandsTest, DownloadSavesTheHarvestAndItsStatusLinesReachTheLabel) {
  Shop shop;
  ASSERT_TRUE(shop.Start(3, 0));
  MakeWindow(shop);
  Extract(shop);
  ASSERT_EQ(ListViewRowCount(ControlHandle(Control::images_列表框)), 3);
  SetControlText(ControlHandle(Control::文本数据), "演示商品\r\n");

  Click(Control::数据_下载);
  ASSERT_TRUE(SaveEnds()) << Label();
  EXPECT_EQ(main_->harvest().outputFolder, ItemFolder());
  EXPECT_EQ(ListFolder(ItemFolder()),
            (std::set<std::string>{"阿里详情图片1.jpg", "阿里详情图片2.jpg", "阿里详情图片3.jpg",
                                   "610000000001   SKU与标题.txt", "350123456789主图视频 .mp4"}));

  const std::vector<Asked> questions = Questions();
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].request.text, "保存成功，是否打开文件夹查看？");
  EXPECT_EQ(questions[0].request.caption, "岚栩 - 提示");
  EXPECT_EQ(questions[0].request.owner, nullptr);
  EXPECT_NE(questions[0].thread, GetCurrentThreadId()) << "asked by the worker, the window stays free";

  // One time probe for the whole save; once it answered, the window stamps any message with it.
  EXPECT_EQ(HeadRequests(shop.pictures), 1u);
  EXPECT_TRUE(PumpUntil([&] { return main_->StampStatus("淘宝数据").starts_with("2026年12月6日17时45分"); }, 10000))
      << main_->StampStatus("淘宝数据");
  main_->ShowStatus("阿里数据");
  EXPECT_TRUE(Label().starts_with("2026年12月6日17时45分")) << Label();
  EXPECT_TRUE(Label().ends_with(" - 阿里数据")) << Label();
}

// Pictures done of all on the taskbar button, in row order, marked once one failed; nothing once
// the question was answered.
TEST_F(SaveCommandsTest, TheTaskbarButtonShowsThePicturesDone) {
  for (const bool failing : {false, true}) {
    SCOPED_TRACE(failing ? "the second picture fails" : "every picture saved");
    Shop shop;
    ServerResponse missing;
    missing.status = 404;
    if (failing) shop.pictures.Route("/pic/2.jpg", missing);
    ASSERT_TRUE(shop.Start(3, 0));
    MakeWindow(shop);
    progress_.reports.clear();
    Extract(shop);
    Click(Control::数据_下载);
    ASSERT_TRUE(PumpUntil([&] { return !progress_.reports.empty() && progress_.reports.back() == "end"; }, 60000))
        << Label();
    const std::vector<std::string> expected =
        failing ? std::vector<std::string>{"0/3", "1/3", "2/3 failed", "3/3 failed", "end"}
                : std::vector<std::string>{"0/3", "1/3", "2/3", "3/3", "end"};
    EXPECT_EQ(progress_.reports, expected);
  }
}

// Nothing listed (a fresh window, or one whose press found nothing): the download writes nothing,
// asks nothing and says why.
TEST_F(SaveCommandsTest, DownloadWithAnEmptyListWritesNothingAndSaysSo) {
  Shop shop;
  ASSERT_TRUE(shop.Start(3, 0));
  MakeWindow(shop);
  SetControlText(ControlHandle(Control::文本数据), "标题\r\n");
  Click(Control::数据_下载);
  EXPECT_FALSE(main_->SaveRunning());
  EXPECT_TRUE(Label().ends_with(" - 列表里没有图片，请先获取商品数据（下载数据）")) << Label();
  PumpFor(300);
  EXPECT_EQ(ListFolder(root_.path() + "\\"), std::set<std::string>{});
  EXPECT_TRUE(Questions().empty());
}

TEST_F(SaveCommandsTest, DownloadIsIgnoredWhileAnExtractionRuns) {
  Shop shop;
  ASSERT_TRUE(shop.Start(3, 0, 800));
  MakeWindow(shop);
  SetControlText(ControlHandle(Control::url), shop.pages.Url(kOfferPath));
  // The download click waits in the queue and arrives while the extraction fetches its pages.
  PostMessageW(ControlHandle(Control::数据_下载), BM_CLICK, 0, 0);
  Click(Control::阿里_按钮);
  PumpFor(300);
  EXPECT_FALSE(main_->SaveRunning());
  EXPECT_EQ(ListFolder(root_.path() + "\\"), std::set<std::string>{}) << "nothing saved, no folder made";
  EXPECT_TRUE(Questions().empty());
  EXPECT_EQ(HeadRequests(shop.pictures), 0u);
  // The status line tells what the extraction found, and nothing of a save.
  EXPECT_TRUE(Label().ends_with(" - 3张图片：主图0，SKU图0，详情图3，视频1个（阿里数据）")) << Label();

  // Afterwards the button saves what the extraction found.
  Click(Control::数据_下载);
  ASSERT_TRUE(SaveEnds());
  EXPECT_EQ(ListFolder(ItemFolder()).size(), 5u);
}

TEST_F(SaveCommandsTest, ClearExtractAndDownloadDuringASaveChangeNothingOfIt) {
  const int kRows = 20;
  Shop shop;
  // Pictures go six at a time: slow ones keep the save running through the clicks below.
  ASSERT_TRUE(shop.Start(kRows, 1000));
  MakeWindow(shop);
  Extract(shop);
  SetControlText(ControlHandle(Control::文本数据), "标题A\r\n");
  Click(Control::数据_下载);
  EXPECT_TRUE(main_->SaveRunning());

  Click(Control::数据_清空);
  EXPECT_EQ(main_->harvest().outputFolder, "");
  Extract(shop);
  SetControlText(ControlHandle(Control::文本数据), "标题B\r\n");
  ListViewAppendRow(ControlHandle(Control::images_列表框), {"99", shop.pictures.Url("/extra.jpg"), "额外图片1"});
  ASSERT_TRUE(main_->SaveRunning());
  Click(Control::数据_下载);  // ignored: one save at a time

  ASSERT_TRUE(SaveEnds());
  std::set<std::string> expected{"610000000001   SKU与标题.txt", "350123456789主图视频 .mp4"};
  for (int i = 1; i <= kRows; ++i) expected.insert(Numbered("阿里详情图片", i) + ".jpg");
  EXPECT_EQ(ListFolder(ItemFolder()), expected);
  const std::string text = GetControlText(ControlHandle(Control::文本数据));
  EXPECT_EQ(text, "标题B\r\n");
  EXPECT_EQ(FileSize(ItemFolder() + "610000000001   SKU与标题.txt"), std::string("标题A\r\n").size());
  EXPECT_EQ(Questions().size(), 1u);
}

TEST_F(SaveCommandsTest, ClosingTheWindowStopsTheSaveAtThePictureBoundary) {
  const int kRows = 60;
  Shop shop;
  ASSERT_TRUE(shop.Start(kRows, 60));
  MakeWindow(shop);
  Extract(shop);
  Click(Control::数据_下载);
  ASSERT_TRUE(PumpUntil([&] { return ListFolder(ItemFolder()).size() >= 5; }, 30000));

  const DWORD closing = GetTickCount();
  DestroyWindow(main_->handle());
  const DWORD took = GetTickCount() - closing;
  EXPECT_LT(took, 1000u) << "the picture under way takes 60 ms";
  EXPECT_FALSE(main_->SaveRunning());

  size_t saved = 0;
  ExpectOnlyWholePictures(ItemFolder(), &saved);
  EXPECT_LT(saved, static_cast<size_t>(kRows));
  Sleep(300);
  size_t later = 0;
  ExpectOnlyWholePictures(ItemFolder(), &later);
  EXPECT_EQ(later, saved) << "nothing written after the window went";
  EXPECT_TRUE(Questions().empty());
}

std::string MessageText(HWND box) {
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (WindowClassName(child) == "Static" && !GetControlText(child).empty()) return GetControlText(child);
  return {};
}

bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); !done(); Sleep(20))
    if (GetTickCount() - start > timeoutMs) return false;
  return true;
}

// The real program, started with a hosts file that puts the time probe and the video host on the
// test's server.
class ProgramSaveTest : public ::testing::Test {
 protected:
  void Start(const std::string& hostsText) {
    ASSERT_TRUE(CopyInto(BinFile("PictureTool.exe"), folder_.File("PictureTool.exe")));
    ASSERT_TRUE(CopyInto(BinFile("node.dll"), folder_.File("node.dll")));
    HANDLE file = CreateFileW(GbkToWide(folder_.File("hosts.txt")).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, hostsText.data(), static_cast<DWORD>(hostsText.size()), &written, nullptr);
    CloseHandle(file);
    // A relative path: read from the folder the program is started in.
    program_ = std::make_unique<RunningProgram>(folder_.File("PictureTool.exe"),
                                                std::vector<std::string>{"--hosts", "hosts.txt"}, folder_.path());
    ASSERT_TRUE(program_->started());
    ASSERT_TRUE(WaitFor(
        [&] {
          HWND box = TopLevelOf(program_->id(), L"#32770");
          if (!box || GetControlText(box).empty()) return false;
          boxes_.push_back({GetControlText(box), MessageText(box)});
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          WaitFor([&] { return !IsWindow(box); }, 10000);
          return boxes_.back().first == "【岚栩】- 这是一个提示！";
        },
        30000))
        << "no welcome message";
    main_ = TopLevelOf(program_->id(), kMainWindowClass);
    ASSERT_NE(main_, nullptr);
  }
  HWND ControlOf(Control c) const { return DescendantWithId(main_, ControlCommandId(c)); }
  bool Click(Control c) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(ControlOf(c), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 60000, &result) != 0;
  }
  std::string ItemFolder() const { return folder_.File("岚栩图片工具箱") + "\\" + kItemId + "\\"; }
  // Closes the window; the milliseconds until the process has ended (with code 0).
  DWORD MsFromCloseToEnd() {
    const DWORD closing = GetTickCount();
    PostMessageW(main_, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    const bool ended = program_->Wait(10000, &exitCode);
    const DWORD took = GetTickCount() - closing;
    EXPECT_TRUE(ended) << "the program did not end";
    EXPECT_EQ(exitCode, 0u);
    return took;
  }

  TempFolder folder_{"岚栩程序保存"};
  std::unique_ptr<RunningProgram> program_;
  std::vector<std::pair<std::string, std::string>> boxes_;
  HWND main_ = nullptr;
};

// The close cuts off the pictures in flight, which here would never come: the process ends within
// the window's half-second bound for the save (and its own end), with whole pictures only.
TEST_F(ProgramSaveTest, ClosedInTheMiddleOfA200PictureSaveTheProgramEndsPromptly) {
  Shop shop;
  ASSERT_TRUE(shop.Start(200, 25, 0, 20));
  Start("# the test's shop\r\nTimeProbeHost=" + shop.pictures.HostPort() + "\r\nTaobaoVideoHost=" +
        shop.pictures.HostPort() + "\r\n");
  ASSERT_EQ(boxes_.size(), 1u) << "the hosts file was read without a complaint";

  SetControlText(ControlOf(Control::url), shop.pages.Url(kOfferPath));
  ASSERT_TRUE(Click(Control::阿里_按钮));
  ASSERT_EQ(SendMessageW(ControlOf(Control::images_列表框), LVM_GETITEMCOUNT, 0, 0), 200);
  ASSERT_TRUE(Click(Control::数据_下载));
  ASSERT_TRUE(WaitFor([&] { return ListFolder(ItemFolder()).size() >= 20; }, 60000));

  const DWORD took = MsFromCloseToEnd();
  EXPECT_LT(took, 1500u) << "the process ended " << took << " ms after the close";

  size_t saved = 0;
  ExpectOnlyWholePictures(ItemFolder(), &saved);
  EXPECT_EQ(saved, 20u);
  EXPECT_EQ(HeadRequests(shop.pictures), 1u) << "the time probe went to the host of the hosts file";
}

// Closed while a page loads (one that never comes), the program ends within a second, and has
// written nothing.
TEST_F(ProgramSaveTest, ClosedWhileAPageLoadsTheProgramEndsWithinASecond) {
  LoopbackServer pages;
  ServerResponse hang;
  hang.mode = "hang";
  pages.Route("/item.htm", hang);
  ASSERT_TRUE(pages.Start());
  Start("# nothing replaced\r\n");
  SetControlText(ControlOf(Control::url), pages.Url("/item.htm?id=601234567890"));
  PostMessageW(ControlOf(Control::淘宝_按钮), BM_CLICK, 0, 0);
  ASSERT_FALSE(pages.LastRequestFor("/item.htm?id=601234567890", 30000).raw.empty());

  const DWORD took = MsFromCloseToEnd();
  EXPECT_LT(took, 1000u) << "the process ended " << took << " ms after the close";
  EXPECT_EQ(ListFolder(folder_.File("岚栩图片工具箱") + "\\"), std::set<std::string>{});
}

TEST_F(ProgramSaveTest, AHostsFileWithMistakesIsReportedBeforeTheWelcome) {
  Start("TimeProbeHost=127.0.0.1:9\r\nNope=1\r\nJdImageHost=http://x/\r\n");
  ASSERT_EQ(boxes_.size(), 2u);
  EXPECT_EQ(boxes_[0].first, "【岚栩】- 启动参数");
  EXPECT_NE(boxes_[0].second.find("第2行：未知的名称：Nope"), std::string::npos) << boxes_[0].second;
  EXPECT_NE(boxes_[0].second.find("第3行：JdImageHost 的值不是主机名：http://x/"), std::string::npos)
      << boxes_[0].second;
  PostMessageW(main_, WM_CLOSE, 0, 0);
  DWORD exitCode = 1;
  ASSERT_TRUE(program_->Wait(10000, &exitCode));
  EXPECT_EQ(exitCode, 0u);
}

TEST(StartupSettingsTest, TheHostsOptionReadsItsFileAndEverythingElseIsReported) {
  TempFolder folder("启动参数");
  const std::string path = folder.File("演示.txt");
  HANDLE file = CreateFileW(GbkToWide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const std::string text = "TaobaoDescHost=127.0.0.1:81\r\nTaobaoLoginPage=http://127.0.0.1:81/login\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);

  const StartupSettings plain = ReadStartupSettings(L"PictureTool.exe");
  EXPECT_TRUE(plain.problems.empty());
  EXPECT_EQ(plain.config.hosts.endpoints.TaobaoDescHost, kTaobaoDescHost);
  EXPECT_EQ(plain.config.hosts.timeProbeHost, kTimeProbeHost);

  const StartupSettings hosts = ReadStartupSettings((L"PictureTool.exe --hosts \"" + GbkToWide(path) + L"\"").c_str());
  EXPECT_TRUE(hosts.problems.empty()) << hosts.problems.front();
  EXPECT_EQ(hosts.config.hosts.endpoints.TaobaoDescHost, "127.0.0.1:81");
  EXPECT_EQ(hosts.config.hosts.endpoints.JdImageHost, kJdImageHost);
  EXPECT_EQ(hosts.config.hosts.taobaoLoginPage, "http://127.0.0.1:81/login");

  const struct {
    std::wstring commandLine;
    std::string problem;
  } rows[] = {
      {L"PictureTool.exe --hosts", "--hosts 后面缺少主机文件的路径"},
      {L"PictureTool.exe --hosts missing.txt", "无法读取主机文件：missing.txt"},
      {L"PictureTool.exe --verbose", "未知的命令行参数：--verbose"},
  };
  for (const auto& row : rows) {
    const StartupSettings s = ReadStartupSettings(row.commandLine.c_str());
    ASSERT_EQ(s.problems.size(), 1u) << row.problem;
    EXPECT_EQ(s.problems[0], row.problem);
    EXPECT_EQ(s.config.hosts.endpoints.TaobaoDescHost, kTaobaoDescHost);
  }
}

}  // namespace
