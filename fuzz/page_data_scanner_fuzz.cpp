// The normalising scanner: whatever a page holds where its data literal should be, the result is
// either nothing or JSON that a JSON parser accepts, ending at the literal's closing bracket.
//
// Input: one byte of options (bit 0: the page is GBK; bit 1: small bounds), then the text; the
// literal starts at the first '{' or '['.
#include <nlohmann/json.hpp>

#include "extract/page_data/script_literal.h"
#include "fuzz/page_data_fuzz.h"

namespace {

bool IsUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t extra;
    unsigned c;
    if (b >= 0xC2 && b <= 0xDF) extra = 1, c = b & 0x1Fu;
    else if (b >= 0xE0 && b <= 0xEF) extra = 2, c = b & 0x0Fu;
    else if (b >= 0xF0 && b <= 0xF4) extra = 3, c = b & 0x07u;
    else return false;
    if (i + extra >= s.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      c = (c << 6) | (t & 0x3Fu);
    }
    // Overlong forms and surrogates are refused by a JSON parser as well.
    if ((extra == 2 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) || (extra == 3 && (c < 0x10000 || c > 0x10FFFF)))
      return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  ScriptLiteralOptions options;
  options.gbk = (data[0] & 1) != 0;
  if (data[0] & 2) {
    options.maxDepth = 4;
    options.maxItemsPerList = 3;
    options.maxValues = 20;
    options.maxOutputBytes = 4096;
  }
  const std::string_view text = page_data_fuzz::AsText(data + 1, size - 1);
  const size_t start = text.find_first_of("{[");
  if (start == std::string_view::npos) return 0;
  const std::optional<ScriptLiteral> literal = NormaliseScriptLiteral(text, start, options);
  if (!literal) return 0;

  PAGE_DATA_CHECK(literal->end > start && literal->end <= text.size());
  PAGE_DATA_CHECK(text[literal->end - 1] == (text[start] == '{' ? '}' : ']'));
  // From a GBK page, or a page of valid UTF-8, the JSON is always accepted.
  if (options.gbk || IsUtf8(text.substr(start, literal->end - start))) {
    const nlohmann::json parsed = nlohmann::json::parse(literal->json, nullptr, false);
    PAGE_DATA_CHECK(!parsed.is_discarded());
    PAGE_DATA_CHECK(parsed.is_object() == (text[start] == '{'));
  }
  return 0;
}
