#pragma once
// ASCII byte classes and case: lower- and upper-casing, comparisons that ignore case, blanks and
// word bytes, hexadecimal digits.
//
// They look at single bytes, and only 'A'-'Z' and 'a'-'z' ever change case. In GBK text the
// trailing byte of a two-byte character may fall in that range and is folded too: fold names,
// addresses and markers with these, not text that is shown.

#include <string>
#include <string_view>

constexpr char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
// The text with 'A'-'Z' lowered.
std::string LowerAsciiCopy(std::string_view text);
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix);

constexpr bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
// Letters, digits and '_'.
constexpr bool IsWordByte(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '_'; }
// Space, tab, carriage return and line feed.
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Space, tab, carriage return, line feed, form feed and vertical tab.
inline constexpr std::string_view kAsciiBlanks = " \t\r\n\f\v";
// The text without the bytes of `edges` at either end. A GBK character's trailing byte is never
// below '@', so edges of blanks and punctuation leave GBK text whole; full-width spaces stay
// (text_items.h trims those).
constexpr std::string_view TrimAscii(std::string_view text, std::string_view edges = kAsciiBlanks) {
  const size_t first = text.find_first_not_of(edges);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(edges) - first + 1);
}

// The value of a hexadecimal digit of either case; -1 for any other byte.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

enum class HexCase { Lower, Upper };
// Appends the two hexadecimal digits of a byte, high digit first.
void AppendHexByte(std::string& out, unsigned char byte, HexCase hexCase = HexCase::Lower);
