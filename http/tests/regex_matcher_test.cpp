#include "http/regex_matcher.h"

#include <gtest/gtest.h>

namespace {

const char kCharsetPattern[] = "<meta.+?charset=[^\\w]?([-\\w]+)";

TEST(RegexMatcherTest, FindsTheDeclaredCharset) {
  struct Row {
    std::string page, charset;
  } rows[] = {
      {"<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">", "gbk"},
      {"<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; CHARSET=GBK\">", "GBK"},
      {"<head>\n<meta charset=\"utf-8\" />\n<title>标题</title>", "utf-8"},
      {"<meta name=\"x\">\n<meta charset='gb2312'>", "gb2312"},
      {"<head><title>没有声明</title></head>", ""},
  };
  for (const Row& r : rows) {
    RegexMatcher m;
    EXPECT_TRUE(m.Search(kCharsetPattern, r.page)) << r.page;
    EXPECT_EQ(m.SubMatchText(1, 1), r.charset) << r.page;
  }
}

TEST(RegexMatcherTest, NoMatchIsASuccessfulSearchWithEmptyResults) {
  RegexMatcher m;
  ASSERT_TRUE(m.Search("x(\\d+)", "abc"));
  EXPECT_EQ(m.MatchCount(), 0);
  int position = 7;
  EXPECT_EQ(m.MatchText(1, &position), "");
  EXPECT_EQ(position, -1);
  EXPECT_EQ(m.SubMatchText(1, 1), "");
  EXPECT_EQ(m.SubMatchCount(), 0);
}

TEST(RegexMatcherTest, FreshInstanceReadsEmpty) {
  RegexMatcher m;
  EXPECT_EQ(m.GetPattern(), "");
  EXPECT_EQ(m.MatchCount(), 0);
  EXPECT_EQ(m.MatchText(1), "");
  EXPECT_EQ(m.SubMatchText(1, 1), "");
  EXPECT_EQ(m.SubMatchCount(), 0);
  EXPECT_EQ(m.Replace("x"), "");
}

TEST(RegexMatcherTest, OptionsTable) {
  struct Row {
    std::string pattern, subject;
    RegexOptions options;
    int count;
  } rows[] = {
      {"abc", "ABC abc", {}, 2},                         // case ignored by default
      {"abc", "ABC abc", {.caseSensitive = true}, 1},
      {"^b", "a\nb\nb", {}, 2},                          // multi-line by default
      {"^b", "a\nb\nb", {.multiline = false}, 0},
      {"b", "bbb", {.global = false}, 1},
      {"href=#引号(.+?)#引号", "<a href=\"x\"><a href=\"y\">", {.quotePlaceholder = true}, 2},
      {"href=#引号", "<a href=\"x\">", {}, 0},            // placeholder taken literally
  };
  for (const Row& r : rows) {
    RegexMatcher m;
    EXPECT_TRUE(m.Search(r.pattern, r.subject, r.options)) << r.pattern;
    EXPECT_EQ(m.MatchCount(), r.count) << r.pattern << " over " << r.subject;
  }
}

TEST(RegexMatcherTest, PatternReadsBackWithQuotesReplaced) {
  RegexMatcher m;
  m.Search("src=#引号([^#引号]+)", "<img src=\"a.jpg\">", {.quotePlaceholder = true});
  EXPECT_EQ(m.GetPattern(), "src=\"([^\"]+)");
  EXPECT_EQ(m.SubMatchText(1, 1), "a.jpg");
}

TEST(RegexMatcherTest, GbkTextAndByteOffsets) {
  RegexMatcher m;
  // 中文 is four bytes, 中 two: the second "abc" starts at byte 9 though at character 6.
  ASSERT_TRUE(m.Search("a(b)c", "中文abc中abc"));
  ASSERT_EQ(m.MatchCount(), 2);
  int position = -5;
  EXPECT_EQ(m.MatchText(1, &position), "abc");
  EXPECT_EQ(position, 4);
  EXPECT_EQ(m.MatchText(2, &position), "abc");
  EXPECT_EQ(position, 9);
  EXPECT_EQ(m.SubMatchText(2, 1, &position), "b");
  EXPECT_EQ(position, 10);

  // Repeated text: each match reports its own offset, not an earlier copy of the same text.
  ASSERT_TRUE(m.Search("a", "aaa"));
  EXPECT_EQ(m.MatchText(3, &position), "a");
  EXPECT_EQ(position, 2);

  ASSERT_TRUE(m.Search("价格(\\d+)元", "商品价格25元"));
  EXPECT_EQ(m.MatchText(1), "价格25元");
  EXPECT_EQ(m.SubMatchText(1, 1, &position), "25");
  EXPECT_EQ(position, 8);
  EXPECT_EQ(m.SubMatchCount(), 1);
}

TEST(RegexMatcherTest, OutOfRangeNumbersGiveEmptyTexts) {
  RegexMatcher m;
  ASSERT_TRUE(m.Search("(a)(b)?", "a"));
  EXPECT_EQ(m.SubMatchCount(), 2);
  EXPECT_EQ(m.SubMatchText(1, 2), "");  // a group that took no part
  EXPECT_EQ(m.SubMatchText(1, 3), "");
  EXPECT_EQ(m.SubMatchText(1, 0), "");
  EXPECT_EQ(m.SubMatchText(2, 1), "");
  EXPECT_EQ(m.MatchText(0), "");
  EXPECT_EQ(m.MatchText(-1), "");
}

TEST(RegexMatcherTest, BrokenPatternFailsQuietly) {
  RegexMatcher m;
  EXPECT_FALSE(m.Search("(unclosed", "unclosed"));
  EXPECT_EQ(m.MatchCount(), 0);
  EXPECT_EQ(m.MatchText(1), "");
}

TEST(RegexMatcherTest, ReplaceUsesTheStoredSubject) {
  RegexMatcher m;
  m.Search("(\\d+)", "a1b22");
  EXPECT_EQ(m.Replace("<$1>"), "a<1>b<22>");
  m.Search("(\\d+)", "a1b22", {.global = false});
  EXPECT_EQ(m.Replace("#"), "a#b22");
  m.Search("中", "中文中");
  EXPECT_EQ(m.Replace("英"), "英文英");
}

TEST(RegexMatcherTest, CopyKeepsItsResultsWhenTheOriginalSearchesAgain) {
  RegexMatcher original;
  original.Search("\\d", "1 2 3");
  RegexMatcher copy(original);
  original.Search("x", "1 2 3");
  EXPECT_EQ(original.MatchCount(), 0);
  EXPECT_EQ(copy.MatchCount(), 3);
  EXPECT_EQ(copy.MatchText(3), "3");
  EXPECT_EQ(copy.Replace("n"), "n n n");

  RegexMatcher assigned;
  assigned = copy;
  EXPECT_EQ(assigned.GetPattern(), "\\d");
  EXPECT_EQ(assigned.MatchText(2), "2");
}

}  // namespace
