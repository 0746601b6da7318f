#pragma once
// The readers of today's pages, which carry the item in the data of their scripts (page_data/):
// the glue between those readers and the run. Each returns false when the page holds no such data,
// and delivers nothing then.

#include <string>

#include "extract/harvest_run.h"

namespace extraction {

// Taobao and Tmall: the page's item data, and the detail pictures through the signed call.
bool ReadTodaysTaobaoPage(Run& run, Platform platform, const FetchedPage& page, HarvestBuffer& out);
// 1688, desktop or phone page.
bool ReadTodaysAlibabaPage(Run& run, const FetchedPage& page, HarvestBuffer& out);
// JD's phone item page of the SKU, and its detail page.
bool ReadTodaysJdPage(Run& run, const std::string& skuId, const FetchedPage& phone, HarvestBuffer& out);
// Whether JD's desktop page is of the classic layout, which names its SKU in a page configuration;
// today's carries no product data.
bool JdDesktopPageHoldsData(const std::string& page);

}  // namespace extraction
