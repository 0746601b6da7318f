#include "http/winhttp_request.h"

#include <windows.h>
#include <winhttp.h>

#include <climits>
#include <new>
#include <optional>

#include "http/regex_matcher.h"
#include "text/text_slicing.h"
#include "http/exchange_deadline.h"
#include "http/header_text.h"
#include "http/internet_handles.h"
#include "http/page_charset.h"
#include "http/request_text.h"
#include "http/url_parts.h"
#include "runtime/codepage.h"

namespace {

const char kMessagePlatform[] = "700 当前系统不支持WinHttp服务!";
const char kMessageUrl[] = "701 解析URL地址失败!";
const char kMessageSession[] = "702 创建WinHttp会话失败!";
const char kMessageConnect[] = "703 创建WinHttp连接失败!";
const char kMessageRequest[] = "704 创建WinHttp请求失败!";
const char kMessageTimeouts[] = "705 设置超时时间失败!";
const char kMessageCredentials[] = "707 设置代理凭证失败!";
const char kMessageCertificates[] = "忽略错误/证书错误  失败！";
const char kMessageCookies[] = "708 禁止自动设置Cookies失败!";
const char kMessageRedirects[] = "709 重定向设置失败!";
const char kMessageHeaders[] = "710 设置协议头失败!";
const char kMessageSend[] = "711 发送请求失败!";
const char kMessageNoResponse[] = "712 服务器未响应!";
const char kMessageRead[] = "713 读取数据失败!";
const char kMessageCertificateRejected[] = "714 服务器证书未通过验证!";

struct DefaultHeader {
  const char* marker;  // searched ignoring case anywhere in the block
  const char* line;
  bool postOnly;
};
const DefaultHeader kDefaultHeaders[] = {
    {"User-Agent: ",
     "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n", false},
    {"Accept: ", "Accept: text/html, application/xhtml+xml, */*\r\n", false},
    {"Accept-Encoding: ", "Accept-Encoding: gbk, GB2312\r\n", false},
    {"Accept-Language: ", "Accept-Language: zh-cn\r\n", false},
    {"Content-Type:", "Content-Type: application/x-www-form-urlencoded\r\n", true},
    {"Cache-Control: ", "Cache-Control: no-cache\r\n", false},
};

std::string BuildHeaderBlock(const WinHttpRequestOptions& o, std::string_view cookies) {
  std::string block;
  if (!o.extraHeaders.empty()) block = o.extraHeaders + "\r\n";
  if (o.completeHeaders) {
    for (const DefaultHeader& h : kDefaultHeaders) {
      if (h.postOnly && o.method != HttpMethod::Post) continue;
      if (Find(block, h.marker, 1, true) < 1) block += h.line;
    }
  }
  if (o.normaliseHeaderNames) block = NormaliseHeaderCase(block);
  if (Find(block, "Connection") > 0 && FindHeaderValue(block, "Connection") == "keep-alive")
    block = RemoveAll(block, "Connection: keep-alive\r\n", MarkerCase::Exact);
  // A Cookie line the caller wrote into the block wins over `cookies`.
  const std::string cookieLine = CookieHeaderLine(cookies, MarkerCase::Ignored);
  if (Find(block, "Cookie:", 1, true) < 1 && !cookieLine.empty()) block += "\r\n" + cookieLine + "\r\n";
  return block;
}

// One call's state. Handles are declared session, connection, request, so they close in the
// opposite order whichever step the call ends on.
class PageExchange {
 public:
  PageExchange(const WinHttpRequestOptions& options, RegexMatcher& matcher)
      : o_(options), matcher_(matcher), deadline_(options.maxExchangeMs) {
    if (o_.cookies) cookies_ = *o_.cookies;
  }

  std::string Run(std::string_view url);

 private:
  std::string Fail(const char* message) {
    SetStatus(message);
    return {};
  }
  // A failed send or response: a certificate that failed the check is told apart.
  std::string FailExchange(const char* message);
  void SetStatus(std::string_view text) {
    if (o_.statusText) o_.statusText->assign(text);
  }
  // Each finished step lets the caller's window answer before the next one blocks again.
  void Reached() {
    if (o_.yield) o_.yield();
  }

