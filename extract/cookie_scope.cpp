#include "extract/cookie_scope.h"

#include "text/ascii.h"

namespace {

// The platforms' own domains: item pages, descriptions, pictures and short links.
constexpr std::string_view kPlatformDomains[] = {"taobao.com", "tmall.com", "tb.cn",     "alicdn.com",
                                                 "1688.com",   "alibaba.com", "jd.com", "3.cn"};

bool IsHostCharacter(char c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
}

bool UnderDomain(std::string_view host, std::string_view domain) {
  if (host == domain) return true;
  return host.size() > domain.size() && host.substr(host.size() - domain.size()) == domain &&
         host[host.size() - domain.size() - 1] == '.';
}

}  // namespace

std::string HostOfUrl(std::string_view url) {
  size_t at;
  if (StartsWithIgnoringAsciiCase(url, "https://"))
    at = 8;
  else if (StartsWithIgnoringAsciiCase(url, "http://"))
    at = 7;
  else
    return {};
  const size_t end = url.find_first_of("/?#", at);
  std::string_view authority = url.substr(at, end == std::string_view::npos ? url.npos : end - at);
  for (char c : authority)
    if (!IsHostCharacter(c)) return {};
  // The port goes; a bracketed address keeps its brackets.
  const size_t colon = authority.rfind(':');
  if (colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos)
    authority = authority.substr(0, colon);
  if (!authority.empty() && authority.back() == '.') authority.remove_suffix(1);
  return LowerAsciiCopy(authority);
}

bool CookieMayGo(std::string_view url, std::string_view link, const EndpointHosts& hosts) {
  const std::string host = HostOfUrl(url);
  if (host.empty()) return false;
  if (host == HostOfUrl(link)) return true;
  for (std::string_view domain : kPlatformDomains)
    if (UnderDomain(host, domain)) return true;
  // The configured description hosts: under taobao.com in the program, loopback hosts in tests.
  for (const std::string* own : {&hosts.TaobaoDescHost, &hosts.TaobaoDescApiHost})
    if (!own->empty() && host == HostOfUrl("https://" + *own)) return true;
  return false;
}
