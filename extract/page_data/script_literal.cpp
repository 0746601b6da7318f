#include "extract/page_data/script_literal.h"

#include <cstdint>
#include <vector>

#include "text/ascii.h"
#include "text/page_encoding.h"

namespace {

// GBK characters inside strings map to U+F0000 + lead * 256 + trail (a lone byte: U+F0000 + byte),
// all inside the supplementary private-use plane A.
constexpr char32_t kGbkBase = 0xF0000;

bool IsGbkTrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFE); }
// The bytes of JavaScript names.
bool IsWordStart(char c) { return IsAsciiLetter(c) || c == '_' || c == '$'; }
bool IsWordChar(char c) { return IsWordStart(c) || IsAsciiDigit(c); }

void AppendUnicodeEscape(std::string& out, unsigned value) {
  out += "\\u";
  AppendHexByte(out, static_cast<unsigned char>(value >> 8));
  AppendHexByte(out, static_cast<unsigned char>(value & 0xFF));
}

// A JSON number from a JavaScript one: "+1", ".5", "5.", "0x1F" and "007" are written out as
// JSON; what cannot be read as a number at all becomes null (the token holds no structure).
std::string NumberToJson(std::string_view token) {
  std::string_view t = token;
  std::string sign;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    if (t[0] == '-') sign = "-";
    t.remove_prefix(1);
  }
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    uint64_t value = 0;
    for (char c : t.substr(2)) {
      if (HexDigitValue(c) < 0 || value >> 60) return "null";
      value = value * 16 + static_cast<uint64_t>(HexDigitValue(c));
    }
    return sign + std::to_string(value);
  }
  // Digits, an optional fraction and an optional exponent; separators ("1_000") dropped.
  std::string digits, fraction, exponent;
  size_t i = 0;
  auto take = [&](std::string& into) {
    while (i < t.size() && (IsAsciiDigit(t[i]) || t[i] == '_')) {
      if (t[i] != '_') into += t[i];
      ++i;
    }
  };
  take(digits);
  bool point = false;
  if (i < t.size() && t[i] == '.') point = true, ++i, take(fraction);
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) exponent += t[i++];
    const size_t before = exponent.size();
    take(exponent);
    if (exponent.size() == before) return "null";
  }
  if (i != t.size() || (digits.empty() && fraction.empty())) return "null";
  const size_t nonZero = digits.find_first_not_of('0');
  digits = nonZero == std::string::npos ? "0" : digits.substr(nonZero);
  // Beyond the range of a double a JSON parser refuses the whole value, where a script reads
  // Infinity: such a number reads as null.
  long long magnitude = static_cast<long long>(digits.size());
  if (!exponent.empty()) {
    const std::string_view e = std::string_view(exponent).substr(exponent[0] == '+' || exponent[0] == '-' ? 1 : 0);
    const bool negative = exponent[0] == '-';
    const long long value = e.size() > 6 ? 1000000 : std::stoll(std::string(e));
    magnitude += negative ? -value : value;
  }
  if (magnitude > 308) return "null";
  std::string out = sign + digits;
  if (point && !fraction.empty()) out += "." + fraction;
  if (!exponent.empty()) out += "e" + exponent;
  return out;
}

struct Frame {
  bool object;
  size_t emitted = 0;  // items written
};

enum class Expect { Value, KeyOrClose, Colon, CommaOrClose };

class Scanner {
 public:
  Scanner(std::string_view in, const ScriptLiteralOptions& options) : in_(in), o_(options) {}

