// A batch in the real window, in-process: a batch file dropped from the file browser, where the
// batch stands in the status line and on the taskbar button, the buttons a batch ignores, the
// results file (read in any encoding an editor leaves, never overwritten when unreadable, shared
// by two copies of the program) and the one question at its end.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "browser/tests/browser_test_support.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/file_lock.h"
#include "runtime/handles.h"
#include "runtime/ui_task.h"
#include "tests/support/loopback_server.h"
#include "tests/support/message_pump.h"
#include "tests/support/test_files.h"
#include "tests/support/window_support.h"

namespace {

constexpr char kHeading[] = "链接\t平台\t结果\t主图\tSKU图\t详情图\t视频\t已保存\t未保存\t原因\r\n";

// What the file browser sends: one dropped file, its path wide.
HDROP DropOf(const std::wstring& path) {
  const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GHND, bytes);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), path.c_str(), path.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

ServerResponse Missing(int delayMs) {
  ServerResponse missing;
  missing.status = 404;
  missing.reason = "Not Found";
  missing.body = "gone";
  missing.delayMs = delayMs;
  return missing;
}

// The failed line a link answered with 404 gets.
std::string FailedLine(const std::string& link) {
  return link + "\t阿里\t失败\t0\t0\t0\t0\t0\t0\t页面获取失败（HTTP 404），请检查链接和网络（阿里数据）\r\n";
}

// UTF-16 with its mark, as Notepad saves "Unicode".
std::string Utf16Of(const std::string& gbk) {
  const std::wstring wide = GbkToWide(gbk);
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : wide) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return bytes;
}

// Windows on one output root whose boxes are answered (Yes to the batch's question) and recorded,
// their taskbar progress recorded too.
class BatchWindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    windows_.clear();
    PumpFor(20);
  }
  MainWindow& MakeWindow(const LoopbackServer& server) {
    WindowConfig config;
    config.hosts.timeProbeHost = server.HostPort();
    config.outputRoot = Root();
    config.answer = [this](const MessageBoxRequest& r) {
      asked_.push_back(r);
      return static_cast<int>((r.buttons & 0xF) == MB_YESNO ? kPressedYes : kPressedOk);
    };
    config.openFolder = [this](const std::string& folder) { opened_.push_back(folder); };
    config.progress = &progress_;
    windows_.push_back(std::make_unique<MainWindow>(config));
    EXPECT_TRUE(windows_.back()->Create(GetModuleHandleW(nullptr)));
    asked_.clear();  // the welcome
    return *windows_.back();
  }
  std::string Root() const { return root_.path() + "\\"; }
  std::string ResultsPath() const { return Root() + "批量结果.txt"; }
  void Drop(MainWindow& window, const std::string& name, const std::string& batch) {
    const std::string file = Root() + name;
    ASSERT_TRUE(WriteFileBytes(file, batch));
    SendMessageW(window.handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(GbkToWide(file))), 0);
  }
  std::string Label(const MainWindow& window) const {
    return ToolTipText(window.statusTip(), window.control(Control::岚栩_tim));
  }

  TempFolder root_{"岚栩批量"};
  std::vector<std::unique_ptr<MainWindow>> windows_;
  std::vector<MessageBoxRequest> asked_;
  std::vector<std::string> opened_;
  ProgressRecorder progress_;
};

TEST_F(BatchWindowTest, ADroppedBatchFileRunsWithTheButtonsIgnoredAndAsksOnceAtTheEnd) {
  LoopbackServer server;
  server.Route("/offer.html", Missing(1500));
  ASSERT_TRUE(server.Start());
  MainWindow& window = MakeWindow(server);

  SetControlText(window.control(Control::cookie值), "t=1");
  Drop(window, "链接.txt", "# 两行\r\n阿里数据 " + server.Url("/offer.html") + "\r\n这不是链接\r\n");
  // Clicks and a look at the window, all handled while the first page is awaited (the extraction
  // answers the window's messages meanwhile): the clear, platform and download buttons change
  // nothing, and a login button leaves the cookie box the further items read.
  for (Control button : {Control::数据_清空, Control::淘宝_按钮, Control::数据_下载, Control::载入淘宝})
    PostMessageW(window.control(button), BM_CLICK, 0, 0);
  bool extracting = false;
  std::string during, linkDuring;
  PostUiTask(window.handle(), [&] {
    extracting = window.ExtractionRunning() && window.BatchRunning();
    during = Label(window);
    linkDuring = GetControlText(window.control(Control::url));
  });

  ASSERT_TRUE(PumpUntil([&] { return !asked_.empty(); }, 30000)) << Label(window);
  EXPECT_TRUE(extracting);
  EXPECT_NE(during.find(" - 批量 1/2：读取 http://"), std::string::npos) << during;
  EXPECT_EQ(linkDuring, server.Url("/offer.html"));
  EXPECT_EQ(GetControlText(window.control(Control::cookie值)), "t=1");
  EXPECT_FALSE(window.BatchRunning());
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].text, "批量完成：共2个链接，完成0个，部分失败0个，失败2个，跳过0个，是否打开文件夹查看？");
  EXPECT_EQ(asked_[0].caption, "岚栩 - 提示");
  EXPECT_EQ(opened_, std::vector<std::string>{Root()});
  EXPECT_EQ(server.Requests().size(), 1u) << "the ignored clicks fetched nothing";
  EXPECT_EQ(ReadFileBytes(ResultsPath()), kHeading + FailedLine(server.Url("/offer.html")) +
                                              "这不是链接\t未知\t失败\t0\t0\t0\t0\t0\t0\t这一行不是链接\r\n");
  // Items done of all on the taskbar button, marked once one failed, and nothing once it ended.
  EXPECT_EQ(progress_.reports, (std::vector<std::string>{"0/2", "1/2 failed", "end"}));
}

