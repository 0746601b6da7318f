#include "app/extract_commands.h"

#include <windows.h>

#include "config/endpoints.h"
#include "app/main_window.h"
#include "app/main_window_internal.h"
#include "app/window_harvest.h"
#include "extract/extraction_gate.h"
#include "http/winhttp_request.h"
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
// box never changes.
std::string FetchPage(const std::string& url, const std::optional<std::string>& cookies) {
  WinHttpRequestOptions options;
  options.yield = PumpPendingMessages;
  if (!cookies) return WinHttpPageRequest(url, options);
  std::string copy = *cookies;
  options.cookies = &copy;
  return WinHttpPageRequest(url, options);
}

using Harvest = void (*)(const ItemSource&, HarvestSink&);

void RunExtraction(Harvest harvest) {
  WindowHarvestSink window;
  // Hosts are copied: nothing may change them under a running extraction.
  const ItemSource source{BoxText(Control::url), [] { return BoxText(Control::cookie值); }, FetchPage, Hosts(),
                          PumpPendingMessages};
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
