#include "http/wininet_request.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "text/text_slicing.h"
#include "http/exchange_deadline.h"
#include "http/header_text.h"
#include "http/internet_handles.h"
#include "http/request_text.h"
#include "http/url_parts.h"
#include "runtime/handles.h"
#include "runtime/stop_signal.h"
#include "runtime/worker.h"

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
// Each single wait on the network (connecting, sending, the next bytes of the answer), within the
// exchange's own end.
constexpr DWORD kWaitTimeoutMs = 30000;
// Closing its handles returns an exchange's blocked call at once on Windows. Wine's WinInet goes
// on waiting on the socket (until the wait's time-out, or the read's last byte); its thread is given
// this long and then left to end by itself (it makes no further call).
constexpr DWORD kEndedThreadWaitMs = 100;

DWORD RequestFlags(bool cookiesGiven, bool noRedirect, bool https) {
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE;
  if (cookiesGiven) flags |= INTERNET_FLAG_NO_COOKIES;
  if (noRedirect) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  flags |= https ? INTERNET_FLAG_SECURE : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
  return flags;
}

void SetNumberOption(HINTERNET handle, DWORD option, DWORD value) {
  InternetSetOptionA(handle, option, &value, sizeof value);
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

// One exchange: its handles, what it sends, and what came back. The thread that runs the exchange
// holds it as well as the caller, so a thread left behind still has everything it uses; the handles
// close with the last holder, or at once when the exchange is ended during a call.
class Exchange {
 public:
  Exchange(int maxExchangeMs, size_t maxBody) : deadline(maxExchangeMs), maxBodyBytes(maxBody) {}

  // Declared in this order, they close request, connection, root.
  InternetHandle root, connection, request;
  const ExchangeDeadline deadline;
  const size_t maxBodyBytes;
  const UniqueHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};  // set when the exchange has ended
  std::string headers;
  std::string body;

  // What came back: the thread's until it has ended.
  DWORD status = 0;
  std::string rawHeaders;
  std::optional<uint32_t> announced;
  std::string response;
  bool readFailed = true;  // a read failed, the body outgrew its bound or the exchange its time

  // Runs one blocking call on the request handle; false when the call failed or the exchange was
  // ended, before or during it. After an end no call starts.
  template <typename Call>
  bool OnRequest(Call call) {
    HINTERNET handle;
    {
      std::lock_guard<std::mutex> hold(lock_);
      if (ended_) return false;
      inCall_ = true;
      handle = request.get();
    }
    const bool ok = call(handle) != FALSE;
    std::lock_guard<std::mutex> hold(lock_);
    inCall_ = false;
    return ok && !ended_;
  }

  // Called by the waiting side at the deadline or a stop. A blocked call returns when its handles
  // close (WinInet's documented way to cancel); between calls nothing is closed, since the thread
  // starts no further call. Either way the handles are closed once: here, or by the last holder.
  void End() {
    std::lock_guard<std::mutex> hold(lock_);
    ended_ = true;
    if (inCall_) {
      request.reset();
      connection.reset();
      root.reset();
    }
  }

 private:
  std::mutex lock_;
  bool ended_ = false;
  bool inCall_ = false;
};

// The whole body in blocking reads of a chunk each: WinInet fills each one as fast as the data
// comes, where a read of what is available at the moment takes a few kilobytes at a time (under
// Wine, what fits in its read buffer) and costs twice the time in all. No read starts after the
// exchange's end; one under way then is cut off by the closing of the handles.
void ReadBody(Exchange& x) {
  x.readFailed = true;
  std::vector<char> chunk(kReadChunk);
  std::string& body = x.response;
  for (;;) {
    if (x.deadline.Passed()) return;
    DWORD got = 0;
    if (!x.OnRequest([&](HINTERNET h) { return InternetReadFile(h, chunk.data(), kReadChunk, &got); })) return;
    if (got == 0) break;
    if (got > x.maxBodyBytes - body.size()) return;
    body.append(chunk.data(), got);
  }
  x.readFailed = false;
}

