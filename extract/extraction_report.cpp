#include "extract/extraction_report.h"

#include <string_view>

#include "extract/harvest_bounds.h"

namespace {

// "（HTTP 404）", or the request's failure text in brackets, or nothing when neither tells more.
std::string WhyNotFetched(int status, const std::string& failure) {
  if (!failure.empty()) return "（" + failure + "）";
  if (status >= 400) return "（HTTP " + std::to_string(status) + "）";
  return {};
}

std::string TroubleText(const ExtractionReport& r) {
  // A fresh cookie helps only where the pages go with the cookie box.
  const bool cookie = PlatformRowOf(r.platform).takesCookie;
  switch (r.trouble) {
    case PageTrouble::None: break;
    case PageTrouble::FetchFailed: return "页面获取失败" + WhyNotFetched(r.status, r.failure) + "，请检查链接和网络";
    case PageTrouble::CertificateRejected: return "页面获取失败（证书无效，Cookie未发送），请检查网络";
    case PageTrouble::EmptyPage: return "返回的页面是空的，请检查链接";
    case PageTrouble::LoginPage:
      return cookie ? "返回的是登录页，请重新登录或粘贴新的Cookie" : "返回的是登录页，请稍后再试";
    case PageTrouble::LoginPageOverHttp: return "返回的是登录页：页面转到了未加密的http地址，Cookie未发送";
    case PageTrouble::ChallengePage: return "遇到安全验证页，请稍等片刻再试";
    case PageTrouble::NoSuchItem: return "商品不存在或已下架";
    case PageTrouble::NoItemData:
      return cookie ? "没有找到商品数据：页面可能已改版，请检查链接和Cookie" : "没有找到商品数据：页面可能已改版，请检查链接";
    case PageTrouble::OtherPlatform: break;
  }
  return {};
}

std::string DetailText(const ExtractionReport& r) {
  switch (r.detail) {
    case DetailTrouble::None: break;
    case DetailTrouble::NoToken: return "详情图未能读取：Cookie里没有接口令牌，请重新登录或粘贴新的Cookie";
    case DetailTrouble::Refused: return "详情图未能读取：描述接口拒绝了请求，请重新登录或粘贴新的Cookie";
    case DetailTrouble::Challenge: return "详情图未能读取：描述接口要求安全验证，请稍等片刻再试";
    case DetailTrouble::FetchFailed:
      return "详情图未能读取：详情页获取失败" + WhyNotFetched(r.detailStatus, r.detailFailure);
    case DetailTrouble::CertificateRejected: return "详情图未能读取：证书无效，Cookie未发送，请检查网络";
  }
  return {};
}

// The count first, then what kept detail pictures away, then the count by kind.
std::string FoundText(const ExtractionReport& r) {
  const int total = r.mainPictures + r.skuPictures + r.detailPictures;
  std::string text = std::to_string(total) + "张图片";
  text += r.detail == DetailTrouble::None ? std::string("：") : "，" + DetailText(r) + "；";
  text += "主图" + std::to_string(r.mainPictures) + "，SKU图" + std::to_string(r.skuPictures) + "，详情图" +
          std::to_string(r.detailPictures);
  if (r.video) text += "，视频1个";
  return text;
}

}  // namespace

std::string ExtractionStatusText(const ExtractionReport& r) {
  const bool nothing = r.mainPictures == 0 && r.skuPictures == 0 && r.detailPictures == 0;
  if (nothing && r.trouble == PageTrouble::OtherPlatform)
    return std::string("这是") + PlatformRowOf(r.linkPlatform).siteName + "的链接，请点" +
           PlatformRowOf(r.linkPlatform).buttonName;
  std::string text = nothing && r.trouble != PageTrouble::None ? TroubleText(r) : FoundText(r);
  if (r.cutShort && r.cutBeforeCap)
    text += "；页面数据过多，只取了一部分";
  else if (r.cutShort)
    text += "；页面数据过多，只取了前" + std::to_string(kMaxRowsPerKind) + "条";
  return text + "（" + PlatformRowOf(r.platform).buttonName + "）";
}
