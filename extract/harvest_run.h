#pragma once
// One extraction run, as the readers of a platform's pages use it: the fetches (redirects followed
// here, the cookie decided for each address), the bounded cutting of a page, and the delivery that
// hands the reading that stands to the window's sink, or tells why the run found nothing.

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "extract/harvest_bounds.h"
#include "extract/harvest_buffer.h"
#include "extract/item_extractors.h"

namespace extraction {

class Run {
 public:
  Run(const ItemSource& source, Platform platform) : source_(source) { report.platform = platform; }

  const ItemSource& Source() const { return source_; }
  const EndpointHosts& Hosts() const { return source_.hosts; }
  const Utf8ToText& Utf8() const { return source_.utf8ToText; }
  size_t TextRoom() const { return source_.textRoom; }
  std::string Cookies() const { return source_.readCookies ? source_.readCookies() : std::string(); }
  void Yield() const;
  void YieldNowAndThen() const;
  bool Stopped() const { return source_.stopped && source_.stopped(); }
  // What the item is filed under: `id` where the page gives one, else the link's number, else the
  // time of the harvest.
  std::string ItemName(const std::string& id) const;

  FetchedPage Fetch(const std::string& url, const std::optional<std::string>& cookies) const;
  // The item page the user pasted, with or without the cookie box as the platform's procedure says.
  FetchedPage FetchItemPage(bool withCookie) const;
  FetchedPage FetchWithCookieWhereItBelongs(const std::string& url) const;

  // Every piece between the markers, dressed with prefix and suffix, as AllTextBetween cuts them,
  // but at most kMaxRowsPerKind pieces, paid from the page's work budget.
  TextList Cut(WorkBudget& work, std::string_view text, std::string_view left, std::string_view right,
               const std::string& prefix = {}, const std::string& suffix = {});

  ExtractionReport report;
  mutable bool cutShort = false;  // a fetch, a bound or the work budget left part of a page unread

 private:
  static constexpr std::chrono::milliseconds kYieldInterval{10};
  const ItemSource& source_;
  mutable std::chrono::steady_clock::time_point lastYield_ = std::chrono::steady_clock::now();
};

// The start of a page as GBK text, at most kShownPageBytes: converted where the page came as UTF-8
// bytes (as its encoding says, or where no fetch said, as its text reads).
std::string ShownPageText(const Run& run, const FetchedPage& page);

// Whether a page did not come: no response, an error status or no text.
bool Failed(const FetchedPage& page);
// The description page did not come: the item's detail pictures are missing.
void NoteUnfetchedDescription(HarvestBuffer& out, const FetchedPage& page);

// The reading that stands goes to the sink, unless the run found nothing: then `troubledPage` (the
// page that should have held the item) says why, and nothing reaches the sink.
ExtractionReport Deliver(Run& run, const HarvestBuffer& buffer, HarvestSink& sink, const FetchedPage* troubledPage);

}  // namespace extraction
