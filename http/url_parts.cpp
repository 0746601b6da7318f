#include "http/url_parts.h"

#include "text/url.h"

std::optional<RequestTarget> RequestTargetOf(std::string_view url, MissingScheme missingScheme) {
  std::optional<UrlParts> parts;
  if (missingScheme == MissingScheme::MeansHttp && !HasSchemePrefix(url))
    parts = ParseUrl("http://" + std::string(url));
  else
    parts = ParseUrl(url);
  if (!parts || !parts->IsHttp()) return std::nullopt;
  RequestTarget target;
  target.https = parts->scheme == "https";
  target.host = parts->host;
  target.port = parts->PortOrDefault();
  target.object = parts->path.empty() ? "/" : parts->path;
  if (parts->query) target.object += "?" + *parts->query;
  if (parts->fragment) target.object += "#" + *parts->fragment;
  return target;
}
