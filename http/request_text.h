#pragma once
// Request and response text that the request engines share.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "http/http_method.h"

inline constexpr char kDefaultUserAgent[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// The WinInet engine's request lines: an empty block starts as "Accept: */*"; then Accept, Referer
// (the URL, without any line break it holds), Accept-Language and, for POST, the form Content-Type
// are added when missing.
std::string CompleteWinInetHeaders(std::string block, std::string_view url, HttpMethod method);
// The COM engine's: the same lines plus the default User-Agent, each behind a "\r\n" (an empty
// block is not given a first line, so the result starts with "\r\n").
std::string CompleteComHeaders(std::string block, std::string_view url, HttpMethod method);

// The user agent the WinInet engine opens its session with: the value of a "User-Agent:" line
// among the extra headers, else the default one.
std::string WinInetUserAgent(std::string_view extraHeaders);

// How a marker's letters compare with the text's.
enum class MarkerCase { Exact, Ignored };

// A cookie text on one line, as a header carries it: a text pasted with line breaks (one after it,
// or an item a line) has its lines, without the blanks and the ";" around them, joined by "; ".
// A text without line breaks stays as it is.
std::string CookieTextOnOneLine(std::string_view cookies);
// The request line that sends a cookie text (on one line): the text itself when it already holds
// "Cookie:" (a ready header line; the marker compared as `markerCase` says), else "Cookie: " and
// the text. Empty for an empty text.
std::string CookieHeaderLine(std::string_view cookies, MarkerCase markerCase);
// The value of that line for an object that names the header itself: the text on one line without
// any "Cookie:" (letters compared ignoring case).
std::string CookieHeaderValue(std::string_view cookies);

// The cookie a response line sets ("name=value": what precedes the first ";", or the whole value),
// or nothing when the line is not named exactly "Set-Cookie" followed by ": ".
std::optional<std::string> SetCookieOf(std::string_view line);
// The cookies of every "Set-Cookie" line of a response header block, joined by "; ".
std::string CollectSetCookies(std::string_view rawHeaders);

// Whether `received` bytes are the whole body of a response of `status` (0: no response came) to
// `method`: responses that carry no body (to HEAD; 1xx, 204, 304) are whole without one, others
// when no fewer bytes came than Content-Length announced (`announced`, when the response had one).
bool ResponseBodyIsWhole(HttpMethod method, uint32_t status, size_t received, std::optional<uint32_t> announced);

// `text` without any occurrence of `marker` (each found on a character start).
std::string RemoveAll(std::string_view text, std::string_view marker, MarkerCase markerCase);
