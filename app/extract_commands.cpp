// The four platform buttons: each reads the link and cookie boxes, fetches the item's pages and
// adds what it cuts from them to the harvest shown in the window.
#include <windows.h>

#include "app/main_window.h"
#include "extract/item_extractors.h"
#include "http/winhttp_request.h"
#include "runtime/controls.h"

namespace {

// The engine writes merged cookies back into the text it is given; it gets a copy, so the cookie
// box never changes.
std::string FetchPage(const std::string& url, const std::optional<std::string>& cookies,
                      const std::function<void()>& yield) {
  WinHttpRequestOptions options;
  options.yield = yield;
  if (!cookies) return WinHttpPageRequest(url, options);
  std::string copy = *cookies;
  options.cookies = &copy;
  return WinHttpPageRequest(url, options);
}

}  // namespace

std::string MainWindow::BoxText(Control control) const {
  HWND box = this->control(control);
  return box ? GetControlText(box) : std::string();
}

void MainWindow::RunExtraction(Harvest harvest) {
  const std::function<void()> yield = [this] { PumpPendingMessages(); };
  // Hosts are copied: nothing may change them under a running extraction.
  const ItemSource source{BoxText(Control::url), [this] { return BoxText(Control::cookie值); },
                          [yield](const std::string& url, const std::optional<std::string>& cookies) {
                            return FetchPage(url, cookies, yield);
                          },
                          config_.hosts.endpoints, yield};
  gate_.Run(*this, [&](HarvestSink& sink) { harvest(source, sink); });
}

void MainWindow::ExtractTaobaoItem() { RunExtraction(HarvestTaobaoItem); }
void MainWindow::ExtractTmallItem() { RunExtraction(HarvestTmallItem); }
void MainWindow::ExtractJdItem() { RunExtraction(HarvestJdItem); }
void MainWindow::ExtractAlibabaItem() { RunExtraction(HarvestAlibabaItem); }
