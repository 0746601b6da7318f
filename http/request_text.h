#pragma once
// Request and response text that the WinInet and COM engines share.

#include <string>
#include <string_view>

inline constexpr char kDefaultUserAgent[] = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// The verb of a method index: 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE,
// 7 CONNECT; any other index is GET.
const char* RequestVerb(int method);
// The index itself, or 0 when it is outside 0-7.
int NormaliseMethod(int method);

// The WinInet engine's request lines: an empty block starts as "Accept: */*"; then Accept, Referer
// (the URL), Accept-Language and, for POST, the form Content-Type are added when missing.
std::string CompleteWinInetHeaders(std::string block, std::string_view url, int method);
// The COM engine's: the same lines plus the default User-Agent, each behind a "\r\n" (an empty
// block is not given a first line, so the result starts with "\r\n").
std::string CompleteComHeaders(std::string block, std::string_view url, int method);

// The user agent the WinInet engine opens its session with: the value of a "User-Agent:" line
// among the extra headers, else the default one.
std::string WinInetUserAgent(std::string_view extraHeaders);

// The name=value pairs of the response's "Set-Cookie" lines (what precedes the first ";"), joined
// by "; ".
std::string CollectSetCookies(std::string_view rawHeaders);

// `text` without any occurrence of `marker`, letters compared ignoring case.
std::string RemoveAllIgnoringCase(std::string_view text, std::string_view marker);
