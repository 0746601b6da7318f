#include "text/text_slicing.h"

#include <gtest/gtest.h>


namespace {

// "中" in GBK is D6 D0; "忠" is D6 D2. "\xD6\xD0" followed by "ab" has the byte D0 61 62 in it,
// so a search for "\xD0" + "ab" must not match the trailing byte of the character.
const std::string kZhong = "中";

TEST(FindTest, Table) {
  struct Row {
    std::string text, search;
    int start;
    bool ignoreCase;
    int expected;
  } rows[] = {
      {"abcabc", "bc", 1, false, 2},
      {"abcabc", "bc", 3, false, 5},
      {"abcabc", "bc", 0, false, 2},    // a start below 1 means 1
      {"abcabc", "bc", -5, false, 2},
      {"abcabc", "bc", 7, false, -1},   // beyond the last byte
      {"abcabc", "BC", 1, false, -1},
      {"abcabc", "BC", 1, true, 2},
      {"abc", "", 1, false, 1},         // empty search in a non-empty remainder
      {"", "", 1, false, -1},
      {"", "a", 1, false, -1},
      {"abc", "abcd", 1, false, -1},
      {"abc", "c", 3, false, 3},        // marker at the very end
      {"abc", "a", 1, false, 1},        // marker at the very start
  };
  for (const Row& r : rows)
    EXPECT_EQ(Find(r.text, r.search, r.start, r.ignoreCase), r.expected)
        << r.text << " / " << r.search << " from " << r.start;
}

TEST(FindTest, NeverMatchesOnATrailingByte) {
  // "中" is D6 D0. The trailing byte D0 followed by "x" must not be found as "\xD0x".
  const std::string text = kZhong + "x" + "\xD0x";
  EXPECT_EQ(Find(text, "\xD0x"), 4);
  EXPECT_EQ(Find(kZhong + "x", "\xD0x"), -1);
  // A lead byte right before the marker: the marker's first byte is the trailing byte.
  EXPECT_EQ(Find("\xB0" "abc" "abc", "abc"), 5);
  // Ignoring case follows the same rule.
  EXPECT_EQ(Find("\xB0" "Abc" "aBC", "abc", 1, true), 5);
  // Double-byte markers are found on character starts.
  EXPECT_EQ(Find("a" + kZhong + kZhong, kZhong + kZhong), 2);
  EXPECT_EQ(Find("\xD6" + kZhong + "\xD0", kZhong), -1) << "only D6|D6 and D0|D0 pairs";
}

// The search rule written the plain way: walk character starts from `start`, compare at each.
int ReferenceFind(const std::string& text, const std::string& search, int start, bool ignoreCase) {
  if (start < 1) start = 1;
  if (static_cast<size_t>(start) > text.size()) return -1;
  if (search.empty()) return 1;
  auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; };
  for (size_t i = start - 1; i + search.size() <= text.size();) {
    bool equal = true;
    for (size_t k = 0; k < search.size() && equal; ++k) {
      unsigned char a = text[i + k], b = search[k];
      equal = ignoreCase ? fold(a) == fold(b) : a == b;
    }
    if (equal) return static_cast<int>(i + 1);
    i += (static_cast<unsigned char>(text[i]) >= 0x80) ? 2 : 1;
  }
  return -1;
}

TEST(FindTest, AgreesWithAPlainCharacterWalkOnRandomText) {
  // Few distinct bytes, half of them lead bytes, so trailing-byte matches are frequent.
  const char alphabet[] = {'a', 'A', 'b', ';', '\xB0', '\xD6', '\xD0', '\xA1'};
  unsigned seed = 12345;
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int round = 0; round < 20000; ++round) {
    std::string text, search;
    for (unsigned n = next() % 24; n > 0; --n) text += alphabet[next() % 8];
    for (unsigned n = 1 + next() % 3; n > 0; --n) search += alphabet[next() % 8];
    int start = static_cast<int>(next() % 6) - 1;
    bool ignoreCase = next() % 2;
    ASSERT_EQ(Find(text, search, start, ignoreCase), ReferenceFind(text, search, start, ignoreCase))
        << "round " << round;
  }
}

TEST(MidTest, Table) {
  EXPECT_EQ(Mid("abcdef", 2, 3), "bcd");
  EXPECT_EQ(Mid("abcdef", 5, 10), "ef");
  EXPECT_EQ(Mid("abcdef", 0, 2), "");
  EXPECT_EQ(Mid("abcdef", 7, 1), "");
  EXPECT_EQ(Mid("abcdef", 1, 0), "");
  EXPECT_EQ(Mid("abcdef", 1, -1), "");
}