// Links as users copy them, without a scheme, are asked for over https; a line whose button name
// is not its link's site's fails in the batch's words, without a request.
TEST_F(BatchWindowTest, LinksWithoutASchemeAndButtonNamesOfAnotherSite) {
  LoopbackServer server;
  server.Route("/offer.html", Missing(0));
  ASSERT_TRUE(server.Start());
  MainWindow& window = MakeWindow(server);
  const std::string copied = server.TlsHostPort() + "/offer.html";
  const std::string mismatched = "https://item.taobao.com/item.htm?id=1";

  Drop(window, "链接.txt", "阿里数据 " + copied + "\r\n京东数据 " + mismatched + "\r\n");

  ASSERT_TRUE(PumpUntil([&] { return !asked_.empty(); }, 30000)) << Label(window);
  EXPECT_EQ(server.LastRequestFor("/offer.html", 0).port, server.tlsPort());
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(ReadFileBytes(ResultsPath()),
            kHeading + FailedLine(copied) + mismatched + "\t京东\t失败\t0\t0\t0\t0\t0\t0\t按钮名与链接不符：这是淘宝的链接\r\n");
}

// Two copies of the program run batches into one output root: every write takes the file as it
// stands, so neither loses the other's lines. A lock file a crashed copy left behind blocks neither.
TEST_F(BatchWindowTest, TwoCopiesOnOneOutputRootKeepEachOthersResults) {
  LoopbackServer server;
  for (const char* path : {"/a1.html", "/a2.html", "/b1.html", "/b2.html"}) server.Route(path, Missing(200));
  ASSERT_TRUE(server.Start());
  MainWindow& first = MakeWindow(server);
  MainWindow& second = MakeWindow(server);
  ASSERT_TRUE(WriteFileBytes(ResultsPath() + ".lock", ""));

  Drop(first, "a.txt", "阿里数据 " + server.Url("/a1.html") + "\r\n阿里数据 " + server.Url("/a2.html") + "\r\n");
  Drop(second, "b.txt", "阿里数据 " + server.Url("/b1.html") + "\r\n阿里数据 " + server.Url("/b2.html") + "\r\n");
  ASSERT_TRUE(first.BatchRunning() && second.BatchRunning());
  ASSERT_TRUE(PumpUntil([&] { return asked_.size() == 2; }, 30000)) << Label(first) << " / " << Label(second);

  const std::string results = ReadFileBytes(ResultsPath());
  EXPECT_TRUE(results.starts_with(kHeading)) << results;
  for (const char* path : {"/a1.html", "/a2.html", "/b1.html", "/b2.html"})
    EXPECT_NE(results.find(FailedLine(server.Url(path))), std::string::npos) << path << "\n" << results;
  EXPECT_EQ(results.size(), std::string(kHeading).size() + 4 * FailedLine(server.Url("/a1.html")).size());
  EXPECT_FALSE(FileExists(ResultsPath() + ".lock")) << "the lock goes with its last holder";
}

// The lock another copy holds is waited for; a lock file nobody holds is none.
TEST(ResultsFileLockTest, HeldLocksAreWaitedForAndLeftFilesAreNoLocks) {
  TempFolder folder{"岚栩锁"};
  const std::string path = folder.path() + "\\批量结果.txt.lock";
  {
    FileLock held(path, 0);
    ASSERT_TRUE(held.held());
    const DWORD start = GetTickCount();
    FileLock waiting(path, 200);
    EXPECT_FALSE(waiting.held());
    EXPECT_GE(GetTickCount() - start, 150u);
  }
  EXPECT_FALSE(FileExists(path));
  ASSERT_TRUE(WriteFileBytes(path, "left by a copy that crashed"));
  FileLock again(path, 0);
  EXPECT_TRUE(again.held());
}

