#include "http/winhttp_request.h"

#include <mlang.h>

#include <climits>
#include <new>
#include <optional>

#include "extract/regex_matcher.h"
#include "text/text_slicing.h"
#include "http/header_text.h"
#include "http/winhttp_handle.h"
#include "runtime/codepage.h"
#include "runtime/dispatch.h"

namespace {

constexpr UINT kGbk = 936;

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

const wchar_t* const kVerbs[] = {L"GET",     L"POST",   L"HEAD",  L"PUT",
                                 L"OPTIONS", L"DELETE", L"TRACE", L"CONNECT"};

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

const char kCharsetPattern[] = "<meta.+?charset=[^\\w]?([-\\w]+)";

// MinGW's mlang.h declares IID_IMultiLanguage2 but its uuid library does not define it.
const IID kIidMultiLanguage2 = {0xDCCFC164, 0x2B38, 0x11D2, {0xB7, 0xEC, 0x00, 0xC0, 0x4F, 0x8F, 0x5D, 0x9A}};

// Every occurrence of `what` (on character starts) removed in one pass.
std::string RemoveAll(std::string_view text, std::string_view what, bool ignoreCase = false) {
  std::string out;
  int from = 1;
  for (;;) {
    const int p = Find(text, what, from, ignoreCase);
    if (p < 1) break;
    out.append(text.substr(from - 1, p - from));
    from = p + static_cast<int>(what.size());
  }
  if (static_cast<size_t>(from - 1) < text.size()) out.append(text.substr(from - 1));
  return out;
}

std::string BuildHeaderBlock(const WinHttpRequestOptions& o, std::string_view cookies) {
  std::string block;
  if (!o.extraHeaders.empty()) block = o.extraHeaders + "\r\n";
  if (o.completeHeaders) {
    for (const DefaultHeader& h : kDefaultHeaders) {
      if (h.postOnly && o.method != 1) continue;
      if (Find(block, h.marker, 1, true) < 1) block += h.line;
    }
  }
  if (o.normaliseHeaderNames) block = NormaliseHeaderCase(block);
  if (Find(block, "Connection") > 0 && FindHeaderValue(block, "Connection") == "keep-alive")
    block = RemoveAll(block, "Connection: keep-alive\r\n");
  // A Cookie line the caller wrote into the block wins over `cookies`.
  if (Find(block, "Cookie:", 1, true) < 1 && !cookies.empty()) {
    if (Find(cookies, "Cookie:", 1, true) > 0)
      block += "\r\n" + std::string(cookies) + "\r\n";
    else
      block += "\r\nCookie: " + std::string(cookies) + "\r\n";
  }
  return block;
}

// The cookie a Set-Cookie line sets ("name=value"), or nothing when the line is another header.
std::optional<std::string> SetCookieOf(std::string_view line) {
  if (TextBefore(line, ": ") != "Set-Cookie") return std::nullopt;
  if (Find(line, ";") > 0) return Trim(TextBetween(line, "Set-Cookie:", ";"));
  return Trim(RemoveAll(line, "Set-Cookie:", /*ignoreCase=*/true));
}

// The code page of a charset name: the system's charset registry first, then common names.
UINT CodePageOfCharset(const std::string& charset) {
  ComPtr<IMultiLanguage2> mlang;
  if (SUCCEEDED(CoCreateInstance(CLSID_CMultiLanguage, nullptr, CLSCTX_INPROC_SERVER,
                                 kIidMultiLanguage2, reinterpret_cast<void**>(mlang.put())))) {
    const std::wstring name = GbkToWide(charset);
    ScopedBstr bstr(name.c_str(), static_cast<UINT>(name.size()));
    MIMECSETINFO info{};
    if (SUCCEEDED(mlang->GetCharsetInfo(bstr.get(), &info))) {
      if (info.uiInternetEncoding && IsValidCodePage(info.uiInternetEncoding))
        return info.uiInternetEncoding;
      if (info.uiCodePage && IsValidCodePage(info.uiCodePage)) return info.uiCodePage;
    }
  }
  static const struct {
    const char* name;
    UINT codePage;
  } kCommon[] = {
      {"utf-8", 65001},        {"utf8", 65001},          {"gbk", 936},
      {"gb2312", 936},         {"gb18030", 54936},       {"big5", 950},
      {"shift_jis", 932},      {"euc-jp", 20932},        {"euc-kr", 949},
      {"iso-8859-1", 28591},   {"windows-1252", 1252},   {"us-ascii", 20127},
      {"windows-1251", 1251},  {"koi8-r", 20866},
  };
  std::string lower = charset;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (const auto& row : kCommon)
    if (lower == row.name && IsValidCodePage(row.codePage)) return row.codePage;
  return 0;
}

// The body decoded from `charset` by the system's converter; nothing when no converter knows it.
std::optional<std::string> DecodeWithCodePage(const std::string& body, const std::string& charset) {
  const UINT codePage = CodePageOfCharset(charset);
  if (!codePage || body.empty() || body.size() > INT_MAX) return std::nullopt;
  const int size = static_cast<int>(body.size());
  const int n = MultiByteToWideChar(codePage, 0, body.data(), size, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(n, L'\0');
  if (MultiByteToWideChar(codePage, 0, body.data(), size, wide.data(), n) <= 0) return std::nullopt;
  std::wstring_view text(wide);
  if (!text.empty() && text.front() == 0xFEFF) text.remove_prefix(1);  // byte-order mark
  return Utf16ToText(text);
}

// The body decoded through a data-stream object. A call that fails is passed over, as a script
// would; the text is empty when the stream cannot be created, take the charset or read.
std::string DecodeWithStream(const std::string& body, const std::string& charset) {
  ComPtr<IDispatch> stream;
  if (FAILED(CreateAutomationObject(L"Adodb.Stream", &stream))) return {};
  PutAutomationProperty(stream.get(), L"Type", VariantFromInt(1));  // binary
  PutAutomationProperty(stream.get(), L"Mode", VariantFromInt(3));  // read/write
  CallAutomationMethod(stream.get(), L"Open");
  {
    ScopedVariant bytes;
    if (SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(body.size()))) {
      void* data = nullptr;
      if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
        if (!body.empty()) memcpy(data, body.data(), body.size());
        SafeArrayUnaccessData(array);
      }
      bytes.get()->vt = VT_ARRAY | VT_UI1;
      bytes.get()->parray = array;  // owned by the variant from here
    }
    CallAutomationMethod(stream.get(), L"Write", {*bytes.get()});
  }
  PutAutomationProperty(stream.get(), L"Position", VariantFromInt(0));
  PutAutomationProperty(stream.get(), L"Type", VariantFromInt(2));  // text
  {
    // A charset the stream refuses would leave it reading the bytes in its default Unicode:
    // garbage rather than the page, so the stream gives up instead.
    ScopedVariant name;
    *name.get() = VariantFromWide(GbkToWide(charset));
    if (FAILED(PutAutomationProperty(stream.get(), L"Charset", *name.get()))) {
      CallAutomationMethod(stream.get(), L"Close");
      return {};
    }
  }
  std::string text;
  ScopedVariant read;
  if (SUCCEEDED(CallAutomationMethod(stream.get(), L"ReadText", {}, read.get())) &&
      read.get()->vt == VT_BSTR && read.get()->bstrVal)
    text = Utf16ToText(std::wstring_view(read.get()->bstrVal, SysStringLen(read.get()->bstrVal)));
  CallAutomationMethod(stream.get(), L"Close");
  return text;
}

