// The platform table read against itself, and the rules that read it against each other: every
// domain leads back to its row, and the cookie rule and the link rule judge every host alike.
#include "extract/platforms.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "extract/cookie_scope.h"
#include "extract/item_extractors.h"
#include "extract/link_platform.h"
#include "text/tests/url_table.h"
#include "text/url.h"

namespace {

TEST(PlatformTableTest, RowsAreInEnumerationOrderAndNameEachPlatformOnce) {
  std::set<std::string> names, labels, domains;
  std::set<PlatformReader> readers;
  int index = 0;
  for (const PlatformRow& row : PlatformRows()) {
    SCOPED_TRACE(row.buttonName);
    EXPECT_EQ(static_cast<int>(row.platform), index++);
    EXPECT_EQ(&PlatformRowOf(row.platform), &row);
    EXPECT_TRUE(names.insert(row.buttonName).second);
    EXPECT_TRUE(names.insert(std::string("site ") + row.siteName).second);
    EXPECT_NE(row.read, nullptr);
    EXPECT_TRUE(readers.insert(row.read).second);
    EXPECT_FALSE(row.domains.empty());
    for (const PlatformDomain& domain : row.domains) EXPECT_TRUE(domains.insert(std::string(domain.name)).second);
    for (PictureKind kind : {PictureKind::Main, PictureKind::Sku, PictureKind::Detail})
      EXPECT_TRUE(labels.insert(PictureKindLabel(row.platform, kind)).second);
  }
  EXPECT_EQ(index, 4);
}

// A host under a domain, the domain itself and the mirror name of the demo shop all belong to the
// row that lists the domain, and the cookie goes there exactly when the row takes it.
TEST(PlatformTableTest, EveryDomainLeadsBackToItsRow) {
  const std::string elsewhere = "https://shop.example/item.htm?id=1";
  for (const PlatformRow& row : PlatformRows())
    for (const PlatformDomain& domain : row.domains) {
      const std::string name(domain.name);
      const std::string mirror = "item." + name.substr(0, name.rfind('.')) + ".localhost";
      for (const std::string& host : {name, "item." + name, mirror}) {
        SCOPED_TRACE(host);
        const std::optional<LinkOwner> owner = LinkOwnerOf("https://" + host + "/1.html");
        ASSERT_TRUE(owner);
        EXPECT_EQ(owner->platform, row.platform);
        EXPECT_EQ(owner->taobaoOrTmall, domain.taobaoOrTmall);
      }
      // A mirror of the sites serves each host under the name the link rule reads back.
      const std::string mirrored = MirroredAddress("https://item." + name + "/1.html?id=2#top", "localhost:8080");
      EXPECT_EQ(mirrored, "https://" + mirror + ":8080/1.html?id=2#top");
      const std::optional<LinkOwner> mirroredOwner = LinkOwnerOf(mirrored);
      EXPECT_TRUE(mirroredOwner && mirroredOwner->platform == row.platform) << mirrored;
      // No mirror, or one off this machine: the request goes to the site itself.
      for (const char* offMachine : {"", "example.com", "localhost.example.com:8080", "evil:80"})
        EXPECT_EQ(MirroredAddress("https://item." + name + "/1.html", offMachine), "https://item." + name + "/1.html");
      EXPECT_EQ(CookieMayGo("https://item." + name + "/1.html", elsewhere, {}), row.takesCookie) << name;
      EXPECT_FALSE(CookieMayGo("https://" + mirror + "/1.html", elsewhere, {})) << mirror;
      EXPECT_FALSE(LinkOwnerOf("https://evil-" + name + "/1.html")) << name;
      EXPECT_EQ(MirroredAddress("https://evil-" + name + "/1.html", "localhost"), "https://evil-" + name + "/1.html");
      EXPECT_FALSE(LinkOwnerOf("https://" + name + ".evil.example/1.html")) << name;
    }
}

// Over every address of the shared table: the link rule's platform takes the cookie exactly where
// the cookie rule lets it go (for a link elsewhere), and text that is no http(s) address belongs to
// no platform.
TEST(PlatformTableTest, TheCookieRuleAndTheLinkRuleAgreeOnTheUrlTable) {
  const std::string elsewhere = "https://shop.example/item.htm?id=1";
  for (const UrlRow& r : kUrlRows) {
    SCOPED_TRACE(r.url);
    if (!HasSchemePrefix(r.url)) continue;  // a link without a scheme counts as http for the link rule
    const std::optional<LinkOwner> owner = LinkOwnerOf(r.url);
    const bool mirror = std::string_view(r.url).find(".localhost") != std::string_view::npos;
    const bool takes = owner && !mirror && PlatformRowOf(owner->platform).takesCookie;
    EXPECT_EQ(CookieMayGo(r.url, elsewhere, {}), takes);
    if (HostOfUrl(r.url).empty()) {
      EXPECT_FALSE(owner);
    }
  }
}

// Each domain decided: the Taobao and Tmall sites and 1688 take the cookie box, JD's none; the
// picture hosts are nobody's.
TEST(PlatformTableTest, TheDomainsOfTheSites) {
  const struct {
    const char* url;
    std::optional<Platform> owner;
    bool cookie;
  } rows[] = {
      {"https://detail.tmall.hk/item.htm?id=1", Platform::Tmall, true},
      {"https://login.tmall.hk/x", Platform::Tmall, true},
      {"https://npcitem.jd.hk/1.html", Platform::Jd, false},
      {"https://item.jd.com/1.html", Platform::Jd, false},
      {"https://3.cn/-1x", Platform::Jd, false},
      {"https://m.tb.cn/h.5Fw7Qz8", Platform::Taobao, true},
      {"https://detail.china.alibaba.com/offer/1.html", Platform::Alibaba, true},
      {"https://img.alicdn.com/tfscom/TB1", std::nullopt, false},
      {"https://desc.alicdn.com/i1/1.desc", std::nullopt, false},
      {"https://itemcdn.tmall.com/1688offer/icoss1", Platform::Tmall, true},
  };
  for (const auto& row : rows) {
    const std::optional<LinkOwner> owner = LinkOwnerOf(row.url);
    EXPECT_EQ(owner ? std::optional<Platform>(owner->platform) : std::nullopt, row.owner) << row.url;
    EXPECT_EQ(CookieMayGo(row.url, "https://shop.example/", {}), row.cookie) << row.url;
  }
}

}  // namespace
