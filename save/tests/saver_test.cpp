#include "save/saver.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <mutex>
#include <random>
#include <set>

#include "extract/item_harvest.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"
#include "runtime/handles.h"
#include "runtime/message_box.h"
#include "save/date_time.h"
#include "save/network_time.h"
#include "tests/support/loopback_server.h"

namespace {

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

// Files by GBK Windows path.
bool Exists(const std::string& path) { return GetFileAttributesW(GbkToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFileBytes(const std::string& path) {
  UniqueFile f(CreateFileW(GbkToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f) return "(missing)";
  std::string out;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  return out;
}

// Names in a folder (not "." and "..").
std::set<std::string> ListFolder(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(GbkToWide(folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.insert(WideToGbk(name));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

void RemoveTree(const std::string& folder) {
  for (const std::string& name : ListFolder(folder)) {
    const std::string path = folder + name;
    if (GetFileAttributesW(GbkToWide(path).c_str()) & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(path + "\\");
    } else {
      DeleteFileW(GbkToWide(path).c_str());
    }
  }
  RemoveDirectoryW(GbkToWide(folder).c_str());
}

std::uint32_t TailOf(const std::string& bytes) {
  if (bytes.size() < 4) return 0xFFFFFFFF;
  std::uint32_t n = 0;
  for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(bytes[bytes.size() - 4 + i]);
  return n;
}

// prefix + n, appended rather than added: GCC 12 warns falsely (-Wrestrict) about a literal
// added to a temporary string.
std::string Numbered(const std::string& prefix, int n) {
  std::string out = prefix;
  out += std::to_string(n);
  return out;
}

const char kProbeDate[] = "Sun, 06 Dec 2026 09:45:33 GMT";
const char kShownTime[] = "2026年12月6日17时45分33秒";

class SaverTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new LoopbackServer;
    ServerResponse probe;
    probe.headers = {{"Date", kProbeDate}};
    server_->Route("/", probe);
    for (size_t n : {size_t{1}, size_t{200 * 1024}, size_t{3 * 1024 * 1024 + 5}}) {
      ServerResponse picture;
      picture.body = RandomBytes(n, static_cast<unsigned>(n));
      picture.headers = {{"Content-Type", "image/jpeg"}};
      server_->Route(Numbered("/pic/", n), picture);
    }
    ServerResponse slow;
    slow.body = RandomBytes(20 * 1024, 99);
    slow.delayMs = 60;
    server_->Route("/slow", slow);
    ServerResponse video;
    video.body = RandomBytes(700 * 1024, 42);
    video.headers = {{"Content-Type", "video/mp4"}};
    server_->Route("/video.mp4", video);
    ServerResponse missing;
    missing.status = 404;
    missing.reason = "Not Found";
    missing.body = "<html>gone</html>";
    server_->Route("/missing.jpg", missing);
    ServerResponse reset;
    reset.body = RandomBytes(64 * 1024, 3);
    reset.mode = "reset_mid_body";
    server_->Route("/reset.jpg", reset);
    ServerResponse empty;
    server_->Route("/empty.jpg", empty);
    ASSERT_TRUE(server_->Start());
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    // A folder with GBK characters in its name, so every path the saver builds carries them.
    sandbox_ = WideToGbk(WinePathOf(BinaryDir())) + "\\save-test-保存-" + std::to_string(GetCurrentProcessId()) + "\\";
    RemoveTree(sandbox_);
    CreateDirectoryW(GbkToWide(sandbox_).c_str(), nullptr);
    root_ = sandbox_ + "岚栩图片工具箱\\";
    CreateDirectoryW(GbkToWide(root_).c_str(), nullptr);

    parent_ = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    list_ = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 300, 200, parent_, nullptr, nullptr, nullptr);
    text_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE, 0, 0, 300, 100, parent_, nullptr, nullptr, nullptr);
    const wchar_t* columns[] = {L"序号", L"图片Url", L"图片类型"};
    for (int i = 0; i < 3; ++i) {
      LVCOLUMNW c{};
      c.mask = LVCF_TEXT | LVCF_WIDTH;
      c.cx = 100;
      c.pszText = const_cast<wchar_t*>(columns[i]);
      SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&c));
    }
    SetItemId("");
    SetVideoUrl("");
    SetOutputFolder(root_);
    answer_ = kPressedNo;
    SetMessageBoxHandler([this](const MessageBoxRequest& r) {
      std::lock_guard<std::mutex> lock(mutex_);
      questions_.push_back(r);
      return answer_;
    });
  }

  void TearDown() override {
    WaitForSave();
    SetMessageBoxHandler({});
    DestroyWindow(parent_);
    RemoveTree(sandbox_);
  }

  void AddRow(const std::string& url, const std::string& label) {
    const std::string number = std::to_string(ListViewRowCount(list_) + 1);
    ListViewAppendRow(list_, {number, url, label});
  }

  SaveSources Sources() {
    SaveSources s;
    s.outputRoot = root_;
    s.list = list_;
    s.textBox = text_;
    const std::string probe = server_->Url("/");
    s.effects.showStatus = [this, probe](const std::string& message) {
      ShowStatus(message, probe, [this](const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        status_.push_back(line);
      });
    };
    s.effects.openFolder = [this](const std::string& folder) {
      std::lock_guard<std::mutex> lock(mutex_);
      opened_.push_back(folder);
    };
    return s;
  }

  static bool WaitForSave(int timeoutMs = 120000) {
    for (int waited = 0; SaveInProgress() && waited < timeoutMs; waited += 10) Sleep(10);
    return !SaveInProgress();
  }

  bool SaveAndWait() {
    if (!StartSave(Sources())) return false;
    return WaitForSave();
  }

  static LoopbackServer* server_;
  std::string sandbox_;
  std::string root_;
  HWND parent_ = nullptr;
  HWND list_ = nullptr;
  HWND text_ = nullptr;
  std::mutex mutex_;
  int answer_ = kPressedNo;
  std::vector<MessageBoxRequest> questions_;
  std::vector<std::string> status_;
  std::vector<std::string> opened_;
};
LoopbackServer* SaverTest::server_ = nullptr;

TEST_F(SaverTest, SavesPicturesTextAndVideoUnderTheItemsFolder) {
  AddRow(server_->Url("/pic/204800"), "淘宝主图图片1");
  AddRow(server_->TlsUrl("/pic/3145733"), "淘宝SKU图片1");
  AddRow(server_->Url("/pic/204800"), "淘宝详情图片1");
  AddRow(server_->Url("/pic/1"), "淘宝详情图片1");  // a repeated label: the later row wins
  SetControlText(text_, "好宝贝 标题\r\n\r\n红色 XL\r\n材质：棉\r\n");
  SetItemId("652147895123");
  SetVideoUrl(server_->Url("/video.mp4"));

  ASSERT_TRUE(SaveAndWait());

  const std::string folder = root_ + "652147895123\\";
  EXPECT_EQ(OutputFolder(), folder);
  EXPECT_EQ(ListFolder(folder), (std::set<std::string>{"淘宝主图图片1.jpg", "淘宝SKU图片1.jpg", "淘宝详情图片1.jpg",
                                                       "652147895123   SKU与标题.txt", "652147895123主图视频 .mp4"}));
  const struct {
    const char* file;
    size_t size;
  } pictures[] = {{"淘宝主图图片1.jpg", 200 * 1024}, {"淘宝SKU图片1.jpg", 3 * 1024 * 1024 + 5}, {"淘宝详情图片1.jpg", 1}};
  for (const auto& p : pictures) {
    SCOPED_TRACE(p.file);
    const std::string bytes = ReadFileBytes(folder + p.file);
    ASSERT_EQ(bytes.size(), p.size + 4);
    EXPECT_TRUE(bytes.substr(0, p.size) == RandomBytes(p.size, static_cast<unsigned>(p.size)));
    EXPECT_LT(TailOf(bytes), 10000u);
  }
  EXPECT_EQ(ReadFileBytes(folder + "652147895123   SKU与标题.txt"), "好宝贝 标题\r\n\r\n红色 XL\r\n材质：棉\r\n");
  EXPECT_TRUE(ReadFileBytes(folder + "652147895123主图视频 .mp4") == RandomBytes(700 * 1024, 42));

  std::lock_guard<std::mutex> lock(mutex_);
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0].caption, "岚栩 - 提示");
  EXPECT_EQ(questions_[0].buttons, static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(questions_[0].owner, nullptr);
  EXPECT_TRUE(opened_.empty()) << "No leaves the folder closed";
}

