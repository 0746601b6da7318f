// The four platform buttons: each reads the link and cookie boxes, fetches the item's pages,
// adds what it cuts from them to the harvest shown in the window and tells in the status line what
// it found.
#include <windows.h>

#include "app/main_window.h"
#include "extract/item_extractors.h"
#include "http/page_charset.h"
#include "http/winhttp_request.h"
#include "text/text_items.h"

namespace {

// The engine writes merged cookies back into the text it is given; it gets a copy, so the cookie
// box never changes. Its status text and headers tell a failed request from an error page; the
// encoding it reports tells the page readers how to read the text. It follows no redirect: WinHttp
// would send the cookie line on to whatever host the Location names, so the extraction follows
// them itself.
FetchedPage FetchPage(const std::string& url, const std::optional<std::string>& cookies,
                      const std::function<void()>& yield) {
  WinHttpRequestOptions options;
  options.yield = yield;
  options.noRedirect = true;
  std::string copy = cookies.value_or(std::string());
  if (cookies) options.cookies = &copy;
  std::string status, headers;
  options.statusText = &status;
  options.returnedHeaders = &headers;
  PageEncoding encoding = PageEncoding::Unknown;
  options.encoding = &encoding;
  std::string text = WinHttpPageRequest(url, options);
  FetchedPage page = FetchedPageFromExchange(std::move(text), status, headers);
  page.encoding = encoding;
  return page;
}

}  // namespace

std::optional<ExtractionReport> MainWindow::RunExtraction(Harvest harvest) {
  const std::function<void()> yield = [this] { PumpPendingMessages(); };
  // Hosts are copied: nothing may change them under a running extraction. A link pasted with a
  // blank or a line end around it is used without them; the box keeps what was typed.
  const ItemSource source{TrimBlanks(BoxText(Control::url)), [this] { return BoxText(Control::cookie值); },
                          [yield](const std::string& url, const std::optional<std::string>& cookies) {
                            return FetchPage(url, cookies, yield);
                          },
                          config_.hosts.endpoints, yield, Utf8PageText};
  std::optional<ExtractionReport> report;
  const bool ran = gate_.Run(*this, [&](HarvestSink& sink) { report = harvest(source, sink); });
  // A run the gate refused (another is still under way) says nothing; a cleared run has nothing to
  // tell either.
  if (!ran || !report || gate_.WasCleared()) return std::nullopt;
  ShowStatus(ExtractionStatusText(*report));
  return report;
}

void MainWindow::ExtractTaobaoItem() { RunExtraction(HarvestTaobaoItem); }
void MainWindow::ExtractTmallItem() { RunExtraction(HarvestTmallItem); }
void MainWindow::ExtractJdItem() { RunExtraction(HarvestJdItem); }
void MainWindow::ExtractAlibabaItem() { RunExtraction(HarvestAlibabaItem); }
