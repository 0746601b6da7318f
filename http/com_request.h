#pragma once
// One HTTP(S) exchange through the system's WinHttpRequest automation object; the status line
// reads the network time with it.

#include <cstddef>
#include <string>

#include "http/http_method.h"

struct IDispatch;

struct ComRequestOptions {
  HttpMethod method = HttpMethod::Get;  // a number outside the table is GET
  std::string postText;  // sent when postBytes is empty
  // In/out, null when left out. Given (even empty), it is sent as the Cookie header, goes on one
  // line, loses any "Cookie:" it holds and receives the merge with the response's cookies.
  std::string* cookies = nullptr;
  std::string* returnedCookies = nullptr;
  // In/out: extra request lines ("\r\n" between them); receives the completed block.
  std::string* extraHeaders = nullptr;
  std::string* returnedHeaders = nullptr;  // all response headers
  int* returnedStatus = nullptr;           // 0 when no response came
  bool noRedirect = false;
  std::string postBytes;
  std::string proxy;  // empty: no proxy is set
  // -1 leaves the object's own time-outs; below 1 means 15 seconds.
  int timeoutSeconds = 0;
  std::string proxyUser;
  std::string proxyPassword;
  int proxyAuthMode = 1;  // 1 sends Basic proxy credentials, anything else none
  // A request object of the caller to use (and keep its state) instead of a new one.
  IDispatch* requestObject = nullptr;
  bool mergeCookies = true;
  bool completeHeaders = true;
  bool normaliseHeaderNames = true;
  // Bounds against hostile servers: a longer body, or an exchange that lasts longer in all, ends
  // as a failed request (empty body, empty headers, status 0).
  size_t maxBodyBytes = size_t{64} << 20;
  int maxExchangeMs = 120000;
};

// The response body; empty when the URL is no http(s) URL as text/url.h reads it, or the request
// object cannot be created (the out parameters are then left as they are). A failing step leaves
// its result empty and the exchange goes on, so a failed request gives an empty body, empty headers
// and status 0. COM is initialised and uninitialised on the calling thread within the call.
std::string ComHttpRequest(const std::string& url, const ComRequestOptions& options = {});
