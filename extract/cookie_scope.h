#pragma once
// Where the user's cookie may go: a shop session must not reach a host that a page merely names.

#include <string>
#include <string_view>

#include "config/endpoints.h"

// The host of an http or https address as the request engines read it: lower case, without port
// and final dot, an IPv6 literal in brackets. Empty for anything else and for an address with user
// info: such an address gets no cookie.
std::string HostOfUrl(std::string_view url);

// Whether a request for `url` may carry the cookie: its host is the host of the link the user
// pasted, lies under a domain of a platform whose pages take the cookie (HostOwner: "a.taobao.com"
// does, "evil-taobao.com" and "taobao.com.evil.cn" do not), or is one of the description hosts the
// program itself is configured to ask.
bool CookieMayGo(std::string_view url, std::string_view link, const EndpointHosts& hosts);
