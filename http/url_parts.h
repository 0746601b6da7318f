#pragma once
// Where a request for a URL goes: the host, port and object a connection needs, read by the one
// URL reading of text/url.h.

#include <optional>
#include <string>
#include <string_view>

struct RequestTarget {
  bool https = false;
  // Lower case; an IPv6 literal in its brackets, as the engines open a connection with it (and
  // write it into the Host line).
  std::string host;
  int port = 0;      // the URL's port, else the scheme's
  // Path, query and fragment as written, starting with "/" ("/" alone when the URL names none).
  std::string object;
};

// Whether a URL written without a scheme is an http address (the picture engine reads it so) or
// no address (the page engine).
enum class MissingScheme { IsNoUrl, MeansHttp };

// Nothing for anything but an http or https URL.
std::optional<RequestTarget> RequestTargetOf(std::string_view url, MissingScheme missingScheme);
