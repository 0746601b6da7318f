#include "app/extract_commands.h"

#include <windows.h>

#include <climits>

#include "config/endpoints.h"
#include "app/main_window.h"
#include "app/main_window_internal.h"
#include "app/window_harvest.h"
#include "extract/extraction_gate.h"
#include "http/winhttp_request.h"
#include "runtime/codepage.h"
#include "runtime/controls.h"

namespace {

ExtractionGate& Gate() {
  static ExtractionGate gate;
  return gate;
}

EndpointHosts& Hosts() {
  static EndpointHosts hosts = ShippedEndpointHosts();
  return hosts;
}

std::string BoxText(Control control) {
  HWND box = ControlHandle(control);
  return box ? GetControlText(box) : std::string();
}

// The engine writes merged cookies back into the text it is given; it gets a copy, so the cookie
// box never changes. Its status text and headers tell a failed request from an error page.
FetchedPage FetchPage(const std::string& url, const std::optional<std::string>& cookies) {
  WinHttpRequestOptions options;
  options.yield = PumpPendingMessages;
  std::string copy = cookies.value_or(std::string());
  if (cookies) options.cookies = &copy;
  std::string status, headers;
  options.statusText = &status;
  options.returnedHeaders = &headers;
  std::string text = WinHttpPageRequest(url, options);
  return FetchedPageFromExchange(std::move(text), status, headers);
}

// Texts of pages that arrive as UTF-8 bytes (their charset declared too late for the engine).
std::string Utf8PageText(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return {};
  const int size = static_cast<int>(utf8.size());
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
  return WideToGbk(wide);
}

using Harvest = ExtractionReport (*)(const ItemSource&, HarvestSink&);

void RunExtraction(Harvest harvest) {
  WindowHarvestSink window;
  // Hosts are copied: nothing may change them under a running extraction.
  const ItemSource source{BoxText(Control::url), [] { return BoxText(Control::cookie值); }, FetchPage, Hosts(),
                          PumpPendingMessages, Utf8PageText};
  Gate().Run(window, [&](HarvestSink& sink) { harvest(source, sink); });
}

}  // namespace

void ExtractTaobaoItem() { RunExtraction(HarvestTaobaoItem); }
void ExtractTmallItem() { RunExtraction(HarvestTmallItem); }
void ExtractJdItem() { RunExtraction(HarvestJdItem); }
void ExtractAlibabaItem() { RunExtraction(HarvestAlibabaItem); }

void UseEndpointHosts(const EndpointHosts& hosts) { Hosts() = hosts; }

void NoteHarvestCleared() { Gate().NoteCleared(); }

bool ExtractionRunning() { return Gate().Running(); }
