#pragma once
// Pages that are not item pages, recognised from their markers: login pages, verification pages
// and the platforms' pages for items that do not exist (any more).

#include <string_view>

enum class PageKind { Other, Login, Challenge, NoSuchItem };
// Only small pages are judged: the real item pages name login hosts and verification scripts too.
PageKind RecognisePage(std::string_view page);
