#include "http/com_request.h"

#include <climits>
#include <vector>

#include "text/text_slicing.h"
#include "http/base64.h"
#include "http/header_text.h"
#include "http/request_text.h"
#include "http/url_parts.h"
#include "runtime/codepage.h"
#include "runtime/dispatch.h"
#include "runtime/variant_bytes.h"

namespace {

constexpr int kDefaultTimeoutMs = 15000;
constexpr int kProxyNamed = 2;  // HTTPREQUEST_PROXYSETTING_PROXY
constexpr int kOptionSslErrorIgnoreFlags = 4;
constexpr int kOptionEnableRedirects = 6;
// Ignore an unknown authority, wrong usage, a name mismatch and an expired certificate.
constexpr int kSslErrorsIgnored = 0x3300;

// Each call's failure shows only as an empty result: the exchange carries on, as a script would.
class RequestObject {
 public:
  explicit RequestObject(IDispatch* object) : object_(object) {}

  void Call(const wchar_t* name, std::vector<VARIANT> args, VARIANT* result = nullptr) {
    CallAutomationMethod(object_, name, args, result);
    ClearVariants(args);
  }
  void Put(const wchar_t* name, int index, VARIANT value) {
    PutAutomationProperty(object_, name, value, {VariantFromInt(index)});
    VariantClear(&value);
  }
  void SetHeader(const std::string& name, const std::string& value) {
    Call(L"SetRequestHeader", {VariantFromWide(GbkToWide(name)), VariantFromWide(GbkToWide(value))});
  }
  std::string GetText(const wchar_t* name) {
    ScopedVariant v;
    if (FAILED(GetAutomationProperty(object_, name, v.get()))) return {};
    return WideToGbk(VariantToWide(*v.get()));
  }
  double GetNumber(const wchar_t* name) {
    ScopedVariant v;
    return FAILED(GetAutomationProperty(object_, name, v.get())) ? 0 : VariantToDouble(*v.get());
  }
  bool Readable(const wchar_t* name) {
    ScopedVariant v;
    return SUCCEEDED(GetAutomationProperty(object_, name, v.get()));
  }
  std::string GetBytes(const wchar_t* name) {
    ScopedVariant v;
    if (FAILED(GetAutomationProperty(object_, name, v.get()))) return {};
    return BytesFromVariant(*v.get());
  }

 private:
  IDispatch* object_;
};

int TimeoutMs(int seconds) {
  if (seconds < 1) return kDefaultTimeoutMs;
  return seconds > INT_MAX / 1000 ? INT_MAX : seconds * 1000;
}

// The longest a synchronous send could take: resolving, connecting, sending and receiving each up
// to the time-out; never longer than the exchange may last in all (whole seconds, rounded up).
int WaitBoundSeconds(int timeoutSeconds, int maxExchangeMs) {
  const int exchange = maxExchangeMs > 0 ? maxExchangeMs / 1000 + (maxExchangeMs % 1000 != 0) : 0;
  if (timeoutSeconds == -1) return exchange;
  const int steps = TimeoutMs(timeoutSeconds) / 1000 * 4;
  return steps < exchange ? steps : exchange;
}

void SendHeaderLines(RequestObject& request, const std::string& block) {
  // WinHttp keeps its own connections; a keep-alive line would only duplicate that.
  auto send = [&](const std::string& line) {
    const std::string name = HeaderLineName(line);
    const std::string value = HeaderLineValue(line);
    if (name.empty() || (name == "Connection" && value == "keep-alive")) return;
    request.SetHeader(name, value);
  };
  if (Find(block, "\r\n") < 1) {
    send(block);
    return;
  }
  for (const std::string& line : SplitText(block, "\r\n"))
    if (!line.empty()) send(line);
}

}  // namespace