  bool CrackUrl(std::string_view url);
  bool OpenSession();
  bool SetTimeouts();
  bool Connect();
  bool OpenRequest();
  bool SetCredentials();
  bool SetOption(DWORD option, DWORD value) {
    return WinHttpSetOption(request_.get(), option, &value, sizeof value);
  }
  bool AddHeaders();
  bool Send();
  bool ReceiveResponse();
  std::optional<std::string> ReadBody();
  bool QueryNumber(DWORD what, DWORD* value);
  bool BodyIsComplete(size_t received);
  bool QueryRawHeaders(std::wstring* headers);
  void CollectHeaderLines(const std::string& headers);
  DecodedPage DecodeCharset(const std::string& body, std::string text);

  const WinHttpRequestOptions& o_;
  RegexMatcher& matcher_;
  ExchangeDeadline deadline_;
  std::string cookies_;
  DWORD timeoutMs_ = 30000;
  bool bodyCut_ = false;  // the body went on past maxBodyBytes, and the caller takes it cut

  std::wstring host_;
  INTERNET_PORT port_ = 0;
  bool https_ = false;
  std::wstring objectName_;

  WinHttpHandle session_;
  WinHttpHandle connection_;
  WinHttpHandle request_;
};

std::string PageExchange::Run(std::string_view url) {
  if (!WinHttpCheckPlatform()) return Fail(kMessagePlatform);
  Reached();
  if (!CrackUrl(url)) return Fail(kMessageUrl);
  Reached();
  if (!OpenSession()) return Fail(kMessageSession);
  Reached();
  if (!SetTimeouts()) return Fail(kMessageTimeouts);
  Reached();
  if (!Connect()) return Fail(kMessageConnect);
  Reached();
  if (!OpenRequest()) return Fail(kMessageRequest);

  if (!SetCredentials()) return Fail(kMessageCredentials);
  // A verified request keeps WinHttp's own checks, which are the system's.
  if (!o_.verifyCertificate &&
      !SetOption(WINHTTP_OPTION_SECURITY_FLAGS,
                 SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                     SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID))
    return Fail(kMessageCertificates);
  // Without cookies of the caller WinHttp must not send any from its own store either (it would
  // after a redirect). With them its store stays on, and certificate revocation is checked.
  const bool cookieOption = cookies_.empty()
                                ? SetOption(WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_COOKIES)
                                : SetOption(WINHTTP_OPTION_ENABLE_FEATURE, WINHTTP_ENABLE_SSL_REVOCATION);
  if (!cookieOption) return Fail(kMessageCookies);
  if (o_.noRedirect && !SetOption(WINHTTP_OPTION_DISABLE_FEATURE, WINHTTP_DISABLE_REDIRECTS))
    return Fail(kMessageRedirects);

  Reached();
  if (!AddHeaders()) return Fail(kMessageHeaders);
  Reached();
  if (!Send()) return FailExchange(kMessageSend);
  Reached();
  if (!ReceiveResponse()) return FailExchange(kMessageNoResponse);

  // A body that fails to arrive whole is no page: a cut page would be sliced as if it were one.
  std::optional<std::string> body = ReadBody();
  if (!body) return Fail(kMessageRead);
  if (o_.bodyCut) *o_.bodyCut = bodyCut_;

  Reached();
  std::wstring rawHeaders;
  // Without the headers nothing of the response is delivered.
  if (!QueryRawHeaders(&rawHeaders)) return {};

  const std::string headers = Utf16ToText(rawHeaders);
  if (o_.returnedHeaders) *o_.returnedHeaders = headers;
  const int lineEnd = Find(headers, "\r\n", 10);
  SetStatus(lineEnd < 1 ? std::string() : Mid(headers, 10, lineEnd - 10));
  CollectHeaderLines(headers);

  std::string text = body->substr(0, body->find('\0'));
  if (o_.responseBytes) *o_.responseBytes = std::move(*body);
  const std::string& bytes = o_.responseBytes ? *o_.responseBytes : *body;
  DecodedPage page = DecodeCharset(bytes, std::move(text));
  if (o_.encoding) *o_.encoding = page.encoding;
  return std::move(page.text);
}

bool PageExchange::CrackUrl(std::string_view url) {
  // The URL ends at its first zero, as a C string would.
  const std::optional<RequestTarget> target =
      RequestTargetOf(url.substr(0, url.find('\0')), MissingScheme::IsNoUrl);
  if (!target) return false;
  host_ = GbkToWide(target->host);
  port_ = static_cast<INTERNET_PORT>(target->port);
  https_ = target->https;
  objectName_ = GbkToWide(target->object);
  return true;
}

bool PageExchange::OpenSession() {
  std::wstring proxyName;
  if (!o_.proxy.empty()) proxyName = GbkToWide(https_ ? o_.proxy : "http=" + o_.proxy);
  session_.reset(WinHttpOpen(nullptr,
                             o_.proxy.empty() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                             proxyName.empty() ? WINHTTP_NO_PROXY_NAME : proxyName.c_str(),
                             WINHTTP_NO_PROXY_BYPASS, 0));
  return static_cast<bool>(session_);
}

bool PageExchange::SetTimeouts() {
  // Computed wide so a huge number of seconds cannot overflow into a negative time-out.
  const long long ms = o_.timeoutSeconds > 0 ? o_.timeoutSeconds * 1000LL : 30000LL;
  timeoutMs_ = static_cast<DWORD>(ms > INT_MAX ? INT_MAX : ms);
  const int t = static_cast<int>(deadline_.Bound(timeoutMs_));
  return WinHttpSetTimeouts(session_.get(), t, t, t, t);
}

bool PageExchange::Connect() {
  connection_.reset(WinHttpConnect(session_.get(), host_.c_str(), port_, 0));
  return static_cast<bool>(connection_);
}

bool PageExchange::OpenRequest() {
  request_.reset(WinHttpOpenRequest(connection_.get(), GbkToWide(RequestVerb(o_.method)).c_str(),
                                    objectName_.c_str(), nullptr, WINHTTP_NO_REFERER,
                                    WINHTTP_DEFAULT_ACCEPT_TYPES, https_ ? WINHTTP_FLAG_SECURE : 0));
  if (!request_) return false;
  // Waiting for the response headers has a time-out of its own, which some WinHttp builds leave
  // unlimited; it gets the caller's time-out too, so a silent server cannot hold the call forever.
  SetOption(WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, timeoutMs_);
  return true;
}

bool PageExchange::SetCredentials() {
  const struct {
    DWORD target;
    const std::string& user;
    const std::string& password;
  } pairs[] = {{WINHTTP_AUTH_TARGET_SERVER, o_.userName, o_.password},
               {WINHTTP_AUTH_TARGET_PROXY, o_.proxyUser, o_.proxyPassword}};
  for (const auto& p : pairs) {
    if (p.user.empty() || p.password.empty()) continue;  // half a pair is skipped
    if (!WinHttpSetCredentials(request_.get(), p.target, WINHTTP_AUTH_SCHEME_BASIC,
                               GbkToWide(p.user).c_str(), GbkToWide(p.password).c_str(), nullptr))
      return false;
  }
  return true;
}

bool PageExchange::AddHeaders() {
  const std::wstring block = GbkToWide(BuildHeaderBlock(o_, cookies_));
  // Only possible with no extra headers, no defaults and no cookies: nothing to add.
  if (block.empty()) return true;
  return WinHttpAddRequestHeaders(request_.get(), block.c_str(), static_cast<DWORD>(block.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD);
}

bool PageExchange::Send() {
  if (deadline_.Passed()) {
    SetLastError(ERROR_WINHTTP_TIMEOUT);
    return false;
  }
  const std::string& body = o_.postBytes.empty() ? o_.postText : o_.postBytes;
  const DWORD length = static_cast<DWORD>(body.size());
  return WinHttpSendRequest(request_.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()),
                            length, length, 0);
}

// The errors of a connection whose certificate failed the check. Windows names the fault; Wine
// reports every one as a secure-channel error.
bool IsCertificateFailure(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE: return true;
    default: return false;
  }
}