TEST(TextBetweenTest, CutsBetweenMarkers) {
  EXPECT_EQ(TextBetween("<title>宝贝</title>", "<title>", "</title>"), "宝贝");
  EXPECT_EQ(TextBetween("<a></a>", "<a>", "</a>"), "");       // adjacent markers
  EXPECT_EQ(TextBetween("x]y[z", "[", "]"), "");              // right marker only before left
  EXPECT_EQ(TextBetween("xyz]", "[", "]"), "");               // left marker missing
  EXPECT_EQ(TextBetween("[abc", "[", "]"), "");               // right marker missing
  EXPECT_EQ(TextBetween("a[1]b[2]", "[", "]", 4), "2");       // start position
  EXPECT_EQ(TextBetween("A[1]", "a[", "]", 1, true), "1");
  EXPECT_EQ(TextBetween("", "", ""), "");
}

TEST(TextBetweenTest, QuotePlaceholderStandsForADoubleQuote) {
  EXPECT_EQ(TextBetween("videoId\":\"123\",", "videoId#引号:#引号", "#引号,"), "123");
  // The placeholder in the page itself means nothing.
  EXPECT_EQ(TextBetween("k#引号v,", "k\"", ","), "");
  // Only TextBetween replaces it: AllTextBetween takes markers literally.
  TextList items;
  EXPECT_EQ(AllTextBetween("k\"v,", "k#引号", ",", items), 0);
}

TEST(TextBetweenTest, MarkersNeverStartOnTrailingBytes) {
  // 0xB0 0x3C is one character whose second byte is '<': "<title>" must not match there.
  const std::string page = std::string("\xB0") + "<title>" + "x</title><title>宝</title>";
  EXPECT_EQ(TextBetween(page, "<title>", "</title>"), "宝");
}

TEST(AllTextBetweenTest, PrefixRestoresAThumbnailUrl) {
  TextList items;
  const std::string block =
      "<img src=\"https://gd1.example/a_50x50.jpg\"><img src=\"https://gd2.example/b_50x50.jpg\">";
  ASSERT_EQ(AllTextBetween(block, "https", "_50x50", items, {.prefix = "https"}), 2);
  EXPECT_EQ(items[0], "https://gd1.example/a");
  EXPECT_EQ(items[1], "https://gd2.example/b");
}

TEST(AllTextBetweenTest, OverlappingPiecesAndUnmatchedTail) {
  TextList items{"stale"};
  ASSERT_EQ(AllTextBetween("[a[b]c[d", "[", "]", items), 2);
  EXPECT_EQ(items[0], "a[b");  // the second left marker lies inside the first piece
  EXPECT_EQ(items[1], "b");
  // "[d" has no right marker after it and is ignored.
}

TEST(AllTextBetweenTest, OptionsDressAndFilterItems) {
  TextList items;
  AllTextBetweenOptions o;
  o.prefix = "<";
  o.suffix = ">";
  o.includeLeft = 1;
  o.includeRight = 1;
  ASSERT_EQ(AllTextBetween("(x)(yy)", "(", ")", items, o), 2);
  EXPECT_EQ(items[0], "(<x>)");
  EXPECT_EQ(items[1], "(<yy>)");

  o = {};
  o.maxLength = 2;  // strictly shorter than 2
  ASSERT_EQ(AllTextBetween("(x)(yy)()", "(", ")", items, o), 2);
  EXPECT_EQ(items[0], "x");
  EXPECT_EQ(items[1], "");  // empty items are kept

  o = {};
  o.includeLeft = 2;  // only 1 switches the flag on
  ASSERT_EQ(AllTextBetween("(x)", "(", ")", items, o), 1);
  EXPECT_EQ(items[0], "x");

  o = {};
  o.start = 4;
  ASSERT_EQ(AllTextBetween("(x)(y)", "(", ")", items, o), 1);
  EXPECT_EQ(items[0], "y");

  o = {};
  o.ignoreCase = true;
  ASSERT_EQ(AllTextBetween("Ax;aY;", "a", ";", items, o), 2);
  EXPECT_EQ(items[1], "Y");
}

TEST(AllTextBetweenTest, YieldsOncePerPiece) {
  int pumped = 0;
  TextList items;
  AllTextBetween("(1)(2)(3)(", "(", ")", items, {.maxLength = 1, .yield = [&] { ++pumped; }});  // all filtered out
  EXPECT_EQ(pumped, 3);
  EXPECT_TRUE(items.empty());
}

