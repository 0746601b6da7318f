#pragma once
// Redirects followed by the extraction itself rather than by the page engine, so that the cookie
// box reaches each address of the way only where it belongs.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "extract/item_extractors.h"

inline constexpr int kMaxRedirects = 5;

// Fetches `url` and follows up to kMaxRedirects redirects. The first request carries `cookies` as
// given; each further one carries them only where `cookieMayGo` allows, and never over plain http
// once the way went over https (the page then tells cookieWithheldOverHttp). A redirect to an
// address of another scheme, or one redirect too many, ends the fetch as failed (status 0 and a
// failure).
FetchedPage FetchFollowingRedirects(const PageFetch& fetch, const std::string& url,
                                    const std::optional<std::string>& cookies,
                                    const std::function<bool(const std::string& url)>& cookieMayGo);
