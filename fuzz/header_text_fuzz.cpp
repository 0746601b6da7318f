// Header blocks, cookie texts, URLs and the request lines built from them.
//
// Input: two texts separated by a zero byte. The first is read as a header block, a sent cookie
// text and a URL; the second as a header name, a set cookie text, a delimiter and extra request
// lines. Where the GBK pairing of bytes could make a text split differently after it was joined,
// the structural checks are made on ASCII inputs only.
#include <climits>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "http/header_text.h"
#include "http/request_text.h"
#include "http/url_parts.h"
#include "text/original_picture.h"
#include "text/text_items.h"
#include "text/url.h"

namespace {

bool IsAsciiText(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

bool HasInsensitive(std::string_view text, std::string_view what) { return Find(text, what, 1, true) >= 1; }

// Lines with a ":" are kept and only the case of their names' letters changes: the first
// character of the name and every one right after a "-" is upper-cased (a byte of 0x80 or above
// starts a two-byte character, whose second byte is never a character of its own).
void CheckHeaderCase(std::string_view block) {
  const std::string out = NormaliseHeaderCase(block);
  size_t at = 0;
  for (const std::string& line : SplitText(block, "\r\n")) {
    const int colon = Find(line, ":");
    if (colon < 1) continue;
    if (at > 0) {
      FUZZ_CHECK(out.compare(at, 2, "\r\n") == 0);
      at += 2;
    }
    FUZZ_CHECK(out.size() - at >= line.size());
    const size_t nameEnd = static_cast<size_t>(colon - 1);
    bool wordStart = true, trailByte = false;
    for (size_t i = 0; i < line.size(); ++i) {
      const char was = line[i], now = out[at + i];
      const bool capital = i < nameEnd && !trailByte && wordStart && was >= 'a' && was <= 'z';
      FUZZ_CHECK(now == (capital ? static_cast<char>(was - 'a' + 'A') : was));
      if (!trailByte) wordStart = was == '-';
      trailByte = !trailByte && static_cast<unsigned char>(was) >= 0x80;
    }
    at += line.size();
  }
  FUZZ_CHECK(at == out.size());
}

std::vector<std::string> CookieItems(const std::string& text, std::string_view delimiter) {
  std::vector<std::string> items;
  for (std::string& item : SplitText(text, delimiter))
    if (!item.empty()) items.push_back(std::move(item));
  return items;
}

void CheckMergedCookies(std::string_view sent, std::string_view set) {
  std::string oldCookies(sent), newCookies(set);
  const std::string merged = MergeCookies(oldCookies, newCookies);
  FUZZ_CHECK(merged == oldCookies);
  FUZZ_CHECK(newCookies == RemoveAllSpaces(set));
  if (!IsAsciiText(sent) || !IsAsciiText(set)) return;

  const std::vector<std::string> fresh = CookieItems(newCookies, ";");
  const std::vector<std::string> kept = CookieItems(RemoveAllSpaces(sent), ";");
  std::set<std::string> freshNames;
  for (const std::string& item : fresh) freshNames.insert(CookieName(item));
  std::set<std::string> seen;
  bool pastFresh = false;
  for (const std::string& item : CookieItems(merged, "; ")) {
    FUZZ_CHECK(seen.insert(item).second);  // no repeats
    FUZZ_CHECK(!item.ends_with("=deleted"));
    const bool isFresh = IndexOfItem(fresh, item) >= 1;
    // An item that was only sent survives only when the server did not set its name, and stands
    // behind everything the server set.
    FUZZ_CHECK(isFresh || (IndexOfItem(kept, item) >= 1 && !freshNames.count(CookieName(item))));
    FUZZ_CHECK(!(pastFresh && isFresh));
    pastFresh = pastFresh || !isFresh;
  }
  for (const std::string& item : fresh)
    FUZZ_CHECK(item.ends_with("=deleted") || seen.count(item));
  // And it does survive then: the first sent item of each name (empty items count as one).
  std::set<std::string> names;
  for (const std::string& item : SplitText(newCookies, ";")) names.insert(CookieName(item));
  for (const std::string& item : SplitText(RemoveAllSpaces(sent), ";"))
    if (names.insert(CookieName(item)).second && !item.empty() && !item.ends_with("=deleted"))
      FUZZ_CHECK(seen.count(item));
}

void CheckUrl(std::string_view url) {
  // A URL without a scheme is an http one for the picture engine: it asks for what follows.
  const std::optional<RequestTarget> target = RequestTargetOf(url, MissingScheme::MeansHttp);
  if (!target) return;
  FUZZ_CHECK(target->port >= 1 && target->port <= 65535);
  FUZZ_CHECK(target->object.starts_with("/"));
  FUZZ_CHECK(target->object == "/" || url.ends_with(target->object) ||
             (target->object.starts_with("/") && url.ends_with(target->object.substr(1))));
  FUZZ_CHECK(!target->host.empty());
  for (char c : target->host) FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
  // Nothing that would end a request line or a header line.
  for (const std::string& part : {target->host, target->object})
    for (char c : part) FUZZ_CHECK(c != '\r' && c != '\n' && c != ' ');
}

// The URL reading, the page address gate and the originals of picture copies.
void CheckPageAddress(std::string_view text) {
  if (const std::optional<UrlParts> parts = ParseUrl(text)) {
    FUZZ_CHECK(!parts->host.empty());
    FUZZ_CHECK(parts->port >= 0 && parts->port <= 65535);
    FUZZ_CHECK(parts->path.empty() || parts->path.starts_with("/"));
    for (char c : parts->host) FUZZ_CHECK(c != '/' && c != '?' && c != '#' && c != '@' && !(c >= 'A' && c <= 'Z'));
  }
  const std::optional<std::string> address = PageAddress(text);
  if (!address) return;
  // An http(s) URL without anything that would end a request line or a header, nor markup.
  FUZZ_CHECK(address->size() <= kMaxPageAddressBytes);
  FUZZ_CHECK(address->starts_with("http://") || address->starts_with("https://"));
  for (char c : *address) {
    const auto b = static_cast<unsigned char>(c);
    FUZZ_CHECK(b > 0x20 && b != 0x7F && c != '"' && c != '\'' && c != '<' && c != '>');
  }
  FUZZ_CHECK(PageAddress(*address) == address);
  // The original is on the same host, no longer, still passes the gate, and is its own original.
  const std::string original = OriginalPictureAddress(*address);
  FUZZ_CHECK(original.size() <= address->size());
  FUZZ_CHECK(PageAddress(original) == original);
  FUZZ_CHECK(ParseUrl(original)->host == ParseUrl(*address)->host);
  FUZZ_CHECK(OriginalPictureAddress(original) == original);
}

void CheckRequestLines(std::string_view block, std::string_view url) {
  for (int number : {-1, 7, 8, INT_MIN}) FUZZ_CHECK(RequestVerb(static_cast<HttpMethod>(number)) != nullptr);
  for (HttpMethod method : {HttpMethod::Get, HttpMethod::Post}) {  // only POST is told apart
    const std::string wininet = CompleteWinInetHeaders(std::string(block), url, method);
    FUZZ_CHECK(wininet.starts_with(block.empty() ? std::string_view("Accept: */*") : block));
    const std::string com = CompleteComHeaders(std::string(block), url, method);
    FUZZ_CHECK(com.starts_with(block));
    for (const char* name : {"Accept:", "Referer:", "Accept-Language:"})
      FUZZ_CHECK(HasInsensitive(wininet, name) && HasInsensitive(com, name));
    FUZZ_CHECK(HasInsensitive(com, "User-Agent:"));
    if (method == HttpMethod::Post) FUZZ_CHECK(HasInsensitive(wininet, "Content-Type:") && HasInsensitive(com, "Content-Type:"));
  }
  FUZZ_CHECK(!WinInetUserAgent(block).empty());
  CollectSetCookies(block);
  const std::string without = RemoveAll(block, url, MarkerCase::Ignored);
  FUZZ_CHECK(without.size() <= block.size());
  if (url.empty() || !HasInsensitive(block, url)) FUZZ_CHECK(without == block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string_view> parts = fuzz::SplitAtZeros(fuzz::AsText(data, size), 2);
  const std::string_view a = parts[0], b = parts[1];

  CheckHeaderCase(a);
  const std::string value = FindHeaderValue(a, b);
  if (!value.empty()) FUZZ_CHECK(a.find(std::string(b) + ": " + value) != std::string_view::npos);
  HeaderLineName(a);
  HeaderLineValue(a);
  UpperFirst(a);
  // At most four digits of whatever a server sends.
  const int status = ResponseStatus(a);
  FUZZ_CHECK(status >= 0 && status <= 9999);

  CheckMergedCookies(a, b);
  if (!b.empty() && IsAsciiText(a) && IsAsciiText(b)) {
    std::set<std::string> seen;
    for (const std::string& item : SplitText(RemoveDuplicateItems(a, b), b)) FUZZ_CHECK(seen.insert(item).second);
  }

  CheckUrl(a);
  CheckPageAddress(a);
  CheckRequestLines(a, b);
  return 0;
}
