// The text primitives against plain references that walk the text one character at a time.
//
// Input: two option bytes, then the text, the left marker and the right marker separated by zero
// bytes. First byte: bit 0 ignore case, bits 1-2 include the left / right marker, bits 3-7 the
// start position (0-31, below 1 meaning 1). Second byte: bits 0-5 the maximum item length (0: any),
// bit 6 keep the markers when removing blocks.
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "text/ascii.h"
#include "text/markup_text.h"
#include "text/text_items.h"
#include "text/text_slicing.h"
#include "text/url.h"

namespace {

bool IsLead(char c) { return static_cast<unsigned char>(c) >= 0x80; }
char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool MatchesAt(std::string_view text, size_t at, std::string_view search, bool ignoreCase) {
  if (text.size() - at < search.size()) return false;
  for (size_t k = 0; k < search.size(); ++k) {
    const char a = text[at + k], b = search[k];
    if (ignoreCase ? Fold(a) != Fold(b) : a != b) return false;
  }
  return true;
}

// Walks the characters from `start` (a lead byte takes the next byte with it) and tries each.
int RefFind(std::string_view text, std::string_view search, int start = 1, bool ignoreCase = false) {
  if (start < 1) start = 1;
  if (static_cast<size_t>(start) > text.size()) return -1;
  if (search.empty()) return 1;
  for (size_t i = static_cast<size_t>(start - 1); i < text.size(); i += IsLead(text[i]) ? 2 : 1)
    if (MatchesAt(text, i, search, ignoreCase)) return static_cast<int>(i + 1);
  return -1;
}

std::string RefQuotes(std::string_view marker) {
  const std::string placeholder = "#引号";
  std::string out(marker);
  for (size_t at; (at = out.find(placeholder)) != std::string::npos;) out.replace(at, placeholder.size(), "\"");
  return out;
}

std::string RefTextBetween(std::string_view text, std::string_view left, std::string_view right,
                           int start, bool ignoreCase) {
  const std::string l = RefQuotes(left), r = RefQuotes(right);
  const int p = RefFind(text, l, start, ignoreCase);
  if (p == -1) return {};
  const int from = p + static_cast<int>(l.size());
  const int q = RefFind(text, r, from, ignoreCase);
  if (q == -1 || q < from) return {};
  return std::string(text.substr(static_cast<size_t>(from - 1), static_cast<size_t>(q - from)));
}

// Every piece, each right marker looked for afresh.
TextList RefAllTextBetween(std::string_view text, std::string_view left, std::string_view right,
                           const AllTextBetweenOptions& o) {
  TextList items;
  if (left.empty()) return items;  // it would be found at the same place for ever
  int pos = o.start;
  for (;;) {
    const int p = RefFind(text, left, pos, o.ignoreCase);
    if (p == -1) break;
    pos = p + static_cast<int>(left.size());
    const int q = RefFind(text, right, pos, o.ignoreCase);
    if (q == -1) break;
    std::string item = o.includeLeft == 1 ? std::string(left) : std::string();
    item += o.prefix;
    if (q > pos && static_cast<size_t>(pos) <= text.size())
      item += text.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(q - pos));
    item += o.suffix;
    if (o.includeRight == 1) item += right;
    if (o.maxLength == 0 || static_cast<int>(item.size()) < o.maxLength) items.push_back(item);
  }
  return items;
}

TextList RefSplit(std::string_view text, std::string_view delimiter) {
  if (text.empty()) return {};
  if (delimiter.empty()) return {std::string(text)};
  TextList items;
  size_t from = 0;
  int p;
  while (from < text.size() && (p = RefFind(text, delimiter, static_cast<int>(from) + 1)) != -1) {
    items.emplace_back(text.substr(from, static_cast<size_t>(p - 1) - from));
    from = static_cast<size_t>(p - 1) + delimiter.size();
  }
  if (from < text.size()) items.emplace_back(text.substr(from));
  return items;
}

// Characters as the text items see them: a space, a full-width space (A1 A1), or a character of
// one or two bytes (a lead byte at the very end stands alone).
struct Char {
  size_t at, length;
  bool space;
};

std::vector<Char> Characters(std::string_view text) {
  std::vector<Char> chars;
  for (size_t i = 0; i < text.size();) {
    Char c{i, 1, text[i] == ' '};
    if (IsLead(text[i]) && i + 1 < text.size()) {
      c.length = 2;
      c.space = text[i] == '\xA1' && text[i + 1] == '\xA1';
    }
    chars.push_back(c);
    i += c.length;
  }
  return chars;
}

std::string RefTrim(std::string_view text) {
  const std::vector<Char> chars = Characters(text);
  size_t first = 0, last = chars.size();
  while (first < last && chars[first].space) ++first;
  while (last > first && chars[last - 1].space) --last;
  if (first == last) return {};
  return std::string(text.substr(chars[first].at, chars[last - 1].at + chars[last - 1].length - chars[first].at));
}

