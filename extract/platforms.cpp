#include "extract/platforms.h"

#include "extract/item_extractors.h"

namespace {

// alicdn.com is no platform's: it serves pictures and description documents, which need no login,
// and no item page. alibaba.com is 1688's: its old offer links (detail.china.alibaba.com) lead to
// 1688's pages.
constexpr PlatformDomain kTaobaoDomains[] = {{"taobao.com"}, {"tb.cn", true}};
constexpr PlatformDomain kTmallDomains[] = {{"tmall.com"}, {"tmall.hk"}};
constexpr PlatformDomain kJdDomains[] = {{"jd.com"}, {"jd.hk"}, {"3.cn"}};
constexpr PlatformDomain kAlibabaDomains[] = {{"1688.com"}, {"alibaba.com"}};

// The item's own id before a SKU's, which Tmall links carry beside it.
constexpr std::string_view kTaobaoNumbers[] = {"id", "itemId"};
constexpr std::string_view kJdNumbers[] = {"sku", "skuId", "wareId"};
constexpr std::string_view kAlibabaNumbers[] = {"offerId"};

// JD's pages go without the cookie box: it holds a login of the other platforms only.
constexpr PlatformRow kRows[] = {
    {Platform::Taobao, "淘宝数据", "淘宝", "淘宝", kTaobaoDomains, true,
     {"淘宝主图图片", "淘宝SKU图片", "淘宝详情图片"}, HarvestTaobaoPages, kTaobaoNumbers},
    {Platform::Tmall, "天猫数据", "天猫", "天猫", kTmallDomains, true,
     {"天猫主图图片", "天猫SKU图片", "天猫详情图片"}, HarvestTmallPages, kTaobaoNumbers},
    {Platform::Jd, "京东数据", "京东", "京东", kJdDomains, false,
     {"京东主图图片", "京东SKU图片", "京东详情图片"}, HarvestJdPages, kJdNumbers},
    {Platform::Alibaba, "阿里数据", "1688", "阿里", kAlibabaDomains, true,
     {"阿里主图图片", "阿里SKU图片", "阿里详情图片"}, HarvestAlibabaPages, kAlibabaNumbers},
};

}  // namespace

std::span<const PlatformRow> PlatformRows() { return kRows; }

const PlatformRow& PlatformRowOf(Platform platform) {
  const size_t i = static_cast<size_t>(platform);
  return i < std::size(kRows) ? kRows[i] : kRows[0];
}

const char* PictureKindLabel(Platform platform, PictureKind kind) {
  return PlatformRowOf(platform).pictureLabels[static_cast<int>(kind)];
}
