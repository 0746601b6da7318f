#include "http/wininet_request.h"

#include <vector>

#include "text/text_slicing.h"
#include "http/header_text.h"
#include "http/request_text.h"
#include "http/url_parts.h"
#include "http/wininet_handle.h"

// The ANSI entry points on purpose: header and body bytes go to the wire as they are, whatever the
// system's code page, where the wide ones would convert GBK text through it.

namespace {

constexpr DWORD kReadChunk = 1024;
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
  bool failed = false;  // a read failed or the body outgrew the limit
};

BodyRead ReadBody(HINTERNET request) {
  BodyRead body;
  char chunk[kReadChunk];
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(request, chunk, kReadChunk, &got)) {
      body.failed = true;
      break;
    }
    if (got == 0) break;
    if (body.bytes.size() + got > kMaxWinInetBodyBytes) {
      body.failed = true;
      break;
    }
    body.bytes.append(chunk, got);
  }
  return body;
}

// Whether the body that was read is the whole body: nothing failed and no fewer bytes arrived
// than Content-Length announced (responses that carry no body excepted).
bool BodyIsComplete(HINTERNET request, const BodyRead& body, int method, DWORD status) {
  if (body.failed || status == 0) return false;
  if (method == 2 || status == 204 || status == 304 || status < 200) return true;
  DWORD announced = 0;
  return !QueryNumber(request, HTTP_QUERY_CONTENT_LENGTH, &announced) || body.bytes.size() >= announced;
}

}  // namespace

std::string WinInetRequest(const std::string& url, const WinInetRequestOptions& options) {
  const int method = NormaliseMethod(options.method);
  const bool https = Find(url.substr(0, 8), "https://", 1, true) == 1;
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
  const int port = UrlPortOf(url);
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
  if (options.cookies && !options.cookies->empty()) {
    // A text that already holds "Cookie:" is a ready header line.
    headers += Find(*options.cookies, "Cookie:") >= 1 ? "\r\n" + *options.cookies : "\r\nCookie: " + *options.cookies;
  }

  std::string body;
  if (method != 0) {
    body = options.postBytes ? *options.postBytes : std::string();
    if (body.empty()) {
      body = options.postText;
      if (options.postBytes) *options.postBytes = body;
    }
  }
  // The outcome of the send shows in the reads and headers that follow.
  HttpSendRequestA(request.get(), headers.empty() ? nullptr : headers.c_str(), static_cast<DWORD>(headers.size()),
                   body.empty() ? nullptr : body.data(), static_cast<DWORD>(body.size()));

  BodyRead response = ReadBody(request.get());
  DWORD status = 0;
  if (!QueryNumber(request.get(), HTTP_QUERY_STATUS_CODE, &status)) status = 0;
  // Without a response there is no header block (WinInet would hand out a bare line end).
  const std::string rawHeaders = status ? QueryRawHeaders(request.get()) : std::string();
  const bool complete = BodyIsComplete(request.get(), response, method, status);
  request.reset();
  connection.reset();
  root.reset();

  std::string cookies = CollectSetCookies(rawHeaders);
  if (options.mergeCookies && options.cookies) {
    // A ready "Cookie:" line is merged by its items, not as an item named "Cookie:name".
    std::string sent = RemoveAllIgnoringCase(*options.cookies, "Cookie:");
    cookies = MergeCookies(sent, cookies);
  }

  if (options.extraHeaders) *options.extraHeaders = headers;
  if (options.returnedHeaders) *options.returnedHeaders = rawHeaders;
  if (options.returnedCookies) *options.returnedCookies = cookies;
  if (options.returnedStatus) *options.returnedStatus = static_cast<int>(status);
  if (options.bodyComplete) *options.bodyComplete = complete;
  return std::move(response.bytes);
}
