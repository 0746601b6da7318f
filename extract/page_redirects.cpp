#include "extract/page_redirects.h"

namespace {

constexpr char kFailureScheme[] = "重定向到了非http(s)地址";
constexpr char kFailureTooMany[] = "重定向次数过多";

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
    if (x != b[i]) return false;
  }
  return true;
}

// The scheme of an absolute address ("http" of "http://..."), or empty for a relative reference.
std::string_view SchemeOf(std::string_view url) {
  if (url.empty() || !IsAlpha(url[0])) return {};
  for (size_t i = 1; i < url.size(); ++i) {
    const char c = url[i];
    if (c == ':') return url.substr(0, i);
    if (!IsAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return {};
  }
  return {};
}

std::string_view WithoutFragment(std::string_view url) { return url.substr(0, url.find('#')); }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool IsHttps(std::string_view url) { return EqualsIgnoringCase(SchemeOf(url), "https"); }

FetchedPage Failure(const char* why) {
  FetchedPage page;
  page.failure = why;
  return page;
}

}  // namespace

std::optional<std::string> RedirectTarget(std::string_view from, std::string_view location) {
  location = WithoutFragment(Trimmed(location));
  from = WithoutFragment(from);
  const std::string_view scheme = SchemeOf(location);
  if (!scheme.empty()) {
    if (!EqualsIgnoringCase(scheme, "http") && !EqualsIgnoringCase(scheme, "https")) return std::nullopt;
    return std::string(location);
  }
  // A relative reference takes what it lacks from the address that answered, which is http(s).
  const std::string_view base = SchemeOf(from);
  if (!EqualsIgnoringCase(base, "http") && !EqualsIgnoringCase(base, "https")) return std::nullopt;
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

FetchedPage FetchFollowingRedirects(const PageFetch& fetch, const std::string& url,
                                    const std::optional<std::string>& cookies,
                                    const std::function<bool(const std::string& url)>& cookieMayGo) {
  if (!fetch) return FetchedPage();
  std::string address = url;
  std::optional<std::string> sent = cookies;
  // Once the way went over https, plain http is a downgrade anyone on the network could have
  // asked for: the cookie would travel readable to all. The hop is still followed without it (an
  // item page needs no login), and the page says so in case it turns out to want one.
  bool encryptedBefore = IsHttps(address);
  bool withheld = false;
  for (int redirects = 0;; ++redirects) {
    FetchedPage page = fetch(address, sent);
    if (!IsRedirect(page.status) || page.location.empty()) {
      page.cookieWithheldOverHttp = withheld;
      return page;
    }
    if (redirects == kMaxRedirects) return Failure(kFailureTooMany);
    std::optional<std::string> next = RedirectTarget(address, page.location);
    if (!next) return Failure(kFailureScheme);
    address = std::move(*next);
    // Decided for each address afresh: a detour through a foreign host does not cost the platform's
    // own hosts further on their cookie.
    const bool belongs = cookies && cookieMayGo && cookieMayGo(address);
    const bool https = IsHttps(address);
    withheld = belongs && encryptedBefore && !https;
    sent = belongs && !withheld ? cookies : std::nullopt;
    encryptedBefore = encryptedBefore || https;
  }
}
