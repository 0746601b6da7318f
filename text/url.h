#pragma once
// The one reading of a URL for the whole program: where the cookie may go, where the request
// engines connect, which hosts a hosts file may name and which page addresses become rows.
//
//   scheme "://" [user-info "@"] host [":" port] [path] ["?" query] ["#" fragment]
//
// The authority ends at the first "/", "?" or "#" and holds only ASCII; a host is a name (letters,
// digits, "-", ".", "_") or an IPv6 literal in brackets; a port is 1 to 65535. A URL holding a
// control character or a blank anywhere is no URL.

#include <optional>
#include <string>
#include <string_view>

struct UrlParts {
  std::string scheme;    // lower case
  std::string userInfo;  // as written, without its "@"; empty when there is none
  // ASCII letters in lower case, without a final "."; an IPv6 literal keeps its brackets.
  std::string host;
  int port = 0;  // as written, 1 to 65535; 0 when the URL names none
  std::string path;  // from the first "/" after the authority, as written; empty when there is none
  std::optional<std::string> query;     // after "?", up to "#"
  std::optional<std::string> fragment;  // after "#"

  bool IsHttp() const { return scheme == "http" || scheme == "https"; }
  // The port written, else the scheme's own (443 for https, 80 for everything else).
  int PortOrDefault() const { return port ? port : scheme == "https" ? 443 : 80; }
  // The host, and ":port" when the URL names one.
  std::string HostAndPort() const;
};

// The parts of `url`; nothing when it is no URL of the shape above.
std::optional<UrlParts> ParseUrl(std::string_view url);

// Whether `url` begins with a scheme followed by "://".
bool HasSchemePrefix(std::string_view url);

// An item link as a user copies it from an address bar or a chat, which may leave out the scheme
// ("item.jd.com/1.html", "//item.jd.com/1.html"): taken as https, which every platform's site
// serves. A link with a scheme, and the empty text, stay as they are.
std::string LinkWithScheme(std::string_view link);

// What names the page a link opens, so that two links of one item compare equal: host (lower
// case), port as written, path and query of the link taken with LinkWithScheme, whatever its
// scheme (the sites serve a page alike over http and https) and fragment. Text that is no http(s)
// address is its own identity.
std::string LinkIdentity(std::string_view link);

// The scheme of an absolute reference as written ("HTTPS" of "HTTPS://a" and of "https:a"), or ""
// for a relative one.
std::string_view SchemeOfReference(std::string_view url);

// The address a redirect's Location names, resolved against the address that answered with it
// (absolute, "//host/...", "/path", "?query" or a relative path), without its fragment and the
// blanks around it. Nothing when it names anything but an http or https address.
std::optional<std::string> RedirectTarget(std::string_view from, std::string_view location);

// The value of the query parameter `name` (compared exactly) of an address, percent-decoded; ""
// when its query names none. The query runs from the first "?" to the "#" after it; the address
// may be written without a scheme, as links and page data are.
std::string QueryValue(std::string_view url, std::string_view name);

// The longest number a link's page name may hold.
inline constexpr size_t kMaxLinkNumberDigits = 20;

// The number a link's page is named after, from the last part of its path: "<n>.html" or
// "<n>.htm", also Taobao's phone page "i<n>.htm"; "" for any other name and for a number of more
// than kMaxLinkNumberDigits digits. The link may be written without a scheme.
std::string_view PageNumberOfLink(std::string_view link);

// Whether a host (as UrlParts gives it) is `domain` or lies under it by whole labels:
// "a.taobao.com" lies under "taobao.com", "evil-taobao.com" and "taobao.com.evil.cn" do not.
bool HostUnderDomain(std::string_view host, std::string_view domain);

// The longest address taken from a page.
inline constexpr size_t kMaxPageAddressBytes = 2048;

// An address taken from a page as it may become a row or a request: an http or https URL (one
// written "//host/…" gets "https:", the scheme goes to lower case) without quotes or markup
// ("\"'<>", left by a cut that ran past an address) and at most kMaxPageAddressBytes long;
// nothing for anything else. A line break in a page can thus never reach a request line or header.
std::optional<std::string> PageAddress(std::string_view text);
