#include "save/saver.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <new>
#include <random>
#include <set>

#include "runtime/codepage.h"
#include "runtime/handles.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_files.h"

namespace {

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
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

ServerResponse Picture(size_t size, unsigned seed) {
  ServerResponse picture;
  picture.body = RandomBytes(size, seed);
  picture.headers = {{"Content-Type", "image/jpeg"}};
  return picture;
}

ServerResponse Status(int status, const char* reason) {
  ServerResponse r;
  r.status = status;
  r.reason = reason;
  r.body = "<html>" + std::string(reason) + "</html>";
  return r;
}

ServerResponse Typed(const char* type, const std::string& body) {
  ServerResponse r;
  r.headers = {{"Content-Type", type}};
  r.body = body;
  return r;
}

size_t CountRequests(const LoopbackServer& server, const std::string& path) {
  size_t n = 0;
  for (const RecordedRequest& r : server.Requests()) n += r.Target() == path;
  return n;
}

struct Question {
  std::string text;
  std::string caption;
};

class SaverTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new LoopbackServer;
    for (size_t n : {size_t{1}, size_t{200 * 1024}, size_t{3 * 1024 * 1024 + 5}})
      server_->Route(Numbered("/pic/", static_cast<int>(n)), Picture(n, static_cast<unsigned>(n)));
    ServerResponse slow = Picture(20 * 1024, 99);
    slow.delayMs = 60;
    server_->Route("/slow", slow);
    ServerResponse late = Picture(1024, 7);
    late.delayMs = 1500;
    server_->Route("/late", late);
    ServerResponse video;
    video.body = RandomBytes(700 * 1024, 42);
    video.headers = {{"Content-Type", "video/mp4"}};
    server_->Route("/video.mp4", video);
    server_->Route("/missing.jpg", Status(404, "Not Found"));
    server_->Route("/forbidden.jpg", Status(403, "Forbidden"));
    server_->Route("/error.jpg", Status(503, "Service Unavailable"));
    ServerResponse reset = Picture(64 * 1024, 3);
    reset.mode = "reset_mid_body";
    server_->Route("/reset.jpg", reset);
    server_->Route("/empty.jpg", ServerResponse{});
    // Fail once, then answer.
    server_->RouteSequence("/flaky-503.jpg", {Status(502, "Bad Gateway"), Picture(5000, 11)});
    server_->RouteSequence("/flaky-reset.jpg", {reset, Picture(6000, 12)});
    server_->RouteSequence("/flaky-404.jpg", {Status(404, "Not Found"), Picture(7000, 13)});
    ServerResponse hang;
    hang.mode = "hang";
    server_->Route("/hang", hang);
    // Web pages and data answered in a picture's place, and a picture of a type that says nothing.
    server_->Route("/page.jpg", Typed("text/html; charset=utf-8", "<!DOCTYPE html><html><body>blocked</body></html>"));
    server_->Route("/data.jpg", Typed("application/json", "{\"ret\":[\"FAIL_SYS_USER_VALIDATE\"]}"));
    server_->Route("/portal.jpg", Typed("image/jpeg", "\r\n  <html><form action=/login></form></html>"));
    server_->Route("/octet.jpg", Typed("application/octet-stream", RandomBytes(9000, 21)));
    server_->Route("/page.mp4", Typed("text/html", "<html>no video here</html>"));
    ServerResponse trickle;
    trickle.bodySize = 400 * 1024;
    trickle.mode = "trickle";
    trickle.intervalMs = 5;
    server_->Route("/trickle.mp4", trickle);
    ServerResponse large;
    large.bodySize = 3 * 1024 * 1024;
    server_->Route("/large.mp4", large);
    ASSERT_TRUE(server_->Start());
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
  }

  void TearDown() override {
    if (run_) {
      EXPECT_TRUE(run_->Wait(120000));
    }
    run_.reset();
    RemoveTree(sandbox_);
  }

  void AddRow(const std::string& url, const std::string& label) { rows_.push_back({url, label}); }

  SaveJob Job(const std::string& itemId, const std::string& videoUrl = "") {
    return PlanSave(root_, itemId, videoUrl, rows_, text_);
  }

  SaveEffects Effects() {
    SaveEffects e;
    e.showStatus = [this](const std::string& message) {
      std::lock_guard<std::mutex> lock(mutex_);
      status_.push_back(message);
    };
    e.ask = [this](const std::string& question, const std::string& caption) {
      std::lock_guard<std::mutex> lock(mutex_);
      questions_.push_back({question, caption});
      return answerYes_;
    };
    e.openFolder = [this](const std::string& folder) {
      std::lock_guard<std::mutex> lock(mutex_);
      opened_.push_back(folder);
    };
    return e;
  }

  // The save on its worker thread, waited for.
  SaveOutcome SaveAndWait(const SaveJob& job) {
    run_ = StartSave(job, Effects());
    EXPECT_NE(run_, nullptr);
    if (!run_) return {};
    EXPECT_TRUE(run_->Wait(120000));
    return run_->Outcome();
  }

  // The text of the one question the save asked.
  std::string OnlyQuestion() {
    std::lock_guard<std::mutex> lock(mutex_);
    return questions_.size() == 1 ? questions_[0].text : std::to_string(questions_.size()) + " questions";
  }
  bool Shown(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::find(status_.begin(), status_.end(), line) != status_.end();
  }

  static LoopbackServer* server_;
  std::string sandbox_;
  std::string root_;
  std::vector<SaveRow> rows_;
  std::string text_;
  std::unique_ptr<SaveRun> run_;
  std::mutex mutex_;
  bool answerYes_ = false;
  std::vector<Question> questions_;
  std::vector<std::string> status_;
  std::vector<std::string> opened_;
};
LoopbackServer* SaverTest::server_ = nullptr;