// One call's state. Handles are declared session, connection, request, so they close in the
// opposite order whichever step the call ends on.
class PageExchange {
 public:
  PageExchange(const WinHttpRequestOptions& options, RegexMatcher& matcher)
      : o_(options), matcher_(matcher) {
    if (o_.cookies) cookies_ = *o_.cookies;
  }

  std::string Run(std::string_view url);

 private:
  std::string Fail(const char* message) {
    SetStatus(message);
    return {};
  }
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
  std::string ReadBody();
  bool QueryRawHeaders(std::wstring* headers);
  void CollectHeaderLines(const std::string& headers);
  std::string DecodeCharset(const std::string& body, std::string text);

  const WinHttpRequestOptions& o_;
  RegexMatcher& matcher_;
  std::string cookies_;
  int timeoutMs_ = 30000;

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
  if (!SetOption(WINHTTP_OPTION_SECURITY_FLAGS,
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
  if (!Send()) return Fail(kMessageSend);
  Reached();
  if (!WinHttpReceiveResponse(request_.get(), nullptr)) return Fail(kMessageNoResponse);

  std::string body = ReadBody();

  Reached();
  std::wstring rawHeaders;
  // Without the headers nothing of the response is delivered.
  if (!QueryRawHeaders(&rawHeaders)) return {};

  const std::string headers = Utf16ToText(rawHeaders);
  if (o_.returnedHeaders) *o_.returnedHeaders = headers;
  const int lineEnd = Find(headers, "\r\n", 10);
  SetStatus(lineEnd < 1 ? std::string() : Mid(headers, 10, lineEnd - 10));
  CollectHeaderLines(headers);

  std::string text = body.substr(0, body.find('\0'));
  if (o_.responseBytes) *o_.responseBytes = std::move(body);
  const std::string& bytes = o_.responseBytes ? *o_.responseBytes : body;
  return DecodeCharset(bytes, std::move(text));
}

bool PageExchange::CrackUrl(std::string_view url) {
  // The URL ends at its first zero, as a C string would.
  std::wstring wide = GbkToWide(url.substr(0, url.find('\0')));
  // "http://host?q" names the query of "/"; some WinHttp builds drop a query that follows the
  // host directly, so the path is written out before cracking.
  if (const size_t scheme = wide.find(L"://"); scheme != std::wstring::npos) {
    const size_t end = wide.find_first_of(L"/\\?#", scheme + 3);
    if (end != std::wstring::npos && (wide[end] == L'?' || wide[end] == L'#')) wide.insert(end, 1, L'/');
  }
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (wide.empty() || !WinHttpCrackUrl(wide.c_str(), 0, 0, &parts)) return false;
  host_.assign(parts.lpszHostName ? parts.lpszHostName : L"", parts.lpszHostName ? parts.dwHostNameLength : 0);
  port_ = parts.nPort;
  https_ = parts.nScheme == INTERNET_SCHEME_HTTPS;
  const std::wstring_view path(parts.lpszUrlPath ? parts.lpszUrlPath : L"",
                               parts.lpszUrlPath ? parts.dwUrlPathLength : 0);
  const std::wstring_view extra(parts.lpszExtraInfo ? parts.lpszExtraInfo : L"",
                                parts.lpszExtraInfo ? parts.dwExtraInfoLength : 0);
  // A bare host is asked for "/"; its query, if any, still goes with it.
  objectName_ = path.empty() ? L"/" : std::wstring(path);
  objectName_ += extra;
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
  timeoutMs_ = ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
  return WinHttpSetTimeouts(session_.get(), timeoutMs_, timeoutMs_, timeoutMs_, timeoutMs_);
}

bool PageExchange::Connect() {
  connection_.reset(WinHttpConnect(session_.get(), host_.c_str(), port_, 0));
  return static_cast<bool>(connection_);
}

bool PageExchange::OpenRequest() {
  const wchar_t* verb = (o_.method >= 0 && o_.method <= 7) ? kVerbs[o_.method] : L"GET";
  request_.reset(WinHttpOpenRequest(connection_.get(), verb, objectName_.c_str(), nullptr,
                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                    https_ ? WINHTTP_FLAG_SECURE : 0));
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
  const std::string& body = o_.postBytes.empty() ? o_.postText : o_.postBytes;
  const DWORD length = static_cast<DWORD>(body.size());
  return WinHttpSendRequest(request_.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()),
                            length, length, 0);
}

std::string PageExchange::ReadBody() {
  std::string body;
  std::string chunk;
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request_.get(), &available) || available < 1) break;
    DWORD read = 0;
    // A body too large for memory ends like a failed read: what arrived so far is kept.
    try {
      chunk.resize(available);
      if (!WinHttpReadData(request_.get(), chunk.data(), available, &read)) {
        SetStatus(kMessageRead);
        break;
      }
      body.append(chunk.data(), read);
    } catch (const std::bad_alloc&) {
      SetStatus(kMessageRead);
      break;
    }
    if (read == 0) break;  // no progress: the connection is done
  }
  return body;
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

