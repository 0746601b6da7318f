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

TEST(UrlTest, RedirectTargetsResolveAgainstTheAnsweringAddress) {
  for (const RedirectRow& r : kRedirectRows) {
    const std::optional<std::string> target = RedirectTarget(r.from, r.location);
    EXPECT_EQ(target, r.target ? std::optional<std::string>(r.target) : std::nullopt) << r.from << " " << r.location;
  }
}

TEST(UrlTest, QueryValuesAndPageNumbers) {
  for (const LinkPartsRow& r : kLinkPartsRows) {
    EXPECT_EQ(QueryValue(r.link, r.name), r.value) << r.link;
    EXPECT_EQ(PageNumberOfLink(r.link), r.pageNumber) << r.link;
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
  EXPECT_EQ(SchemeOfReference("HTTPS:x"), "HTTPS");
  EXPECT_EQ(SchemeOfReference("/a:b"), "");
}

// Links as users copy them: without a scheme they are https; the identity of a link names its
// page whatever the scheme, the case of the host and the fragment, and nothing else.
TEST(UrlTest, LinksAsUsersCopyThem) {
  const struct {
    const char* typed;
    const char* link;
    const char* sameAs;  // another way of writing the same link; nullptr: none
    const char* other;   // a link of another page
  } rows[] = {
      {"item.jd.com/1020565583.html", "https://item.jd.com/1020565583.html", "https://item.jd.com/1020565583.html",
       "item.jd.com/1020565584.html"},
      {"detail.tmall.com/item.htm?id=1", "https://detail.tmall.com/item.htm?id=1", "HTTP://Detail.Tmall.com/item.htm?id=1#x",
       "detail.tmall.com/item.htm?id=2"},
      {"//item.taobao.com/item.htm?id=5", "https://item.taobao.com/item.htm?id=5", "item.taobao.com/item.htm?id=5",
       "item.taobao.com:8080/item.htm?id=5"},
      {"https://a.example", "https://a.example", "a.example/", "a.example/?"},
      {"http://127.0.0.1:8080/x", "http://127.0.0.1:8080/x", "127.0.0.1:8080/x", "u@127.0.0.1:8080/x"},
      {"ftp://a.example/x", "ftp://a.example/x", nullptr, "https://a.example/x"},
      {"这不是链接", "https://这不是链接", nullptr, "这不是链接 "},
      {"", "", nullptr, "https://"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.typed);
    EXPECT_EQ(LinkWithScheme(r.typed), r.link);
    if (r.sameAs) {
      EXPECT_EQ(LinkIdentity(r.typed), LinkIdentity(r.sameAs));
    }
    EXPECT_NE(LinkIdentity(r.typed), LinkIdentity(r.other));
  }
}

TEST(UrlTest, PageAddressGate) {
  const std::string longest = "https://a.example/" + std::string(kMaxPageAddressBytes - 18, 'x');
  const struct {
    std::string text;
    const char* address;  // nullptr: dropped
  } rows[] = {
      {"https://img.alicdn.com/a.jpg", "https://img.alicdn.com/a.jpg"},
      {"//img.alicdn.com/a.jpg", "https://img.alicdn.com/a.jpg"},
      {"HTTP://Img.example/A.JPG", "http://Img.example/A.JPG"},
      {"http://[::1]:8080/a.jpg", "http://[::1]:8080/a.jpg"},
      {longest, longest.c_str()},
      {longest + "x", nullptr},
      {"https://cbu01.alicdn.com/a.jpg\r\nX-Injected: from-page", nullptr},
      {"https://a.example/a.jpg\t", nullptr},
      {" https://a.example/a.jpg", nullptr},
      {"https://a.example/a\x7F.jpg", nullptr},
      {"https://a.example/a.jpg\" /><img src=\"https://a.example/b.jpg", nullptr},
      {"https://a.example/a.jpg'", nullptr},
      {"https://a.example/<b>.jpg", nullptr},
      {"javascript://a.example/%0Aalert(1)", nullptr},
      {"ftp://a.example/a.jpg", nullptr},
      {"img.alicdn.com/a.jpg", nullptr},
      {"///a.jpg", nullptr},
      {"https://", nullptr},
      {"", nullptr},
  };
  for (const auto& r : rows) {
    const std::optional<std::string> address = PageAddress(r.text);
    EXPECT_EQ(address, r.address ? std::optional<std::string>(r.address) : std::nullopt) << r.text;
  }
}

}  // namespace