  std::optional<ScriptLiteral> Run(size_t start) {
    if (start >= in_.size() || (in_[start] != '{' && in_[start] != '[')) return std::nullopt;
    pos_ = start;
    Expect expect = Expect::Value;
    for (;;) {
      if (!SkipSpace() || pos_ >= in_.size()) return std::nullopt;  // cut off
      if (out_.size() > o_.maxOutputBytes) return std::nullopt;
      const char c = in_[pos_];
      switch (expect) {
        case Expect::Value:
          // "[1,]" and "[]": a closing bracket where an element could start.
          if (c == ']' && !stack_.empty() && !stack_.back().object) {
            if (!Close(c)) return std::nullopt;
            expect = Expect::CommaOrClose;
            break;
          }
          if (!stack_.empty() && !stack_.back().object) BeginItem();
          if (!Value(expect)) return std::nullopt;
          break;
        case Expect::KeyOrClose:
          if (c == '}') {
            if (!Close(c)) return std::nullopt;
            expect = Expect::CommaOrClose;
            break;
          }
          BeginItem();
          if (!Key()) return std::nullopt;
          expect = Expect::Colon;
          break;
        case Expect::Colon:
          if (c != ':') return std::nullopt;
          Emit(":");
          ++pos_;
          expect = Expect::Value;
          break;
        case Expect::CommaOrClose:
          if (c == ',') {
            EndItem();
            ++pos_;
            expect = stack_.back().object ? Expect::KeyOrClose : Expect::Value;
          } else if (c == '}' || c == ']') {
            if (!Close(c)) return std::nullopt;
          } else {
            return std::nullopt;
          }
          break;
      }
      if (stack_.empty()) break;  // the outermost value is closed
    }
    ScriptLiteral result;
    result.json = std::move(out_);
    result.end = pos_;
    result.cutShort = cutShort_;
    return result;
  }

 private:
  bool Suppressed() const { return suppressDepth_ != 0; }
  void Emit(std::string_view s) {
    if (!Suppressed()) out_.append(s);
  }
  void Emit(char c) {
    if (!Suppressed()) out_ += c;
  }

  // A member or element starts in the innermost list: written after a comma, or left out when
  // the list or the whole value has reached its bound.
  void BeginItem() {
    if (Suppressed()) return;
    Frame& f = stack_.back();
    if (f.emitted >= o_.maxItemsPerList || values_ >= o_.maxValues) {
      cutShort_ = true;
      suppressDepth_ = stack_.size();
      return;
    }
    if (f.emitted > 0) out_ += ',';
    ++f.emitted;
  }
  void EndItem() {
    if (suppressDepth_ == stack_.size()) suppressDepth_ = 0;
  }

  bool Open(bool object) {
    if (stack_.size() >= o_.maxDepth) return false;
    Emit(object ? '{' : '[');
    stack_.push_back({object});
    ++pos_;
    return true;
  }
  bool Close(char c) {
    if (stack_.empty() || c != (stack_.back().object ? '}' : ']')) return false;
    EndItem();
    stack_.pop_back();
    Emit(c);
    ++pos_;
    return true;
  }

  bool Value(Expect& expect) {
    if (!Suppressed()) ++values_;
    const char c = in_[pos_];
    if (c == '{' || c == '[') {
      if (!Open(c == '{')) return false;
      expect = c == '{' ? Expect::KeyOrClose : Expect::Value;
      return true;
    }
    if (stack_.empty()) return false;  // only an object or an array at the top
    expect = Expect::CommaOrClose;
    if (c == '"' || c == '\'') return String(c);
    if (IsAsciiDigit(c) || c == '-' || c == '+' || c == '.') return Number();
    if (c == '!') return NotDigit();
    if (IsWordStart(c)) return Word();
    return false;
  }

  bool Key() {
    const char c = in_[pos_];
    if (c == '"' || c == '\'') return String(c);
    // Bare keys: names and numbers ({5846845077736:0.1}).
    const size_t begin = pos_;
    while (pos_ < in_.size() && (IsWordChar(in_[pos_]) || in_[pos_] == '.')) ++pos_;
    if (pos_ == begin) return false;
    Emit('"');
    Emit(in_.substr(begin, pos_ - begin));
    Emit('"');
    return true;
  }

  bool Number() {
    const size_t begin = pos_;
    ++pos_;
    while (pos_ < in_.size()) {
      const char c = in_[pos_];
      const char before = in_[pos_ - 1];
      if (IsWordChar(c) || c == '.' || ((c == '+' || c == '-') && (before == 'e' || before == 'E')))
        ++pos_;
      else
        break;
    }
    Emit(NumberToJson(in_.substr(begin, pos_ - begin)));
    return true;
  }