TEST(AllTextBetweenTest, ReusedRightMarkerMatchesAFreshSearch) {
  // Many left markers before one right marker: every piece ends at the same right marker.
  std::string text;
  for (int i = 0; i < 50; ++i) text += "L" + std::to_string(i);
  text += "R";
  TextList items;
  ASSERT_EQ(AllTextBetween(text, "L", "R", items), 50);
  EXPECT_EQ(items[49], "49");
  EXPECT_EQ(items[0], text.substr(1, text.size() - 2));
  // A right marker reachable only on another character walk: after "\xB0" the "R" is a trailing
  // byte, so the piece ends at the later "R".
  ASSERT_EQ(AllTextBetween("L\xB0RLxR", "L", "R", items), 2);
  EXPECT_EQ(items[0], "\xB0RLx");
  EXPECT_EQ(items[1], "x");
}

TEST(AllTextBetweenTest, EmptyMarkers) {
  TextList items{"stale"};
  // An empty left marker would be found at the same place for ever.
  EXPECT_EQ(AllTextBetween("(x)(y)", "", ")", items), 0);
  EXPECT_TRUE(items.empty());
  // An empty right marker is found before each piece: one empty piece per left marker, dressed.
  ASSERT_EQ(AllTextBetween("xxxxxxxxa(b(c", "(", "", items, {.prefix = "p"}), 2);
  EXPECT_EQ(items[0], "p");
  EXPECT_EQ(items[1], "p");
}

TEST(CountOccurrencesTest, Table) {
  EXPECT_EQ(CountOccurrences("aaaa", "aa"), 2);
  EXPECT_EQ(CountOccurrences("", "a"), 0);
  EXPECT_EQ(CountOccurrences("abc", ""), 0);
  EXPECT_EQ(CountOccurrences("aAa", "a"), 3);        // ignores case by default
  EXPECT_EQ(CountOccurrences("aAa", "a", true), 2);
  EXPECT_EQ(CountOccurrences(kZhong + kZhong, "\xD0\xD6"), 0);  // across a character boundary
}

TEST(RemoveBetweenTest, CharacterReferences) {
  std::string text = "one&amp;two&#160;three";
  EXPECT_EQ(RemoveBetween(text, "&", ";"), "onetwothree");
  EXPECT_EQ(text, "onetwothree");

  text = "材质&nbsp;:&nbsp;棉";
  EXPECT_EQ(RemoveBetween(text, "&", ";"), "材质:棉");

  text = "a&b";  // no right marker: unchanged
  EXPECT_EQ(RemoveBetween(text, "&", ";"), "a&b");

  text = "a;b&c;d&e";  // the tail "&e" has no right marker
  EXPECT_EQ(RemoveBetween(text, "&", ";"), "a;bd&e");
}

TEST(RemoveBetweenTest, GeneralMarkersAndKeepingMarkers) {
  std::string text = "x<!--a-->y<!--b-->z";
  EXPECT_EQ(RemoveBetween(text, "<!--", "-->"), "xyz");

  text = "x(a)y(b)z";
  EXPECT_EQ(RemoveBetween(text, "(", ")", 1), "x()y()z");

  text = "xABaAByAB";  // counted ignoring case (3), cut exactly
  EXPECT_EQ(RemoveBetween(text, "AB", "y"), "xAB");
}

TEST(RemoveBetweenTest, OneSweepAgreesWithPassByPass) {
  // The one-sweep path (one-byte ASCII left marker) against the general path run on a marker
  // that behaves the same but is two bytes long and never occurs elsewhere.
  const std::string samples[] = {"&a;&b;c", "&&;;&", "x&y", ";&;", "\xB0&x;&y;", "&\xB0;x;",
                                 "中&amp;文&lt;;&"};
  for (const std::string& s : samples) {
    std::string fast = s;
    RemoveBetween(fast, "&", ";");
    std::string viaGeneral = s;
    std::string wide;
    for (char c : viaGeneral) wide += (c == '&') ? std::string("@@") : std::string(1, c);
    RemoveBetween(wide, "@@", ";");
    std::string back;
    for (size_t i = 0; i < wide.size(); ++i) {
      if (wide.compare(i, 2, "@@") == 0) {
        back += '&';
        ++i;
      } else {
        back += wide[i];
      }
    }
    EXPECT_EQ(fast, back) << s;
  }
}

}  // namespace
