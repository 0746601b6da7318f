#include "extract/page_data/script_literal.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::optional<std::string> Json(std::string_view text, const ScriptLiteralOptions& options = {}) {
  const size_t start = text.find_first_of("{[");
  std::optional<ScriptLiteral> literal = NormaliseScriptLiteral(text, start == std::string_view::npos ? 0 : start, options);
  if (!literal) return std::nullopt;
  return literal->json;
}

TEST(ScriptLiteralTest, JavaScriptLiteralsBecomeStrictJson) {
  struct Case {
    const char* name;
    std::string literal;
    std::string json;
  } cases[] = {
      {"strict JSON stays", R"({"a":[1,2.5,-3e2],"b":"x\"y","c":null})", R"({"a":[1,2.5,-3e2],"b":"x\"y","c":null})"},
      {"numeric and bare keys", "{5846845077736:0.1030, name:'x'}", R"({"5846845077736":0.1030,"name":"x"})"},
      {"single quotes with a double quote inside", R"({'a':'say "hi" \'now\''})", R"({"a":"say \"hi\" 'now'"})"},
      {"trailing commas", "{\"a\":[1,2,],\"b\":{\"c\":1,},}", R"({"a":[1,2],"b":{"c":1}})"},
      {"empty lists", "{\"a\":[],\"b\":{}}", R"({"a":[],"b":{}})"},
      {"minified booleans and JavaScript values", "{a:!0,b:!1,c:undefined,d:NaN,e:-Infinity}",
       R"({"a":true,"b":false,"c":null,"d":null,"e":null})"},
      {"numbers JSON does not write", "[+1,.5,5.,0x1F,007,1_000]", "[1,0.5,5,31,7,1000]"},
      // A JSON parser would refuse the whole value over one number out of range.
      {"numbers beyond a double", "[1e99999,1e-99999," + std::string(400, '9') + ",1e300]", "[null,1e-99999,null,1e300]"},
      {"escapes JSON does not know", R"(['\x41\v\0\/\a'])", R"(["\u0041\u000b\u0000/a"])"},
      {"a line continuation", "['a\\\nb']", R"(["ab"])"},
      {"raw control characters are escaped", "[\"a\tb\nc\"]", R"(["a\u0009b\u000ac"])"},
      {"a lone surrogate becomes U+FFFD", R"(["\ud800x","\udc00","\ud83d\ude00"])",
       R"(["\ufffdx","\ufffd","\ud83d\ude00"])"},
      // The escape after a high surrogate is read on its own when it is no low surrogate.
      {"a high surrogate before another escape", R"(["\uD83D\u0041","\uD83D\uD83D\uDE00"])",
       R"(["\ufffd\u0041","\ufffd\ud83d\ude00"])"},
      {"code point escapes", R"(["\u{1F600}\u{41}"])", R"(["\ud83d\ude00\u0041"])"},
      {"comments", "{/* c */a:1, // line\n b:2}", R"({"a":1,"b":2})"},
      {"the $ref nodes of 1688 pages are data", R"({"x":{"$ref":"$.a[0]"}})", R"({"x":{"$ref":"$.a[0]"}})"},
      {"UTF-8 inside strings is copied", "[\"\xE4\xB8\xAD\"]", "[\"\xE4\xB8\xAD\"]"},
  };
  for (const Case& c : cases) EXPECT_EQ(Json(c.literal), c.json) << c.name;
}

TEST(ScriptLiteralTest, EndsRightAfterTheValue) {
  const std::string script = "window.context=(function(){})(window.contextPath,{\"a\":\"}\"});\nvar x = {};";
  const size_t start = script.find("{\"a\"");
  std::optional<ScriptLiteral> literal = NormaliseScriptLiteral(script, start);
  ASSERT_TRUE(literal);
  EXPECT_EQ(script.substr(literal->end), ");\nvar x = {};");
}