  // Minified scripts write !0 for true and !1 for false.
  bool NotDigit() {
    if (pos_ + 1 >= in_.size() || (in_[pos_ + 1] != '0' && in_[pos_ + 1] != '1')) return false;
    Emit(in_[pos_ + 1] == '0' ? "true" : "false");
    pos_ += 2;
    return true;
  }

  bool Word() {
    const size_t begin = pos_;
    while (pos_ < in_.size() && IsWordChar(in_[pos_])) ++pos_;
    const std::string_view word = in_.substr(begin, pos_ - begin);
    if (word == "true" || word == "false" || word == "null") {
      Emit(word);
    } else if (word == "undefined" || word == "NaN" || word == "Infinity") {
      Emit("null");
    } else {
      return false;  // a variable or a call: not data
    }
    return true;
  }

  // GBK bytes inside a string: a lead byte and its trail byte as one private-use character.
  void GbkCharacter() {
    const auto lead = static_cast<unsigned char>(in_[pos_]);
    char32_t c = kGbkBase + lead;
    ++pos_;
    if (pos_ < in_.size() && IsGbkTrail(static_cast<unsigned char>(in_[pos_]))) {
      c = kGbkBase + (static_cast<char32_t>(lead) << 8) + static_cast<unsigned char>(in_[pos_]);
      ++pos_;
    }
    if (!Suppressed()) AppendUtf8(out_, c);
  }