TEST_F(SaverTest, StatusLinesAndQuestionOfACompleteSave) {
  AddRow(server_->Url("/pic/1"), "京东主图图片1");
  AddRow(server_->Url("/pic/204800"), "京东详情图片1");
  SetItemId("100012043978");
  answer_ = kPressedYes;
  ASSERT_TRUE(SaveAndWait());

  const std::string t = std::string(kShownTime) + " - ";
  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_EQ(status_, (std::vector<std::string>{t + "读取 京东主图图片1", t + "图片数据保存完成 京东主图图片1",
                                               t + "读取 京东详情图片1", t + "图片数据保存完成 京东详情图片1",
                                               t + "所有图片保存完成"}));
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0].text, "保存成功，是否打开文件夹查看？");
  EXPECT_EQ(opened_, (std::vector<std::string>{root_ + "100012043978\\"})) << "Yes opens the item's folder";
  EXPECT_EQ(ReadFileBytes(root_ + "100012043978\\100012043978   SKU与标题.txt"), "") << "written even when empty";
  EXPECT_FALSE(Exists(root_ + "100012043978\\100012043978主图视频 .mp4")) << "no video address, no video file";
}

TEST_F(SaverTest, FailedPicturesAreNotWrittenButCountedAndNamed) {
  AddRow(server_->Url("/pic/1"), "阿里主图图片1");
  AddRow(server_->Url("/missing.jpg"), "阿里主图图片2");
  AddRow(server_->Url("/reset.jpg"), "阿里主图图片3");
  AddRow("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/refused.jpg", "阿里主图图片4");
  AddRow(server_->Url("/empty.jpg"), "阿里主图图片5");
  AddRow("", "阿里主图图片6");
  SetItemId("789");
  answer_ = kPressedYes;
  ASSERT_TRUE(SaveAndWait());

  EXPECT_EQ(ListFolder(root_ + "789\\"), (std::set<std::string>{"阿里主图图片1.jpg", "789   SKU与标题.txt"}));
  std::lock_guard<std::mutex> lock(mutex_);
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0].text, "保存完成，6张图片中有5张未能保存，是否打开文件夹查看？");
  for (int i = 2; i <= 6; ++i) {
    const std::string failed = std::string(kShownTime) + Numbered(" - 图片数据保存失败 阿里主图图片", i);
    EXPECT_NE(std::find(status_.begin(), status_.end(), failed), status_.end()) << failed;
  }
  EXPECT_EQ(status_.back(), std::string(kShownTime) + " - 所有图片保存完成");
  EXPECT_EQ(opened_.size(), 1u) << "Yes still opens the folder";
}

