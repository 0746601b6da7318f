#include "extract/item_extractors.h"

#include "extract/classic_readers.h"
#include "extract/harvest_run.h"
#include "extract/item_name.h"
#include "extract/link_platform.h"
#include "extract/todays_readers.h"
#include "http/header_text.h"

using namespace extraction;

namespace {

using MarkerProcedure = FetchedPage (*)(Run&, HarvestBuffer&);

ExtractionReport HarvestTaobaoFamily(const ItemSource& source, HarvestSink& sink, Platform platform,
                                     MarkerProcedure cutPage) {
  Run run(source, platform);
  HarvestBuffer classic(platform, run.Utf8(), run.TextRoom());
  const FetchedPage page = cutPage(run, classic);
  if (!classic.AnyPicture()) {
    HarvestBuffer today(platform, run.Utf8(), run.TextRoom());
    if (ReadTodaysTaobaoPage(run, platform, page, today)) return Deliver(run, today, sink, nullptr);
  }
  return Deliver(run, classic, sink, &page);
}

}  // namespace

// A link of another platform's site is not fetched: that page holds nothing this button reads, and
// this platform's cookie has no business there. A Taobao link pressed with Tmall's button is, since
// Taobao sends a Tmall item on to Tmall's page; only when nothing comes of it does the link's
// platform stand in for the page's reason.
ExtractionReport HarvestItem(Platform button, const ItemSource& source, HarvestSink& sink) {
  const std::optional<LinkOwner> owner = LinkOwnerOf(source.link);
  ExtractionReport report;
  report.platform = button;
  if (!owner || ButtonReadsLinkOf(button, *owner)) report = PlatformRowOf(button).read(source, sink);
  const bool nothing = report.mainPictures + report.skuPictures + report.detailPictures == 0;
  if (owner && nothing && LinkOfAnotherPlatform(button, *owner)) {
    report.trouble = PageTrouble::OtherPlatform;
    report.linkPlatform = owner->platform;
  }
  return report;
}

ExtractionReport HarvestTaobaoItem(const ItemSource& source, HarvestSink& sink) {
  return HarvestItem(Platform::Taobao, source, sink);
}
ExtractionReport HarvestTmallItem(const ItemSource& source, HarvestSink& sink) {
  return HarvestItem(Platform::Tmall, source, sink);
}
ExtractionReport HarvestJdItem(const ItemSource& source, HarvestSink& sink) { return HarvestItem(Platform::Jd, source, sink); }
ExtractionReport HarvestAlibabaItem(const ItemSource& source, HarvestSink& sink) {
  return HarvestItem(Platform::Alibaba, source, sink);
}

FetchedPage FetchedPageFromExchange(std::string text, std::string_view statusText, std::string_view returnedHeaders) {
  FetchedPage page;
  page.text = std::move(text);
  if (returnedHeaders.empty()) {
    page.failure = statusText.empty() ? std::string("没有收到响应") : std::string(statusText);
    return page;
  }
  page.status = ResponseStatus(returnedHeaders);
  page.location = HeaderValueNamed(returnedHeaders, "Location");
  return page;
}

// The platforms' procedures, for links they read.
ExtractionReport HarvestTaobaoPages(const ItemSource& source, HarvestSink& sink) {
  return HarvestTaobaoFamily(source, sink, Platform::Taobao, CutTaobaoPage);
}

ExtractionReport HarvestTmallPages(const ItemSource& source, HarvestSink& sink) {
  return HarvestTaobaoFamily(source, sink, Platform::Tmall, CutTmallPage);
}

ExtractionReport HarvestJdPages(const ItemSource& source, HarvestSink& sink) {
  Run run(source, Platform::Jd);
  HarvestBuffer classic(Platform::Jd, run.Utf8(), run.TextRoom());
  const FetchedPage desktop = CutJdPage(run, classic);
  if (classic.AnyPicture() || JdDesktopPageHoldsData(desktop.text)) return Deliver(run, classic, sink, &desktop);
  // Today's desktop page is built by scripts (or is a login page); the phone page of the same SKU
  // still carries the data.
  const std::string skuId = ItemNumberOfLink(source.link, Platform::Jd);
  if (skuId.empty()) return Deliver(run, classic, sink, &desktop);
  const FetchedPage phone =
      run.Fetch("https://" + source.hosts.JdMobileItemHost + "/product/" + skuId + ".html", std::nullopt);
  HarvestBuffer today(Platform::Jd, run.Utf8(), run.TextRoom());
  if (ReadTodaysJdPage(run, skuId, phone, today)) return Deliver(run, today, sink, nullptr);
  return Deliver(run, classic, sink, &phone);
}

ExtractionReport HarvestAlibabaPages(const ItemSource& source, HarvestSink& sink) {
  Run run(source, Platform::Alibaba);
  HarvestBuffer classic(Platform::Alibaba, run.Utf8(), run.TextRoom());
  const FetchedPage page = CutAlibabaPage(run, classic);
  if (!classic.AnyPicture()) {
    HarvestBuffer today(Platform::Alibaba, run.Utf8(), run.TextRoom());
    if (ReadTodaysAlibabaPage(run, page, today)) return Deliver(run, today, sink, nullptr);
  }
  return Deliver(run, classic, sink, &page);
}