TEST_F(SaverTest, SavesPicturesTextAndVideoUnderTheItemsFolder) {
  AddRow(server_->Url("/pic/204800"), "淘宝主图图片1");
  AddRow(server_->TlsUrl("/pic/3145733"), "淘宝SKU图片1");
  AddRow(server_->Url("/pic/204800"), "淘宝详情图片1");
  text_ = "好宝贝 标题\r\n\r\n红色 XL\r\n材质：棉\r\n";

  const SaveJob job = Job("652147895123", server_->Url("/video.mp4"));
  const std::string folder = root_ + "652147895123\\";
  EXPECT_EQ(job.outputFolder, folder);
  const SaveOutcome outcome = SaveAndWait(job);
  EXPECT_EQ(outcome.pictures, 3);
  EXPECT_EQ(outcome.failed, 0);
  EXPECT_TRUE(outcome.textSaved);
  EXPECT_EQ(outcome.video, VideoSaved::Saved);

  EXPECT_EQ(ListFolder(folder), (std::set<std::string>{"淘宝主图图片1.jpg", "淘宝SKU图片1.jpg", "淘宝详情图片1.jpg",
                                                       "652147895123   SKU与标题.txt", "652147895123主图视频 .mp4"}));
  const struct {
    const char* file;
    size_t size;
  } pictures[] = {{"淘宝主图图片1.jpg", 200 * 1024}, {"淘宝SKU图片1.jpg", 3 * 1024 * 1024 + 5}, {"淘宝详情图片1.jpg", 200 * 1024}};
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
  EXPECT_EQ(questions_[0].text, "保存成功，是否打开文件夹查看？");
  EXPECT_TRUE(opened_.empty()) << "No leaves the folder closed";
}

TEST_F(SaverTest, StatusLinesAndQuestionOfACompleteSave) {
  AddRow(server_->Url("/pic/1"), "京东主图图片1");
  AddRow(server_->Url("/pic/204800"), "京东详情图片1");
  answerYes_ = true;
  const SaveOutcome outcome = SaveAndWait(Job("100012043978"));
  EXPECT_TRUE(outcome.openedFolder);

  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_EQ(status_, (std::vector<std::string>{"读取 京东主图图片1", "图片数据保存完成 京东主图图片1", "读取 京东详情图片1",
                                               "图片数据保存完成 京东详情图片1", "所有图片保存完成"}));
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0].text, "保存成功，是否打开文件夹查看？");
  EXPECT_EQ(opened_, (std::vector<std::string>{root_ + "100012043978\\"})) << "Yes opens the item's folder";
  EXPECT_EQ(ReadFileBytes(root_ + "100012043978\\100012043978   SKU与标题.txt"), "") << "written even when empty";
  EXPECT_FALSE(FileExists(root_ + "100012043978\\100012043978主图视频 .mp4")) << "no video address, no video file";
}

