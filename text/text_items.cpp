#include "text/text_items.h"

namespace {

inline bool IsLeadByte(unsigned char c) { return c >= 0x80; }

// Byte length of the character starting at `i` (a dangling lead byte at the end counts as one).
inline size_t CharLength(std::string_view text, size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

// Length of the space character at `i` (ASCII or full-width; with `lineEnds` also tabs and line
// ends), 0 when it is no space.
inline size_t SpaceLength(std::string_view text, size_t i, bool lineEnds = false) {
  if (text[i] == ' ') return 1;
  if (lineEnds && (text[i] == '\t' || text[i] == '\r' || text[i] == '\n')) return 1;
  if (text[i] == '\xA1' && i + 1 < text.size() && text[i + 1] == '\xA1') return 2;
  return 0;
}

// 0-based start of the last match on a character start, or npos.
size_t FindLast(std::string_view text, std::string_view marker) {
  if (marker.empty()) return std::string_view::npos;
  size_t last = std::string_view::npos;
  int from = 1;
  for (;;) {
    const int p = Find(text, marker, from);
    if (p < 1) return last;
    last = static_cast<size_t>(p - 1);
    // Step one character, not the whole marker: matches may overlap.
    from = p + static_cast<int>(CharLength(text, last));
  }
}

std::string TrimSpaces(std::string_view text, bool lineEnds) {
  // Walk forward so a trailing byte that looks like a space is never taken for one.
  size_t begin = 0;
  while (begin < text.size()) {
    const size_t n = SpaceLength(text, begin, lineEnds);
    if (n == 0) break;
    begin += n;
  }
  size_t end = begin;  // end of the last character that is not a space
  for (size_t i = begin; i < text.size();) {
    const size_t n = SpaceLength(text, i, lineEnds);
    if (n) {
      i += n;
    } else {
      i += CharLength(text, i);
      end = i;
    }
  }
  return std::string(text.substr(begin, end - begin));
}

}  // namespace

TextList SplitText(std::string_view text, std::string_view delimiter) {
  TextList items;
  if (text.empty()) return items;
  if (delimiter.empty()) {
    items.emplace_back(text);
    return items;
  }
  size_t from = 0;
  while (from < text.size()) {
    const int p = Find(text, delimiter, static_cast<int>(from) + 1);
    if (p < 1) break;
    const size_t at = static_cast<size_t>(p - 1);
    items.emplace_back(text.substr(from, at - from));
    from = at + delimiter.size();
  }
  if (from < text.size()) items.emplace_back(text.substr(from));
  return items;
}

std::string Trim(std::string_view text) { return TrimSpaces(text, false); }

std::string TrimBlanks(std::string_view text) { return TrimSpaces(text, true); }

std::string RemoveAllSpaces(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    if (const size_t n = SpaceLength(text, i)) {
      i += n;
      continue;
    }
    const size_t n = CharLength(text, i);
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

std::string TextBefore(std::string_view text, std::string_view marker, int start, bool ignoreCase) {
  const int p = Find(text, marker, start < 1 ? 1 : start, ignoreCase);
  return p < 1 ? std::string() : std::string(text.substr(0, p - 1));
}

std::string TextAfterLast(std::string_view text, std::string_view marker) {
  const size_t at = FindLast(text, marker);
  return at == std::string_view::npos ? std::string() : std::string(text.substr(at + marker.size()));
}

int IndexOfItem(const TextList& items, std::string_view text) {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == text) return static_cast<int>(i) + 1;
  return -1;
}

std::string_view CharacterPrefix(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = 0;
  while (end < text.size()) {
    const size_t next = end + (static_cast<unsigned char>(text[end]) >= 0x80 ? 2 : 1);
    if (next > maxBytes) break;
    end = next;
  }
  return text.substr(0, end);
}
