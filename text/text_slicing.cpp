#include "text/text_slicing.h"

#include <cstring>

#include "text/ascii.h"

namespace {

inline bool IsLeadByte(unsigned char c) { return c >= 0x80; }

bool EqualAt(const unsigned char* at, std::string_view search, bool ignoreCase) {
  if (!ignoreCase) return std::memcmp(at, search.data(), search.size()) == 0;
  for (size_t i = 0; i < search.size(); ++i)
    if (LowerAscii(static_cast<char>(at[i])) != LowerAscii(search[i])) return false;
  return true;
}

// Whether walking `s` character by character ends exactly at its end (no dangling lead byte).
bool EndsOnCharacterBoundary(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) i += IsLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
  return i == s.size();
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

// 0-based search from `from`, matching only on character starts. Candidates come from memchr;
// whether one starts a character is decided by looking back over the run of bytes >= 0x80 before
// it: the byte after an ASCII byte always starts a character (ASCII is never a lead byte, and a
// character that ends in an ASCII trail byte ends there), and inside a run of high bytes the
// characters pair up. Looking back never goes below `known`, a character start already passed,
// so every byte is looked at a bounded number of times and the result equals a walk from `from`.
size_t FindFrom(std::string_view text, std::string_view search, size_t from, bool ignoreCase) {
  const auto* data = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  const size_t m = search.size();
  if (from >= n || m > n - from) return std::string_view::npos;
  const size_t last = n - m;  // last position a match can begin at
  const auto first = static_cast<unsigned char>(search[0]);
  const bool firstHasCase = ignoreCase && IsAsciiLetter(search[0]);
  size_t known = from;  // a character start at or before the next candidate
  size_t scan = from;
  while (scan <= last) {
    size_t cand;
    if (!firstHasCase) {
      const void* hit = std::memchr(data + scan, first, last - scan + 1);
      if (!hit) return std::string_view::npos;
      cand = static_cast<const unsigned char*>(hit) - data;
    } else {
      const char want = LowerAscii(search[0]);
      cand = scan;
      while (cand <= last && LowerAscii(static_cast<char>(data[cand])) != want) ++cand;
      if (cand > last) return std::string_view::npos;
    }
    size_t anchor = cand;
    while (anchor > known && IsLeadByte(data[anchor - 1])) --anchor;
    const bool startsCharacter = (cand - anchor) % 2 == 0;
    if (startsCharacter && EqualAt(data + cand, search, ignoreCase)) return cand;
    known = startsCharacter ? cand : cand + 1;
    scan = cand + 1;
  }
  return std::string_view::npos;
}

std::string ReplaceQuotePlaceholder(std::string_view marker) {
  static const std::string_view kPlaceholder = "#引号";
  std::string out;
  out.reserve(marker.size());
  size_t i = 0;
  for (;;) {
    size_t hit = marker.find(kPlaceholder, i);
    if (hit == std::string_view::npos) break;
    out.append(marker.substr(i, hit - i)).push_back('"');
    i = hit + kPlaceholder.size();
  }
  out.append(marker.substr(i));
  return out;
}

}  // namespace

int Find(std::string_view text, std::string_view search, int start, bool ignoreCase) {
  if (start < 1) start = 1;
  if (static_cast<size_t>(start) > text.size()) return -1;
  if (search.empty()) return 1;  // the remainder is not empty here
  size_t at = FindFrom(text, search, static_cast<size_t>(start - 1), ignoreCase);
  return at == std::string_view::npos ? -1 : static_cast<int>(at + 1);
}

std::string Mid(std::string_view text, int start, int length) {
  if (start < 1 || length <= 0 || static_cast<size_t>(start) > text.size()) return {};
  return std::string(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length)));
}

std::string TextBetween(std::string_view text, std::string_view left, std::string_view right,
                        int start, bool ignoreCase) {
  const std::string l = ReplaceQuotePlaceholder(left);
  const std::string r = ReplaceQuotePlaceholder(right);
  int p = Find(text, l, start, ignoreCase);
  if (p == -1) return {};
  int from = p + static_cast<int>(l.size());
  int q = Find(text, r, from, ignoreCase);
  if (q == -1) return {};
  return Mid(text, from, q - from);
}

