#include "http/request_text.h"

#include "text/text_slicing.h"
#include "http/header_text.h"

namespace {

bool Lacks(std::string_view block, std::string_view name) { return Find(block, name, 1, true) < 1; }

}  // namespace

std::string CompleteWinInetHeaders(std::string block, std::string_view url, HttpMethod method) {
  if (block.empty()) block = "Accept: */*";
  if (Lacks(block, "Accept:")) block += "\r\nAccept: */*";
  if (Lacks(block, "Referer:")) block += "\r\nReferer: " + std::string(url);
  if (Lacks(block, "Accept-Language:")) block += "\r\nAccept-Language: zh-cn";
  if (method == HttpMethod::Post && Lacks(block, "Content-Type:"))
    block += "\r\nContent-Type: application/x-www-form-urlencoded";
  return block;
}

std::string CompleteComHeaders(std::string block, std::string_view url, HttpMethod method) {
  if (Lacks(block, "Accept:")) block += "\r\nAccept: */*";
  if (Lacks(block, "Referer:")) block += "\r\nReferer: " + std::string(url);
  if (Lacks(block, "Accept-Language:")) block += "\r\nAccept-Language: zh-cn";
  if (Lacks(block, "User-Agent:")) block += std::string("\r\nUser-Agent: ") + kDefaultUserAgent;
  if (method == HttpMethod::Post && Lacks(block, "Content-Type:"))
    block += "\r\nContent-Type: application/x-www-form-urlencoded";
  return block;
}

std::string WinInetUserAgent(std::string_view extraHeaders) {
  if (Lacks(extraHeaders, "User-Agent:")) return kDefaultUserAgent;
  // The line is found ignoring case, as its presence was; an empty value leaves the default
  // rather than taking the rest of the block for a user agent.
  std::string agent = Trim(TextBetween(std::string(extraHeaders) + "\r\n", "User-Agent:", "\r\n", 1, true));
  return agent.empty() ? std::string(kDefaultUserAgent) : agent;
}

std::string CookieHeaderLine(std::string_view cookies, MarkerCase markerCase) {
  if (cookies.empty()) return {};
  if (Find(cookies, "Cookie:", 1, markerCase == MarkerCase::Ignored) >= 1) return std::string(cookies);
  return "Cookie: " + std::string(cookies);
}

std::string CookieHeaderValue(std::string_view cookies) { return RemoveAll(cookies, "Cookie:", MarkerCase::Ignored); }

std::optional<std::string> SetCookieOf(std::string_view line) {
  if (TextBefore(line, ": ") != "Set-Cookie") return std::nullopt;
  if (Find(line, ";") < 1) return Trim(RemoveAll(line, "Set-Cookie:", MarkerCase::Ignored));
  return Trim(TextBetween(line, "Set-Cookie:", ";"));
}

std::string CollectSetCookies(std::string_view rawHeaders) {
  std::string cookies;
  for (const std::string& line : SplitText(rawHeaders, "\r\n")) {
    if (const std::optional<std::string> cookie = SetCookieOf(line)) cookies += *cookie + "; ";
  }
  if (cookies.size() >= 2) cookies.resize(cookies.size() - 2);
  return cookies;
}

bool ResponseBodyIsWhole(HttpMethod method, uint32_t status, size_t received, std::optional<uint32_t> announced) {
  if (status == 0) return false;
  if (NormaliseMethod(method) == HttpMethod::Head || status == 204 || status == 304 || status < 200) return true;
  return !announced || received >= *announced;
}

std::string RemoveAll(std::string_view text, std::string_view marker, MarkerCase markerCase) {
  if (marker.empty()) return std::string(text);
  std::string out;
  int from = 1;
  for (;;) {
    const int p = Find(text, marker, from, markerCase == MarkerCase::Ignored);
    if (p < 1) break;
    out.append(text.substr(static_cast<size_t>(from - 1), static_cast<size_t>(p - from)));
    from = p + static_cast<int>(marker.size());
  }
  if (static_cast<size_t>(from - 1) < text.size()) out.append(text.substr(static_cast<size_t>(from - 1)));
  return out;
}