TEST_F(SaverTest, AVideoAddressAnsweredWithAnErrorPageLeavesNoVideoFile) {
  ServerResponse missing;
  missing.status = 404;
  missing.reason = "Not Found";
  missing.body = "<html>no such video</html>";
  server_->Route("/gone.mp4", missing);
  AddRow(server_->Url("/pic/1"), "天猫主图图片1");
  SaveAndWait(Job("605258110430", server_->Url("/gone.mp4")));
  const std::string folder = root_ + "605258110430\\";
  EXPECT_EQ(ListFolder(folder), (std::set<std::string>{"天猫主图图片1.jpg", "605258110430   SKU与标题.txt"}))
      << "neither the error page as a video nor its temporary file";
}

TEST_F(SaverTest, RepeatedLabelsOfOneSaveGetTheirOwnFiles) {
  // Two harvests without a clear between them: the labels of the second repeat the first's.
  for (int run = 0; run < 2; ++run) {
    AddRow(server_->Url("/pic/1"), "淘宝主图图片1");
    AddRow(server_->Url("/pic/204800"), "淘宝主图图片2");
  }
  const SaveOutcome outcome = SaveAndWait(Job("55"));
  EXPECT_EQ(outcome.failed, 0);
  const std::string folder = root_ + "55\\";
  EXPECT_EQ(ListFolder(folder), (std::set<std::string>{"淘宝主图图片1.jpg", "淘宝主图图片2.jpg", "淘宝主图图片1 (2).jpg",
                                                       "淘宝主图图片2 (2).jpg", "55   SKU与标题.txt"}));
  EXPECT_EQ(ReadFileBytes(folder + "淘宝主图图片1 (2).jpg").size(), 1u + 4);
  EXPECT_EQ(ReadFileBytes(folder + "淘宝主图图片2 (2).jpg").size(), 200u * 1024 + 4);
  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_EQ(std::count(status_.begin(), status_.end(), "图片数据保存完成 淘宝主图图片1"), 2);
}

TEST_F(SaverTest, FailedPicturesAreNotWrittenButCountedAndNamed) {
  AddRow(server_->Url("/pic/1"), "阿里主图图片1");
  AddRow(server_->Url("/missing.jpg"), "阿里主图图片2");
  AddRow(server_->Url("/reset.jpg"), "阿里主图图片3");
  AddRow("http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/refused.jpg", "阿里主图图片4");
  AddRow(server_->Url("/empty.jpg"), "阿里主图图片5");
  AddRow("", "阿里主图图片6");
  AddRow(server_->Url("/error.jpg"), "阿里主图图片7");
  AddRow(server_->Url("/forbidden.jpg"), "阿里主图图片8");
  answerYes_ = true;
  const SaveOutcome outcome = SaveAndWait(Job("789"));
  EXPECT_EQ(outcome.pictures, 8);
  EXPECT_EQ(outcome.failed, 7);

  EXPECT_EQ(ListFolder(root_ + "789\\"), (std::set<std::string>{"阿里主图图片1.jpg", "789   SKU与标题.txt"}));
  std::lock_guard<std::mutex> lock(mutex_);
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0].text, "保存完成，8张图片中有7张未能保存，是否打开文件夹查看？");
  for (int i = 2; i <= 8; ++i) {
    const std::string failed = Numbered("图片数据保存失败 阿里主图图片", i);
    EXPECT_NE(std::find(status_.begin(), status_.end(), failed), status_.end()) << failed;
  }
  EXPECT_EQ(status_.back(), "所有图片保存完成");
  EXPECT_EQ(opened_.size(), 1u) << "Yes still opens the folder";
}