int AllTextBetween(std::string_view text, std::string_view left, std::string_view right,
                   TextList& items, const AllTextBetweenOptions& o) {
  items.clear();
  // An empty left marker is found again at the same place, for ever.
  if (left.empty()) return 0;
  // The right marker found for one piece is also the first one after the next left marker when
  // that lies before it, as long as the left marker ends on a character boundary (then both walks
  // pass the same character starts). Reusing it keeps long pages linear.
  const bool canReuseRight = EndsOnCharacterBoundary(left) && !left.empty();
  int reusableRight = -1;
  int pos = o.start;
  for (;;) {
    int p = Find(text, left, pos, o.ignoreCase);
    if (p == -1) break;
    pos = p + static_cast<int>(left.size());
    int q;
    if (canReuseRight && reusableRight >= pos && !right.empty())
      q = reusableRight;
    else
      q = Find(text, right, pos, o.ignoreCase);
    if (q == -1) break;
    reusableRight = q;
    // An empty right marker is found at the start of the text, before the piece: the piece is empty.
    const int length = q > pos ? q - pos : 0;
    std::string item;
    item.reserve(o.prefix.size() + static_cast<size_t>(length) + o.suffix.size());
    item.append(o.prefix).append(text.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(length))).append(o.suffix);
    if (o.includeLeft == 1) item.insert(0, left);
    if (o.includeRight == 1) item.append(right);
    if (o.maxLength == 0 || static_cast<int>(item.size()) < o.maxLength)
      items.push_back(std::move(item));
    if (o.yield) o.yield();
  }
  return static_cast<int>(items.size());
}

int CountOccurrences(std::string_view text, std::string_view search, bool caseSensitive) {
  if (text.empty() || search.empty()) return 0;
  int count = 0;
  int pos = 1;
  for (;;) {
    int p = Find(text, search, pos, !caseSensitive);
    if (p == -1) return count;
    ++count;
    pos = p + static_cast<int>(search.size());
  }
}

namespace {

// Deletes a first left..right block per pass, n passes, in one forward sweep. Exact for a one-byte
// ASCII left marker and an ASCII right marker: deleting a block can then neither join a new left
// marker across the cut nor shift the character starts after it.
std::string RemoveBlocksInOneSweep(std::string_view text, std::string_view left,
                                   std::string_view right, int passes) {
  std::string out;
  out.reserve(text.size());
  size_t cursor = 0;
  while (passes-- > 0) {
    size_t p = FindFrom(text, left, cursor, false);
    if (p == std::string_view::npos) break;
    size_t q = right.empty() ? p + 1 : FindFrom(text, right, p + 1, false);
    if (q == std::string_view::npos || (right.empty() && q > text.size())) break;
    out.append(text.substr(cursor, p - cursor));
    cursor = q + right.size();
  }
  out.append(text.substr(cursor));
  return out;
}

bool ReplaceFirst(std::string& text, const std::string& what, const std::string& with) {
  int at = Find(text, what, 1, false);
  if (at == -1 || what.empty()) return false;
  text.replace(static_cast<size_t>(at - 1), what.size(), with);
  return true;
}

}  // namespace

std::string RemoveBetween(std::string& text, std::string_view left, std::string_view right,
                          int keepMarkers) {
  const int passes = CountOccurrences(text, left, false);
  const bool simpleMarkers = left.size() == 1 && IsAscii(left) && IsAscii(right);
  if (keepMarkers != 1 && simpleMarkers && !right.empty()) {
    text = RemoveBlocksInOneSweep(text, left, right, passes);
    return text;
  }
  const std::string l = ReplaceQuotePlaceholder(left);
  const std::string r = ReplaceQuotePlaceholder(right);
  int s = 0;
  for (int i = 0; i < passes; ++i) {
    std::string piece = TextBetween(text, left, right, s);
    if (keepMarkers == 1) {
      ReplaceFirst(text, l + piece + r, l + r);
      s = Find(text, l + r, s, false) + static_cast<int>(l.size() + r.size());
    } else {
      ReplaceFirst(text, l + piece + r, std::string());
    }
  }
  return text;
}