TEST_F(SaverTest, TwoSavesOfOneItemDifferInTheirTails) {
  for (int i = 1; i <= 4; ++i) AddRow(server_->Url("/pic/1"), Numbered("淘宝主图图片", i));
  SetItemId("42");
  std::vector<std::uint32_t> first;
  ASSERT_TRUE(SaveAndWait());
  for (int i = 1; i <= 4; ++i) first.push_back(TailOf(ReadFileBytes(root_ + Numbered("42\\淘宝主图图片", i) + ".jpg")));
  ASSERT_TRUE(SaveAndWait());
  int differing = 0;
  for (int i = 1; i <= 4; ++i) {
    const std::uint32_t tail = TailOf(ReadFileBytes(root_ + Numbered("42\\淘宝主图图片", i) + ".jpg"));
    EXPECT_LT(tail, 10000u);
    differing += tail != first[i - 1];
  }
  EXPECT_GE(differing, 3) << "each file's tail is drawn anew";
  EXPECT_EQ(std::set<std::uint32_t>(first.begin(), first.end()).size() >= 3, true) << "and differs between files";
}

TEST_F(SaverTest, HostileNamesStayInsideTheOutputRoot) {
  AddRow(server_->Url("/pic/1"), "..\\..\\..\\escaped");
  AddRow(server_->Url("/pic/1"), "sub/dir:name*?.");
  SetItemId("..\\..\\evil");
  SetVideoUrl(server_->Url("/video.mp4"));
  ASSERT_TRUE(SaveAndWait());

  EXPECT_EQ(ListFolder(sandbox_), (std::set<std::string>{"岚栩图片工具箱"})) << "nothing beside the root";
  const std::string folder = root_ + ".__.__evil\\";
  EXPECT_EQ(ListFolder(root_), (std::set<std::string>{".__.__evil"}));
  EXPECT_EQ(ListFolder(folder), (std::set<std::string>{".__.__.__escaped.jpg", "sub_dir_name__.jpg",
                                                       ".__.__evil   SKU与标题.txt", ".__.__evil主图视频 .mp4"}));
}

