#pragma once
// A line cut out of an HTML page, as a person reads it: tags out, character references decoded.
// Texts are GBK bytes; a byte of 0x80 or above starts a two-byte character.

#include <functional>
#include <string>
#include <string_view>

// Converts UTF-8 to GBK; may write "?" for a character GBK has not.
using Utf8ToGbk = std::function<std::string(std::string_view utf8)>;

// `line` without the tags of HTML elements ("<a href='…'>", "</a>", "<br/>") and comments, and with
// its character references decoded: the named ones of HTML text (&amp; &lt; &gt; &quot; &nbsp; …)
// and numeric ones (&#160; &#x4E2D;). Non-ASCII characters go through `toGbk` (may be empty); a
// reference to a character GBK cannot hold stays as written, and so does anything that only looks
// like a tag ("<XL>", "a<b") or a reference ("AT&T").
std::string MarkupToText(std::string_view line, const Utf8ToGbk& toGbk);