std::string PageExchange::FailExchange(const char* message) {
  if (!o_.verifyCertificate || !IsCertificateFailure(GetLastError())) return Fail(message);
  if (o_.certificateRejected) *o_.certificateRejected = true;
  return Fail(kMessageCertificateRejected);
}

bool PageExchange::ReceiveResponse() {
  if (deadline_.Passed()) {
    SetLastError(ERROR_WINHTTP_TIMEOUT);
    return false;
  }
  return WinHttpReceiveResponse(request_.get(), nullptr);
}

// The whole body, or nothing when a wait or a read fails, the body outgrows its bound, the
// exchange runs out of time or the response ends before the body does. A caller that takes a cut
// body gets the body up to its bound instead of nothing, and the rest is not read.
std::optional<std::string> PageExchange::ReadBody() {
  std::string body;
  std::string chunk;
  for (;;) {
    // Each wait ends with the first bytes that come (or at the time-out), and none starts after
    // the exchange's end. A wait that fails (a time-out, a connection lost) is a failed read, not
    // the body's end.
    DWORD available = 0;
    if (deadline_.Passed() || !WinHttpQueryDataAvailable(request_.get(), &available)) return std::nullopt;
    if (available < 1) break;
    if (available > o_.maxBodyBytes - body.size()) {
      if (!o_.bodyCut) return std::nullopt;
      // More is coming than the bound leaves room for: read up to the bound, and past it stop.
      if (body.size() == o_.maxBodyBytes) {
        bodyCut_ = true;
        break;
      }
      available = static_cast<DWORD>(o_.maxBodyBytes - body.size());
    }
    DWORD read = 0;
    // A body too large for memory ends like a failed read.
    try {
      chunk.resize(available);
      if (!WinHttpReadData(request_.get(), chunk.data(), available, &read)) return std::nullopt;
      body.append(chunk.data(), read);
    } catch (const std::bad_alloc&) {
      return std::nullopt;
    }
    if (read == 0) break;  // no progress: the connection is done
  }
  if (!bodyCut_ && !BodyIsComplete(body.size())) return std::nullopt;
  return body;
}

