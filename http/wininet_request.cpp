#include "http/wininet_request.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "text/text_slicing.h"
#include "http/exchange_deadline.h"
#include "http/header_text.h"
#include "http/internet_handles.h"
#include "http/request_text.h"
#include "http/url_parts.h"
#include "runtime/handles.h"

// The ANSI entry points on purpose: header and body bytes go to the wire as they are, whatever the
// system's code page, where the wide ones would convert GBK text through it.

namespace {

// Large enough that a picture takes a handful of reads where the data has come: every read is a
// trip through the network layer (and, under Wine, through its server), which costs more than the
// copying.
constexpr DWORD kReadChunk = 64 * 1024;
constexpr DWORD kFirstHeaderBuffer = 5000;
constexpr SIZE_T kReaderStack = 256 * 1024;
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

// What an exchange's handles and its body reader share. The reader thread holds it too, so that a
// reader left behind at the deadline still has its handles and buffer when its read returns.
struct Exchange {
  Exchange(int maxExchangeMs, size_t maxBody) : deadline(maxExchangeMs), maxBodyBytes(maxBody) {}
  InternetHandle root, connection, request;
  const ExchangeDeadline deadline;
  const size_t maxBodyBytes;
  BodyRead body;  // the reader's until it has ended
};

// Reads the whole body in blocking reads of a chunk each: WinInet fills each one as fast as the
// data comes, where a read of what is available at the moment takes a few kilobytes at a time
// (under Wine, what fits in its read buffer).
void ReadWholeBody(Exchange& exchange) {
  BodyRead& body = exchange.body;
  try {
    std::vector<char> chunk(kReadChunk);
    for (;;) {
      // A reader left behind stops at its next read rather than fetch the rest for no one.
      DWORD got = 0;
      if (exchange.deadline.Passed() || !InternetReadFile(exchange.request.get(), chunk.data(), kReadChunk, &got)) {
        body.failed = true;
        break;
      }
      if (got == 0) break;
      if (got > exchange.maxBodyBytes - body.bytes.size()) {
        body.failed = true;
        break;
      }
      body.bytes.append(chunk.data(), got);
    }
  } catch (const std::bad_alloc&) {
    body.failed = true;
  }
}

DWORD WINAPI BodyReaderThread(void* parameter) {
  std::unique_ptr<std::shared_ptr<Exchange>> held(static_cast<std::shared_ptr<Exchange>*>(parameter));
  ReadWholeBody(**held);
  return 0;
}

// A blocking read waits until its chunk is full, and a server that sends a byte now and then could
// hold it for as long as it likes; so the body is read on a thread of its own and waited for no
// longer than the exchange's end. A reader left behind then keeps the handles and ends when its
// read in progress returns (or the server's connection ends); the caller has its failure at the
// deadline.
BodyRead ReadBody(const std::shared_ptr<Exchange>& exchange) {
  BodyRead failed;
  failed.failed = true;
  auto* held = new (std::nothrow) std::shared_ptr<Exchange>(exchange);
  if (!held) return failed;
  UniqueHandle reader(
      CreateThread(nullptr, kReaderStack, BodyReaderThread, held, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (!reader) {
    delete held;
    return failed;
  }
  if (WaitForSingleObject(reader.get(), exchange->deadline.Bound(INFINITE - 1)) != WAIT_OBJECT_0) return failed;
  return std::move(exchange->body);
}

}  // namespace

std::string WinInetRequest(const std::string& url, const WinInetRequestOptions& options) {
  const HttpMethod method = NormaliseMethod(options.method);
  // A URL without a scheme is an http one.
  const std::optional<RequestTarget> target = RequestTargetOf(url, MissingScheme::MeansHttp);
  if (!target) return {};
  const bool https = target->https;
  std::string headers = options.extraHeaders ? *options.extraHeaders : std::string();

  const std::string agent = WinInetUserAgent(headers);
  auto exchange = std::make_shared<Exchange>(options.maxExchangeMs, options.maxBodyBytes);
  InternetHandle& root = exchange->root;
  if (options.proxy.empty()) {
    root.reset(InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
  } else {
    const std::string proxy = https ? options.proxy : "http=" + options.proxy;
    root.reset(InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), "", 0));
  }
  if (!root) return {};

  InternetHandle& connection = exchange->connection;
  connection.reset(InternetConnectA(root.get(), target->host.c_str(), static_cast<INTERNET_PORT>(target->port), "",
                                    "", INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return {};

  InternetHandle& request = exchange->request;
  request.reset(HttpOpenRequestA(connection.get(), RequestVerb(method), target->object.c_str(), "HTTP/1.1", nullptr,
                                 nullptr, RequestFlags(options.cookies.has_value(), options.noRedirect, https), 0));
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

  // The response's head has come when the send returns; the body follows.
  DWORD status = 0;
  if (!QueryNumber(request.get(), HTTP_QUERY_STATUS_CODE, &status)) status = 0;
  // Without a response there is no header block (WinInet would hand out a bare line end).
  const std::string rawHeaders = status ? QueryRawHeaders(request.get()) : std::string();
  DWORD length = 0;
  std::optional<uint32_t> announced;
  if (QueryNumber(request.get(), HTTP_QUERY_CONTENT_LENGTH, &length)) announced = length;
  BodyRead response;
  response.failed = true;
  if (status) response = ReadBody(exchange);
  const bool complete = !response.failed && ResponseBodyIsWhole(method, status, response.bytes.size(), announced);
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
