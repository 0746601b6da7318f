#include "save/network_time.h"

#include <windows.h>
#include <wininet.h>

#include "config/endpoints.h"
#include "text/text_slicing.h"
#include "http/com_request.h"
#include "http/header_text.h"
#include "save/date_time.h"

std::string DefaultTimeProbeUrl() { return std::string("http://") + kTimeProbeHost + "/"; }

std::optional<double> ReadHttpDate(const std::string& text) {
  // Both Windows and Wine answer an empty text with the computer's clock; only a text that holds
  // something is handed over.
  if (Trim(text).empty()) return std::nullopt;
  SYSTEMTIME record{};
  if (!InternetTimeToSystemTimeA(text.c_str(), &record, 0) || record.wYear == 0) return std::nullopt;
  return DateFromParts({record.wYear, record.wMonth, record.wDay, record.wHour, record.wMinute, record.wSecond});
}

double HttpDateToTime(const std::string& text) { return ReadHttpDate(text).value_or(DateFromParts({})); }

double GetNetworkTime(const std::string& probeUrl) {
  std::string headers;
  ComRequestOptions options;
  options.method = HttpMethod::Head;
  options.returnedHeaders = &headers;
  ComHttpRequest(probeUrl, options);
  if (const std::optional<double> utc = ReadHttpDate(TextBetween(headers, "Date:", "\r\n")))
    return AddSeconds(*utc, kChinaTimeOffsetSeconds);
  // No network time: the computer's own clock, in the same zone, rather than a date of no use.
  return CurrentChinaTime();
}

void ShowStatus(const std::string& message, const std::string& probeUrl, const StatusWriter& write) {
  const std::string line = StatusLineText(GetNetworkTime(probeUrl), message);
  if (write) write(line);
}
