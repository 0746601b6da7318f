#pragma once
// The charset a page declares and the page re-decoded from it, for the page engine.

#include <optional>
#include <string>
#include <string_view>

#include "text/page_encoding.h"

class RegexMatcher;

// The charset named by a "<meta ... charset=" declaration in the first 1024 bytes of the page
// text: the empty text when there is none; nothing when the search itself could not run.
std::optional<std::string> DeclaredCharset(RegexMatcher& matcher, std::string_view text);

struct DecodedPage {
  std::string text;
  PageEncoding encoding = PageEncoding::Gbk;
};

// The page as the engine hands it over. `text` (the body as received, up to its first zero byte)
// when the charset is empty, "gbk" or "gb2312" (exact case); otherwise the body decoded from the
// charset into GBK, or `text` again when nothing on the system knows the charset. The encoding
// says which: GBK for a decoded page, and for text as received whatever it reads as.
DecodedPage DecodePage(const std::string& body, const std::string& charset, std::string text);

// A page that came as UTF-8 bytes (its charset declared too late for the page engine) as GBK text.
std::string Utf8PageText(std::string_view utf8);
