#include "text/text_items.h"

#include <gtest/gtest.h>

namespace {

// GBK: "中" is D6 D0, the full-width space is A1 A1. "\xB0\xA1" is one character whose trailing
// byte looks like the first half of a full-width space.
const std::string kZhong = "中";
const std::string kWideSpace = "\xA1\xA1";

TEST(SplitTextTest, Table) {
  struct Row {
    std::string text, delimiter;
    TextList expected;
  } rows[] = {
      {"a;;b", ";", {"a", "", "b"}},
      {"a;", ";", {"a"}},
      {";a", ";", {"", "a"}},
      {";", ";", {""}},
      {"", ";", {}},
      {"abc", "", {"abc"}},
      {"a\r\nb\r\n\r\n", "\r\n", {"a", "b", ""}},
      {"a; b;c", "; ", {"a", "b;c"}},
      // The delimiter byte as the trailing byte of a two-byte character does not split.
      {"\xB0;x;y", ";", {"\xB0;x", "y"}},
      {kZhong + "," + kZhong, ",", {kZhong, kZhong}},
  };
  for (const Row& r : rows) EXPECT_EQ(SplitText(r.text, r.delimiter), r.expected) << r.text;
}

TEST(SpacesTest, TrimTable) {
  struct Row {
    std::string text, expected;
  } rows[] = {
      {"  a b  ", "a b"},
      {kWideSpace + " a" + kWideSpace, "a"},
      {"\ta\r\n", "\ta\r\n"},  // tabs and line ends are not spaces
      {"   ", ""},
      {"", ""},
      {kWideSpace + kWideSpace, ""},
      // "\xB0\xA1" is a character; the A1 after it starts a new character, so nothing is trimmed.
      {"\xB0\xA1\xA1", "\xB0\xA1\xA1"},
      // A1 followed by a space is one character: that space is its trailing byte.
      {"x\xA1 ", "x\xA1 "},
      {kZhong + " ", kZhong},
  };
  for (const Row& r : rows) EXPECT_EQ(Trim(r.text), r.expected) << r.text;
}

// A pasted link: blanks, tabs and line ends off both ends, nothing inside touched.
TEST(SpacesTest, TrimBlanksTable) {
  struct Row {
    std::string text, expected;
  } rows[] = {
      {" \thttps://a/b?c=1 d\r\n", "https://a/b?c=1 d"},
      {"\r\n" + kWideSpace + "x" + kWideSpace + "\n\t", "x"},
      {"\t\r\n ", ""},
      {"\xB0\xA1" + kWideSpace + "\t", "\xB0\xA1"},
      {kZhong + "\n", kZhong},
  };
  for (const Row& r : rows) EXPECT_EQ(TrimBlanks(r.text), r.expected) << r.text;
}

TEST(SpacesTest, RemoveAllSpacesTable) {
  struct Row {
    std::string text, expected;
  } rows[] = {
      {" a = 1 ; b" + kWideSpace + "=2", "a=1;b=2"},
      {"\xB0\xA1\xA1\xA1" "x", "\xB0\xA1" "x"},  // the second A1 pair is the real space
      {"\xB0 x", "\xB0 x"},                       // a space as trailing byte stays
      {"", ""},
  };
  for (const Row& r : rows) EXPECT_EQ(RemoveAllSpaces(r.text), r.expected) << r.text;
}

TEST(TextBeforeTest, Table) {
  struct Row {
    std::string text, marker;
    int start;
    bool ignoreCase;
    std::string expected;
  } rows[] = {
      {"abc", "x", 1, false, ""},  // absent marker: empty, not the whole text
      {"abcdefabcdef", "ab", 5, false, "abcdef"},
      {"abcdefghij", "g", 5, false, "abcdef"},
      {"abcdef", "c", 0, false, "ab"},
      {"abcdef", "c", -3, false, "ab"},
      {"abCdef", "c", 1, true, "ab"},
      {"abCdef", "c", 1, false, ""},
      {"\xB0" "ab", "ab", 1, false, ""},  // "ab" right after a lead byte starts inside it
  };
  for (const Row& r : rows)
    EXPECT_EQ(TextBefore(r.text, r.marker, r.start, r.ignoreCase), r.expected) << r.text;
}

TEST(TextAfterLastTest, Table) {
  struct Row {
    std::string text, marker, expected;
  } rows[] = {
      {"a=1=2", "=", "2"},
      {"abc", "x", ""},
      {"abc", "c", ""},
      {"aaa", "aa", ""},  // overlapping: the last match starts at byte 2
      {"aaab", "aa", "b"},
      {"x:y" "\xB0:", ":", "y" "\xB0:"},  // the last ":" is a trailing byte
      {"abc", "", ""},
  };
  for (const Row& r : rows) EXPECT_EQ(TextAfterLast(r.text, r.marker), r.expected) << r.text;
}

}  // namespace
