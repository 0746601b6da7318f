#include "text/markup_text.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// A converter that knows two characters and marks every other one, as the system's does.
std::string FewCharacters(std::string_view utf8) {
  static const std::map<std::string, std::string> known = {{"\xE4\xB8\xAD", "中"}, {"\xC2\xB7", "\xA1\xA4"}};
  const auto it = known.find(std::string(utf8));
  return it == known.end() ? std::string("?") : it->second;
}

TEST(MarkupToTextTest, Table) {
  struct Row {
    std::string line, expected;
  } rows[] = {
      // JD's shop attribute: the link around the shop's name goes.
      {"店铺： <a href='//517lppz.jd.com' target='_blank'>良品铺子官方旗舰店</a>", "店铺： 良品铺子官方旗舰店"},
      {"良品铺子官方旗舰店</a>", "良品铺子官方旗舰店"},
      {"<SPAN class=\"x\">红色</SPAN><br/>XL<br>", "红色XL"},
      {"a<!-- 注释 -->b", "ab"},
      // A quoted '>' belongs to the attribute.
      {"<a title='a>b'>名</a>", "名"},
      // Angle brackets that are no tag of HTML stay.
      {"尺码<XL>", "尺码<XL>"},
      {"身高<160cm", "身高<160cm"},
      {"a < b >c", "a < b >c"},
      {"<a href='x'", "<a href='x'"},
      {"<a href='x' <b>粗</b>", "粗"},
      // References: named, numeric, hexadecimal; GBK where it has the character.
      {"A&amp;B&lt;C&gt;&quot;D&quot;&apos;", "A&B<C>\"D\"'"},
      {"材质:&nbsp;棉&#160;麻", "材质: 棉 麻"},
      {"&#x4E2D;&#20013;&middot;", "中中\xA1\xA4"},
      {"&#169;&copy;", "&#169;&copy;"},  // not in GBK: kept as written
      {"&#10;&#9;", "  "},                // a line stays one line
      {"&#0;&#xD800;&#1114112;&#x;&bogus;", "&#0;&#xD800;&#1114112;&#x;&bogus;"},
      {"AT&T; R&D", "AT&T; R&D"},
      {"&amp;lt;", "&lt;"},  // decoded once
      // A trailing byte that looks like '<' or '&' is part of its character.
      {"\x81<a>\x81&amp;", "\x81<a>\x81&amp;"},
  };
  for (const Row& r : rows) EXPECT_EQ(MarkupToText(r.line, FewCharacters), r.expected) << r.line;
  // Without a converter only ASCII references are decoded.
  EXPECT_EQ(MarkupToText("&amp;&#20013;", nullptr), "&&#20013;");
}

TEST(MarkupToTextTest, UnclosedTagsStayLinear) {
  std::string line;
  for (int i = 0; i < 20000; ++i) line += "<a href='<!--&amp";
  EXPECT_EQ(MarkupToText(line, nullptr), line);
}

}  // namespace
