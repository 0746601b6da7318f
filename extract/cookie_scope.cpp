#include "extract/cookie_scope.h"

#include "text/url.h"

namespace {

// The platforms' own domains: item pages, descriptions, pictures and short links.
constexpr std::string_view kPlatformDomains[] = {"taobao.com", "tmall.com", "tb.cn",     "alicdn.com",
                                                 "1688.com",   "alibaba.com", "jd.com", "3.cn"};

}  // namespace

std::string HostOfUrl(std::string_view url) {
  const std::optional<UrlParts> parts = ParseUrl(url);
  // User info may dress one host up as another ("https://img.alicdn.com@evil.example/").
  if (!parts || !parts->IsHttp() || !parts->userInfo.empty()) return {};
  return parts->host;
}

bool CookieMayGo(std::string_view url, std::string_view link, const EndpointHosts& hosts) {
  const std::string host = HostOfUrl(url);
  if (host.empty()) return false;
  if (host == HostOfUrl(link)) return true;
  for (std::string_view domain : kPlatformDomains)
    if (HostUnderDomain(host, domain)) return true;
  // The configured description hosts: under taobao.com in the program, loopback hosts in tests.
  for (const std::string* own : {&hosts.TaobaoDescHost, &hosts.TaobaoDescApiHost})
    if (!own->empty() && host == HostOfUrl("https://" + *own)) return true;
  return false;
}
