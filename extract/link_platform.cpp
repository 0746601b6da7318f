#include "extract/link_platform.h"

#include <string>

#include "text/url.h"

namespace {

constexpr std::string_view kMirrorSuffix = ".localhost";

std::string_view WithoutLastLabel(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(0, dot);
}

bool TaobaoFamily(Platform p) { return p == Platform::Taobao || p == Platform::Tmall; }

}  // namespace

std::optional<LinkOwner> HostOwner(std::string_view host, bool mirrors) {
  std::string_view name = host;
  const bool mirror = mirrors && name.size() > kMirrorSuffix.size() && name.ends_with(kMirrorSuffix);
  if (mirror) name.remove_suffix(kMirrorSuffix.size());
  for (const PlatformRow& row : PlatformRows())
    for (const PlatformDomain& domain : row.domains)
      if (HostUnderDomain(name, mirror ? WithoutLastLabel(domain.name) : domain.name))
        return LinkOwner{row.platform, domain.taobaoOrTmall};
  return std::nullopt;
}

std::optional<LinkOwner> LinkOwnerOf(std::string_view link) {
  const std::optional<UrlParts> parts = ParseUrl(LinkWithScheme(link));
  // User info may dress one host up as another.
  if (!parts || !parts->IsHttp() || !parts->userInfo.empty()) return std::nullopt;
  return HostOwner(parts->host, true);
}

bool ButtonReadsLinkOf(Platform button, const LinkOwner& owner) {
  if (owner.platform == button) return true;
  if (owner.taobaoOrTmall) return TaobaoFamily(button);
  // Taobao's item address of a Tmall item is sent on to Tmall's page; Tmall's addresses stay.
  return button == Platform::Tmall && owner.platform == Platform::Taobao;
}

bool LinkOfAnotherPlatform(Platform button, const LinkOwner& owner) {
  if (owner.platform == button) return false;
  return !(owner.taobaoOrTmall && TaobaoFamily(button));
}

std::string MirroredAddress(const std::string& url, std::string_view mirror) {
  // Requests for the sites carry the cookie box; a mirror off this machine would receive it.
  const std::string_view mirrorHost = mirror.substr(0, mirror.find(':'));
  if (mirrorHost != "localhost") return url;
  const std::optional<UrlParts> parts = ParseUrl(url);
  if (!parts || !parts->IsHttp()) return url;
  for (const PlatformRow& row : PlatformRows())
    for (const PlatformDomain& domain : row.domains) {
      if (!HostUnderDomain(parts->host, domain.name)) continue;
      const size_t topLevel = domain.name.size() - WithoutLastLabel(domain.name).size();
      std::string address = parts->scheme + "://";
      if (!parts->userInfo.empty()) address += parts->userInfo + "@";
      address += parts->host.substr(0, parts->host.size() - topLevel) + "." + std::string(mirror) + parts->path;
      if (parts->query) address += "?" + *parts->query;
      if (parts->fragment) address += "#" + *parts->fragment;
      return address;
    }
  return url;
}
