#pragma once
// One harvesting procedure per platform: fetch the item page (and its description or mobile detail
// page), cut it between markers and deliver what it finds to a HarvestSink, in order. Where the
// cuts find no picture on today's pages, the data the page carries in its scripts is read instead
// (page_data/). No window is involved; the caller supplies the fetching and the cookie box.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "config/endpoints.h"
#include "extract/extraction_report.h"
#include "extract/harvest_bounds.h"
#include "extract/item_harvest.h"
#include "extract/page_data/script_literal.h"
#include "text/page_encoding.h"

// What a page request brought back.
struct FetchedPage {
  std::string text;     // the page as GBK text, as the page engine hands it over
  int status = 0;       // the HTTP status; 0 when no response came
  std::string failure;  // why no response came (the engine's numbered message)
  // What the engine reported the text to be; Unknown for pages handed in otherwise, which the
  // readers then judge from the text.
  PageEncoding encoding = PageEncoding::Unknown;
  std::string location;  // where a redirect answer sends the request on
  // The server's certificate failed the check that a request carrying the cookie makes: nothing
  // was sent.
  bool certificateRejected = false;
  // The cookie would have gone along, but a redirect led from https to plain http: it did not.
  bool cookieWithheldOverHttp = false;
  bool cutShort = false;  // the body went on past kMaxPageBytes and was read up to there

  FetchedPage() = default;
  // A page that came back whole, so a fetch may simply return the text.
  FetchedPage(std::string page) : text(std::move(page)), status(200) {}
  FetchedPage(const char* page) : FetchedPage(std::string(page)) {}
};

// The result of one page engine exchange: its text, its status text ("200 OK", or a numbered
// failure such as "711 发送请求失败!") and the response headers it returned ("" without a response),
// whose Location line names a redirect's target.
FetchedPage FetchedPageFromExchange(std::string text, std::string_view statusText,
                                    std::string_view returnedHeaders);

// Fetches a page without following redirects (a redirect comes back with its status and location;
// the extraction follows it). `cookies` absent: the request carries no cookie at all; present (even
// empty): the cookie box text to send. A request that carries cookie text goes only to a server
// whose certificate passes the system's check (certificateRejected otherwise).
using PageFetch =
    std::function<FetchedPage(const std::string& url, const std::optional<std::string>& cookies)>;
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
  // UTF-8 to GBK, for texts of pages that arrive as UTF-8 bytes; may be empty (such characters
  // then read "?").
  Utf8ToText utf8ToText;
  // The item's name when neither its page nor its link gives one: the date and time of the
  // harvest. May be empty.
  std::string harvestTime;
  // True once the run is to end (its window is going): nothing more is fetched, cut or delivered.
  // May be empty.
  std::function<bool()> stopped;
  // How many bytes of text lines the harvest may still take (kMaxTextBytes less what it holds).
  size_t textRoom = kMaxTextBytes;
};

// What the platform's button does with the link: its row's reader runs, unless the link is on the
// site of a platform whose pages this button does not read. Returns what it found (or why it found
// nothing) for the status line. A run that found nothing (its report tells a PageTrouble) delivers
// nothing: the harvest stays as it was. The item is named after its id where the page gives one,
// else as ItemName says (item_name.h).
ExtractionReport HarvestItem(Platform button, const ItemSource& source, HarvestSink& sink);
ExtractionReport HarvestTaobaoItem(const ItemSource& source, HarvestSink& sink);
ExtractionReport HarvestTmallItem(const ItemSource& source, HarvestSink& sink);
ExtractionReport HarvestJdItem(const ItemSource& source, HarvestSink& sink);
ExtractionReport HarvestAlibabaItem(const ItemSource& source, HarvestSink& sink);

// The platforms' readers, one per row (platforms.h): the item page of the link, then its
// description or detail pages, by the classic markers or today's page data.
ExtractionReport HarvestTaobaoPages(const ItemSource& source, HarvestSink& sink);
ExtractionReport HarvestTmallPages(const ItemSource& source, HarvestSink& sink);
ExtractionReport HarvestJdPages(const ItemSource& source, HarvestSink& sink);
ExtractionReport HarvestAlibabaPages(const ItemSource& source, HarvestSink& sink);
