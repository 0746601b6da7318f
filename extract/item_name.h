#pragma once
// The name an item's folder and files go under: the id its page gives, else the number its link
// carries, else the time of its harvest, so that every item gets a folder of its own.

#include <map>
#include <string>
#include <string_view>

#include "extract/platforms.h"

// Whether an id from a page names the item: an empty one does not, nor "0" (the video id of a
// classic 1688 offer without a video).
bool NamesAnItem(std::string_view id);

// The item's number in the link the user pasted, or "": the number its page is named after
// ("/<n>.html", "/offer/<n>.html", Taobao's phone page "/i<n>.htm"), else the first number of the
// query parameters the platforms' rows name ("item.htm?id=<n>", also itemId, sku, skuId, wareId or
// offerId). At most 20 digits, never "0".
std::string ItemNumberOfLink(std::string_view link);
// The same, with only the query parameters of `platform`'s links.
std::string ItemNumberOfLink(std::string_view link, Platform platform);

// `id` where it names the item, else the link's number, else `harvestTime` (which may be empty).
std::string ItemName(const std::string& id, std::string_view link, const std::string& harvestTime);

// Names given out one after the other, kept apart: a name given out before comes back with "-2",
// "-3", … ("20261206-174533-2"), so that items harvested within one second, named after its time,
// get folders of their own.
class DistinctNames {
 public:
  std::string Next(const std::string& name);

 private:
  std::map<std::string, int> given_;  // each name and how often it was asked for
};
