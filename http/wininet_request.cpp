#include "http/wininet_request.h"

#include <windows.h>
#include <wininet.h>

#include <new>
#include <vector>

#include "text/text_slicing.h"
#include "http/exchange_deadline.h"
#include "http/header_text.h"
#include "http/internet_handles.h"
#include "http/request_text.h"
#include "http/url_parts.h"

// The ANSI entry points on purpose: header and body bytes go to the wire as they are, whatever the
// system's code page, where the wide ones would convert GBK text through it.

namespace {

// Large enough that a picture takes a handful of reads where the data has come: every read is a
// trip through the network layer (and, under Wine, through its server), which costs more than the
// copying.
constexpr DWORD kReadChunk = 64 * 1024;
constexpr DWORD kFirstHeaderBuffer = 5000;
// Ignore revocation, an unknown authority, wrong usage, a name mismatch, an expired certificate
// and redirects between http and https.
constexpr DWORD kSecurityFlags = 0x1F380;

DWORD RequestFlags(bool cookiesGiven, bool noRedirect, bool https) {
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE;
  if (cookiesGiven) flags |= INTERNET_FLAG_NO_COOKIES;
  if (noRedirect) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  flags |= https ? INTERNET_FLAG_SECURE : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
  return flags;
}

// The raw header block, however long: the buffer grows to the size WinInet asks for.
std::string QueryRawHeaders(HINTERNET request) {
  std::vector<char> buffer(kFirstHeaderBuffer);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD length = static_cast<DWORD>(buffer.size());
    if (HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr))
      return std::string(buffer.data(), length < buffer.size() ? length : buffer.size());
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= buffer.size()) return {};
    buffer.resize(length + 1);
  }
  return {};
}

bool QueryNumber(HINTERNET request, DWORD what, DWORD* value) {
  DWORD size = sizeof *value;
  return HttpQueryInfoA(request, what | HTTP_QUERY_FLAG_NUMBER, value, &size, nullptr) != FALSE;
}

struct BodyRead {
  std::string bytes;
  bool failed = false;  // a read failed, the body outgrew its bound or the exchange its time
};

// Each read takes what has come (up to a chunk): a read asked for more would wait until it has
// it, and a server that sends a byte now and then could hold the call for as long as it likes.
// So every wait ends with the first bytes that come (or at the time-out), and no wait starts
// after the exchange's end.
BodyRead ReadBody(HINTERNET request, const WinInetRequestOptions& options, const ExchangeDeadline& deadline) {
  BodyRead body;
  try {
    std::vector<char> chunk(kReadChunk);
    for (;;) {
      DWORD available = 0;
      if (deadline.Passed() || !InternetQueryDataAvailable(request, &available, 0, 0)) {
        body.failed = true;
        break;
      }
      if (available == 0) break;
      DWORD got = 0;
      if (!InternetReadFile(request, chunk.data(), available < kReadChunk ? available : kReadChunk, &got)) {
        body.failed = true;
        break;
      }
      if (got == 0) break;
      if (got > options.maxBodyBytes - body.bytes.size()) {
        body.failed = true;
        break;
      }
      body.bytes.append(chunk.data(), got);
    }
  } catch (const std::bad_alloc&) {
    body.failed = true;
  }
  return body;
}

// Whether the body that was read is the whole body: nothing failed and no fewer bytes arrived
// than Content-Length announced (responses that carry no body excepted).
bool BodyIsComplete(HINTERNET request, const BodyRead& body, HttpMethod method, DWORD status) {
  if (body.failed || status == 0) return false;
  if (method == HttpMethod::Head || status == 204 || status == 304 || status < 200) return true;
  DWORD announced = 0;
  return !QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, &announced) || body.bytes.size() >= announced;
}

}  // namespace

std::string WinInetRequest(const std::string& url, const WinInetRequestOptions& options) {
  const HttpMethod method = NormaliseMethod(options.method);
  const bool https = Find(url.substr(0, 8), "https://", 1, true) == 1;
  // Port 0 would ask WinInet for the scheme's default port: a URL naming no real port fails.
  const int port = UrlPortOf(url);
  if (port < 1) return {};
  const ExchangeDeadline deadline(options.maxExchangeMs);
  std::string headers = options.extraHeaders ? *options.extraHeaders : std::string();

  const std::string agent = WinInetUserAgent(headers);
  InternetHandle root;
  if (options.proxy.empty()) {
    root.reset(InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  } else {
    const std::string proxy = https ? options.proxy : "http=" + options.proxy;
    root.reset(InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), "", 0));
  }
  if (!root) return {};

  const std::string host = UrlHostOf(url);
  InternetHandle connection(InternetConnectA(root.get(), host.c_str(), static_cast<INTERNET_PORT>(port), "", "",
                                             INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return {};

  const std::string path = UrlPathOf(url);
  InternetHandle request(HttpOpenRequestA(connection.get(), RequestVerb(method), path.c_str(), "HTTP/1.1",
                                          nullptr, nullptr,
                                          RequestFlags(options.cookies.has_value(), options.noRedirect, https),
                                          0));
  if (!request) return {};

  DWORD security = kSecurityFlags;
  InternetSetOptionA(request.get(), INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof security);

  if (options.completeHeaders) headers = CompleteWinInetHeaders(std::move(headers), url, method);
  if (options.normaliseHeaderNames) headers = NormaliseHeaderCase(headers);
  if (options.cookies && !options.cookies->empty())
    headers += "\r\n" + CookieHeaderLine(*options.cookies, MarkerCase::Exact);

  std::string body;
  if (method != HttpMethod::Get) {
    body = options.postBytes ? *options.postBytes : std::string();
    if (body.empty()) {
      body = options.postText;
      if (options.postBytes) *options.postBytes = body;
    }
  }
  // The outcome of the send shows in the reads and headers that follow.
  HttpSendRequestA(request.get(), headers.empty() ? nullptr : headers.c_str(), static_cast<DWORD>(headers.size()),
                   body.empty() ? nullptr : body.data(), static_cast<DWORD>(body.size()));

  BodyRead response = ReadBody(request.get(), options, deadline);
  DWORD status = 0;
  if (!QueryNumber(request.get(), HTTP_QUERY_STATUS_CODE, &status)) status = 0;
  // Without a response there is no header block (WinInet would hand out a bare line end).
  const std::string rawHeaders = status ? QueryRawHeaders(request.get()) : std::string();
  const bool complete = BodyIsComplete(request.get(), response, method, status);
  request.reset();
  connection.reset();
  root.reset();
  // Part of a picture is no picture: a caller that only looks at the bytes sees the failure too.
  if (!complete) response.bytes.clear();

  std::string cookies = CollectSetCookies(rawHeaders);
  if (options.mergeCookies && options.cookies) {
    // A ready "Cookie:" line is merged by its items, not as an item named "Cookie:name".
    std::string sent = CookieHeaderValue(*options.cookies);
    cookies = MergeCookies(sent, cookies);
  }

  if (options.extraHeaders) *options.extraHeaders = headers;
  if (options.returnedHeaders) *options.returnedHeaders = rawHeaders;
  if (options.returnedCookies) *options.returnedCookies = cookies;
  if (options.returnedStatus) *options.returnedStatus = static_cast<int>(status);
  if (options.bodyComplete) *options.bodyComplete = complete;
  return std::move(response.bytes);
}