TEST_F(SaverTest, AWebPageAnsweredInAPicturesPlaceIsNoPicture) {
  AddRow(server_->Url("/page.jpg"), "淘宝主图图片1");
  AddRow(server_->Url("/data.jpg"), "淘宝主图图片2");
  AddRow(server_->Url("/portal.jpg"), "淘宝主图图片3");
  AddRow(server_->Url("/octet.jpg"), "淘宝主图图片4");
  AddRow(server_->Url("/empty.jpg"), "淘宝主图图片5");
  const SaveOutcome outcome = SaveAndWait(Job("27", server_->Url("/page.mp4")));
  EXPECT_EQ(outcome.failed, 4);

  const std::string folder = root_ + "27\\";
  EXPECT_EQ(ListFolder(folder), (std::set<std::string>{"淘宝主图图片4.jpg", "27   SKU与标题.txt"}))
      << "no page saved as a picture, none as the video";
  const std::string octet = ReadFileBytes(folder + "淘宝主图图片4.jpg");
  EXPECT_TRUE(octet.substr(0, 9000) == RandomBytes(9000, 21));
  EXPECT_EQ(octet.size(), 9004u);
  for (int i : {1, 2, 3, 5}) EXPECT_TRUE(Shown(Numbered("图片数据保存失败 淘宝主图图片", i))) << i;
  EXPECT_EQ(OnlyQuestion(), "保存完成，5张图片中有4张未能保存，主图视频也未能保存，是否打开文件夹查看？");
}

// Pictures that finish out of order are still told row by row.
TEST_F(SaverTest, StatusLinesGoRowByRowWhicheverPictureComesFirst) {
  AddRow(server_->Url("/late?row-order"), "京东主图图片1");
  AddRow(server_->Url("/pic/1"), "京东主图图片2");
  AddRow(server_->Url("/missing.jpg"), "京东主图图片3");
  AddRow(server_->Url("/pic/204800"), "京东主图图片4");
  SaveAndWait(Job("1001"));
  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_EQ(status_, (std::vector<std::string>{"读取 京东主图图片1", "图片数据保存完成 京东主图图片1",
                                               "读取 京东主图图片2", "图片数据保存完成 京东主图图片2",
                                               "读取 京东主图图片3", "图片数据保存失败 京东主图图片3",
                                               "读取 京东主图图片4", "图片数据保存完成 京东主图图片4",
                                               "所有图片保存完成"}));
}

// Six pictures are asked for at once and no seventh while they wait; a stop ends all six at once.
TEST_F(SaverTest, SixPicturesAreInFlightAtOnceAndAStopEndsThem) {
  const auto hanging = [] {
    size_t n = 0;
    for (const RecordedRequest& r : server_->Requests()) n += r.Target().starts_with("/hang?n=");
    return n;
  };
  const size_t before = hanging();
  for (int i = 1; i <= 9; ++i) AddRow(server_->Url(Numbered("/hang?n=", i)), Numbered("阿里详情图片", i));
  run_ = StartSave(Job("600"), Effects());
  ASSERT_NE(run_, nullptr);
  for (ULONGLONG start = GetTickCount64(); hanging() < before + 6 && GetTickCount64() - start < 30000;) Sleep(20);
  ASSERT_EQ(hanging(), before + 6);
  Sleep(500);
  EXPECT_EQ(hanging(), before + 6) << "no seventh while six wait";

  EXPECT_TRUE(run_->StopAndWait(10000)) << "the exchanges end at the stop, not at their deadline";
  EXPECT_TRUE(run_->Outcome().stopped);
  EXPECT_EQ(ListFolder(root_ + "600\\"), std::set<std::string>{});
  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_EQ(status_, std::vector<std::string>{"读取 阿里详情图片1"});
  EXPECT_TRUE(questions_.empty());
}