  bool ReadHex(size_t at, size_t count, unsigned& value) const {
    if (at + count > in_.size()) return false;
    value = 0;
    for (size_t i = 0; i < count; ++i) {
      const int digit = HexDigitValue(in_[at + i]);
      if (digit < 0) return false;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    return true;
  }

  void EmitCodePoint(char32_t c) {
    if (c < 0x10000) {
      if (!Suppressed()) AppendUnicodeEscape(out_, static_cast<unsigned>(c));
      return;
    }
    c -= 0x10000;
    if (Suppressed()) return;
    AppendUnicodeEscape(out_, 0xD800 + static_cast<unsigned>(c >> 10));
    AppendUnicodeEscape(out_, 0xDC00 + static_cast<unsigned>(c & 0x3FF));
  }

  // After "\u": four hex digits or "{…}". A surrogate without its partner, which a JSON parser
  // refuses, becomes U+FFFD.
  bool UnicodeEscape() {
    unsigned value;
    if (pos_ < in_.size() && in_[pos_] == '{') {
      const size_t close = in_.find('}', pos_);
      if (close == std::string_view::npos || close == pos_ + 1 || close - pos_ - 1 > 6) return false;
      if (!ReadHex(pos_ + 1, close - pos_ - 1, value) || value > 0x10FFFF) return false;
      pos_ = close + 1;
      EmitCodePoint((value >= 0xD800 && value <= 0xDFFF) ? 0xFFFD : value);
      return true;
    }
    if (!ReadHex(pos_, 4, value)) return false;
    pos_ += 4;
    if (value >= 0xD800 && value <= 0xDBFF) {
      unsigned low;
      if (pos_ + 1 < in_.size() && in_[pos_] == '\\' && in_[pos_ + 1] == 'u' && ReadHex(pos_ + 2, 4, low) &&
          low >= 0xDC00 && low <= 0xDFFF) {
        pos_ += 6;
        EmitCodePoint(0x10000 + ((value - 0xD800) << 10) + (low - 0xDC00));
        return true;
      }
      value = 0xFFFD;
    } else if (value >= 0xDC00 && value <= 0xDFFF) {
      value = 0xFFFD;
    }
    EmitCodePoint(value);
    return true;
  }

  bool Escape() {
    if (pos_ >= in_.size()) return false;
    const char c = in_[pos_++];
    switch (c) {
      case '"': Emit("\\\""); return true;
      case '\\': Emit("\\\\"); return true;
      case 'b': Emit("\\b"); return true;
      case 'f': Emit("\\f"); return true;
      case 'n': Emit("\\n"); return true;
      case 'r': Emit("\\r"); return true;
      case 't': Emit("\\t"); return true;
      case 'v': Emit("\\u000b"); return true;
      case '0': Emit("\\u0000"); return true;
      case 'x': {
        unsigned value;
        if (!ReadHex(pos_, 2, value)) return false;
        pos_ += 2;
        EmitCodePoint(value);
        return true;
      }
      case 'u': return UnicodeEscape();
      case '\r':  // a line continuation
        if (pos_ < in_.size() && in_[pos_] == '\n') ++pos_;
        return true;
      case '\n': return true;
      default:
        if (static_cast<unsigned char>(c) >= 0x80) {
          --pos_;
          return StringByte();
        }
        if (static_cast<unsigned char>(c) < 0x20) {
          EmitCodePoint(static_cast<unsigned char>(c));
          return true;
        }
        Emit(c);  // "\'", "\/" and any other character stand for themselves
        return true;
    }
  }

  bool StringByte() {
    const auto c = static_cast<unsigned char>(in_[pos_]);
    if (c >= 0x80 && o_.gbk) {
      GbkCharacter();
      return true;
    }
    ++pos_;
    if (c < 0x20) {
      EmitCodePoint(c);
    } else if (c == '"') {
      Emit("\\\"");
    } else {
      Emit(static_cast<char>(c));
    }
    return true;
  }

  bool String(char quote) {
    ++pos_;
    Emit('"');
    for (;;) {
      if (pos_ >= in_.size()) return false;
      const char c = in_[pos_];
      if (c == quote) break;
      if (c == '\\') {
        ++pos_;
        if (!Escape()) return false;
      } else {
        StringByte();
      }
    }
    ++pos_;
    Emit('"');
    return true;
  }

  // Blanks and comments; false when a comment is cut off.
  bool SkipSpace() {
    while (pos_ < in_.size()) {
      const char c = in_[pos_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < in_.size() && in_[pos_ + 1] == '/') {
        const size_t end = in_.find('\n', pos_);
        pos_ = end == std::string_view::npos ? in_.size() : end + 1;
      } else if (c == '/' && pos_ + 1 < in_.size() && in_[pos_ + 1] == '*') {
        const size_t end = in_.find("*/", pos_ + 2);
        if (end == std::string_view::npos) return false;
        pos_ = end + 2;
      } else {
        break;
      }
    }
    return true;
  }

  std::string_view in_;
  const ScriptLiteralOptions& o_;
  size_t pos_ = 0;
  std::string out_;
  std::vector<Frame> stack_;
  size_t values_ = 0;
  size_t suppressDepth_ = 0;  // 0: writing; else the list depth whose current item is left out
  bool cutShort_ = false;
};

// One code point from UTF-8; an invalid sequence reads as U+FFFD over one byte.
char32_t NextCodePoint(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return s[i++];
  const size_t extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : 0;
  if (extra == 0 || i + extra >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  char32_t c = b0 & (0x3F >> extra);
  for (size_t k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  i += extra + 1;
  return c;
}

}  // namespace

std::optional<ScriptLiteral> NormaliseScriptLiteral(std::string_view text, size_t start,
                                                    const ScriptLiteralOptions& options) {
  return Scanner(text, options).Run(start);
}

std::string JsonStringToText(std::string_view utf8, bool gbk, const Utf8ToText& utf8ToText) {
  std::string out;
  out.reserve(utf8.size());
  std::string foreign;  // a run of characters for the converter
  auto flush = [&] {
    if (foreign.empty()) return;
    if (utf8ToText) {
      out += utf8ToText(foreign);
    } else {
      size_t i = 0;
      while (i < foreign.size()) NextCodePoint(foreign, i), out += '?';
    }
    foreign.clear();
  };
  size_t i = 0;
  while (i < utf8.size()) {
    const size_t begin = i;
    const char32_t c = NextCodePoint(utf8, i);
    if (c < 0x80) {
      flush();
      out += static_cast<char>(c);
    } else if (gbk && c >= kGbkBase && c <= kGbkBase + 0xFFFF) {
      flush();
      const char32_t v = c - kGbkBase;
      if (v > 0xFF) out += static_cast<char>(v >> 8);
      out += static_cast<char>(v & 0xFF);
    } else {
      foreign.append(utf8.substr(begin, i - begin));
    }
  }
  flush();
  return out;
}
