// Redirect targets: whatever Location a server sends, the address followed is an http or https
// address without a fragment; one that is not the Location itself was resolved against the
// answering address and keeps its scheme. And a chain of redirects: once a request went over
// https, no request over plain http carries the cookie. A target mirrored under a demo shop's
// domain keeps everything but its host and port, and its platform.
//
// Input: texts separated by zero bytes: the address that answered (the first address of the
// chain) and its Location, then the Locations of the chain's further hops.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "extract/link_platform.h"
#include "extract/page_redirects.h"
#include "fuzz/fuzz_input.h"
#include "text/ascii.h"
#include "text/url.h"

namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != prefix[i]) return false;
  }
  return true;
}

std::string_view SchemeOf(std::string_view url) {
  if (StartsWithIgnoringCase(url, "https:")) return "https:";
  if (StartsWithIgnoringCase(url, "http:")) return "http:";
  return {};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string_view> parts = fuzz::SplitAtZeros(fuzz::AsText(data, size), 2);
  const std::string_view from = parts[0];
  std::string_view location = parts[1];
  const std::optional<std::string> target = RedirectTarget(from, location);
  if (!target) return 0;
  FUZZ_CHECK(!SchemeOf(*target).empty());
  FUZZ_CHECK(target->find('#') == std::string::npos);
  FUZZ_CHECK(target->size() <= from.size() + location.size() + 2);
  location = TrimAscii(location);
  if (!location.starts_with(*target)) FUZZ_CHECK(SchemeOf(*target) == SchemeOf(from));

  const std::string mirrored = MirroredAddress(*target, "localhost:1");
  if (mirrored != *target) {
    const std::optional<UrlParts> was = ParseUrl(*target);
    const std::optional<UrlParts> now = ParseUrl(mirrored);
    FUZZ_CHECK(was && now && now->host.ends_with(".localhost") && now->port == 1);
    FUZZ_CHECK(now->scheme == was->scheme && now->userInfo == was->userInfo && now->path == was->path &&
               now->query == was->query && now->fragment == was->fragment);
    const std::optional<LinkOwner> site = LinkOwnerOf(*target);
    const std::optional<LinkOwner> mirror = LinkOwnerOf(mirrored);
    FUZZ_CHECK(site.has_value() == mirror.has_value());
    FUZZ_CHECK(!site || site->platform == mirror->platform);
  }

  const std::vector<std::string_view> locations = fuzz::SplitAtZeros(fuzz::AsText(data, size), kMaxRedirects + 2);
  size_t hop = 0;
  bool encrypted = false;
  const PageFetch fetch = [&](const std::string& url, const std::optional<std::string>& cookies) {
    FUZZ_CHECK(!(encrypted && cookies && SchemeOf(url) == "http:"));
    encrypted = encrypted || SchemeOf(url) == "https:";
    FetchedPage page;
    page.status = 302;
    page.location = std::string(locations[++hop]);
    return page;
  };
  FetchFollowingRedirects(fetch, std::string(from), "cookie", [](const std::string&) { return true; });
  return 0;
}
