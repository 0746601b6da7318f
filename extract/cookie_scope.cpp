#include "extract/cookie_scope.h"

#include "extract/link_platform.h"
#include "text/url.h"

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
  // The sites' own domains; a mirror's name gets it only as the link's host.
  const std::optional<LinkOwner> owner = HostOwner(host, false);
  if (owner && PlatformRowOf(owner->platform).takesCookie) return true;
  // The configured description hosts: under taobao.com in the program, loopback hosts in tests.
  for (const std::string* own : {&hosts.TaobaoDescHost, &hosts.TaobaoDescApiHost})
    if (!own->empty() && host == HostOfUrl("https://" + *own)) return true;
  return false;
}