std::string ComHttpRequest(const std::string& url, const ComRequestOptions& options) {
  const HttpMethod method = NormaliseMethod(options.method);
  // The object reads the URL itself, but where the program's own reading finds no http(s) address
  // (a line break, a host no other engine would connect to) the request goes nowhere.
  if (!RequestTargetOf(url, MissingScheme::IsNoUrl)) return {};
  ScopedCoInitialize com;
  ComPtr<IDispatch> object;
  if (options.requestObject) {
    object = ComPtr<IDispatch>(options.requestObject, true);
  } else if (FAILED(CreateAutomationObject(L"WinHttp.WinHttpRequest.5.1", &object)) || !object) {
    return {};
  }
  RequestObject request(object.get());

  if (options.timeoutSeconds != -1) {
    const int t = TimeoutMs(options.timeoutSeconds);
    request.Call(L"SetTimeouts", {VariantFromInt(t), VariantFromInt(t), VariantFromInt(t), VariantFromInt(t)});
  }
  if (!options.proxy.empty())
    request.Call(L"SetProxy", {VariantFromInt(kProxyNamed), VariantFromWide(GbkToWide(options.proxy))});
  // Opened for an asynchronous send that is then waited for with a bound: Wine's object ignores the
  // time-outs while a synchronous send waits, so a host that accepts and never answers would hold
  // the thread for good. On Windows the time-outs end the wait first, as with a synchronous send.
  request.Call(L"Open", {VariantFromWide(GbkToWide(RequestVerb(method))), VariantFromWide(GbkToWide(url)),
                         VariantFromBool(true)});
  if (options.noRedirect) request.Put(L"Option", kOptionEnableRedirects, VariantFromBool(false));
  request.Put(L"Option", kOptionSslErrorIgnoreFlags, VariantFromInt(kSslErrorsIgnored));

  std::string headers = options.extraHeaders ? *options.extraHeaders : std::string();
  if (options.completeHeaders) headers = CompleteComHeaders(std::move(headers), url, method);
  if (options.normaliseHeaderNames) headers = NormaliseHeaderCase(headers);
  if (options.extraHeaders) *options.extraHeaders = headers;

  if (!options.proxy.empty() && !options.proxyUser.empty() && options.proxyAuthMode == 1)
    request.SetHeader("Proxy-Authorization",
                      "Basic " + Base64Encode(options.proxyUser + ":" + options.proxyPassword));
  if (options.cookies) {
    std::string& cookies = *options.cookies;
    cookies = CookieTextOnOneLine(cookies);
    if (Find(cookies, "Cookie:", 1, true) >= 1) cookies = CookieHeaderValue(cookies);
    request.SetHeader("Cookie", cookies);
  }
  SendHeaderLines(request, headers);

  request.Call(L"Send", {options.postBytes.empty() ? VariantFromWide(GbkToWide(options.postText))
                                                   : VariantFromBytes(options.postBytes)});
  const int boundSeconds = WaitBoundSeconds(options.timeoutSeconds, options.maxExchangeMs);
  const ULONGLONG waitStart = GetTickCount64();
  const ULONGLONG boundMs = boundSeconds > 0 ? static_cast<ULONGLONG>(boundSeconds) * 1000 : 0;
  // Only a wait that ran out its bound is a time-out. Wine's object answers "not done" at once
  // when asked after the answer has come in: a readable status before the bound then means the
  // answer is complete; otherwise the wait goes on for what remains of the bound. At the bound
  // the exchange fails even with the head in: a body still arriving is not the whole body.
  bool aborted = false;
  for (;;) {
    ScopedVariant done;
    const ULONGLONG elapsed = GetTickCount64() - waitStart;
    const int remaining = boundSeconds < 0 ? boundSeconds
                          : elapsed >= boundMs ? 0
                                               : static_cast<int>((boundMs - elapsed + 999) / 1000);
    request.Call(L"WaitForResponse", {VariantFromInt(remaining)}, done.get());
    const bool notDone = done.get()->vt == VT_BOOL && done.get()->boolVal == VARIANT_FALSE;
    if (!notDone || boundSeconds < 0) break;
    if (GetTickCount64() - waitStart >= boundMs) {
      request.Call(L"Abort", {});
      aborted = true;
      break;
    }
    if (request.Readable(L"Status")) break;
    Sleep(20);
  }
  // Wine's object goes on using itself after an abort until each of its pending steps ends, for a
  // silent server not before the connection does. Released, it would be written into after it is
  // freed and would set events by then another object's (a later exchange then "completes" before
  // it is sent). An aborted object is therefore kept for the life of the process; an abort takes a
  // server past the exchange's bound, so they are few.
  if (aborted) object->AddRef();
  std::string body = request.GetBytes(L"ResponseBody");
  std::string rawHeaders = request.GetText(L"GetAllResponseHeaders");
  double status = request.GetNumber(L"Status");
  request.GetText(L"StatusText");
  // The object has read a body past the bound by now, but the caller gets none of it.
  if (body.size() > options.maxBodyBytes) {
    body.clear();
    rawHeaders.clear();
    status = 0;
  }

  std::string cookies = CollectSetCookies(rawHeaders);
  if (options.mergeCookies && options.cookies) cookies = MergeCookies(*options.cookies, cookies);

  if (options.returnedHeaders) *options.returnedHeaders = rawHeaders;
  if (options.returnedStatus) *options.returnedStatus = status >= 0 && status < 1000 ? static_cast<int>(status) : 0;
  if (options.returnedCookies) *options.returnedCookies = cookies;
  return body;
}