TEST_F(SaverTest, NumericIdIsUsedUnchangedAndAnEmptyOneSavesIntoTheRoot) {
  AddRow(server_->Url("/pic/1"), "淘宝主图图片1");
  ASSERT_TRUE(SaveAndWait());
  EXPECT_EQ(OutputFolder(), root_);
  EXPECT_EQ(ListFolder(root_), (std::set<std::string>{"淘宝主图图片1.jpg", "   SKU与标题.txt"}));
}

TEST_F(SaverTest, ClearAndNewPressesDuringASaveChangeNothingOfIt) {
  const int kRows = 40;
  for (int i = 1; i <= kRows; ++i) AddRow(server_->Url(Numbered("/slow?n=", i)), Numbered("天猫详情图片", i));
  SetControlText(text_, "标题A\r\n");
  SetItemId("111");
  SetVideoUrl(server_->Url("/video.mp4"));

  const DWORD started = GetTickCount();
  ASSERT_TRUE(StartSave(Sources()));
  EXPECT_LT(GetTickCount() - started, 2000u) << "the press returns while the worker fetches";
  EXPECT_TRUE(SaveInProgress());

  // What the clear command does, then a new extraction and a second press.
  ListViewDeleteAll(list_);
  SetControlText(text_, "");
  SetItemId("");
  SetVideoUrl("");
  SetOutputFolder("");
  AddRow(server_->Url("/pic/1"), "京东主图图片1");
  SetControlText(text_, "标题B\r\n");
  SetItemId("222");
  EXPECT_FALSE(StartSave(Sources())) << "a press during a save is ignored";

  ASSERT_TRUE(WaitForSave());
  std::set<std::string> expected{"111   SKU与标题.txt", "111主图视频 .mp4"};
  for (int i = 1; i <= kRows; ++i) expected.insert(Numbered("天猫详情图片", i) + ".jpg");
  EXPECT_EQ(ListFolder(root_ + "111\\"), expected);
  EXPECT_EQ(ReadFileBytes(root_ + "111\\111   SKU与标题.txt"), "标题A\r\n");
  EXPECT_EQ(ListFolder(root_), (std::set<std::string>{"111"})) << "the ignored press made no folder";
  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0].text, "保存成功，是否打开文件夹查看？");
}

TEST(SaveQuestionTextTest, Table) {
  EXPECT_EQ(SaveQuestionText(0, 0), "保存成功，是否打开文件夹查看？");
  EXPECT_EQ(SaveQuestionText(12, 0), "保存成功，是否打开文件夹查看？");
  EXPECT_EQ(SaveQuestionText(12, 1), "保存完成，12张图片中有1张未能保存，是否打开文件夹查看？");
}

}  // namespace