TEST(ScriptLiteralTest, WhatIsNotADataLiteralGivesNothing) {
  struct Case {
    const char* name;
    std::string text;
  } cases[] = {
      {"cut off in a string", R"({"a":"abc)"},
      {"cut off after a comma", R"({"a":1,)"},
      {"cut off in a comment", "{\"a\":1 /* c"},
      {"a closing bracket of the other kind", R"({"a":1])"},
      {"a variable", "{a:b}"},
      {"a call", "{a:f(1)}"},
      {"a missing colon", R"({"a" 1})"},
      {"a bad \\x escape", R"(["\xZZ"])"},
      {"no opening bracket", "abc"},
      {"an empty text", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Json(c.text), std::nullopt) << c.name;
}

TEST(ScriptLiteralTest, BoundsLimitHostileValues) {
  // Deep nesting is refused, not followed.
  ScriptLiteralOptions options;
  std::string deep = std::string(options.maxDepth, '[') + std::string(options.maxDepth, ']');
  EXPECT_TRUE(Json(deep));
  std::string deeper = std::string(options.maxDepth + 1, '[') + std::string(options.maxDepth + 1, ']');
  EXPECT_EQ(Json(deeper), std::nullopt);
  const std::string veryDeep(1'000'000, '[');
  EXPECT_EQ(Json(veryDeep), std::nullopt);

  // A huge array keeps its first items; later ones, nested values included, are left out.
  std::string huge = "{\"a\":[";
  for (int i = 0; i < 5000; ++i) huge += "{\"u\":[" + std::to_string(i) + "]},";
  huge += "],\"b\":2}";
  std::optional<ScriptLiteral> literal = NormaliseScriptLiteral(huge, 0);
  ASSERT_TRUE(literal);
  EXPECT_TRUE(literal->cutShort);
  EXPECT_NE(literal->json.find("{\"u\":[1999]}]"), std::string::npos);
  EXPECT_EQ(literal->json.find("2000"), std::string::npos);
  EXPECT_EQ(literal->json.substr(literal->json.size() - 8), "],\"b\":2}");

  // Too many members in an object, and too many values altogether.
  ScriptLiteralOptions few;
  few.maxItemsPerList = 2;
  EXPECT_EQ(Json("{a:1,b:2,c:3,d:4}", few), R"({"a":1,"b":2})");
  few.maxItemsPerList = 100;
  few.maxValues = 4;
  EXPECT_EQ(Json("[[1,2],[3,4]]", few), "[[1,2]]");

  // A result that outgrows its bound is refused.
  ScriptLiteralOptions small;
  small.maxOutputBytes = 100;
  EXPECT_EQ(Json("[\"" + std::string(200, 'x') + "\"]", small), std::nullopt);
}

TEST(ScriptLiteralTest, GbkCharactersSurviveAsPrivateUseCharacters) {
  // "誠" is D5 5C in GBK: its trailing byte is a backslash and must not escape the closing quote.
  const std::string gbk = "{\"name\":\"\xD5\x5C\",\"b\":\"\xC0\xB6\xC9\xAB\",\"c\":\"\x81\"}";
  ScriptLiteralOptions options;
  options.gbk = true;
  std::optional<ScriptLiteral> literal = NormaliseScriptLiteral(gbk, 0, options);
  ASSERT_TRUE(literal);
  EXPECT_EQ(literal->end, gbk.size());
  // Back to the very same bytes, without any converter.
  const std::string json = literal->json;
  const size_t name = json.find("\"name\":\"") + 8;
  EXPECT_EQ(JsonStringToText(json.substr(name, json.find('"', name) - name), true, nullptr), "\xD5\x5C");
  const size_t b = json.find("\"b\":\"") + 5;
  EXPECT_EQ(JsonStringToText(json.substr(b, json.find('"', b) - b), true, nullptr), "\xC0\xB6\xC9\xAB");
  const size_t c = json.find("\"c\":\"") + 5;
  EXPECT_EQ(JsonStringToText(json.substr(c, json.find('"', c) - c), true, nullptr), "\x81");
}

TEST(ScriptLiteralTest, OtherCharactersGoThroughTheConverter) {
  const Utf8ToText brackets = [](std::string_view utf8) { return "<" + std::string(utf8) + ">"; };
  struct Case {
    const char* name;
    std::string utf8;
    bool gbk;
    std::string text;
  } cases[] = {
      {"ASCII stays", "abc", false, "abc"},
      {"a run of UTF-8 characters converts at once", "a\xE4\xB8\xAD\xE6\x96\x87z", false, "a<\xE4\xB8\xAD\xE6\x96\x87>z"},
      {"an escape inside a GBK page converts too", "\xE4\xB8\xAD", true, "<\xE4\xB8\xAD>"},
  };
  for (const Case& c : cases) EXPECT_EQ(JsonStringToText(c.utf8, c.gbk, brackets), c.text) << c.name;
  EXPECT_EQ(JsonStringToText("a\xE4\xB8\xAD\xE6\x96\x87", false, nullptr), "a??");
}

}  // namespace
