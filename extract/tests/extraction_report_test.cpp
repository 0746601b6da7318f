#include "extract/extraction_report.h"

#include <gtest/gtest.h>

#include "extract/item_extractors.h"

namespace {

ExtractionReport Found(Platform platform, int main, int sku, int detail, bool video) {
  ExtractionReport r;
  r.platform = platform;
  r.mainPictures = main;
  r.skuPictures = sku;
  r.detailPictures = detail;
  r.video = video;
  return r;
}

ExtractionReport Troubled(Platform platform, PageTrouble trouble, int status = 200, std::string failure = {}) {
  ExtractionReport r;
  r.platform = platform;
  r.trouble = trouble;
  r.status = status;
  r.failure = std::move(failure);
  return r;
}

TEST(ExtractionStatusTextTest, Messages) {
  ExtractionReport refused = Found(Platform::Tmall, 3, 10, 0, false);
  refused.detail = DetailTrouble::Refused;
  ExtractionReport challenged = Found(Platform::Taobao, 1, 0, 0, false);
  challenged.detail = DetailTrouble::Challenge;
  ExtractionReport unread = Found(Platform::Alibaba, 5, 0, 0, true);
  unread.detail = DetailTrouble::FetchFailed;
  ExtractionReport cut = Found(Platform::Alibaba, 2000, 0, 0, false);
  cut.cutShort = true;
  // A report with pictures speaks of them even when a trouble was noted.
  ExtractionReport pictures = Found(Platform::Jd, 1, 0, 0, false);
  pictures.trouble = PageTrouble::NoItemData;

  struct Case {
    ExtractionReport report;
    const char* text;
  } cases[] = {
      {Found(Platform::Taobao, 5, 6, 20, true), "淘宝数据：主图5张，SKU图6张，详情图20张，视频1个"},
      {Found(Platform::Jd, 5, 2, 3, false), "京东数据：主图5张，SKU图2张，详情图3张"},
      {Found(Platform::Taobao, 0, 0, 0, false), "淘宝数据：主图0张，SKU图0张，详情图0张"},
      {refused, "天猫数据：主图3张，SKU图10张，详情图0张；详情图未能读取：描述接口拒绝了请求，请重新登录或粘贴新的Cookie"},
      {challenged, "淘宝数据：主图1张，SKU图0张，详情图0张；详情图未能读取：描述接口要求安全验证，请稍等片刻再试"},
      {unread, "阿里数据：主图5张，SKU图0张，详情图0张，视频1个；详情图未能读取：详情页获取失败"},
      {cut, "阿里数据：主图2000张，SKU图0张，详情图0张；页面数据过多，只取了前2000条"},
      {pictures, "京东数据：主图1张，SKU图0张，详情图0张"},
      {Troubled(Platform::Taobao, PageTrouble::FetchFailed, 0, "711 发送请求失败!"),
       "淘宝数据：页面获取失败（711 发送请求失败!），请检查链接和网络"},
      {Troubled(Platform::Tmall, PageTrouble::FetchFailed, 404), "天猫数据：页面获取失败（HTTP 404），请检查链接和网络"},
      {Troubled(Platform::Taobao, PageTrouble::FetchFailed, 0), "淘宝数据：页面获取失败，请检查链接和网络"},
      {Troubled(Platform::Alibaba, PageTrouble::EmptyPage), "阿里数据：返回的页面是空的，请检查链接"},
      {Troubled(Platform::Taobao, PageTrouble::LoginPage), "淘宝数据：返回的是登录页，请重新登录或粘贴新的Cookie"},
      {Troubled(Platform::Jd, PageTrouble::LoginPage), "京东数据：返回的是登录页，请稍后再试"},
      {Troubled(Platform::Alibaba, PageTrouble::ChallengePage), "阿里数据：遇到安全验证页，请稍等片刻再试"},
      {Troubled(Platform::Tmall, PageTrouble::NoSuchItem), "天猫数据：商品不存在或已下架"},
      {Troubled(Platform::Taobao, PageTrouble::NoItemData),
       "淘宝数据：页面里没有找到商品数据，页面可能已改版，请检查链接和Cookie"},
      {Troubled(Platform::Jd, PageTrouble::NoItemData), "京东数据：页面里没有找到商品数据，页面可能已改版，请检查链接"},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractionStatusText(c.report), c.text);
}

TEST(FetchedPageTest, FromTheEngineExchange) {
  struct Case {
    const char* name;
    std::string statusText, headers;
    int status;
    std::string failure;
  } cases[] = {
      {"a page", "200 OK", "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", 200, ""},
      {"an error status", "404 Not Found", "HTTP/1.1 404 Not Found\r\n\r\n", 404, ""},
      // A server may answer with any number; only missing headers mean no response.
      {"a server status in the engine's range", "711 Odd", "HTTP/1.1 711 Odd\r\n\r\n", 711, ""},
      {"no response", "711 发送请求失败!", "", 0, "711 发送请求失败!"},
      {"no response and no message", "", "", 0, "没有收到响应"},
  };
  for (const Case& c : cases) {
    const FetchedPage page = FetchedPageFromExchange("text", c.statusText, c.headers);
    EXPECT_EQ(page.status, c.status) << c.name;
    EXPECT_EQ(page.failure, c.failure) << c.name;
    EXPECT_EQ(page.text, "text") << c.name;
  }
}

}  // namespace
