#include "text/url.h"

#include <algorithm>

#include "text/ascii.h"

namespace {

constexpr int kMaxPort = 65535;

bool IsControlOrBlank(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b <= 0x20 || b == 0x7F;
}

bool IsNameByte(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '.' || c == '_'; }

bool IsIpv6LiteralByte(char c) { return HexDigitValue(c) >= 0 || c == ':' || c == '.'; }

// The length of the scheme before "://", or 0 when the text does not begin with one.
size_t SchemeLength(std::string_view url) {
  if (url.empty() || !IsAsciiLetter(url[0])) return 0;
  size_t i = 1;
  while (i < url.size() && (IsAsciiLetter(url[i]) || IsAsciiDigit(url[i]) || url[i] == '+' || url[i] == '-' ||
                            url[i] == '.'))
    ++i;
  return url.substr(i, 3) == "://" ? i : 0;
}

// ":port" after the host: nothing, or 1 to 65535 in at most five digits. -1 when it is neither.
int PortAfterHost(std::string_view text) {
  if (text.empty()) return 0;
  if (text[0] != ':' || text.size() < 2 || text.size() > 6) return -1;
  int port = 0;
  for (char c : text.substr(1)) {
    if (!IsAsciiDigit(c)) return -1;
    port = port * 10 + (c - '0');
  }
  return port >= 1 && port <= kMaxPort ? port : -1;
}

// Host and port of an authority without user info; false when either is malformed.
bool ReadHostAndPort(std::string_view authority, UrlParts& parts) {
  std::string_view host;
  std::string_view rest;
  if (!authority.empty() && authority[0] == '[') {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    const std::string_view literal = authority.substr(1, close - 1);
    if (literal.find(':') == std::string_view::npos) return false;
    for (char c : literal)
      if (!IsIpv6LiteralByte(c)) return false;
    host = authority.substr(0, close + 1);
    rest = authority.substr(close + 1);
  } else {
    const size_t colon = authority.find(':');
    host = authority.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
    // "taobao.com." names the same host as "taobao.com".
    if (host.ends_with('.')) host.remove_suffix(1);
    for (char c : host)
      if (!IsNameByte(c)) return false;
  }
  if (host.empty()) return false;
  const int port = PortAfterHost(rest);
  if (port < 0) return false;
  parts.host = LowerAsciiCopy(host);
  parts.port = port;
  return true;
}

bool IsHttpScheme(std::string_view scheme) {
  return EqualsIgnoringAsciiCase(scheme, "http") || EqualsIgnoringAsciiCase(scheme, "https");
}

std::string_view WithoutFragment(std::string_view url) { return url.substr(0, url.find('#')); }

std::string PercentDecode(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const int high = i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
    const int low = i + 2 < text.size() ? HexDigitValue(text[i + 2]) : -1;
    if (text[i] == '%' && high >= 0 && low >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string UrlParts::HostAndPort() const { return port ? host + ":" + std::to_string(port) : host; }

bool HasSchemePrefix(std::string_view url) { return SchemeLength(url) > 0; }

std::string LinkWithScheme(std::string_view link) {
  if (link.empty() || HasSchemePrefix(link)) return std::string(link);
  return (link.starts_with("//") ? "https:" : "https://") + std::string(link);
}

std::string LinkIdentity(std::string_view link) {
  const std::string full = LinkWithScheme(link);
  const std::optional<UrlParts> parts = ParseUrl(full);
  if (!parts || !parts->IsHttp()) return std::string(link);
  std::string identity = "//" + (parts->userInfo.empty() ? "" : parts->userInfo + "@") + parts->HostAndPort();
  identity += parts->path.empty() ? "/" : parts->path;
  if (parts->query) identity += "?" + *parts->query;
  return identity;
}

std::string_view SchemeOfReference(std::string_view url) {
  if (url.empty() || !IsAsciiLetter(url[0])) return {};
  for (size_t i = 1; i < url.size(); ++i) {
    const char c = url[i];
    if (c == ':') return url.substr(0, i);
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '+' && c != '-' && c != '.') return {};
  }
  return {};
}

bool HostUnderDomain(std::string_view host, std::string_view domain) {
  if (domain.empty()) return false;
  if (host == domain) return true;
  return host.size() > domain.size() && host.ends_with(domain) && host[host.size() - domain.size() - 1] == '.';
}

std::optional<UrlParts> ParseUrl(std::string_view url) {
  for (char c : url)
    if (IsControlOrBlank(c)) return std::nullopt;
  const size_t schemeLength = SchemeLength(url);
  if (schemeLength == 0) return std::nullopt;
  UrlParts parts;
  parts.scheme = LowerAsciiCopy(url.substr(0, schemeLength));
  const std::string_view rest = url.substr(schemeLength + 3);

  // "?" and "#" end the authority as "/" does; none of them is ever the trailing byte of a GBK
  // character, so the search needs no care for double bytes.
  const size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
  std::string_view authority = rest.substr(0, authorityEnd);
  // Only ASCII stands in the authority: a double-byte host name reaches no server, and the
  // trailing byte of a GBK character can look like "@" or "]". A backslash, which browsers read
  // as "/", would make them go elsewhere than the engines.
  for (char c : authority)
    if (static_cast<unsigned char>(c) >= 0x80 || c == '\\') return std::nullopt;
  if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
    parts.userInfo = std::string(authority.substr(0, at));
    authority.remove_prefix(at + 1);
  }
  if (!ReadHostAndPort(authority, parts)) return std::nullopt;

  std::string_view tail = rest.substr(authorityEnd);
  const size_t hash = tail.find('#');
  if (hash != std::string_view::npos) {
    parts.fragment = std::string(tail.substr(hash + 1));
    tail = tail.substr(0, hash);
  }
  const size_t question = tail.find('?');
  if (question != std::string_view::npos) {
    parts.query = std::string(tail.substr(question + 1));
    tail = tail.substr(0, question);
  }
  parts.path = std::string(tail);
  return parts;
}

std::optional<std::string> PageAddress(std::string_view text) {
  std::string url = text.starts_with("//") ? "https:" + std::string(text) : std::string(text);
  if (url.size() > kMaxPageAddressBytes || url.find_first_of("\"'<>") != std::string::npos) return std::nullopt;
  const std::optional<UrlParts> parts = ParseUrl(url);
  if (!parts || !parts->IsHttp()) return std::nullopt;
  url.replace(0, parts->scheme.size(), parts->scheme);
  return url;
}

std::optional<std::string> RedirectTarget(std::string_view from, std::string_view location) {
  location = WithoutFragment(TrimAscii(location));
  from = WithoutFragment(from);
  const std::string_view scheme = SchemeOfReference(location);
  if (!scheme.empty()) {
    if (!IsHttpScheme(scheme)) return std::nullopt;
    return std::string(location);
  }
  // A relative reference takes what it lacks from the address that answered, which is http(s).
  const std::string_view base = SchemeOfReference(from);
  if (!IsHttpScheme(base)) return std::nullopt;
  if (location.starts_with("//")) return std::string(base) + ":" + std::string(location);
  const size_t authorityStart = base.size() + 3;  // after "://"
  const size_t pathStart = from.find_first_of("/?", authorityStart);
  const std::string_view origin = from.substr(0, pathStart);
  if (location.starts_with("/")) return std::string(origin) + std::string(location);
  const std::string_view path = pathStart == std::string_view::npos ? std::string_view("/") : from.substr(pathStart);
  const std::string_view pathOnly = path.substr(0, path.find('?'));
  if (location.empty()) return std::string(origin) + std::string(path);
  if (location.starts_with("?")) return std::string(origin) + std::string(pathOnly) + std::string(location);
  // A relative path replaces the last segment of the answering address's path.
  const size_t lastSlash = pathOnly.rfind('/');
  const std::string_view directory = lastSlash == std::string_view::npos ? "/" : pathOnly.substr(0, lastSlash + 1);
  return std::string(origin) + std::string(directory) + std::string(location);
}

std::string QueryValue(std::string_view url, std::string_view name) {
  const size_t query = url.find('?');
  if (query == std::string_view::npos) return {};
  size_t at = query + 1;
  while (at < url.size()) {
    size_t end = url.find_first_of("&#", at);
    if (end == std::string_view::npos) end = url.size();
    const std::string_view pair = url.substr(at, end - at);
    const size_t eq = pair.find('=');
    if (eq != std::string_view::npos && pair.substr(0, eq) == name) return PercentDecode(pair.substr(eq + 1));
    if (end < url.size() && url[end] == '#') break;
    at = end + 1;
  }
  return {};
}

std::string_view PageNumberOfLink(std::string_view link) {
  std::string_view page = link.substr(0, link.find_first_of("?#"));
  if (const size_t slash = page.rfind('/'); slash != std::string_view::npos) page.remove_prefix(slash + 1);
  for (std::string_view ending : {".html", ".htm"}) {
    if (!page.ends_with(ending)) continue;
    std::string_view number = page.substr(0, page.size() - ending.size());
    if (number.starts_with('i')) number.remove_prefix(1);
    if (number.empty() || number.size() > kMaxLinkNumberDigits) return {};
    for (char c : number)
      if (!IsAsciiDigit(c)) return {};
    return number;
  }
  return {};
}
