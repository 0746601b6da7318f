// A batch in the real window, in-process: a batch file dropped from the file browser, where the
// batch stands in the status line, the buttons a batch ignores, the results file and the one
// question at its end.
#include <windows.h>
#include <shlobj.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "browser/tests/browser_test_support.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/ui_task.h"
#include "tests/support/loopback_server.h"
#include "tests/support/message_pump.h"
#include "tests/support/test_files.h"
#include "tests/support/window_support.h"

namespace {

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

TEST(BatchCommandsTest, ADroppedBatchFileRunsWithTheButtonsIgnoredAndAsksOnceAtTheEnd) {
  LoopbackServer server;
  ServerResponse missing;
  missing.status = 404;
  missing.reason = "Not Found";
  missing.body = "gone";
  missing.delayMs = 1500;
  server.Route("/offer.html", missing);
  ASSERT_TRUE(server.Start());

  TempFolder root{"岚栩批量"};
  std::vector<MessageBoxRequest> asked;
  std::vector<std::string> opened;
  WindowConfig config;
  config.hosts.timeProbeHost = server.HostPort();
  config.outputRoot = root.path() + "\\";
  config.answer = [&](const MessageBoxRequest& r) {
    asked.push_back(r);
    return static_cast<int>((r.buttons & 0xF) == MB_YESNO ? kPressedYes : kPressedOk);
  };
  config.openFolder = [&](const std::string& folder) { opened.push_back(folder); };
  MainWindow window(config);
  ASSERT_TRUE(window.Create(GetModuleHandleW(nullptr)));
  asked.clear();  // the welcome
  auto label = [&] { return ToolTipText(window.statusTip(), window.control(Control::岚栩_tim)); };

  const std::string link = "阿里数据 " + server.Url("/offer.html");
  const std::string batchFile = root.path() + "\\链接.txt";
  ASSERT_TRUE(WriteFileBytes(batchFile, "# 两行\r\n" + link + "\r\n这不是链接\r\n"));
  SetControlText(window.control(Control::cookie值), "t=1");
  SendMessageW(window.handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(GbkToWide(batchFile))), 0);
  // Clicks and a look at the window, all handled while the first page is awaited (the extraction
  // answers the window's messages meanwhile): the clear, platform and download buttons change
  // nothing, and a login button leaves the cookie box the further items read.
  for (Control button : {Control::数据_清空, Control::淘宝_按钮, Control::数据_下载, Control::载入淘宝})
    PostMessageW(window.control(button), BM_CLICK, 0, 0);
  bool extracting = false;
  std::string during, linkDuring;
  PostUiTask(window.handle(), [&] {
    extracting = window.ExtractionRunning() && window.BatchRunning();
    during = label();
    linkDuring = GetControlText(window.control(Control::url));
  });

  ASSERT_TRUE(PumpUntil([&] { return !asked.empty(); }, 30000)) << label();
  EXPECT_TRUE(extracting);
  EXPECT_NE(during.find(" - 批量 1/2：读取 http://"), std::string::npos) << during;
  EXPECT_EQ(linkDuring, server.Url("/offer.html"));
  EXPECT_EQ(GetControlText(window.control(Control::cookie值)), "t=1");
  EXPECT_FALSE(window.BatchRunning());
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text, "批量完成：共2个链接，完成0个，部分失败0个，失败2个，跳过0个，是否打开文件夹查看？");
  EXPECT_EQ(asked[0].caption, "岚栩 - 提示");
  EXPECT_EQ(opened, std::vector<std::string>{config.outputRoot});
  EXPECT_EQ(server.Requests().size(), 1u) << "the ignored clicks fetched nothing";
  EXPECT_EQ(ReadFileBytes(config.outputRoot + "批量结果.txt"),
            "链接\t平台\t结果\t主图\tSKU图\t详情图\t视频\t已保存\t未保存\t原因\r\n" + server.Url("/offer.html") +
                "\t阿里\t失败\t0\t0\t0\t0\t0\t0\t页面获取失败（HTTP 404），请检查链接和网络（阿里数据）\r\n"
                "这不是链接\t未知\t失败\t0\t0\t0\t0\t0\t0\t这一行不是链接\r\n");
}

}  // namespace
