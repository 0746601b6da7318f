#include "extract/item_name.h"

#include "extract/page_data/script_data.h"
#include "text/ascii.h"

namespace {

bool IsItemNumber(std::string_view text) {
  if (text.empty() || text.size() > 20 || !NamesAnItem(text)) return false;
  for (char c : text)
    if (!IsAsciiDigit(c)) return false;
  return true;
}

// The number a page is named after: the last part of the path, "<n>.html" or "i<n>.htm".
std::string_view NumberOfPage(std::string_view link) {
  std::string_view page = link.substr(0, link.find_first_of("?#"));
  if (const size_t slash = page.rfind('/'); slash != std::string_view::npos) page.remove_prefix(slash + 1);
  for (std::string_view ending : {".html", ".htm"}) {
    if (!page.ends_with(ending)) continue;
    std::string_view number = page.substr(0, page.size() - ending.size());
    if (number.starts_with('i')) number.remove_prefix(1);
    return number;
  }
  return {};
}

}  // namespace

bool NamesAnItem(std::string_view id) { return !id.empty() && id != "0"; }

std::string ItemNumberOfLink(std::string_view link) {
  if (const std::string_view number = NumberOfPage(link); IsItemNumber(number)) return std::string(number);
  // The item's own id before a SKU's, which Tmall links carry beside it.
  for (std::string_view name : {"id", "offerId", "itemId", "skuId", "sku", "wareId"}) {
    const std::string value = page_data::QueryValue(link, name);
    if (IsItemNumber(value)) return value;
  }
  return {};
}

std::string ItemName(const std::string& id, std::string_view link, const std::string& harvestTime) {
  if (NamesAnItem(id)) return id;
  if (std::string number = ItemNumberOfLink(link); !number.empty()) return number;
  return harvestTime;
}

std::string DistinctNames::Next(const std::string& name) {
  if (name.empty()) return name;
  const int times = ++given_[name];
  return times == 1 ? name : name + "-" + std::to_string(times);
}
