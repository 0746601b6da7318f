#include "extract/page_redirects.h"

#include "text/ascii.h"
#include "text/url.h"

namespace {

constexpr char kFailureScheme[] = "重定向到了非http(s)地址";
constexpr char kFailureTooMany[] = "重定向次数过多";

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool IsHttps(std::string_view url) { return EqualsIgnoringAsciiCase(SchemeOfReference(url), "https"); }

FetchedPage Failure(const char* why) {
  FetchedPage page;
  page.failure = why;
  return page;
}

}  // namespace

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
