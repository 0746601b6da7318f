#include "extract/extraction_report.h"

#include <string_view>

#include "extract/harvest_bounds.h"

const char* ButtonCaption(Platform platform) {
  switch (platform) {
    case Platform::Taobao: return "淘宝数据";
    case Platform::Tmall: return "天猫数据";
    case Platform::Jd: return "京东数据";
    case Platform::Alibaba: return "阿里数据";
  }
  return "";
}

namespace {

// The name a platform's links go by.
const char* SiteName(Platform platform) {
  switch (platform) {
    case Platform::Taobao: return "淘宝";
    case Platform::Tmall: return "天猫";
    case Platform::Jd: return "京东";
    case Platform::Alibaba: return "1688";
  }
  return "";
}

// JD pages go without the cookie box, so a fresh cookie would not help there.
bool SendsCookie(Platform platform) { return platform != Platform::Jd; }

std::string FetchFailure(const ExtractionReport& r) {
  if (!r.failure.empty()) return "页面获取失败（" + r.failure + "）";
  if (r.status != 0) return "页面获取失败（HTTP " + std::to_string(r.status) + "）";
  return "页面获取失败";
}

std::string TroubleText(const ExtractionReport& r) {
  const bool cookie = SendsCookie(r.platform);
  switch (r.trouble) {
    case PageTrouble::None: break;
    case PageTrouble::FetchFailed: return FetchFailure(r) + "，请检查链接和网络";
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

std::string DetailText(DetailTrouble detail) {
  switch (detail) {
    case DetailTrouble::None: break;
    case DetailTrouble::NoToken: return "详情图未能读取：Cookie里没有接口令牌，请重新登录或粘贴新的Cookie";
    case DetailTrouble::Refused: return "详情图未能读取：描述接口拒绝了请求，请重新登录或粘贴新的Cookie";
    case DetailTrouble::Challenge: return "详情图未能读取：描述接口要求安全验证，请稍等片刻再试";
    case DetailTrouble::FetchFailed: return "详情图未能读取：详情页获取失败";
    case DetailTrouble::CertificateRejected: return "详情图未能读取：证书无效，Cookie未发送，请检查网络";
  }
  return {};
}

// The count first, then what kept detail pictures away, then the count by kind.
std::string FoundText(const ExtractionReport& r) {
  const int total = r.mainPictures + r.skuPictures + r.detailPictures;
  std::string text = std::to_string(total) + "张图片";
  text += r.detail == DetailTrouble::None ? std::string("：") : "，" + DetailText(r.detail) + "；";
  text += "主图" + std::to_string(r.mainPictures) + "，SKU图" + std::to_string(r.skuPictures) + "，详情图" +
          std::to_string(r.detailPictures);
  if (r.video) text += "，视频1个";
  return text;
}

}  // namespace

std::string ExtractionStatusText(const ExtractionReport& r) {
  const bool nothing = r.mainPictures == 0 && r.skuPictures == 0 && r.detailPictures == 0;
  if (nothing && r.trouble == PageTrouble::OtherPlatform)
    return std::string("这是") + SiteName(r.linkPlatform) + "的链接，请点" + ButtonCaption(r.linkPlatform);
  std::string text = nothing && r.trouble != PageTrouble::None ? TroubleText(r) : FoundText(r);
  if (r.cutShort && r.cutBeforeCap)
    text += "；页面数据过多，只取了一部分";
  else if (r.cutShort)
    text += "；页面数据过多，只取了前" + std::to_string(kMaxRowsPerKind) + "条";
  return text + "（" + ButtonCaption(r.platform) + "）";
}
