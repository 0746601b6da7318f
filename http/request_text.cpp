#include "http/request_text.h"

#include <algorithm>

#include "http/header_text.h"
#include "text/ascii.h"
#include "text/text_slicing.h"

namespace {

bool Lacks(std::string_view block, std::string_view name) { return Find(block, name, 1, true) < 1; }

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// A header value made of a URL: a line break in it would start a header line of its own.
std::string WithoutLineBreaks(std::string_view text) {
  std::string out;
  for (char c : text)
    if (!IsLineBreak(c)) out += c;
  return out;
}

std::string_view TrimmedCookieLine(std::string_view line) { return TrimAscii(line, " \t;"); }

}  // namespace

std::string CompleteWinInetHeaders(std::string block, std::string_view url, HttpMethod method) {
  if (block.empty()) block = "Accept: */*";
  if (Lacks(block, "Accept:")) block += "\r\nAccept: */*";
  if (Lacks(block, "Referer:")) block += "\r\nReferer: " + WithoutLineBreaks(url);
  if (Lacks(block, "Accept-Language:")) block += "\r\nAccept-Language: zh-cn";
  if (method == HttpMethod::Post && Lacks(block, "Content-Type:"))
    block += "\r\nContent-Type: application/x-www-form-urlencoded";
  return block;
}

std::string CompleteComHeaders(std::string block, std::string_view url, HttpMethod method) {
  if (Lacks(block, "Accept:")) block += "\r\nAccept: */*";
  if (Lacks(block, "Referer:")) block += "\r\nReferer: " + WithoutLineBreaks(url);
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

std::string CookieTextOnOneLine(std::string_view cookies) {
  if (std::find_if(cookies.begin(), cookies.end(), IsLineBreak) == cookies.end()) return std::string(cookies);
  std::string out;
  while (!cookies.empty()) {
    const auto lineEnd = std::find_if(cookies.begin(), cookies.end(), IsLineBreak);
    const std::string_view line = TrimmedCookieLine(cookies.substr(0, static_cast<size_t>(lineEnd - cookies.begin())));
    cookies.remove_prefix(static_cast<size_t>(lineEnd - cookies.begin()));
    if (!cookies.empty()) cookies.remove_prefix(1);
    if (line.empty()) continue;
    if (!out.empty()) out += "; ";
    out += line;
  }
  return out;
}

std::string CookieHeaderLine(std::string_view cookies, MarkerCase markerCase) {
  const std::string text = CookieTextOnOneLine(cookies);
  if (text.empty()) return {};
  if (Find(text, "Cookie:", 1, markerCase == MarkerCase::Ignored) >= 1) return text;
  return "Cookie: " + text;
}

std::string CookieHeaderValue(std::string_view cookies) {
  return RemoveAll(CookieTextOnOneLine(cookies), "Cookie:", MarkerCase::Ignored);
}

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
