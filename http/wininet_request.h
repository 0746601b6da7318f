#pragma once
// One complete HTTP(S) exchange through WinInet; the saver downloads every picture with it.

#include <cstddef>
#include <optional>
#include <string>

#include "http/http_method.h"

class StopSignal;

struct WinInetRequestOptions {
  HttpMethod method = HttpMethod::Get;  // a number outside the table is GET
  std::string postText;  // the body when postBytes is empty
  // Given (even empty): WinInet's own cookie store is left out and the response's cookies are
  // merged into these. Left out: WinInet keeps and sends cookies itself.
  std::optional<std::string> cookies;
  std::string* returnedCookies = nullptr;
  // In/out: extra request lines ("\r\n" between them); receives the header block sent.
  std::string* extraHeaders = nullptr;
  std::string* returnedHeaders = nullptr;  // the raw response header block
  bool noRedirect = false;
  // In/out: the body as bytes; when empty it receives the bytes of postText.
  std::string* postBytes = nullptr;
  std::string proxy;  // "host:port"; empty for a direct connection
  bool mergeCookies = true;
  bool completeHeaders = true;       // add the default lines the extra headers lack
  bool normaliseHeaderNames = true;  // "content-type" -> "Content-Type"

  // What the caller needs to tell a good download from a failed one.
  int* returnedStatus = nullptr;  // the HTTP status, 0 when no response came
  bool* bodyComplete = nullptr;   // the whole body arrived (no read failed, nothing cut short)

  // Bounds against hostile servers: a longer body, or an exchange that lasts longer in all
  // (connecting, sending and reading, however slowly the bytes keep coming), ends as an
  // incomplete, empty body.
  size_t maxBodyBytes = size_t{64} << 20;
  int maxExchangeMs = 120000;
  // Once requested, the exchange ends at once as it does at its deadline. May be null.
  const StopSignal* stop = nullptr;
};

// The response body as WinInet delivers it (after following redirects); empty when the root
// handle, the connection or the request cannot be opened, and when the body did not arrive whole.
// Error pages are returned like any body.
std::string WinInetRequest(const std::string& url, const WinInetRequestOptions& options = {});

// Lets WinInet keep `count` connections to one server open at once, for the whole process (HTTP
// 1.1 and 1.0 servers alike); its default is lower.
void AllowWinInetConnectionsPerServer(unsigned count);
