#include "text/url.h"

#include <gtest/gtest.h>

#include "text/tests/url_table.h"

namespace {

TEST(UrlTest, EveryRowOfTheTable) {
  for (const UrlRow& r : kUrlRows) {
    SCOPED_TRACE(r.url);
    const std::optional<UrlParts> parts = ParseUrl(r.url);
    ASSERT_EQ(parts.has_value(), r.scheme != nullptr);
    if (!parts) continue;
    EXPECT_EQ(parts->scheme, r.scheme);
    EXPECT_EQ(parts->host, r.host);
    EXPECT_EQ(parts->port, r.port);
    EXPECT_EQ(parts->path, r.path);
    EXPECT_EQ(parts->query, r.query ? std::optional<std::string>(r.query) : std::nullopt);
    EXPECT_EQ(parts->fragment, r.fragment ? std::optional<std::string>(r.fragment) : std::nullopt);
    EXPECT_EQ(parts->userInfo, r.userInfo);
  }
}

TEST(UrlTest, PortsAndSchemes) {
  EXPECT_EQ(ParseUrl("https://a.example/")->PortOrDefault(), 443);
  EXPECT_EQ(ParseUrl("http://a.example/")->PortOrDefault(), 80);
  EXPECT_EQ(ParseUrl("HTTP://a.example:8443/")->PortOrDefault(), 8443);
  EXPECT_EQ(ParseUrl("http://[::1]:8080/")->HostAndPort(), "[::1]:8080");
  EXPECT_EQ(ParseUrl("http://A.example/")->HostAndPort(), "a.example");
  EXPECT_TRUE(ParseUrl("HTTPS://a.example/")->IsHttp());
  EXPECT_FALSE(ParseUrl("ftp://a.example/")->IsHttp());
  EXPECT_TRUE(HasSchemePrefix("git+ssh://a"));
  EXPECT_FALSE(HasSchemePrefix("a.example/x?r=http://b"));
}

}  // namespace
