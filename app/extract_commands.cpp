// The four platform buttons: each reads the link and cookie boxes, fetches the item's pages,
// adds what it cuts from them to the harvest shown in the window and tells in the status line what
// it found.
#include <windows.h>

#include <memory>

#include "app/main_window.h"
#include "extract/harvest_bounds.h"
#include "extract/item_extractors.h"
#include "http/page_charset.h"
#include "http/winhttp_request.h"
#include "runtime/handles.h"
#include "runtime/stop_signal.h"
#include "runtime/worker.h"
#include "save/date_time.h"
#include "text/text_items.h"
#include "text/url.h"

namespace {

// One page exchange, shared by the thread that runs it and the window that waits for it; a thread
// whose window stopped waiting still has everything it writes.
struct PageExchangeWork {
  std::string url;
  std::optional<std::string> cookies;
  std::string text, status, headers;
  PageEncoding encoding = PageEncoding::Unknown;
  bool cut = false;  // the body went on past kMaxPageBytes
  bool certificateRejected = false;
  UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// The engine writes merged cookies back into the text it is given; it gets a copy, so the cookie
// box never changes. Its status text and headers tell a failed request from an error page; the
// encoding it reports tells the page readers how to read the text. It follows no redirect: WinHttp
// would send the cookie line on to whatever host the Location names, so the extraction follows
// them itself. A request that carries cookie text verifies the server's certificate: whoever can
// present a forged one on the way (an intercepting network) would read the user's login. A body
// longer than any item page is read up to the page bound, and the run then counts as cut short.
void ExchangePage(PageExchangeWork& work) {
  WinHttpRequestOptions options;
  options.noRedirect = true;
  options.maxBodyBytes = kMaxPageBytes;
  options.bodyCut = &work.cut;
  std::string copy = work.cookies.value_or(std::string());
  if (work.cookies) options.cookies = &copy;
  options.verifyCertificate = !copy.empty();
  options.certificateRejected = &work.certificateRejected;
  options.statusText = &work.status;
  options.returnedHeaders = &work.headers;
  options.encoding = &work.encoding;
  work.text = WinHttpPageRequest(work.url, options);
}

void ExchangePageOnWorker(PageExchangeWork& work) {
  try {
    ExchangePage(work);
  } catch (...) {
    // The page counts as not fetched.
    work.text.clear();
    work.headers.clear();
  }
  SetEvent(work.done.get());
}

// Waits for `done` while the window's messages are answered; false when the stop came first.
// `answer` says false once the thread is to quit: then only the handles are waited for.
bool WaitAnswering(HANDLE done, const StopSignal& stop, const std::function<bool()>& answer) {
  const HANDLE waits[] = {done, stop.Event()};
  const DWORD count = waits[1] ? 2 : 1;
  bool answering = true;
  for (;;) {
    if (stop.Requested()) return false;
    const DWORD woke = answering ? MsgWaitForMultipleObjectsEx(count, waits, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE)
                                 : WaitForMultipleObjects(count, waits, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0) return true;
    if (woke == WAIT_OBJECT_0 + count) {
      answering = answer();
    } else if (woke != WAIT_OBJECT_0 + 1) {
      // A wait that cannot be made: look again in a moment rather than spin.
      if (WaitForSingleObject(done, 50) == WAIT_OBJECT_0) return true;
    }
  }
}

// WinHttp's calls block for as long as the server takes (up to their time-outs), and the window
// must answer meanwhile, a close above all: the exchange runs on a thread of its own. A close
// ends the wait at once; the exchange is then left to end on its thread (closing its handles from
// outside would not cut off a blocked call under Wine), and ends with the process at the latest.
FetchedPage FetchPage(const std::string& url, const std::optional<std::string>& cookies,
                      const std::function<bool()>& answer, const std::shared_ptr<StopSignal>& closing) {
  if (closing->Requested()) return {};
  auto work = std::make_shared<PageExchangeWork>();
  work->url = url;
  work->cookies = cookies;
  const bool started = work->done && StartWorker([work] { ExchangePageOnWorker(*work); });
  if (!started) {
    // Without a thread of its own the page is fetched here, the window waiting.
    ExchangePage(*work);
  } else if (!WaitAnswering(work->done.get(), *closing, answer)) {
    return {};
  }
  FetchedPage page = FetchedPageFromExchange(std::move(work->text), work->status, work->headers);
  page.encoding = work->encoding;
  page.cutShort = work->cut;
  page.certificateRejected = work->certificateRejected;
  return page;
}

}  // namespace

std::optional<ExtractionReport> MainWindow::RunExtraction(Platform button) {
  const std::function<void()> yield = [this] { PumpPendingMessages(); };
  const std::function<bool()> answer = [this] { return PumpPendingMessages(); };
  // Hosts are copied: nothing may change them under a running extraction. A link pasted with a
  // blank or a line end around it is used without them, one without a scheme as https; the box
  // keeps what was typed.
  const std::string link = LinkWithScheme(TrimBlanks(BoxText(Control::url)));
  ItemSource source{link, [this] { return BoxText(Control::cookie值); },
                    [answer, closing = closing_](const std::string& url, const std::optional<std::string>& cookies) {
                      return FetchPage(url, cookies, answer, closing);
                    },
                    config_.hosts.endpoints, yield, Utf8PageText};
  source.harvestTime = harvestTimes_.Next(TimeName(clock_.Now()));
  source.stopped = [closing = closing_] { return closing->Requested(); };
  // The box holds at most kMaxTextBytes of the harvest's text, the earlier runs' included.
  source.textRoom = TextRoomFor(LinkIdentity(link));
  std::optional<ExtractionReport> report;
  const bool ran = gate_.Run(*this, [&](HarvestSink& sink) {
    runLink_ = LinkIdentity(link);
    report = HarvestItem(button, source, sink);
  });
  // A run the gate refused (another is still under way) says nothing; a cleared run, or one whose
  // window went, has nothing to tell either.
  if (!ran || !report || gate_.WasCleared()) return std::nullopt;
  ShowStatus(ExtractionStatusText(*report));
  return report;
}

void MainWindow::ExtractTaobaoItem() { RunExtraction(Platform::Taobao); }
void MainWindow::ExtractTmallItem() { RunExtraction(Platform::Tmall); }
void MainWindow::ExtractJdItem() { RunExtraction(Platform::Jd); }
void MainWindow::ExtractAlibabaItem() { RunExtraction(Platform::Alibaba); }
