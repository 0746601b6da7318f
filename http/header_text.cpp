#include "http/header_text.h"

#include <unordered_set>

#include "text/ascii.h"

namespace {

inline bool IsLeadByte(unsigned char c) { return c >= 0x80; }

// Byte length of the character starting at `i` (a dangling lead byte at the end counts as one).
inline size_t CharLength(std::string_view text, size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace

std::string UpperFirst(std::string_view text) {
  std::string out(text);
  if (!out.empty()) out[0] = UpperAscii(out[0]);
  return out;
}

std::string NormaliseHeaderCase(std::string_view block) {
  std::string out;
  for (const std::string& line : SplitText(block, "\r\n")) {
    const int colon = Find(line, ":");
    if (colon < 1) continue;
    std::string fixed = line;
    const size_t nameEnd = static_cast<size_t>(colon - 1);
    bool wordStart = true;
    for (size_t i = 0; i < nameEnd;) {
      if (wordStart) fixed[i] = UpperAscii(fixed[i]);
      wordStart = fixed[i] == '-';
      i += CharLength(fixed, i);
    }
    if (!out.empty()) out += "\r\n";
    out += fixed;
  }
  return out;
}

std::string HeaderLineName(std::string_view line) {
  const int colon = Find(line, ":");
  return colon < 1 ? std::string() : Trim(line.substr(0, colon - 1));
}

std::string HeaderLineValue(std::string_view line) {
  const int colon = Find(line, ":");
  return colon < 1 ? std::string() : Trim(line.substr(colon));
}

std::string HeaderValueNamed(std::string_view block, std::string_view name) {
  for (const std::string& line : SplitText(block, "\r\n")) {
    const std::string lineName = HeaderLineName(line);
    if (lineName.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) same = UpperAscii(lineName[i]) == UpperAscii(name[i]);
    if (same) return HeaderLineValue(line);
  }
  return std::string();
}

std::string FindHeaderValue(std::string_view block, std::string_view name) {
  const std::string marker = std::string(name) + ": ";
  for (const std::string& line : SplitText(block, "\r\n")) {
    // The first line with the prefix decides, even when it turns out to be another header.
    if (std::string_view(line).starts_with(name))
      return TextAfterLast(line, marker);
  }
  return std::string();
}

std::string CookieName(std::string_view item) {
  const int eq = Find(item, "=");
  return Trim(eq < 1 ? item : item.substr(0, eq - 1));
}

bool CookieListHasName(const TextList& items, std::string_view name) {
  for (const std::string& item : items)
    if (CookieName(item) == name) return true;
  return false;
}

std::string RemoveDuplicateItems(std::string_view text, std::string_view delimiter) {
  // A set instead of a linear look-up in the seen list: cookie texts from hostile servers can be
  // long, and the result is the same.
  std::unordered_set<std::string> seen;
  std::string out;
  for (std::string& item : SplitText(text, delimiter)) {
    if (!seen.insert(item).second) continue;
    out += item;
    out += delimiter;
  }
  out.resize(out.size() >= delimiter.size() ? out.size() - delimiter.size() : 0);
  return out;
}

std::string MergeCookies(std::string& oldCookies, std::string& newCookies) {
  oldCookies = RemoveAllSpaces(oldCookies);
  newCookies = RemoveAllSpaces(newCookies);

  TextList items = SplitText(newCookies, ";");
  std::unordered_set<std::string> names;
  for (const std::string& item : items) names.insert(CookieName(item));
  // Only the first old item of a name is taken, and none when the new items set that name.
  for (std::string& entry : SplitText(oldCookies, ";")) {
    if (names.insert(CookieName(entry)).second) items.push_back(std::move(entry));
  }

  std::string out;
  for (const std::string& item : items) {
    if (EndsWith(item, "=deleted")) continue;
    out += item;
    out += "; ";
  }
  if (out.size() >= 2) out.resize(out.size() - 2);
  oldCookies = RemoveDuplicateItems(out, "; ");
  return oldCookies;
}

int ResponseStatus(std::string_view headers) {
  const size_t blank = headers.find(' ');
  int status = 0;
  for (size_t i = blank == std::string_view::npos ? headers.size() : blank + 1;
       i < headers.size() && headers[i] >= '0' && headers[i] <= '9' && status < 1000; ++i)
    status = status * 10 + (headers[i] - '0');
  return status;
}
