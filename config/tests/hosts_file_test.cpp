#include "config/hosts_file.h"

#include <gtest/gtest.h>

namespace {

ProgramHosts Base() {
  ProgramHosts hosts;
  hosts.endpoints = {"desc", "desclink", "video", "tmall.com", "img", "m.jd"};
  hosts.timeProbeHost = "probe";
  hosts.taobaoLoginPage = "https://login.taobao.example/";
  hosts.alibabaLoginPage = "https://login.1688.example/";
  return hosts;
}

TEST(HostsFileTest, EveryNameReplacesItsHostAndTheRestKeepTheirs) {
  const HostsFileReading r = ReadHostsText(
      "TaobaoDescHost=127.0.0.1:8080\r\n"
      "TaobaoDescLinkHost = shop.test\r\n"
      "TaobaoVideoHost=127.0.0.1:8081\n"
      "TmallTitleDomain=shop.test\n"
      "JdImageHost=img.shop.test\n"
      "JdMobileItemHost=[::1]:9000\n"
      "PlatformMirror=localhost:41509\n"
      "TimeProbeHost=127.0.0.1:8082\n"
      "TaobaoLoginPage=http://127.0.0.1:8080/login?from=demo\n"
      "AlibabaLoginPage=https://shop.test/登录",
      Base());
  EXPECT_TRUE(r.problems.empty()) << DescribeHostsProblems(r.problems);
  const EndpointHosts& e = r.hosts.endpoints;
  EXPECT_EQ(e.TaobaoDescHost, "127.0.0.1:8080");
  EXPECT_EQ(e.TaobaoDescLinkHost, "shop.test");
  EXPECT_EQ(e.TaobaoVideoHost, "127.0.0.1:8081");
  EXPECT_EQ(e.TmallTitleDomain, "shop.test");
  EXPECT_EQ(e.JdImageHost, "img.shop.test");
  EXPECT_EQ(e.JdMobileItemHost, "[::1]:9000");
  EXPECT_EQ(e.PlatformMirror, "localhost:41509");
  EXPECT_EQ(r.hosts.timeProbeHost, "127.0.0.1:8082");
  EXPECT_EQ(r.hosts.taobaoLoginPage, "http://127.0.0.1:8080/login?from=demo");
  EXPECT_EQ(r.hosts.alibabaLoginPage, "https://shop.test/登录");

  const HostsFileReading partial = ReadHostsText("JdImageHost=127.0.0.1:1\n", Base());
  EXPECT_EQ(partial.hosts.endpoints.JdImageHost, "127.0.0.1:1");
  EXPECT_EQ(partial.hosts.endpoints.TaobaoDescHost, "desc");
  EXPECT_EQ(partial.hosts.endpoints.PlatformMirror, "") << "the sites themselves, unless a file names a mirror";
  EXPECT_EQ(partial.hosts.timeProbeHost, "probe");
}

TEST(HostsFileTest, CommentsBlankLinesAndAByteOrderMarkAreSkipped) {
  const HostsFileReading r =
      ReadHostsText("\xEF\xBB\xBF# demo shop\r\n\r\n   \r\n; another comment\r\ntimeprobehost=127.0.0.1:5\r\n", Base());
  EXPECT_TRUE(r.problems.empty()) << DescribeHostsProblems(r.problems);
  EXPECT_EQ(r.hosts.timeProbeHost, "127.0.0.1:5");
}

TEST(HostsFileTest, BadLinesChangeNothingAndAreReportedWithTheirNumbers) {
  const struct {
    const char* line;
    const char* reason;
  } rows[] = {
      {"TaobaoDescHost", "不是“名称=值”的格式：TaobaoDescHost"},
      {"Unknown=1.2.3.4", "未知的名称：Unknown"},
      {"=1.2.3.4", "未知的名称："},
      {"TaobaoDescHost=", "TaobaoDescHost 的值不是主机名："},
      {"TaobaoDescHost=http://host/", "TaobaoDescHost 的值不是主机名：http://host/"},
      {"JdImageHost=img host", "JdImageHost 的值不是主机名：img host"},
      {"TimeProbeHost=a/b", "TimeProbeHost 的值不是主机名：a/b"},
      {"TaobaoLoginPage=login.taobao.com", "TaobaoLoginPage 的值不是 http(s) 网址：login.taobao.com"},
      {"AlibabaLoginPage=https://", "AlibabaLoginPage 的值不是 http(s) 网址：https://"},
      {"AlibabaLoginPage=https://a b/", "AlibabaLoginPage 的值不是 http(s) 网址：https://a b/"},
      {"TaobaoVideoHost=a\x01" "b", "TaobaoVideoHost 的值不是主机名：a\x01" "b"},
      // Values are read as the engines read a URL: ports 1 to 65535, whole IPv6 literals.
      {"PlatformMirror=mirror.example:8080", "PlatformMirror 的值不是本机的 localhost：mirror.example:8080"},
      {"PlatformMirror=localhost.example", "PlatformMirror 的值不是本机的 localhost：localhost.example"},
      {"TaobaoDescHost=127.0.0.1:65536", "TaobaoDescHost 的值不是主机名：127.0.0.1:65536"},
      {"JdMobileItemHost=[::1:9000", "JdMobileItemHost 的值不是主机名：[::1:9000"},
      {"TaobaoLoginPage=http://127.0.0.1:0/login", "TaobaoLoginPage 的值不是 http(s) 网址：http://127.0.0.1:0/login"},
  };
  for (const auto& row : rows) {
    const HostsFileReading r = ReadHostsText(std::string("# first\n") + row.line + "\n", Base());
    ASSERT_EQ(r.problems.size(), 1u) << row.line;
    EXPECT_EQ(r.problems[0].line, 2) << row.line;
    EXPECT_EQ(r.problems[0].reason, row.reason) << row.line;
    const ProgramHosts base = Base();
    EXPECT_EQ(r.hosts.endpoints.TaobaoDescHost, base.endpoints.TaobaoDescHost) << row.line;
    EXPECT_EQ(r.hosts.endpoints.JdImageHost, base.endpoints.JdImageHost) << row.line;
    EXPECT_EQ(r.hosts.timeProbeHost, base.timeProbeHost) << row.line;
    EXPECT_EQ(r.hosts.taobaoLoginPage, base.taobaoLoginPage) << row.line;
    EXPECT_EQ(r.hosts.alibabaLoginPage, base.alibabaLoginPage) << row.line;
  }
}

TEST(HostsFileTest, ARepeatedNameTakesTheLaterLineAndSaysSo) {
  const HostsFileReading r = ReadHostsText("JdImageHost=a\nJdImageHost=b\n", Base());
  EXPECT_EQ(r.hosts.endpoints.JdImageHost, "b");
  ASSERT_EQ(r.problems.size(), 1u);
  EXPECT_EQ(DescribeHostsProblems(r.problems), "第2行：JdImageHost 重复出现，以这一行为准");
}

TEST(HostsFileTest, AnythingAtAllReadsWithoutHarmAndTheReportStaysShort) {
  std::string noise;
  for (int i = 0; i < 5000; ++i) noise += static_cast<char>((i * 7919) % 256);
  noise += std::string(100, '\xB0') + "=" + std::string(300, 'x');  // a long name, half a GBK character at the end
  const HostsFileReading r = ReadHostsText(noise, Base());
  EXPECT_FALSE(r.problems.empty());
  const std::string text = DescribeHostsProblems(r.problems);
  EXPECT_LT(text.size(), 4000u);

  std::string many;
  for (int i = 0; i < 30; ++i) many += "Nope=1\n";
  const std::string listed = DescribeHostsProblems(ReadHostsText(many, Base()).problems);
  EXPECT_NE(listed.find("第20行"), std::string::npos);
  EXPECT_EQ(listed.find("第21行"), std::string::npos);
  EXPECT_NE(listed.find("另有10处"), std::string::npos);
}

TEST(HostsFileTest, ShippedHostsAndTheProbePage) {
  const ProgramHosts shipped = ShippedProgramHosts();
  EXPECT_EQ(shipped.timeProbeHost, kTimeProbeHost);
  EXPECT_EQ(shipped.taobaoLoginPage, kTaobaoLoginPage);
  EXPECT_EQ(shipped.endpoints.JdImageHost, kJdImageHost);
  EXPECT_EQ(TimeProbeUrl("127.0.0.1:80"), "http://127.0.0.1:80/");
}

}  // namespace
