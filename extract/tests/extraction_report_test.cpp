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
  ExtractionReport unverified = Found(Platform::Taobao, 3, 2, 0, false);
  unverified.detail = DetailTrouble::CertificateRejected;
  ExtractionReport cut = Found(Platform::Alibaba, 2000, 0, 0, false);
  cut.cutShort = true;
  // A report with pictures speaks of them even when a trouble was noted.
  ExtractionReport pictures = Found(Platform::Jd, 1, 0, 0, false);
  pictures.trouble = PageTrouble::NoItemData;
  ExtractionReport otherSite = Troubled(Platform::Taobao, PageTrouble::OtherPlatform);
  otherSite.linkPlatform = Platform::Alibaba;

  struct Case {
    ExtractionReport report;
    const char* text;
  } cases[] = {
      {Found(Platform::Taobao, 5, 6, 20, true), "31张图片：主图5，SKU图6，详情图20，视频1个（淘宝数据）"},
      {Found(Platform::Jd, 5, 2, 3, false), "10张图片：主图5，SKU图2，详情图3（京东数据）"},
      {Found(Platform::Taobao, 0, 0, 0, false), "0张图片：主图0，SKU图0，详情图0（淘宝数据）"},
      // What kept the detail pictures away comes right after the count.
      {refused, "13张图片，详情图未能读取：描述接口拒绝了请求，请重新登录或粘贴新的Cookie；主图3，SKU图10，详情图0（天猫数据）"},
      {challenged, "1张图片，详情图未能读取：描述接口要求安全验证，请稍等片刻再试；主图1，SKU图0，详情图0（淘宝数据）"},
      {unread, "5张图片，详情图未能读取：详情页获取失败；主图5，SKU图0，详情图0，视频1个（阿里数据）"},
      {unverified, "5张图片，详情图未能读取：证书无效，Cookie未发送，请检查网络；主图3，SKU图2，详情图0（淘宝数据）"},
      {cut, "2000张图片：主图2000，SKU图0，详情图0；页面数据过多，只取了前2000条（阿里数据）"},
      {pictures, "1张图片：主图1，SKU图0，详情图0（京东数据）"},
      {Troubled(Platform::Taobao, PageTrouble::FetchFailed, 0, "711 发送请求失败!"),
       "页面获取失败（711 发送请求失败!），请检查链接和网络（淘宝数据）"},
      {Troubled(Platform::Tmall, PageTrouble::FetchFailed, 404), "页面获取失败（HTTP 404），请检查链接和网络（天猫数据）"},
      {Troubled(Platform::Taobao, PageTrouble::FetchFailed, 0), "页面获取失败，请检查链接和网络（淘宝数据）"},
      {Troubled(Platform::Taobao, PageTrouble::CertificateRejected, 0, "714 服务器证书未通过验证!"),
       "页面获取失败（证书无效，Cookie未发送），请检查网络（淘宝数据）"},
      {Troubled(Platform::Tmall, PageTrouble::LoginPageOverHttp),
       "返回的是登录页：页面转到了未加密的http地址，Cookie未发送（天猫数据）"},
      {Troubled(Platform::Alibaba, PageTrouble::EmptyPage), "返回的页面是空的，请检查链接（阿里数据）"},
      {Troubled(Platform::Taobao, PageTrouble::LoginPage), "返回的是登录页，请重新登录或粘贴新的Cookie（淘宝数据）"},
      {Troubled(Platform::Jd, PageTrouble::LoginPage), "返回的是登录页，请稍后再试（京东数据）"},
      {Troubled(Platform::Alibaba, PageTrouble::ChallengePage), "遇到安全验证页，请稍等片刻再试（阿里数据）"},
      {Troubled(Platform::Tmall, PageTrouble::NoSuchItem), "商品不存在或已下架（天猫数据）"},
      {Troubled(Platform::Taobao, PageTrouble::NoItemData),
       "没有找到商品数据：页面可能已改版，请检查链接和Cookie（淘宝数据）"},
      {Troubled(Platform::Jd, PageTrouble::NoItemData), "没有找到商品数据：页面可能已改版，请检查链接（京东数据）"},
      {otherSite, "这是1688的链接，请点阿里数据"},
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
