#include "extract/link_platform.h"

#include <string>

#include "extract/cookie_scope.h"

namespace {

struct PlatformDomain {
  std::string_view domain;
  Platform platform;
  bool taobaoOrTmall;
};

// Item pages and the short links that lead to them.
constexpr PlatformDomain kDomains[] = {
    {"taobao.com", Platform::Taobao, false}, {"tb.cn", Platform::Taobao, true},
    {"tmall.com", Platform::Tmall, false},   {"tmall.hk", Platform::Tmall, false},
    {"jd.com", Platform::Jd, false},         {"jd.hk", Platform::Jd, false},
    {"3.cn", Platform::Jd, false},           {"1688.com", Platform::Alibaba, false},
};

constexpr std::string_view kMirrorSuffix = ".localhost";

bool UnderDomain(std::string_view host, std::string_view domain) {
  if (host == domain) return true;
  return host.size() > domain.size() && host.substr(host.size() - domain.size()) == domain &&
         host[host.size() - domain.size() - 1] == '.';
}

std::string_view WithoutLastLabel(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(0, dot);
}

bool TaobaoFamily(Platform p) { return p == Platform::Taobao || p == Platform::Tmall; }

}  // namespace

std::optional<LinkOwner> LinkOwnerOf(std::string_view link) {
  const bool hasScheme = link.find("://") != std::string_view::npos;
  const std::string host = HostOfUrl(hasScheme ? std::string(link) : "http://" + std::string(link));
  if (host.empty()) return std::nullopt;
  std::string_view name = host;
  const bool mirror = name.size() > kMirrorSuffix.size() && name.ends_with(kMirrorSuffix);
  if (mirror) name.remove_suffix(kMirrorSuffix.size());
  for (const PlatformDomain& d : kDomains)
    if (UnderDomain(name, mirror ? WithoutLastLabel(d.domain) : d.domain))
      return LinkOwner{d.platform, d.taobaoOrTmall};
  return std::nullopt;
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