bool PageExchange::QueryNumber(DWORD what, DWORD* value) {
  DWORD size = sizeof *value;
  return WinHttpQueryHeaders(request_.get(), what | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                             value, &size, WINHTTP_NO_HEADER_INDEX);
}

// WinHttp ends the body quietly when the connection closes early; against the announced length
// the body is known to be cut.
bool PageExchange::BodyIsComplete(size_t received) {
  DWORD status = 0;
  if (!QueryNumber(WINHTTP_QUERY_STATUS_CODE, &status)) return false;
  DWORD length = 0;
  std::optional<uint32_t> announced;
  if (QueryNumber(WINHTTP_QUERY_CONTENT_LENGTH, &length)) announced = length;
  return ResponseBodyIsWhole(o_.method, status, received, announced);
}

bool PageExchange::QueryRawHeaders(std::wstring* headers) {
  DWORD size = 0;
  DWORD index = 0;
  WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &size, &index);
  headers->assign(size / sizeof(wchar_t) + 1, L'\0');
  index = 0;
  if (!WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF,
                           WINHTTP_HEADER_NAME_BY_INDEX, headers->data(), &size, &index))
    return false;
  headers->resize(size / sizeof(wchar_t));
  return true;
}

void PageExchange::CollectHeaderLines(const std::string& headers) {
  std::string returned = o_.returnedCookies ? *o_.returnedCookies : std::string();
  std::optional<std::string> location;
  for (const std::string& line : SplitText(headers, "\r\n")) {
    if (std::optional<std::string> cookie = SetCookieOf(line)) returned += *cookie + "; ";
    if (line.size() >= 10 && Find(std::string_view(line).substr(0, 10), "Location: ", 1, true) == 1)
      location = line.substr(10);
    Reached();
  }
  if (returned.size() >= 2 && returned.compare(returned.size() - 2, 2, "; ") == 0)
    returned.resize(returned.size() - 2);
  const bool merge = o_.mergeCookies && !cookies_.empty();
  if (merge) returned = MergeCookies(cookies_, returned);

  if (o_.returnedCookies) *o_.returnedCookies = returned;
  if (merge && o_.cookies) *o_.cookies = cookies_;
  if (location && o_.location) *o_.location = *location;
}

DecodedPage PageExchange::DecodeCharset(const std::string& body, std::string text) {
  ScopedCoInitialize com;
  std::string charset;
  if (std::optional<std::string> declared = DeclaredCharset(matcher_, text)) {
    Reached();
    charset = std::move(*declared);
  }
  return DecodePage(body, charset, std::move(text));
}

}  // namespace

std::string WinHttpPageRequest(std::string_view url, const WinHttpRequestOptions& options) {
  RegexMatcher matcher;  // lives for the whole call, released after the handles
  PageExchange exchange(options, matcher);
  // The caller is often a window procedure: running out of memory on a huge page must end as an
  // empty result there, not as an exception crossing into Windows.
  try {
    return exchange.Run(url);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::string TextToUtf16(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  if (text.empty()) return {};
  std::wstring wide = GbkToWide(text);
  wide.push_back(L'\0');
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

std::string Utf16ToText(std::wstring_view utf16) { return WideToGbkComposed(utf16.substr(0, utf16.find(L'\0'))); }

std::string Utf16ToText(std::string_view utf16leBytes) {
  std::wstring wide(utf16leBytes.size() / 2, L'\0');
  for (size_t i = 0; i < wide.size(); ++i)
    wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(utf16leBytes[2 * i]) |
                                   static_cast<unsigned char>(utf16leBytes[2 * i + 1]) << 8);
  return Utf16ToText(std::wstring_view(wide));
}
