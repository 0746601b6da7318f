#pragma once
// Which encoding a page's text is in when the page engine hands it over: GBK text (re-decoded from
// the charset the page declares, or bytes as sent that do not read as UTF-8) or UTF-8 bytes as
// sent. Pages that came from elsewhere carry no word on it. And the UTF-8 bytes of a character, and
// of UTF-16 text.

#include <optional>
#include <string>
#include <string_view>

enum class PageEncoding {
  Unknown,  // no fetch said: readers judge the text themselves
  Gbk,
  Utf8,
};

// Whether `text` is well-formed UTF-8 holding at least one character of more than one byte (text
// of ASCII alone reads the same either way).
bool IsUtf8WithMultibyteCharacters(std::string_view text);

// Appends the UTF-8 bytes of a code point (which the caller keeps within U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

// UTF-16 bytes (little-endian, or big-endian when `bigEndian`) as UTF-8; a lone surrogate becomes
// U+FFFD. Empty when the byte count is odd: the text was cut or is no UTF-16.
std::optional<std::string> Utf16ToUtf8(std::string_view bytes, bool bigEndian);
