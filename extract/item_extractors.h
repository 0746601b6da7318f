#pragma once
// One harvesting procedure per platform: fetch the item page (and its description or mobile detail
// page), cut it between markers and deliver what it finds to a HarvestSink, in order. No window is
// involved; the caller supplies the fetching and the cookie box.

#include <functional>
#include <optional>
#include <string>

#include "config/endpoints.h"
#include "extract/item_harvest.h"

// Fetches a page and returns its text as GBK. `cookies` absent: the request carries no cookie at
// all; present (even empty): the cookie box text to send.
using PageFetch =
    std::function<std::string(const std::string& url, const std::optional<std::string>& cookies)>;
// Reads the cookie box as it is now.
using CookieReader = std::function<std::string()>;

struct ItemSource {
  std::string link;          // the item page address from the link box
  CookieReader readCookies;  // may be empty: then no cookie text is available ("")
  PageFetch fetch;
  EndpointHosts hosts;
  // Called between the long steps of an extraction (the window answers its messages there); may
  // be empty.
  std::function<void()> yield;
};

void HarvestTaobaoItem(const ItemSource& source, HarvestSink& sink);
void HarvestTmallItem(const ItemSource& source, HarvestSink& sink);
void HarvestJdItem(const ItemSource& source, HarvestSink& sink);
void HarvestAlibabaItem(const ItemSource& source, HarvestSink& sink);