// A video download that trickles past its time, sends nothing or grows too large is given up: the
// save ends, without a video file or its partial file.
TEST_F(SaverTest, AVideoDownloadOutOfItsBoundsLeavesNoFile) {
  const struct {
    const char* what;
    const char* path;
    VideoBounds bounds;
  } rows[] = {
      {"trickling past its time", "/trickle.mp4", {1500, 30000, 512ull << 20}},
      {"no news", "/hang", {600000, 1000, 512ull << 20}},
      {"too large", "/large.mp4", {600000, 30000, 1ull << 20}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    rows_ = {{server_->Url("/pic/1"), "天猫主图图片1"}};
    SaveJob job = Job("700", server_->Url(row.path));
    job.videoBounds = row.bounds;
    const SaveOutcome outcome = SaveAndWait(job);
    EXPECT_EQ(outcome.failed, 0);
    EXPECT_EQ(outcome.video, VideoSaved::Failed);
    EXPECT_EQ(ListFolder(root_ + "700\\"), (std::set<std::string>{"天猫主图图片1.jpg", "700   SKU与标题.txt"}));
    std::lock_guard<std::mutex> lock(mutex_);
    EXPECT_EQ(status_.back(), "所有图片保存完成");
    status_.clear();
  }
}

TEST_F(SaverTest, AFailureOnTheWayIsAskedOnceMoreAndAClientErrorIsNot) {
  AddRow(server_->Url("/flaky-503.jpg"), "淘宝详情图片1");
  AddRow(server_->Url("/flaky-reset.jpg"), "淘宝详情图片2");
  AddRow(server_->Url("/flaky-404.jpg"), "淘宝详情图片3");
  AddRow(server_->Url("/error.jpg"), "淘宝详情图片4");
  AddRow(server_->Url("/forbidden.jpg"), "淘宝详情图片5");
  // The server serves the whole suite: count from here.
  const size_t errorsBefore = CountRequests(*server_, "/error.jpg");
  const size_t forbiddenBefore = CountRequests(*server_, "/forbidden.jpg");
  const SaveOutcome outcome = SaveAndWait(Job("66"));
  EXPECT_EQ(outcome.failed, 3);

  const std::string folder = root_ + "66\\";
  EXPECT_EQ(ListFolder(folder), (std::set<std::string>{"淘宝详情图片1.jpg", "淘宝详情图片2.jpg", "66   SKU与标题.txt"}));
  EXPECT_TRUE(ReadFileBytes(folder + "淘宝详情图片1.jpg").substr(0, 5000) == RandomBytes(5000, 11));
  EXPECT_EQ(ReadFileBytes(folder + "淘宝详情图片1.jpg").size(), 5004u);
  EXPECT_EQ(ReadFileBytes(folder + "淘宝详情图片2.jpg").size(), 6004u);
  const struct {
    const char* path;
    size_t requests;
  } asked[] = {{"/flaky-503.jpg", 2},
               {"/flaky-reset.jpg", 2},
               {"/flaky-404.jpg", 1},
               {"/error.jpg", errorsBefore + 2},
               {"/forbidden.jpg", forbiddenBefore + 1}};
  for (const auto& a : asked) EXPECT_EQ(CountRequests(*server_, a.path), a.requests) << a.path;
  EXPECT_EQ(OnlyQuestion(), "保存完成，5张图片中有3张未能保存，是否打开文件夹查看？");
}

TEST_F(SaverTest, AFailingWorkerStillEndsWithTheQuestion) {
  AddRow(server_->Url("/pic/1"), "淘宝主图图片1");
  AddRow(server_->Url("/pic/1"), "淘宝主图图片2");
  AddRow(server_->Url("/pic/1"), "淘宝主图图片3");
  SaveEffects effects = Effects();
  // The worker runs out of memory while it reports the second picture.
  effects.showStatus = [this](const std::string& message) {
    if (message == "读取 淘宝主图图片2") throw std::bad_alloc();
    std::lock_guard<std::mutex> lock(mutex_);
    status_.push_back(message);
  };
  run_ = StartSave(Job("77"), effects);
  ASSERT_NE(run_, nullptr);
  ASSERT_TRUE(run_->Wait(60000));
  EXPECT_EQ(run_->Outcome().failed, 2);
  std::lock_guard<std::mutex> lock(mutex_);
  ASSERT_EQ(questions_.size(), 1u);
  EXPECT_EQ(questions_[0].text, "保存完成，3张图片中有2张未能保存，SKU与标题文本也未能保存，是否打开文件夹查看？");
  EXPECT_EQ(status_.back(), "所有图片保存完成") << "the status line does not stay at the picture being read";
}

TEST_F(SaverTest, TwoSavesOfOneItemDifferInTheirTails) {
  for (int i = 1; i <= 4; ++i) AddRow(server_->Url("/pic/1"), Numbered("淘宝主图图片", i));
  std::vector<std::uint32_t> first;
  SaveAndWait(Job("42"));
  for (int i = 1; i <= 4; ++i) first.push_back(TailOf(ReadFileBytes(root_ + Numbered("42\\淘宝主图图片", i) + ".jpg")));
  SaveAndWait(Job("42"));
  int differing = 0;
  for (int i = 1; i <= 4; ++i) {
    const std::uint32_t tail = TailOf(ReadFileBytes(root_ + Numbered("42\\淘宝主图图片", i) + ".jpg"));
    EXPECT_LT(tail, 10000u);
    differing += tail != first[i - 1];
  }
  EXPECT_GE(differing, 3) << "each file's tail is drawn anew";
  EXPECT_EQ(std::set<std::uint32_t>(first.begin(), first.end()).size() >= 3, true) << "and differs between files";
  EXPECT_EQ(ListFolder(root_ + "42\\").size(), 5u) << "the second save replaced the first's files";
}

TEST_F(SaverTest, HostileNamesStayInsideTheOutputRoot) {
  AddRow(server_->Url("/pic/1"), "..\\..\\..\\escaped");
  AddRow(server_->Url("/pic/1"), "sub/dir:name*?.");
  SaveAndWait(Job("..\\..\\evil", server_->Url("/video.mp4")));

  EXPECT_EQ(ListFolder(sandbox_), (std::set<std::string>{"岚栩图片工具箱"})) << "nothing beside the root";
  const std::string folder = root_ + ".__.__evil\\";
  EXPECT_EQ(ListFolder(root_), (std::set<std::string>{".__.__evil"}));
  EXPECT_EQ(ListFolder(folder), (std::set<std::string>{".__.__.__escaped.jpg", "sub_dir_name__.jpg",
                                                       ".__.__evil   SKU与标题.txt", ".__.__evil主图视频 .mp4"}));
}

// Rows without an item id go to a folder named after the time of the save, never into the root.
TEST_F(SaverTest, AnEmptyItemIdStillGetsAFolderOfItsOwn) {
  AddRow(server_->Url("/pic/1"), "淘宝主图图片1");
  const SaveJob job = Job("");
  const std::string name = job.itemId;
  ASSERT_EQ(name.size(), std::string("20261206-174533").size()) << name;
  EXPECT_EQ(name.find_first_not_of("0123456789-"), std::string::npos) << name;
  EXPECT_EQ(job.outputFolder, root_ + name + "\\");
  SaveAndWait(job);
  EXPECT_EQ(ListFolder(root_), std::set<std::string>{name});
  EXPECT_EQ(ListFolder(job.outputFolder), (std::set<std::string>{"淘宝主图图片1.jpg", name + "   SKU与标题.txt"}));
}

// The text file and the video count like the pictures: one that cannot be written (a folder in its
// place, a file another program holds open) turns the question into the failure one, naming it.
TEST_F(SaverTest, ATextFileOrVideoThatCannotBeWrittenIsNamedInTheQuestion) {
  const std::string text = "99   SKU与标题.txt", video = "99主图视频 .mp4";
  const struct {
    const char* name;
    std::vector<std::string> folders, held;  // in the item's folder before the save
    const char* question;
  } rows[] = {
      {"a folder in the text file's place", {text}, {}, "保存完成，SKU与标题文本未能保存，是否打开文件夹查看？"},
      {"the text file held open", {}, {text}, "保存完成，SKU与标题文本未能保存，是否打开文件夹查看？"},
      {"the video held open", {}, {video}, "保存完成，主图视频未能保存，是否打开文件夹查看？"},
      {"folders in the places of both", {text, video}, {}, "保存完成，SKU与标题文本和主图视频未能保存，是否打开文件夹查看？"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string folder = root_ + "99\\";
    RemoveTree(folder);
    CreateDirectoryW(GbkToWide(folder).c_str(), nullptr);
    for (const std::string& name : row.folders) CreateDirectoryW(GbkToWide(folder + name).c_str(), nullptr);
    std::vector<UniqueFile> held;
    for (const std::string& name : row.held)
      held.emplace_back(CreateFileW(GbkToWide(folder + name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    rows_ = {{server_->Url("/pic/1"), "淘宝主图图片1"}};
    text_ = "标题\r\n";
    {
      std::lock_guard<std::mutex> lock(mutex_);
      questions_.clear();
    }
    const SaveOutcome outcome = SaveAndWait(Job("99", server_->Url("/video.mp4")));
    EXPECT_EQ(outcome.failed, 0);
    const std::string question = row.question;
    EXPECT_EQ(outcome.textSaved, question.find("SKU与标题文本") == std::string::npos);
    EXPECT_EQ(outcome.video, question.find("主图视频") == std::string::npos ? VideoSaved::Saved : VideoSaved::Failed);
    EXPECT_EQ(OnlyQuestion(), row.question);
    EXPECT_EQ(ReadFileBytes(folder + "淘宝主图图片1.jpg").size(), 1u + 4) << "the pictures are saved all the same";
    held.clear();
    const std::set<std::string> files = ListFolder(folder);
    for (const std::string& name : files) EXPECT_FALSE(name.ends_with(".part")) << name;
  }
}

TEST_F(SaverTest, AStopEndsTheSaveAtThePictureBoundaryWithWholeFilesOnly) {
  const int kRows = 40;
  for (int i = 1; i <= kRows; ++i) AddRow(server_->Url(Numbered("/slow?n=", i)), Numbered("天猫详情图片", i));
  run_ = StartSave(Job("111", server_->Url("/video.mp4")), Effects());
  ASSERT_NE(run_, nullptr);
  const std::string folder = root_ + "111\\";
  // Some pictures saved, far from all.
  for (DWORD begin = GetTickCount(); ListFolder(folder).size() < 3 && GetTickCount() - begin < 20000;) Sleep(10);
  ASSERT_TRUE(run_->Running());

  const DWORD asked = GetTickCount();
  EXPECT_TRUE(run_->StopAndWait(2000));
  EXPECT_LT(GetTickCount() - asked, 1500u) << "the picture under way is a 60 ms one";
  EXPECT_FALSE(run_->Running());
  const SaveOutcome outcome = run_->Outcome();
  EXPECT_TRUE(outcome.stopped);

  const std::set<std::string> files = ListFolder(folder);
  EXPECT_LT(files.size(), static_cast<size_t>(kRows));
  for (const std::string& name : files) {
    EXPECT_TRUE(name.ends_with(".jpg")) << name << ": no text file, no video, no temporary file";
    EXPECT_EQ(ReadFileBytes(folder + name).size(), 20u * 1024 + 4) << name;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_TRUE(questions_.empty()) << "nobody is asked once the window is going";
}

TEST_F(SaverTest, AWorkerLeftBehindAtTheBoundWritesNothingMore) {
  AddRow(server_->Url("/late?left-behind"), "淘宝主图图片1");
  AddRow(server_->Url("/pic/1"), "淘宝主图图片2");
  run_ = StartSave(Job("88"), Effects());
  ASSERT_NE(run_, nullptr);
  // The picture takes 1.5 s to come; no bound is shorter than this one.
  ASSERT_TRUE(server_->LastRequestFor("/late?left-behind", 10000).raw.size() > 0);
  EXPECT_FALSE(run_->StopAndWait(0));
  ASSERT_TRUE(run_->Wait(30000)) << "the worker ends once its request has";
  const std::set<std::string> files = ListFolder(root_ + "88\\");
  EXPECT_FALSE(files.contains("淘宝主图图片1.jpg")) << "the picture that came after the bound";
  EXPECT_LE(files.size(), 1u) << "at most the picture fetched beside it, before the stop";
  std::lock_guard<std::mutex> lock(mutex_);
  EXPECT_TRUE(questions_.empty());
}

TEST(SaveQuestionTextTest, Table) {
  const struct {
    SaveOutcome outcome;
    const char* text;
  } rows[] = {
      {{.pictures = 12, .textSaved = true}, "保存成功，是否打开文件夹查看？"},
      {{.pictures = 12, .textSaved = true, .video = VideoSaved::Saved}, "保存成功，是否打开文件夹查看？"},
      {{.pictures = 12, .failed = 1, .textSaved = true}, "保存完成，12张图片中有1张未能保存，是否打开文件夹查看？"},
      {{.pictures = 12, .textSaved = true, .video = VideoSaved::Failed}, "保存完成，主图视频未能保存，是否打开文件夹查看？"},
      {{.pictures = 12, .failed = 12, .textSaved = false},
       "保存完成，12张图片中有12张未能保存，SKU与标题文本也未能保存，是否打开文件夹查看？"},
      {{.pictures = 1, .failed = 1, .textSaved = false, .video = VideoSaved::Failed},
       "保存完成，1张图片中有1张未能保存，SKU与标题文本和主图视频也未能保存，是否打开文件夹查看？"},
  };
  for (const auto& row : rows) EXPECT_EQ(SaveQuestionText(row.outcome), row.text);
}

}  // namespace
