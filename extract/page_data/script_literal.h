#pragma once
// Today's item pages carry their data as a JavaScript value inside a script: strict JSON on some,
// an object literal on others (bare keys, single quotes, trailing commas, !0 for true). This turns
// one such value into strict JSON for a JSON parser, and bounds the work a hostile page can cause.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct ScriptLiteralOptions {
  // The page is GBK text: every two-byte character inside a string becomes one private-use
  // character, so the JSON stays valid UTF-8 and a trailing byte that looks like a backslash
  // stays part of its character. Otherwise the page is UTF-8 and string bytes are copied as they are.
  bool gbk = false;
  size_t maxDepth = 64;               // deeper nesting: no result
  size_t maxItemsPerList = 2000;      // further members and elements are left out (cut short)
  size_t maxValues = 500000;          // all values together; further items are left out (cut short)
  size_t maxOutputBytes = 32u << 20;  // a longer result: no result
};

struct ScriptLiteral {
  std::string json;
  size_t end = 0;         // the byte after the value's closing bracket
  bool cutShort = false;  // members or elements were left out under a bound
};

// The object or array that opens at `start` ('{' or '['), as strict JSON. No result when it is
// not a literal (it names a variable or calls a function), is cut off before its closing
// bracket, or exceeds the depth or size bound.
std::optional<ScriptLiteral> NormaliseScriptLiteral(std::string_view text, size_t start,
                                                    const ScriptLiteralOptions& options = {});

using Utf8ToText = std::function<std::string(std::string_view utf8)>;

// A string of such JSON as GBK text. From a GBK page the private-use characters become their bytes
// again; other characters (from a UTF-8 page, or escapes) go through `utf8ToText`, or become "?"
// when it is empty.
std::string JsonStringToText(std::string_view utf8, bool gbk, const Utf8ToText& utf8ToText);
