#pragma once
// One harvesting procedure per platform: fetch the item page (and its description or mobile detail
// page), cut it between markers and deliver what it finds to a HarvestSink, in order. No window is
// involved; the caller supplies the fetching and the cookie box.

#include <functional>
#include <optional>
#include <string>

#include "extract/item_harvest.h"

// The web hosts the procedures build addresses from or look for inside pages. The program passes
// the public hosts; tests pass loopback hosts such as "127.0.0.1:8080".
struct EndpointHosts {
  std::string TaobaoDescHost;      // asked for the Taobao and Tmall description pages
  std::string TaobaoDescLinkHost;  // the description server item pages name in their links
  std::string TaobaoVideoHost;     // main videos of Taobao, Tmall and Alibaba items
  std::string TmallTitleDomain;    // written by Tmall into its page titles
  std::string JdImageHost;         // JD's picture server
  std::string JdMobileItemHost;    // JD's mobile item site
};

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
};

void HarvestTaobaoItem(const ItemSource& source, const EndpointHosts& hosts, HarvestSink& sink);
void HarvestTmallItem(const ItemSource& source, const EndpointHosts& hosts, HarvestSink& sink);
void HarvestJdItem(const ItemSource& source, const EndpointHosts& hosts, HarvestSink& sink);
void HarvestAlibabaItem(const ItemSource& source, const EndpointHosts& hosts, HarvestSink& sink);
