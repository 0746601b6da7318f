#include "http/url_parts.h"

#include "text/ascii.h"
#include "text/text_slicing.h"

namespace {

constexpr int kMaxPort = 65535;

}  // namespace

std::string UrlHostOf(std::string_view url, bool keepPort) {
  std::string s = LowerAsciiCopy(url);
  if (s.empty() || s.back() != '/') s += '/';
  std::string host;
  if (s.starts_with("https://")) {
    host = TextBetween(s, "https://", "/");
  } else {
    if (Find(s, "http://") < 1) s = "http://" + s;
    host = TextBetween(s, "http://", "/");
  }
  if (keepPort) return host;
  const int colon = Find(host, ":");
  return colon < 1 ? host : host.substr(0, colon - 1);
}

int UrlPortOf(std::string_view url) {
  const std::string host = UrlHostOf(url, true);
  const size_t colon = host.rfind(':');
  if (colon == std::string::npos) return StartsWithIgnoringAsciiCase(url, "https") ? 443 : 80;
  // The leading digits only, as a number conversion of the port text would read them. A page can
  // name any number here: past the largest port the reading stops, so nothing overflows.
  int port = 0;
  for (size_t i = colon + 1; i < host.size() && host[i] >= '0' && host[i] <= '9'; ++i) {
    port = port * 10 + (host[i] - '0');
    if (port > kMaxPort) return 0;
  }
  return port;
}

std::string UrlPathOf(std::string_view url) {
  // The host is looked for behind the scheme: a host such as "h" or "tp" also occurs inside it.
  const int scheme = Find(url, "://");
  const int hostAt = Find(url, UrlHostOf(url), scheme > 0 ? scheme + 3 : 1, true);
  const int slash = Find(url, "/", hostAt, true);
  if (slash < 1) return "/";
  return std::string(url.substr(static_cast<size_t>(slash - 1)));
}