// A results file the batch cannot read is never replaced by one without its lines: the batch does
// not start, and a message names the file and the reason.
TEST_F(BatchWindowTest, AResultsFileThatCannotBeReadStopsTheBatchBeforeItsFirstItem) {
  LoopbackServer server;
  server.Route("/offer.html", Missing(0));
  ASSERT_TRUE(server.Start());
  MainWindow& window = MakeWindow(server);
  const std::string earlier = std::string(kHeading) + "https://x\t阿里\t完成\t1\t0\t0\t0\t1\t0\t\r\n";
  struct Row {
    const char* name;
    std::string bytes;
    bool hold;                 // held open by another program that shares nothing
    long long size;            // made this large (0: as written)
    const char* reason;
  } rows[] = {
      {"held open", earlier, true, 0, "文件被其他程序占用"},
      {"too large", earlier, false, (64ll << 20) + 1, "文件超过64MB"},
      {"UTF-16 without its mark", Utf16Of(earlier).substr(2), false, 0, "不是GBK、UTF-8或UTF-16编码的文本"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    ASSERT_TRUE(WriteFileBytes(ResultsPath(), r.bytes));
    if (r.size > 0) {
      UniqueFile f(CreateFileW(GbkToWide(ResultsPath()).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      LARGE_INTEGER end{};
      end.QuadPart = r.size;
      ASSERT_TRUE(f && SetFilePointerEx(f.get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(f.get()));
    }
    UniqueFile holder;
    if (r.hold)
      holder.reset(CreateFileW(GbkToWide(ResultsPath()).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    asked_.clear();
    Drop(window, "链接.txt", "阿里数据 " + server.Url("/offer.html") + "\r\n");
    EXPECT_FALSE(window.BatchRunning());
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(asked_[0].text, "无法读取" + ResultsPath() + "：" + r.reason +
                                  std::string(r.hold ? "，请关闭它后再试" : r.size ? "，请把它移到别处后再开始批量" : "") +
                                  "。\r\n\r\n为了不丢失其中已有的结果，批量没有开始。");
    EXPECT_NE(Label(window).find(" - 批量没有开始：批量结果.txt无法读取（"), std::string::npos) << Label(window);
    holder.reset();
    if (r.size == 0) {
      EXPECT_EQ(ReadFileBytes(ResultsPath()), r.bytes);
    }
  }
  PumpFor(200);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_TRUE(progress_.reports.empty());
}

// An editor may save the results file as UTF-16: it is read as such, its saved links are skipped
// and its lines kept, and it is written back as the batch writes it.
TEST_F(BatchWindowTest, AResultsFileSavedAsUtf16IsReadAndKeptWhole) {
  LoopbackServer server;
  server.Route("/saved.html", Missing(0));
  server.Route("/new.html", Missing(0));
  ASSERT_TRUE(server.Start());
  MainWindow& window = MakeWindow(server);
  const std::string saved = server.Url("/saved.html") + "\t阿里\t完成\t3\t1\t5\t1\t9\t0\t\r\n";
  const std::string other = "https://x\t阿里\t部分失败\t1\t0\t0\t0\t0\t1\t1张图片中有1张未能保存\r\n";
  ASSERT_TRUE(WriteFileBytes(ResultsPath(), Utf16Of(kHeading + saved + other)));

  Drop(window, "链接.txt", "阿里数据 " + server.Url("/saved.html") + "\r\n阿里数据 " + server.Url("/new.html") + "\r\n");
  ASSERT_TRUE(PumpUntil([&] { return !asked_.empty(); }, 30000)) << Label(window);
  EXPECT_EQ(asked_[0].text, "批量完成：共2个链接，完成0个，部分失败0个，失败1个，跳过1个，是否打开文件夹查看？");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].Target(), "/new.html");
  EXPECT_EQ(ReadFileBytes(ResultsPath()),
            kHeading + server.Url("/saved.html") + "\t阿里\t已跳过\t3\t1\t5\t1\t9\t0\t\r\n" +
                FailedLine(server.Url("/new.html")) + other);
}

// A results file that cannot be written (held by a spreadsheet program, say) is named in the
// question at the end, where it cannot be missed.
TEST_F(BatchWindowTest, AResultsFileThatCannotBeWrittenIsNamedInTheQuestion) {
  LoopbackServer server;
  server.Route("/offer.html", Missing(0));
  ASSERT_TRUE(server.Start());
  MainWindow& window = MakeWindow(server);
  // The whole file is written beside it first, under this name.
  ASSERT_TRUE(CreateDirectoryW(GbkToWide(ResultsPath() + ".part").c_str(), nullptr));

  Drop(window, "链接.txt", "阿里数据 " + server.Url("/offer.html") + "\r\n");
  ASSERT_TRUE(PumpUntil([&] { return !asked_.empty(); }, 30000)) << Label(window);
  EXPECT_EQ(asked_[0].text,
            "批量完成：共1个链接，完成0个，部分失败0个，失败1个，跳过0个，批量结果.txt未能写入，是否打开文件夹查看？");
  EXPECT_FALSE(FileExists(ResultsPath()));
}

}  // namespace
