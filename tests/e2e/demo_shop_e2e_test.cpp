// The real program against the demo shop, from the outside: PictureTool.exe copied into a fresh
// program folder and started with the shop's hosts file; an item link typed into its link box, the
// platform's button pressed, the list rows and the text box read back through the window system
// and compared with the page's expected harvest (expected/<page>.txt); then the download pressed,
// the final question answered, and every file of the item's folder checked byte for byte against
// what the shop served.
//
// PT_E2E_RECORD=<Linux folder> writes what the program harvested for each page there, in the
// format of expected/, instead of comparing: for a new page, whose harvest must then be checked
// by hand against the page before it becomes the expectation.
#include <winsock2.h>
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "browser/tests/browser_test_support.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "tests/support/loopback_server.h"
#include "tests/support/root_store.h"
#include "tests/support/test_files.h"
#include "tests/e2e/program_window.h"
#include "tests/support/window_support.h"

namespace {

constexpr DWORD kStartTimeoutMs = 60000;
constexpr DWORD kStepTimeoutMs = 10000;
constexpr DWORD kHarvestTimeoutMs = 60000;
constexpr DWORD kSaveTimeoutMs = 120000;
constexpr char kWelcomeCaption[] = "【岚栩】- 这是一个提示！";
constexpr char kQuestionCaption[] = "岚栩 - 提示";
constexpr char kAllSavedQuestion[] = "保存成功，是否打开文件夹查看？";

std::string Utf8ToGbk(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return WideToGbk(wide);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
}

bool WriteUnixText(const std::string& unixPath, const std::string& bytes) {
  HANDLE f = CreateFileW(WinePathOf(unixPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == bytes.size();
}

// A file's bytes by its Windows path (GBK).
std::string ReadWindowsFile(const std::string& path) {
  HANDLE f = CreateFileW(GbkToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  std::string out;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
  CloseHandle(f);
  return out;
}

std::string GbkToUtf8(const std::string& gbk) {
  const std::wstring wide = GbkToWide(gbk);
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

// The names (GBK) of the files in a folder.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(GbkToWide(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(WideToGbk(found.cFileName));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

bool PortListens(int port) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(port));
  const bool listens = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  closesocket(s);
  return listens;
}

// The demo shop (demo/shop.py), started for the whole suite: its port, the hosts file for the
// program, the link of every page and the pictures it has served.
class DemoShop {
 public:
  bool Start() {
    state_ = "/tmp/pt-demo-shop-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
    const char* tag = std::getenv("PT_RUN_TAG");
    const std::string cmd = "/usr/bin/python3 " + SourceDir() + "/demo/shop.py --state " + state_ +
                            " --stop-file " + state_ + "/stop --lifetime 1200 --log " + state_ +
                            "/requests.log --today --tag " + (tag ? tag : "none");
    if (!StartUnixProgram(cmd)) return false;
    started_ = true;
    if (!WaitFor([&] { return std::atoi(ReadUnixFile(state_ + "/ready").c_str()) > 0; }, kStartTimeoutMs)) return false;
    // The shop's authority is trusted as a real site's is: the program, started after this, sends
    // the cookie only to servers it trusts.
    authority_ = ReadUnixFile(state_ + "/tls/authority.der");
    trusted_ = TrustAuthority(authority_);
    return trusted_;
  }
  // Asks the shop to stop, waits (bounded) until it has, and removes its state folder and the
  // trust in its authority.
  void Stop() {
    if (trusted_) DistrustAuthority(authority_);
    trusted_ = false;
    if (!started_) return;
    started_ = false;
    WriteUnixText(state_ + "/stop", "stop");
    // The shop stops within a tenth of a second of the stop file; its listening port tells.
    const int shopPort = port();
    WaitFor([&] { return !PortListens(shopPort); }, kStepTimeoutMs);
    RemoveTree(WideToGbk(WinePathOf(state_)) + "\\");
  }
  int port() const { return std::atoi(ReadUnixFile(state_ + "/ready").c_str()); }
  std::string HostsFile() const { return WideToGbk(WinePathOf(state_ + "/hosts.txt")); }
  // links.txt: page file, platform, button caption, link, description.
  std::string LinkOf(const std::string& page) const {
    for (const std::string& line : SplitLines(ReadUnixFile(state_ + "/links.txt"))) {
      const std::vector<std::string> fields = SplitTabs(line);
      if (fields.size() >= 4 && fields[0] == page) return fields[3];
    }
    return {};
  }
  // The bytes the shop served for a picture address; empty when it served none.
  std::string ServedPicture(const std::string& url) const {
    std::string path = url.substr(url.find("//") + 2);
    path = path.substr(path.find('/'));
    path = path.substr(0, path.find('?'));
    std::string collapsed;
    for (char c : path)
      if (c != '/' || collapsed.empty() || collapsed.back() != '/') collapsed += c;
    for (const std::string& line : SplitLines(ReadUnixFile(state_ + "/pictures.tsv"))) {
      const std::vector<std::string> fields = SplitTabs(line);
      // The index is UTF-8, the addresses ASCII.
      if (fields.size() == 2 && fields[0] == collapsed) return ReadUnixFile(fields[1]);
    }
    return {};
  }
  // The cookie the shop's pages of today's layouts need (their description call is signed with it).
  std::string Cookie() const {
    std::string cookie = ReadUnixFile(state_ + "/cookie.txt");
    while (!cookie.empty() && (cookie.back() == '\n' || cookie.back() == '\r')) cookie.pop_back();
    return cookie;
  }
  std::string ServedVideo() const { return ReadUnixFile(state_ + "/video.mp4"); }
  std::string RequestLog() const { return ReadUnixFile(state_ + "/requests.log"); }

 private:
  std::string state_;
  std::string authority_;
  bool started_ = false;
  bool trusted_ = false;
};

DemoShop* g_shop = nullptr;

struct Row {
  std::string label, url;
  bool operator==(const Row&) const = default;
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.label << " " << row.url; }

// What a page yields: its rows, the text box's content, the item's folder name and whether the
// shop has the video the page names.
struct Harvest {
  std::string itemId;
  bool video = false;
  std::vector<Row> rows;
  std::string text;  // GBK
};

// expected/<page>.txt, UTF-8: "item <id>", "video" when the shop has the item's video, then
// "row <label> <url>" and "text <line>" lines in order; "{port}" stands for the shop's port.
Harvest ExpectedHarvest(const std::string& page, int port) {
  std::string file = ReadUnixFile(SourceDir() + "/tests/e2e/expected/" + page + ".txt");
  ReplaceAll(file, "{port}", std::to_string(port));
  Harvest harvest;
  for (const std::string& utf8 : SplitLines(file)) {
    const std::string line = Utf8ToGbk(utf8);
    if (line.rfind("item ", 0) == 0) harvest.itemId = line.substr(5);
    if (line == "video") harvest.video = true;
    if (line.rfind("row ", 0) == 0) {
      const size_t blank = line.find(' ', 4);
      harvest.rows.push_back({line.substr(4, blank - 4), line.substr(blank + 1)});
    }
    if (line.rfind("text", 0) == 0) harvest.text += (line.size() > 5 ? line.substr(5) : "") + "\r\n";
  }
  return harvest;
}

std::string RecordHarvest(const Harvest& harvest, int port) {
  std::string out = "item " + harvest.itemId + "\n" + (harvest.video ? "video\n" : "");
  for (const Row& row : harvest.rows) out += "row " + row.label + " " + row.url + "\n";
  for (std::string rest = harvest.text; !rest.empty();) {
    const size_t end = rest.find("\r\n");
    out += "text " + rest.substr(0, end) + "\n";
    rest = end == std::string::npos ? std::string() : rest.substr(end + 2);
  }
  ReplaceAll(out, ":" + std::to_string(port) + "/", ":{port}/");
  return GbkToUtf8(out);
}

struct ShopPage {
  const char* page;  // the saved page, as links.txt and expected/ name it
  Control button;
};

const ShopPage kPages[] = {
    {"taobao-1.html", Control::淘宝_按钮},
    {"tmall-1.html", Control::天猫_按钮},
    {"jd-1.html", Control::京东_按钮},
    {"1688-1.html", Control::阿里_按钮},
    {"today-taobao-760000000001.html", Control::淘宝_按钮},
    {"today-tmall-1.html", Control::天猫_按钮},
    {"today-jd-desktop.html", Control::京东_按钮},
    {"today-1688-1.html", Control::阿里_按钮},
};

void PrintTo(const ShopPage& page, std::ostream* out) { *out << page.page; }

// The demo shop for the whole suite, and the program started from a fresh folder.
class ShopProgramTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    g_shop = new DemoShop;
    if (!g_shop->Start()) {
      g_shop->Stop();
      delete g_shop;
      g_shop = nullptr;
    }
  }
  static void TearDownTestSuite() {
    if (g_shop) g_shop->Stop();
    delete g_shop;
    g_shop = nullptr;
  }

  // The program in a fresh folder (or the one of the last start), started with the shop's hosts
  // and `options`, its welcome answered.
  void StartProgram(const std::vector<std::string>& options = {}) {
    ASSERT_NE(g_shop, nullptr) << "the demo shop did not start";
    ASSERT_TRUE(CopyInto(BinFile("PictureTool.exe"), folder_.File("PictureTool.exe")));
    ASSERT_TRUE(CopyInto(BinFile("node.dll"), folder_.File("node.dll")));
    std::vector<std::string> arguments{"--hosts", g_shop->HostsFile()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    program_ = std::make_unique<RunningProgram>(folder_.File("PictureTool.exe"), arguments, folder_.path());
    ASSERT_TRUE(program_->started());
    // The first box must be the welcome (one about the command line would come before it).
    HWND welcome = nullptr;
    WaitFor(
        [&] {
          welcome = TopLevelOf(program_->id(), L"#32770");
          return welcome && !GetControlText(welcome).empty();
        },
        kStartTimeoutMs);
    ASSERT_NE(welcome, nullptr) << "no welcome message";
    ASSERT_EQ(GetControlText(welcome), kWelcomeCaption) << MessageText(welcome);
    ASSERT_TRUE(AnswerMessageBox(welcome, IDOK, kStepTimeoutMs));
    main_ = TopLevelOf(program_->id(), kMainWindowClass);
    ASSERT_NE(main_, nullptr);
  }
  HWND ControlOf(Control control) const { return ::ControlOf(main_, control); }
  void Click(Control button) { ASSERT_TRUE(PressButton(ControlOf(button), kHarvestTimeoutMs)); }
  // The harvest once the list and the text box have stopped changing (a button may return before
  // its extraction has delivered everything).
  Harvest ReadHarvest() const {
    WaitUntilSettled(
        [&] {
          const int rows = RemoteListView(ControlOf(Control::images_列表框)).Rows();
          return rows ? std::to_string(rows) + "\n" + GetControlText(ControlOf(Control::文本数据)) : std::string();
        },
        kHarvestTimeoutMs);
    Harvest harvest;
    RemoteListView list(ControlOf(Control::images_列表框));
    for (int i = 0; i < list.Rows(); ++i) {
      EXPECT_EQ(list.Cell(i, 0), std::to_string(i + 1));
      harvest.rows.push_back({list.Cell(i, 2), list.Cell(i, 1)});
    }
    harvest.text = GetControlText(ControlOf(Control::文本数据));
    return harvest;
  }
  // Waits for the save's question, reads it and the status line, and answers No.
  void AnswerTheQuestion(std::string* question, std::string* status) {
    HWND box = WaitForMessageBox(program_->id(), kQuestionCaption, kSaveTimeoutMs);
    ASSERT_NE(box, nullptr) << "the save asked nothing";
    *question = MessageText(box);
    *status = GetControlText(ControlOf(Control::岚栩_tim));
    ASSERT_TRUE(AnswerMessageBox(box, IDNO, kStepTimeoutMs));
  }
  void CloseAndExpectCleanEnd() {
    PostMessageW(main_, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    ASSERT_TRUE(program_->Wait(kStepTimeoutMs, &exitCode)) << "the program did not end";
    EXPECT_EQ(exitCode, 0u);
  }
  // Saves, answers the question and takes the item id from the one folder the save made.
  void StartSaveAndFindItem(Harvest* harvest) {
    Click(Control::数据_下载);
    std::string question, status;
    AnswerTheQuestion(&question, &status);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(GbkToWide(folder_.File("岚栩图片工具箱") + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
      const std::wstring name = found.cFileName;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
        harvest->itemId = WideToGbk(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  std::string ItemFolder(const std::string& itemId) const {
    return folder_.File("岚栩图片工具箱") + "\\" + itemId;
  }

  // The item's folder after a save: one picture per row, as served plus four bytes holding a
  // number below 10000; the title and SKU text as the text box held it; the video as served, and
  // none where the shop has none.
  void ExpectSavedAsServed(const Harvest& expected) const {
    const std::string folder = ItemFolder(expected.itemId);
    std::vector<std::string> expectedFiles;
    for (const Row& row : expected.rows) {
      SCOPED_TRACE(row.label);
      expectedFiles.push_back(row.label + ".jpg");
      const std::string served = g_shop->ServedPicture(row.url);
      ASSERT_FALSE(served.empty()) << "the shop served nothing for " << row.url;
      const std::string saved = ReadWindowsFile(folder + "\\" + row.label + ".jpg");
      ASSERT_EQ(saved.size(), served.size() + 4);
      EXPECT_TRUE(saved.compare(0, served.size(), served) == 0) << "the picture's bytes differ";
      std::uint32_t tail = 0;
      for (int i = 3; i >= 0; --i) tail = tail << 8 | static_cast<unsigned char>(saved[served.size() + i]);
      EXPECT_LT(tail, 10000u);
    }
    const std::string textFile = expected.itemId + "   SKU与标题.txt";
    expectedFiles.push_back(textFile);
    EXPECT_EQ(ReadWindowsFile(folder + "\\" + textFile), expected.text);
    const std::string videoFile = expected.itemId + "主图视频 .mp4";
    const std::string savedVideo = ReadWindowsFile(folder + "\\" + videoFile);
    if (expected.video) {
      expectedFiles.push_back(videoFile);
      EXPECT_EQ(savedVideo, g_shop->ServedVideo());
    } else {
      // The page names no video (or one the shop does not have): nothing to save.
      EXPECT_TRUE(savedVideo.empty()) << "saved as the video: " << savedVideo.substr(0, 60);
    }
    std::sort(expectedFiles.begin(), expectedFiles.end());
    EXPECT_EQ(FilesIn(folder), expectedFiles);
  }

  TempFolder folder_{"岚栩演示商店"};
  std::unique_ptr<RunningProgram> program_;
  HWND main_ = nullptr;
};

class DemoShopTest : public ShopProgramTest, public ::testing::WithParamInterface<ShopPage> {};

TEST_P(DemoShopTest, HarvestsAndSavesTheItemAsThePageShowsIt) {
  const ShopPage& page = GetParam();
  StartProgram();
  if (HasFatalFailure()) return;
  const std::string link = g_shop->LinkOf(page.page);
  ASSERT_FALSE(link.empty()) << "the shop has no link for " << page.page;
  SetControlText(ControlOf(Control::url), link);
  // As a person would: one cookie in the box for every platform.
  SetControlText(ControlOf(Control::cookie值), g_shop->Cookie());

  // First the button of a platform of another site: the status line names the link's platform,
  // and nothing is listed.
  const bool taobaoFamily = page.button == Control::淘宝_按钮 || page.button == Control::天猫_按钮;
  Click(taobaoFamily ? Control::京东_按钮 : Control::淘宝_按钮);
  const char* named = page.button == Control::淘宝_按钮   ? "这是淘宝的链接，请点淘宝数据"
                      : page.button == Control::天猫_按钮 ? "这是天猫的链接，请点天猫数据"
                      : page.button == Control::京东_按钮 ? "这是京东的链接，请点京东数据"
                                                          : "这是1688的链接，请点阿里数据";
  const std::string wrong = GetControlText(ControlOf(Control::岚栩_tim));
  EXPECT_TRUE(wrong.ends_with(std::string(" - ") + named)) << wrong;
  EXPECT_EQ(RemoteListView(ControlOf(Control::images_列表框)).Rows(), 0);

  Click(page.button);

  Harvest harvested = ReadHarvest();
  const int port = g_shop->port();
  if (const char* record = std::getenv("PT_E2E_RECORD")) {
    // The item id is the folder the save creates: the one folder under the output root.
    StartSaveAndFindItem(&harvested);
    const std::string video = ReadWindowsFile(ItemFolder(harvested.itemId) + "\\" + harvested.itemId + "主图视频 .mp4");
    harvested.video = !video.empty() && video == g_shop->ServedVideo();
    ASSERT_TRUE(WriteUnixText(std::string(record) + "/" + page.page + ".txt", RecordHarvest(harvested, port)));
    GTEST_SKIP() << "recorded " << page.page;
  }
  const Harvest expected = ExpectedHarvest(page.page, port);
  ASSERT_FALSE(expected.rows.empty()) << "no expectation for " << page.page;
  EXPECT_EQ(harvested.rows, expected.rows);
  EXPECT_EQ(harvested.text, expected.text);

  Click(Control::数据_下载);
  std::string question, status;
  AnswerTheQuestion(&question, &status);
  EXPECT_EQ(question, kAllSavedQuestion);
  // The status line's clock asked the shop, not the internet, and shows this year's date.
  SYSTEMTIME now;
  GetSystemTime(&now);
  // (China Standard Time runs 8 hours ahead: on New Year's Eve it may be next year already.)
  EXPECT_TRUE(status.rfind(std::to_string(now.wYear) + "年", 0) == 0 ||
              status.rfind(std::to_string(now.wYear + 1) + "年", 0) == 0)
      << status;
  EXPECT_NE(status.find(" - 所有图片保存完成"), std::string::npos) << status;
  EXPECT_NE(g_shop->RequestLog().find("HEAD shop.localhost / 200"), std::string::npos);

  ExpectSavedAsServed(expected);

  Click(Control::数据_清空);
  EXPECT_EQ(RemoteListView(ControlOf(Control::images_列表框)).Rows(), 0);
  EXPECT_EQ(GetControlText(ControlOf(Control::url)), "");
  CloseAndExpectCleanEnd();
}

// The program and the shop as above, for a course of presses of its own.
class DemoShopCourseTest : public DemoShopTest {
 protected:
  std::string StatusLine() const { return GetControlText(ControlOf(Control::岚栩_tim)); }
  // Every name in the output root, folders included.
  std::set<std::string> InTheOutputRoot() const { return ListFolder(folder_.File("岚栩图片工具箱") + "\\"); }
};

// As a new user would: the download before anything is listed, then an item harvested, the
// wrong platform's button pressed with its link (which finds nothing), and the download.
TEST_F(DemoShopCourseTest, APressThatFindsNothingLeavesTheHarvestAsItWas) {
  StartProgram();
  if (HasFatalFailure()) return;
  Click(Control::数据_下载);
  EXPECT_NE(StatusLine().find(" - 列表里没有图片，请先获取商品数据"), std::string::npos) << StatusLine();
  EXPECT_EQ(WaitForMessageBox(program_->id(), kQuestionCaption, 1000), nullptr) << "nothing to ask about";
  EXPECT_TRUE(InTheOutputRoot().empty());

  const Harvest expected = ExpectedHarvest("taobao-1.html", g_shop->port());
  SetControlText(ControlOf(Control::url), g_shop->LinkOf("taobao-1.html"));
  SetControlText(ControlOf(Control::cookie值), g_shop->Cookie());
  Click(Control::淘宝_按钮);
  ASSERT_EQ(ReadHarvest().rows, expected.rows);
  const std::string found = StatusLine();
  Click(Control::京东_按钮);
  // Why it found nothing is the status line's business; here only that it found nothing.
  EXPECT_NE(StatusLine(), found);
  EXPECT_EQ(StatusLine().find("张图片"), std::string::npos) << StatusLine();
  const Harvest after = ReadHarvest();
  EXPECT_EQ(after.rows, expected.rows);
  EXPECT_EQ(after.text, expected.text);

  Click(Control::数据_下载);
  std::string question, status;
  AnswerTheQuestion(&question, &status);
  EXPECT_EQ(question, kAllSavedQuestion);
  EXPECT_EQ(InTheOutputRoot(), std::set<std::string>{expected.itemId}) << "nothing loose in the output root";
  // No blank lines of the failed press at the top of the text file, and the video saved.
  ExpectSavedAsServed(expected);
  CloseAndExpectCleanEnd();
}

INSTANTIATE_TEST_SUITE_P(EveryPlatform, DemoShopTest, ::testing::ValuesIn(kPages),
                         [](const ::testing::TestParamInfo<ShopPage>& info) {
                           std::string name = info.param.page;
                           name = name.substr(0, name.find('.'));
                           ReplaceAll(name, "-", "_");
                           return "page_" + name;
                         });

// Batches: the program started with a batch file (UTF-8 with its mark, as Notepad writes it) and a
// cookie file; each link saved into its item's folder, a results file beside the folders, one
// question at the end.
class DemoShopBatchTest : public ShopProgramTest {
 protected:
  struct BatchPage {
    const char* page;
    const char* platform;  // as the results file names it
    const char* button;    // written before the link, or nullptr
  };
  static constexpr BatchPage kBatchPages[] = {
      {"taobao-1.html", "淘宝", nullptr},
      {"tmall-1.html", "天猫", "天猫数据"},
      {"jd-1.html", "京东", nullptr},
      {"1688-1.html", "阿里", nullptr},
      // Its detail pictures come from a call signed with the cookie of the cookie file.
      {"today-taobao-760000000001.html", "淘宝", nullptr},
  };
  std::string BrokenLink() const {
    return "http://item.jd.localhost:" + std::to_string(g_shop->port()) + "/999999999.html";
  }
  void WriteBatchFiles() {
    std::string batch = "# 一批\r\n";
    for (const BatchPage& p : kBatchPages)
      batch += (p.button ? std::string(p.button) + " " : std::string()) + g_shop->LinkOf(p.page) + "\r\n";
    batch += BrokenLink() + "\r\n\r\n这不是链接\r\n";
    ASSERT_TRUE(WriteFileBytes(folder_.File("batch.txt"), "\xEF\xBB\xBF" + GbkToUtf8(batch)));
    ASSERT_TRUE(WriteFileBytes(folder_.File("cookie.txt"), g_shop->Cookie() + "\r\n"));
  }
  void StartBatch() { StartProgram({"--batch", "batch.txt", "--cookie-file", "cookie.txt"}); }
  std::string OutputRoot() const { return folder_.File("岚栩图片工具箱") + "\\"; }
  std::vector<std::vector<std::string>> ResultLines() const {
    std::vector<std::vector<std::string>> lines;
    for (const std::string& line : SplitLines(ReadWindowsFile(OutputRoot() + "批量结果.txt")))
      lines.push_back(SplitTabs(line));
    return lines;
  }
  // Waits for the question at the end of the batch, returns its text and answers No.
  std::string BatchQuestion() {
    HWND box = WaitForMessageBox(program_->id(), kQuestionCaption, kSaveTimeoutMs * 2);
    if (!box) return {};
    const std::string text = MessageText(box);
    EXPECT_TRUE(AnswerMessageBox(box, IDNO, kStepTimeoutMs));
    return text;
  }
};

TEST_F(DemoShopBatchTest, SavesEveryLinkAndResumesWithWhatIsLeft) {
  ASSERT_NE(g_shop, nullptr);
  WriteBatchFiles();
  StartBatch();
  if (HasFatalFailure()) return;
  EXPECT_EQ(GetControlText(ControlOf(Control::cookie值)), g_shop->Cookie());
  EXPECT_EQ(BatchQuestion(), "批量完成：共7个链接，完成5个，部分失败0个，失败2个，跳过0个，是否打开文件夹查看？");
  const std::string status = GetControlText(ControlOf(Control::岚栩_tim));
  EXPECT_TRUE(status.ends_with(" - 批量完成")) << status;

  std::vector<std::vector<std::string>> lines = ResultLines();
  ASSERT_EQ(lines.size(), std::size(kBatchPages) + 3);
  EXPECT_EQ(lines[0][0], "链接");
  for (size_t i = 0; i < std::size(kBatchPages); ++i) {
    const BatchPage& p = kBatchPages[i];
    const std::vector<std::string>& f = lines[i + 1];
    SCOPED_TRACE(p.page);
    ASSERT_EQ(f.size(), 10u);
    EXPECT_EQ(f[0], g_shop->LinkOf(p.page));
    EXPECT_EQ(f[1], p.platform);
    EXPECT_EQ(f[2], "完成");
    // Every row was listed and saved into the item's folder, with the text file.
    const Harvest expected = ExpectedHarvest(p.page, g_shop->port());
    EXPECT_EQ(std::atoi(f[3].c_str()) + std::atoi(f[4].c_str()) + std::atoi(f[5].c_str()),
              static_cast<int>(expected.rows.size()));
    EXPECT_EQ(f[7], std::to_string(expected.rows.size()));
    EXPECT_EQ(f[8], "0");
    const std::vector<std::string> files = FilesIn(ItemFolder(expected.itemId));
    for (const Row& row : expected.rows)
      EXPECT_TRUE(std::binary_search(files.begin(), files.end(), row.label + ".jpg")) << row.label;
    EXPECT_TRUE(std::binary_search(files.begin(), files.end(), expected.itemId + "   SKU与标题.txt"));
  }
  const std::vector<std::string>& broken = lines[std::size(kBatchPages) + 1];
  EXPECT_EQ(broken[0], BrokenLink());
  EXPECT_EQ(broken[1], "京东");
  EXPECT_EQ(broken[2], "失败");
  EXPECT_EQ(broken[9], "页面获取失败（HTTP 404），请检查链接和网络（京东数据）");
  const std::vector<std::string>& noLink = lines[std::size(kBatchPages) + 2];
  EXPECT_EQ(noLink[0], "这不是链接");
  EXPECT_EQ(noLink[2], "失败");
  CloseAndExpectCleanEnd();

  // Again in the same folder: what was saved is skipped without a request, the rest is tried again.
  const size_t pageRequests = SplitLines(g_shop->RequestLog()).size();
  StartBatch();
  if (HasFatalFailure()) return;
  EXPECT_EQ(BatchQuestion(), "批量完成：共7个链接，完成0个，部分失败0个，失败2个，跳过5个，是否打开文件夹查看？");
  lines = ResultLines();
  ASSERT_EQ(lines.size(), std::size(kBatchPages) + 3);
  for (size_t i = 1; i <= std::size(kBatchPages); ++i) EXPECT_EQ(lines[i][2], "已跳过") << lines[i][0];
  EXPECT_EQ(lines[std::size(kBatchPages) + 1][2], "失败");
  const std::vector<std::string> log = SplitLines(g_shop->RequestLog());
  ASSERT_GE(log.size(), pageRequests);
  for (const BatchPage& p : kBatchPages) {
    std::string target = g_shop->LinkOf(p.page);
    target = target.substr(target.find('/', target.find("//") + 2));
    for (size_t i = pageRequests; i < log.size(); ++i)
      EXPECT_EQ(log[i].find(" " + target + " "), std::string::npos) << "a skipped link was fetched: " << log[i];
  }
  CloseAndExpectCleanEnd();
}

TEST_F(DemoShopBatchTest, ClosedInTheMiddleItEndsPromptlyWithWholeFiles) {
  ASSERT_NE(g_shop, nullptr);
  WriteBatchFiles();
  StartBatch();
  if (HasFatalFailure()) return;
  // The first item is recorded, the second one's pictures are coming in.
  const std::string second = ItemFolder(ExpectedHarvest(kBatchPages[1].page, g_shop->port()).itemId);
  ASSERT_TRUE(WaitFor([&] { return ResultLines().size() >= 2 && !FilesIn(second).empty(); }, kSaveTimeoutMs));

  const DWORD closing = GetTickCount();
  PostMessageW(main_, WM_CLOSE, 0, 0);
  DWORD exitCode = 1;
  ASSERT_TRUE(program_->Wait(kStepTimeoutMs, &exitCode)) << "the program did not end";
  const DWORD took = GetTickCount() - closing;
  EXPECT_LT(took, 1500u) << "the process ended " << took << " ms after the close";
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(WaitForMessageBox(program_->id(), kQuestionCaption, 0), nullptr);

  // No file half written anywhere; the results file whole, every line of it in its ten fields.
  for (const std::string& folder : {OutputRoot(), second + "\\"})
    for (const std::string& name : FilesIn(folder)) EXPECT_FALSE(name.ends_with(".part")) << folder << name;
  const std::string results = ReadWindowsFile(OutputRoot() + "批量结果.txt");
  ASSERT_TRUE(results.ends_with("\r\n"));
  const std::vector<std::vector<std::string>> lines = ResultLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_LT(lines.size(), std::size(kBatchPages) + 3) << "the batch went on after the close";
  for (const std::vector<std::string>& f : lines) EXPECT_EQ(f.size(), 10u) << f[0];
  EXPECT_EQ(lines[1][0], g_shop->LinkOf(kBatchPages[0].page));
  EXPECT_EQ(lines[1][2], "完成");
}

}  // namespace