// Sending waits for the answer's head (connecting first); the body follows.
void RunExchange(Exchange& x) {
  // The outcome of the send shows in the status and reads that follow.
  x.OnRequest([&](HINTERNET h) {
    return HttpSendRequestA(h, x.headers.empty() ? nullptr : x.headers.c_str(), static_cast<DWORD>(x.headers.size()),
                            x.body.empty() ? nullptr : x.body.data(), static_cast<DWORD>(x.body.size()));
  });
  DWORD status = 0;
  if (!x.OnRequest([&](HINTERNET h) { return QueryNumber(h, HTTP_QUERY_STATUS_CODE, &status); })) status = 0;
  x.status = status;
  if (!status) return;
  // Without a response there is no header block (WinInet would hand out a bare line end).
  x.OnRequest([&](HINTERNET h) {
    x.rawHeaders = QueryRawHeaders(h);
    return TRUE;
  });
  DWORD length = 0;
  if (x.OnRequest([&](HINTERNET h) { return QueryNumber(h, HTTP_QUERY_CONTENT_LENGTH, &length); }))
    x.announced = length;
  ReadBody(x);
}

void RunExchangeOnWorker(Exchange& exchange) {
  try {
    RunExchange(exchange);
  } catch (...) {
    // Out of memory on a huge body, for one.
    exchange.readFailed = true;
  }
  SetEvent(exchange.done.get());
}

// Runs the exchange on a thread of the process's pool, waited for until its deadline or the stop.
// A wait that ends early ends the exchange; true when the exchange ran to its end and its results
// may be read.
bool RunBounded(const std::shared_ptr<Exchange>& exchange, HANDLE stopEvent) {
  // A pooled thread: one made for every exchange would cost more than many a small picture.
  if (!exchange->done || !QueueWorker([exchange] { RunExchangeOnWorker(*exchange); })) return false;
  const HANDLE waits[] = {exchange->done.get(), stopEvent};
  const DWORD count = stopEvent ? 2 : 1;
  if (WaitForMultipleObjects(count, waits, FALSE, exchange->deadline.Bound(INFINITE - 1)) == WAIT_OBJECT_0)
    return true;
  exchange->End();
  WaitForSingleObject(exchange->done.get(), kEndedThreadWaitMs);
  return false;
}

}  // namespace

void AllowWinInetConnectionsPerServer(unsigned count) {
  for (DWORD option : {INTERNET_OPTION_MAX_CONNS_PER_SERVER, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER})
    SetNumberOption(nullptr, option, count);
}

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

  SetNumberOption(request.get(), INTERNET_OPTION_SECURITY_FLAGS, kSecurityFlags);
  // Connecting and sending are bounded as well as reading, each wait by what is left of the
  // exchange's time.
  const DWORD waitMs = exchange->deadline.Bound(kWaitTimeoutMs);
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
    SetNumberOption(root.get(), option, waitMs);
    SetNumberOption(request.get(), option, waitMs);
  }

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
  exchange->headers = headers;
  exchange->body = std::move(body);

  const bool ranToItsEnd = RunBounded(exchange, options.stop ? options.stop->Event() : nullptr);
  // A thread left behind still owns what it writes; only an exchange that ended by itself is read.
  const DWORD status = ranToItsEnd ? exchange->status : 0;
  std::string rawHeaders = ranToItsEnd ? std::move(exchange->rawHeaders) : std::string();
  std::string response = ranToItsEnd ? std::move(exchange->response) : std::string();
  const bool complete = ranToItsEnd && status && !exchange->readFailed &&
                        ResponseBodyIsWhole(method, status, response.size(), exchange->announced);
  // Part of a picture is no picture: a caller that only looks at the bytes sees the failure too.
  if (!complete) response.clear();

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
  return response;
}
