#pragma once
// One complete HTTP(S) exchange through WinHttp, returning the page as GBK text. A page that
// declares no other charset early comes as received (today's sites send UTF-8); the encoding the
// call reports says which.
//
// Every call opens and closes its own session, connection and request, runs on the caller's
// thread and calls the caller's `yield` between its steps, so a window can answer while it works. Failures come back as an
// empty result and a numbered status text. Byte sequences (bodies) are std::string holding raw
// bytes, zero bytes included.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "http/http_method.h"
#include "text/page_encoding.h"

// Out and in/out members point at the caller's variables and are written only when given.
struct WinHttpRequestOptions {
  HttpMethod method = HttpMethod::Get;  // a number outside the table is GET
  std::string postText;
  std::string* cookies = nullptr;          // in/out: sent; receives the merged cookies
  std::string* returnedCookies = nullptr;  // in/out: the response's cookies are appended
  std::string extraHeaders;                // lines separated by "\r\n"
  std::string* returnedHeaders = nullptr;  // out: status line and header lines
  bool noRedirect = false;
  std::string userName;
  std::string password;
  std::string proxy;  // host:port; empty for none
  std::string proxyUser;
  std::string proxyPassword;
  int timeoutSeconds = 0;             // 0 or less: 30 seconds
  std::string* location = nullptr;    // out: the Location header's value, when there is one
  std::string* statusText = nullptr;  // out: "200 OK" and the like, or a failure message
  std::string* responseBytes = nullptr;  // out: the whole body
  // out: what the returned text is: GBK (re-decoded from the declared charset, or received bytes
  // that do not read as UTF-8) or UTF-8 bytes as received. Written when a response came.
  PageEncoding* encoding = nullptr;
  // The server's certificate must pass the system's check (a trusted chain, the host's name, its
  // dates; revocation too where cookies go): a failed check ends the call before anything is sent
  // (certificateRejected). Otherwise certificate errors are ignored.
  bool verifyCertificate = false;
  bool* certificateRejected = nullptr;  // out: written true when the check failed
  bool mergeCookies = true;
  bool completeHeaders = true;  // add the default request headers the block lacks
  std::string postBytes;        // takes precedence over postText when not empty
  bool normaliseHeaderNames = true;
  std::function<void()> yield;  // called after each step and header line; may be empty
  // Bounds against hostile servers: a longer body, or an exchange that lasts longer in all
  // (however slowly the bytes keep coming), fails the fetch as a failed read does.
  size_t maxBodyBytes = size_t{64} << 20;
  int maxExchangeMs = 120000;
  // out: when given, a longer body does not fail the fetch: it is read up to maxBodyBytes, and this
  // says whether it was cut there.
  bool* bodyCut = nullptr;
};

std::string WinHttpPageRequest(std::string_view url, const WinHttpRequestOptions& options = {});

// GBK text to UTF-16LE bytes followed by a zero character; the empty text gives no bytes.
std::string TextToUtf16(std::string_view text);
// UTF-16 (as little-endian bytes, or as characters) to GBK text, ending at the first zero.
std::string Utf16ToText(std::string_view utf16leBytes);
std::string Utf16ToText(std::wstring_view utf16);
