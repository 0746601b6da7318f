#include "save/network_time.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <mutex>

#include "save/date_time.h"
#include "save/saver.h"
#include "runtime/codepage.h"
#include "runtime/folders.h"
#include "tests/support/loopback_server.h"
#include "tests/support/test_files.h"

namespace {

const char kProbeDate[] = "Sun, 06 Dec 2026 09:45:33 GMT";

ServerResponse WithDate(const std::string& date) {
  ServerResponse r;
  r.body = "page";
  r.headers = {{"Date", date}};
  return r;
}

// Whether `line` is the message behind the computer's clock at some second from `before` to
// `after` (China Standard Time).
bool ShowsComputerClock(const std::string& line, const std::string& message, double before, double after) {
  for (double t = before; t <= after + 0.5 / 86400; t += 1.0 / 86400)
    if (line == StatusLineText(t, message)) return true;
  return false;
}

class NetworkTimeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new LoopbackServer;
    server_->Route("/", WithDate(kProbeDate));
    server_->Route("/four-pm", WithDate("Sun, 06 Dec 2026 16:00:00 GMT"));
    server_->Route("/empty-date", WithDate(""));
    ServerResponse noDate;
    noDate.dateHeader = false;
    server_->Route("/no-date", noDate);
    ServerResponse garbled = WithDate("yesterday at noon");
    server_->Route("/garbled-date", garbled);
    ServerResponse silent;
    silent.mode = "hang";
    server_->Route("/silent", silent);
    ServerResponse slow = WithDate(kProbeDate);
    slow.delayMs = 4000;
    server_->Route("/slow", slow);
    ServerResponse picture;
    picture.body = std::string(3000, 'p');
    server_->Route("/pic.jpg", picture);
    ASSERT_TRUE(server_->Start());
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static LoopbackServer* server_;
};
LoopbackServer* NetworkTimeTest::server_ = nullptr;

TEST_F(NetworkTimeTest, ProbeGivesTheServersTimeInChina) {
  EXPECT_EQ(TimeText(GetNetworkTime(server_->Url("/"))), "2026年12月6日17时45分33秒");
  EXPECT_EQ(TimeText(GetNetworkTime(server_->Url("/four-pm"))), "2026年12月7日");
}

TEST_F(NetworkTimeTest, ProbeIsAHeadRequestWithTheDefaultLines) {
  GetNetworkTime(server_->Url("/?probe"));
  const RecordedRequest probe = server_->LastRequestFor("/?probe");
  EXPECT_EQ(probe.Method(), "HEAD");
  EXPECT_EQ(probe.Header("Accept-Language"), "zh-cn");
  EXPECT_FALSE(probe.HasHeader("Cookie"));
}

TEST_F(NetworkTimeTest, WithoutANetworkTimeTheProbeGivesTheComputersClock) {
  const std::string refused = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/";
  for (const std::string& url : {server_->Url("/empty-date"), server_->Url("/no-date"), refused}) {
    const double before = CurrentChinaTime();
    const std::string line = StatusLineText(GetNetworkTime(url), "读取 x");
    EXPECT_TRUE(ShowsComputerClock(line, "读取 x", before, CurrentChinaTime())) << url << ": " << line;
  }
}

TEST_F(NetworkTimeTest, OnceAnsweredTheClockRunsOnFromTheNetworkTime) {
  const StatusClock clock = StatusClock::Probing(server_->Url("/?answered"));
  ASSERT_TRUE(clock.WaitForProbe(30000));
  ASSERT_TRUE(clock.HasNetworkTime());
  const std::string first = clock.Stamp("读取 淘宝主图图片1");
  // Read right after the answer: its second, or the next under a heavy load.
  EXPECT_TRUE(first == "2026年12月6日17时45分33秒 - 读取 淘宝主图图片1" ||
              first == "2026年12月6日17时45分34秒 - 读取 淘宝主图图片1")
      << first;
  // A second later on the monotonic clock, a second later on the status line.
  const double start = clock.Now();
  auto secondsSinceStart = [&] { return (clock.Now() - start) * 86400; };
  std::string later;
  for (DWORD begin = GetTickCount(); GetTickCount() - begin < 5000 && secondsSinceStart() < 0.5; Sleep(20))
    later = clock.Stamp("所有图片保存完成");
  EXPECT_NEAR(secondsSinceStart(), 1.0, 0.01) << later;
  EXPECT_EQ(later.substr(later.find(" - ")), " - 所有图片保存完成");
}

