#include "extract/item_name.h"

#include "extract/platforms.h"
#include "text/ascii.h"
#include "text/url.h"

namespace {

bool IsItemNumber(std::string_view text) {
  if (text.empty() || text.size() > kMaxLinkNumberDigits || !NamesAnItem(text)) return false;
  for (char c : text)
    if (!IsAsciiDigit(c)) return false;
  return true;
}

std::string NumberOfQuery(std::string_view link, const PlatformRow& row) {
  for (std::string_view name : row.linkNumberNames)
    if (std::string value = QueryValue(link, name); IsItemNumber(value)) return value;
  return {};
}

}  // namespace

bool NamesAnItem(std::string_view id) { return !id.empty() && id != "0"; }

std::string ItemNumberOfLink(std::string_view link) {
  if (const std::string_view number = PageNumberOfLink(link); IsItemNumber(number)) return std::string(number);
  for (const PlatformRow& row : PlatformRows())
    if (std::string number = NumberOfQuery(link, row); !number.empty()) return number;
  return {};
}

std::string ItemNumberOfLink(std::string_view link, Platform platform) {
  if (const std::string_view number = PageNumberOfLink(link); IsItemNumber(number)) return std::string(number);
  return NumberOfQuery(link, PlatformRowOf(platform));
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