std::string RefRemoveAllSpaces(std::string_view text) {
  std::string out;
  for (const Char& c : Characters(text))
    if (!c.space) out += text.substr(c.at, c.length);
  return out;
}

int RefCount(std::string_view text, std::string_view search, bool ignoreCase) {
  if (text.empty() || search.empty()) return 0;
  int count = 0;
  for (int p = 1; (p = RefFind(text, search, p, ignoreCase)) != -1; p += static_cast<int>(search.size())) ++count;
  return count;
}

// Removing blocks one at a time from the start, as many times as the left marker occurs.
std::string RefRemoveBetween(std::string text, std::string_view left, std::string_view right) {
  const int passes = RefCount(text, left, true);
  for (int i = 0; i < passes; ++i) {
    const std::string block = std::string(left) + RefTextBetween(text, left, right, 0, false) + std::string(right);
    const int at = RefFind(text, block);
    if (at != -1) text.erase(static_cast<size_t>(at - 1), block.size());
  }
  return text;
}

std::string RefTextAfterLast(std::string_view text, std::string_view marker) {
  if (marker.empty()) return {};
  std::string after;
  bool found = false;
  for (size_t i = 0; i < text.size(); i += IsLead(text[i]) ? 2 : 1) {
    if (MatchesAt(text, i, marker, false)) {
      after = text.substr(i + marker.size());
      found = true;
    }
  }
  return found ? after : std::string();
}

bool IsAsciiText(std::string_view s) {
  for (char c : s)
    if (IsLead(c)) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const bool ignoreCase = data[0] & 1;
  const int start = data[0] >> 3;
  const std::vector<std::string_view> parts = fuzz::SplitAtZeros(fuzz::AsText(data + 2, size - 2), 3);
  const std::string_view text = parts[0], left = parts[1], right = parts[2];

  for (int from : {start, 1, static_cast<int>(text.size()) / 2 + 1})
    FUZZ_CHECK(Find(text, left, from, ignoreCase) == RefFind(text, left, from, ignoreCase));
  FUZZ_CHECK(Find(text, right, start, !ignoreCase) == RefFind(text, right, start, !ignoreCase));
  FUZZ_CHECK(TextBetween(text, left, right, start, ignoreCase) == RefTextBetween(text, left, right, start, ignoreCase));

  AllTextBetweenOptions options;
  options.ignoreCase = ignoreCase;
  options.includeLeft = (data[0] >> 1) & 1;
  options.includeRight = (data[0] >> 2) & 1;
  options.maxLength = data[1] & 63;
  options.start = start;
  options.prefix = "https:";
  TextList items{"left over"};
  const int count = AllTextBetween(text, left, right, items, options);
  FUZZ_CHECK(count == static_cast<int>(items.size()));
  FUZZ_CHECK(items == RefAllTextBetween(text, left, right, options));

  FUZZ_CHECK(SplitText(text, left) == RefSplit(text, left));
  const std::string trimmed = Trim(text);
  FUZZ_CHECK(trimmed == RefTrim(text));
  FUZZ_CHECK(RemoveAllSpaces(text) == RefRemoveAllSpaces(text));
  FUZZ_CHECK(RemoveAllSpaces(trimmed) == RemoveAllSpaces(text));
  FUZZ_CHECK(TextAfterLast(text, right) == RefTextAfterLast(text, right));

  FUZZ_CHECK(CountOccurrences(text, left, !ignoreCase) == RefCount(text, left, ignoreCase));
  std::string removed(text);
  const bool keepMarkers = (data[1] >> 6) & 1;
  const std::string result = RemoveBetween(removed, left, right, keepMarkers ? 1 : 0);
  FUZZ_CHECK(result == removed);
  // The single sweep for a one-byte ASCII left marker must equal removing block after block.
  if (!keepMarkers && left.size() == 1 && IsAsciiText(left) && IsAsciiText(right) && !right.empty())
    FUZZ_CHECK(result == RefRemoveBetween(std::string(text), left, right));

  // A line as text: tags go and references shrink to their character, so it never grows; trimmed
  // blanks and line ends leave no blank at either end.
  const std::string plain = MarkupToText(text, [](std::string_view) { return std::string("\xD6\xD0"); });
  FUZZ_CHECK(plain.size() <= text.size());
  const std::string blanks = TrimBlanks(text);
  FUZZ_CHECK(blanks.size() <= trimmed.size());
  FUZZ_CHECK(blanks.empty() || (blanks.front() != ' ' && blanks.front() != '\t' && blanks.front() != '\n'));
  const std::string_view ascii = TrimAscii(text, left);
  FUZZ_CHECK(ascii.empty() || (left.find(ascii.front()) == std::string_view::npos &&
                               left.find(ascii.back()) == std::string_view::npos));

  // A link's page number is digits of the link itself; a query value never outgrows the link.
  const std::string_view number = PageNumberOfLink(text);
  FUZZ_CHECK(number.size() <= kMaxLinkNumberDigits && number.find_first_not_of("0123456789") == std::string::npos);
  FUZZ_CHECK(QueryValue(text, left).size() <= text.size());
  return 0;
}