TEST_F(NetworkTimeTest, AClockWithoutAProbeIsTheComputersClock) {
  const StatusClock clock;
  EXPECT_TRUE(clock.WaitForProbe(0));
  const double before = CurrentChinaTime();
  const std::string line = clock.Stamp("淘宝数据");
  EXPECT_TRUE(ShowsComputerClock(line, "淘宝数据", before, CurrentChinaTime())) << line;
}

// A save stamps its status lines with a clock probing a time host that misbehaves: the save goes
// at the pace of its pictures, and its lines show the computer's clock until an answer comes.
TEST_F(NetworkTimeTest, SavingNeverWaitsOnTheTimeHost) {
  const struct {
    const char* what;
    std::string probe;
    bool answersLater;
  } hosts[] = {
      {"silent", server_->Url("/silent"), false},
      {"refusing", "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/", false},
      {"slow", server_->Url("/slow"), true},
      {"no Date header", server_->Url("/no-date"), false},
      {"unreadable Date header", server_->Url("/garbled-date"), false},
  };
  const std::string folder = WideToGbk(WinePathOf(BinaryDir())) + "\\clock-test-" + std::to_string(GetCurrentProcessId()) + "\\";
  ASSERT_TRUE(EnsureFolder(folder));
  for (const auto& host : hosts) {
    SCOPED_TRACE(host.what);
    SaveJob job = PlanSave(folder, "", "", {}, "");
    for (int i = 1; i <= 5; ++i) job.rows.push_back({server_->Url("/pic.jpg"), "天猫主图图片" + std::to_string(i)});
    std::mutex lock;
    std::vector<std::string> lines;
    const StatusClock clock = StatusClock::Probing(host.probe);
    SaveEffects effects;
    effects.showStatus = [&](const std::string& message) {
      std::lock_guard<std::mutex> guard(lock);
      lines.push_back(clock.Stamp(message));
    };
    const double before = CurrentChinaTime();
    const DWORD started = GetTickCount();
    const SaveOutcome outcome = SaveResults(job, effects);
    EXPECT_LT(GetTickCount() - started, 2500u) << "five small pictures from the loopback server";
    const double after = CurrentChinaTime();
    std::string shown;
    for (const std::string& line : lines) shown += line + "\n";
    EXPECT_EQ(outcome.failed, 0) << shown;
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_TRUE(ShowsComputerClock(lines.back(), "所有图片保存完成", before, after)) << lines.back();
    EXPECT_TRUE(ShowsComputerClock(lines.front(), "读取 天猫主图图片1", before, after)) << lines.front();
    if (host.answersLater) {
      ASSERT_TRUE(clock.WaitForProbe(30000));
      EXPECT_TRUE(clock.HasNetworkTime());
      EXPECT_EQ(clock.Stamp("x").substr(0, 21), "2026年12月6日17时45分");
    }
  }
  RemoveTree(folder);  // the item folders the saves made, named after their time
}

TEST(HttpDateToTimeTest, Table) {
  const struct {
    const char* text;
    const char* time;
  } rows[] = {
      {" Sun, 06 Dec 2026 09:45:33 GMT", "2026年12月6日9时45分33秒"},
      {"Sun, 06 Dec 2026 16:00:00 GMT", "2026年12月6日16时"},
      {"Mon, 29 Feb 2028 23:59:00 GMT", "2028年2月29日23时59分"},
      {"", "100年1月1日"},
      {"   ", "100年1月1日"},
  };
  for (const auto& r : rows) EXPECT_EQ(TimeText(HttpDateToTime(r.text)), r.time) << r.text;
  EXPECT_FALSE(ReadHttpDate("").has_value());
}

}  // namespace
