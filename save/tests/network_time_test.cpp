#include "save/network_time.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "save/date_time.h"
#include "tests/support/loopback_server.h"

namespace {

ServerResponse WithDate(const std::string& date) {
  ServerResponse r;
  r.body = "page";
  r.headers = {{"Date", date}};
  return r;
}

class NetworkTimeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new LoopbackServer;
    server_->Route("/", WithDate("Sun, 06 Dec 2026 09:45:33 GMT"));
    server_->Route("/four-pm", WithDate("Sun, 06 Dec 2026 16:00:00 GMT"));
    server_->Route("/empty-date", WithDate(""));
    ASSERT_TRUE(server_->Start());
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  static LoopbackServer* server_;

  static std::string StatusFrom(const std::string& probeUrl, const std::string& message) {
    std::string written;
    ShowStatus(message, probeUrl, [&](const std::string& line) { written = line; });
    return written;
  }

  // The computer's clock in China Standard Time, read around `act`: the line must show one of the
  // seconds it ran through.
  static void ExpectComputerClock(const std::function<std::string()>& act, const std::string& message) {
    const double before = CurrentChinaTime();
    const std::string line = act();
    const double after = CurrentChinaTime();
    bool matched = false;
    for (double t = before; t <= after + 0.5 / 86400; t += 1.0 / 86400)
      matched = matched || line == StatusLineText(t, message);
    EXPECT_TRUE(matched) << line;
  }
};
LoopbackServer* NetworkTimeTest::server_ = nullptr;

TEST_F(NetworkTimeTest, StatusLineShowsTheServersTimeInChina) {
  EXPECT_EQ(StatusFrom(server_->Url("/"), "读取 淘宝主图图片1"), "2026年12月6日17时45分33秒 - 读取 淘宝主图图片1");
  EXPECT_EQ(StatusFrom(server_->Url("/four-pm"), "所有图片保存完成"), "2026年12月7日 - 所有图片保存完成");
}

TEST_F(NetworkTimeTest, ProbeIsAHeadRequestWithTheDefaultLines) {
  GetNetworkTime(server_->Url("/?probe"));
  const auto requests = server_->WaitForRequests(1);
  const RecordedRequest* probe = nullptr;
  for (const auto& r : requests)
    if (r.Target() == "/?probe") probe = &r;
  ASSERT_NE(probe, nullptr);
  EXPECT_EQ(probe->Method(), "HEAD");
  EXPECT_EQ(probe->Header("Accept-Language"), "zh-cn");
  EXPECT_FALSE(probe->HasHeader("Cookie"));
}

TEST_F(NetworkTimeTest, WithoutANetworkTimeTheComputersClockIsShown) {
  ExpectComputerClock([] { return StatusFrom(server_->Url("/empty-date"), "读取 x"); }, "读取 x");
  const std::string refused = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/";
  ExpectComputerClock([&] { return StatusFrom(refused, "读取 y"); }, "读取 y");
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