std::string PageExchange::DecodeCharset(const std::string& body, std::string text) {
  ScopedCoInitialize com;
  std::string charset;
  if (matcher_.Search(kCharsetPattern, Mid(text, 1, 1024))) {
    Reached();
    charset = matcher_.SubMatchText(1, 1);
  }
  if (charset.empty() || charset == "gbk" || charset == "gb2312") return text;
  std::string decoded = DecodeWithStream(body, charset);
  // Where the stream object cannot be driven (or cannot read the body) the system's own
  // converter decodes the page, so a good page never comes back empty.
  if (decoded.empty() && !body.empty()) {
    if (std::optional<std::string> converted = DecodeWithCodePage(body, charset))
      return *converted;
    return text;
  }
  return decoded;
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

std::string Utf16ToText(std::wstring_view utf16) {
  utf16 = utf16.substr(0, utf16.find(L'\0'));
  if (utf16.empty() || utf16.size() > INT_MAX) return {};
  const int size = static_cast<int>(utf16.size());
  const int n = WideCharToMultiByte(kGbk, WC_COMPOSITECHECK, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(n, '\0');
  WideCharToMultiByte(kGbk, WC_COMPOSITECHECK, utf16.data(), size, out.data(), n, nullptr, nullptr);
  return out.substr(0, out.find('\0'));
}

std::string Utf16ToText(std::string_view utf16leBytes) {
  std::wstring wide(utf16leBytes.size() / 2, L'\0');
  for (size_t i = 0; i < wide.size(); ++i)
    wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(utf16leBytes[2 * i]) |
                                   static_cast<unsigned char>(utf16leBytes[2 * i + 1]) << 8);
  return Utf16ToText(std::wstring_view(wide));
}
