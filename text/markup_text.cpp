#include "text/markup_text.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "text/ascii.h"
#include "text/page_encoding.h"

namespace {

// Elements whose tags turn up inside SKU names and attribute values; a name outside this list
// ("<XL>", "<160cm>") is text.
constexpr std::string_view kElements[] = {
    "a",     "abbr",  "b",      "big",   "br",     "center", "code", "dd",     "del",  "div",  "dl",
    "dt",    "em",    "font",   "h1",    "h2",     "h3",     "h4",   "h5",     "h6",   "hr",   "i",
    "img",   "ins",   "label",  "li",    "mark",   "ol",     "p",    "pre",    "q",    "s",    "small",
    "span",  "strike", "strong", "sub",  "sup",    "table",  "tbody", "td",    "th",   "tr",   "u",
    "ul",    "wbr",   "section", "nav",  "header", "footer", "article", "cite", "blockquote"};

struct NamedReference {
  std::string_view name;
  char32_t character;
};
// The references of HTML text; the wide and no-break spaces read as a plain space.
constexpr NamedReference kNamed[] = {
    {"amp", U'&'},      {"lt", U'<'},        {"gt", U'>'},       {"quot", U'"'},    {"apos", U'\''},
    {"nbsp", U' '},     {"ensp", U' '},      {"emsp", U' '},     {"thinsp", U' '},  {"middot", U'\u00B7'},
    {"times", U'\u00D7'}, {"divide", U'\u00F7'}, {"deg", U'\u00B0'}, {"plusmn", U'\u00B1'}, {"yen", U'\u00A5'},
    {"copy", U'\u00A9'}, {"reg", U'\u00AE'},   {"trade", U'\u2122'}, {"hellip", U'\u2026'}, {"mdash", U'\u2014'},
    {"ndash", U'\u2013'}, {"ldquo", U'\u201C'}, {"rdquo", U'\u201D'}, {"lsquo", U'\u2018'}, {"rsquo", U'\u2019'},
    {"bull", U'\u2022'}, {"laquo", U'\u00AB'}, {"raquo", U'\u00BB'}};

constexpr size_t kLongestReference = 12;  // "&#x0010FFFF;"

bool IsLeadByte(char c) { return static_cast<unsigned char>(c) >= 0x80; }

bool KnownElement(std::string_view name) {
  const std::string lower = LowerAsciiCopy(name);
  return std::find(std::begin(kElements), std::end(kElements), lower) != std::end(kElements);
}

// What the searches for a tag's end found missing for the rest of the line: no later tag or
// comment can end either, so the line is walked once however many '<' it holds.
struct Unclosed {
  bool tags = false;
  bool comments = false;
};

// The end (one past '>') of the tag or comment starting at `at` ('<'), or nullopt when none starts
// there.
std::optional<size_t> TagEnd(std::string_view text, size_t at, Unclosed& unclosed) {
  if (text.substr(at, 4) == "<!--") {
    if (unclosed.comments) return std::nullopt;
    const size_t end = text.find("-->", at + 4);
    if (end != std::string_view::npos) return end + 3;
    unclosed.comments = true;
    return std::nullopt;
  }
  if (unclosed.tags) return std::nullopt;
  size_t i = at + 1;
  if (i < text.size() && text[i] == '/') ++i;
  const size_t nameStart = i;
  while (i < text.size() && (IsAsciiLetter(text[i]) || IsAsciiDigit(text[i]))) ++i;
  if (i == nameStart || !KnownElement(text.substr(nameStart, i - nameStart))) return std::nullopt;
  if (i < text.size() && !IsBlank(text[i]) && text[i] != '/' && text[i] != '>') return std::nullopt;
  // Attribute values may hold '>' inside their quotes.
  char quote = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  unclosed.tags = true;
  return std::nullopt;
}

// The character a numeric reference's digits name, or nullopt for no character at all.
std::optional<char32_t> NumericCharacter(std::string_view digits, bool hex) {
  if (digits.empty()) return std::nullopt;
  uint32_t value = 0;
  for (char c : digits) {
    const int digit = hex ? HexDigitValue(c) : (IsAsciiDigit(c) ? c - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
    if (value > 0x10FFFF) return std::nullopt;
  }
  if (value >= 0xD800 && value <= 0xDFFF) return std::nullopt;
  return static_cast<char32_t>(value);
}

// The reference starting at `at` ('&'): its length and the character it names.
std::optional<std::pair<size_t, char32_t>> Reference(std::string_view text, size_t at) {
  const size_t length = text.substr(at, kLongestReference).find(';');
  if (length == std::string_view::npos) return std::nullopt;
  const size_t semicolon = at + length;
  const std::string_view body = text.substr(at + 1, semicolon - at - 1);
  std::optional<char32_t> character;
  if (!body.empty() && body[0] == '#') {
    const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
    character = NumericCharacter(body.substr(hex ? 2 : 1), hex);
  } else {
    for (const NamedReference& named : kNamed)
      if (body == named.name) character = named.character;
  }
  if (!character) return std::nullopt;
  return std::make_pair(semicolon - at + 1, *character);
}

// A character as GBK text, or nullopt when GBK has not got it. Control characters are none a line
// may hold: line ends and tabs read as a space, the others stay references.
std::optional<std::string> GbkOf(char32_t c, const Utf8ToGbk& toGbk) {
  if (c == U'\t' || c == U'\r' || c == U'\n' || c == 0xA0) return std::string(" ");
  if (c < 0x20 || c == 0x7F) return std::nullopt;
  if (c < 0x80) return std::string(1, static_cast<char>(c));
  if (!toGbk) return std::nullopt;
  std::string utf8;
  AppendUtf8(utf8, c);
  std::string gbk = toGbk(utf8);
  // A converter marks what it could not convert with a question mark.
  if (gbk.empty() || gbk.find('?') != std::string::npos) return std::nullopt;
  return gbk;
}

}  // namespace

std::string MarkupToText(std::string_view line, const Utf8ToGbk& toGbk) {
  std::string out;
  out.reserve(line.size());
  Unclosed unclosed;
  for (size_t i = 0; i < line.size();) {
    const char c = line[i];
    if (IsLeadByte(c)) {
      out.append(line.substr(i, 2));
      i += 2;
      continue;
    }
    if (c == '<') {
      if (const std::optional<size_t> end = TagEnd(line, i, unclosed)) {
        i = *end;
        continue;
      }
    } else if (c == '&') {
      if (const auto reference = Reference(line, i)) {
        if (const std::optional<std::string> gbk = GbkOf(reference->second, toGbk)) {
          out += *gbk;
          i += reference->first;
          continue;
        }
      }
    }
    out += c;
    ++i;
  }
  return out;
}
