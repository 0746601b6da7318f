#pragma once
// Header-block and cookie text shared by the request engines.
//
// Texts are GBK bytes; a byte of 0x80 or above starts a two-byte character and no match begins on
// its trailing byte. A header block is lines joined by "\r\n"; a cookie text is name=value items
// joined by ";" (produced texts always use "; ").

#include <string>
#include <string_view>

#include "text/text_items.h"

// Every "\r\n"-separated line that has a ":", with the first letter of the name and every letter
// right after a "-" in the name upper-cased; values keep their bytes.
std::string NormaliseHeaderCase(std::string_view block);

// The first byte upper-cased when it is an ASCII letter.
std::string UpperFirst(std::string_view text);

// The trimmed text before / after the first ":" of a header line; empty without a ":".
std::string HeaderLineName(std::string_view line);
std::string HeaderLineValue(std::string_view line);

// The status code of a response's header block ("HTTP/1.1 404 Not Found": 404): the digits after
// the first blank, at most four of them; 0 when none follow it.
int ResponseStatus(std::string_view headers);

// The trimmed value of the first line of a header block whose name is `name`, the letters compared
// ignoring ASCII case ("location" finds "Location: /x"); empty when no line has that name.
std::string HeaderValueNamed(std::string_view block, std::string_view name);

// The value of the first line starting with `name` (case-sensitive): what follows the last
// name + ": " in that line, or empty.
std::string FindHeaderValue(std::string_view block, std::string_view name);

// Merges the cookies a server set (`newCookies`) into those that were sent (`oldCookies`): the new
// items first, then old items whose names the new ones do not set, without "=deleted" items and
// without exact repeats. Both arguments lose their spaces; `oldCookies` receives the result, which
// is also returned.
std::string MergeCookies(std::string& oldCookies, std::string& newCookies);

// The trimmed text before the first "=" of a cookie item (the whole item when it has none).
std::string CookieName(std::string_view item);
bool CookieListHasName(const TextList& items, std::string_view name);

// The items of `text` split at `delimiter`, each first occurrence once, joined by `delimiter`.
std::string RemoveDuplicateItems(std::string_view text, std::string_view delimiter);
