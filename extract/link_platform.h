#pragma once
// Whose site an item link is on, told from its host: a link pressed with another platform's button
// is named as what it is instead of being fetched for nothing.

#include <optional>
#include <string_view>

#include "extract/platforms.h"

struct LinkOwner {
  Platform platform;
  // A short link of Taobao's (tb.cn) opens Taobao and Tmall items alike.
  bool taobaoOrTmall = false;
};

// The platform under whose domains (its row's) a host lies, by whole labels: "item.taobao.com",
// "m.tb.cn", "3.cn", "detail.1688.com"; nullopt for any other host. With `mirrors`, a name under
// ".localhost" counts as the same name under the platform's own top-level domain
// ("item.jd.localhost" as "item.jd.com"): such names only ever reach this machine, where they stand
// for a mirror of the site, such as the demo shop.
std::optional<LinkOwner> HostOwner(std::string_view host, bool mirrors);

// The owner of the link's host, mirrors included; nullopt for text that is no http(s) address. A
// link without a scheme is read as LinkWithScheme takes it.
std::optional<LinkOwner> LinkOwnerOf(std::string_view link);

// Where a request for `url` goes while the platforms' sites are mirrored under `mirror`, a domain
// with an optional port ("localhost:8080"): an address on a platform's domain goes to the same
// name under the mirror's domain, the platform's top-level domain left out as HostOwner reads
// mirrors ("https://item.jd.com/1.html" to "https://item.jd.localhost:8080/1.html"). Every other
// address, and every address when `mirror` is empty or not this machine's "localhost", stays as it
// is.
std::string MirroredAddress(const std::string& url, std::string_view mirror);

// Whether the platform's button reads the pages of links owned as `owner`: the platform's own, and
// Taobao's and Tmall's each other's (the sites send an item's link on to the other site's page).
bool ButtonReadsLinkOf(Platform button, const LinkOwner& owner);

// Whether the link surely belongs to another platform than `button`'s, so that finding nothing
// with it says nothing about the page.
bool LinkOfAnotherPlatform(Platform button, const LinkOwner& owner);
