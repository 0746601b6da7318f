#pragma once
// Splitting a request URL into the host, port and path that a connection needs. A URL without a
// scheme counts as http.

#include <string>
#include <string_view>

// The host, lower-cased; with keepPort its ":port" stays when the URL has one.
std::string UrlHostOf(std::string_view url, bool keepPort = false);

// The explicit port (its leading digits), else 443 for https and 80 for everything else; 0 when
// the explicit port is no port at all (outside 1-65535, or without digits).
int UrlPortOf(std::string_view url);

// Path and query as written in the URL, starting with "/"; "/" when the URL has none.
std::string UrlPathOf(std::string_view url);
