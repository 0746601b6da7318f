#include "extract/item_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Links as the platforms' pages and apps hand them out.
TEST(ItemNameTest, TheItemsNumberInRealLinkShapes) {
  const struct {
    const char* link;
    const char* number;
  } rows[] = {
      {"https://item.taobao.com/item.htm?id=561495525977", "561495525977"},
      {"https://item.taobao.com/item.htm?spm=a230r.1.14.16.5b5e&id=561495525977&ns=1&abbucket=3#detail",
       "561495525977"},
      {"https://detail.tmall.com/item.htm?id=605258110430&skuId=4611686018427387904", "605258110430"},
      {"https://detail.m.tmall.com/item.htm?spm=a1z10&id=617129397971", "617129397971"},
      {"https://a.m.taobao.com/i561495525977.htm?sid=1", "561495525977"},
      {"https://detail.1688.com/offer/601748658723.html?spm=a26352.13672862.offerlist.1", "601748658723"},
      {"https://m.1688.com/offer/905371660854.html", "905371660854"},
      {"https://detail.m.1688.com/page/index.html?offerId=601748658723", "601748658723"},
      {"https://item.jd.com/100012043978.html#crumb-wrap", "100012043978"},
      {"https://item.m.jd.com/product/100038004397.html?sku=1", "100038004397"},
      {"https://item.m.jd.com/ware/view.action?wareId=100012043978", "100012043978"},
      {"https://item.jd.com/100012043978", ""},
      {"https://item.taobao.com/item.htm?id=abc", ""},
      {"https://item.taobao.com/item.htm?xid=561495525977", ""},
      {"https://item.taobao.com/item.htm?id=0", ""},
      {"https://item.taobao.com/item.htm?id=12345678901234567890", "12345678901234567890"},  // 20 digits
      {"https://item.taobao.com/item.htm?id=123456789012345678901", ""},
      {"https://item.jd.com/12345678901234567890.html", "12345678901234567890"},
      {"https://item.taobao.com/item.htm#id=561495525977", ""},
      {"https://m.tb.cn/h.5Fw7Qz8", ""},
      {"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(ItemNumberOfLink(row.link), row.number) << row.link;
}

// A platform's links are read by its row's query parameters only: JD's phone page goes by the SKU.
TEST(ItemNameTest, TheNumberOfAPlatformsLink) {
  const struct {
    const char* link;
    Platform platform;
    const char* number;
  } rows[] = {
      {"https://item.jd.com/100012345678.html?spm=1.2#crumb", Platform::Jd, "100012345678"},
      {"https://item.m.jd.com/product/100012345678.html", Platform::Jd, "100012345678"},
      {"https://so.m.jd.com/ware/search.action?sku=123456", Platform::Jd, "123456"},
      {"https://item.m.jd.com/ware/view.action?wareId=100012043978", Platform::Jd, "100012043978"},
      {"https://item.jd.com/abc100.html", Platform::Jd, ""},
      {"https://item.jd.com/?id=5", Platform::Jd, ""},
      {"https://detail.tmall.com/item.htm?skuId=4611686018427387904&id=605258110430", Platform::Tmall, "605258110430"},
      {"https://detail.m.1688.com/page/index.html?offerId=601748658723", Platform::Alibaba, "601748658723"},
      {"https://detail.m.1688.com/page/index.html?id=601748658723", Platform::Alibaba, ""},
  };
  for (const auto& row : rows) EXPECT_EQ(ItemNumberOfLink(row.link, row.platform), row.number) << row.link;
}

TEST(ItemNameTest, ThePagesIdThenTheLinksNumberThenTheTime) {
  const std::string offer = "https://detail.1688.com/offer/601748658723.html";
  const struct {
    const char* id;
    std::string link;
    const char* name;
  } rows[] = {
      {"350123456789", offer, "350123456789"},  // the page's id stands wherever it exists
      {"0", offer, "601748658723"},             // a classic offer without a video
      {"", offer, "601748658723"},
      {"", "https://m.tb.cn/h.5Fw7Qz8", "20261206-174533"},
      {"0", "", "20261206-174533"},
  };
  for (const auto& row : rows) EXPECT_EQ(ItemName(row.id, row.link, "20261206-174533"), row.name) << row.id << " " << row.link;
}

// Items harvested within one second, named after its time, get folders of their own.
TEST(ItemNameTest, NamesGivenOutBeforeGetANumber) {
  DistinctNames names;
  const std::vector<std::string> given = {names.Next("20261206-174533"), names.Next("20261206-174533"),
                                          names.Next("20261206-174534"), names.Next("20261206-174533"),
                                          names.Next("")};
  EXPECT_EQ(given, (std::vector<std::string>{"20261206-174533", "20261206-174533-2", "20261206-174534",
                                             "20261206-174533-3", ""}));
}

}  // namespace
