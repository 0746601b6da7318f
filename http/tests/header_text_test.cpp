#include "http/header_text.h"

#include <gtest/gtest.h>

namespace {

// GBK: "中" is D6 D0, the full-width space is A1 A1. "\xB0\xA1" is one character whose trailing
// byte looks like the first half of a full-width space.
const std::string kZhong = "中";
const std::string kWideSpace = "\xA1\xA1";

TEST(HeaderCaseTest, NormaliseHeaderCaseTable) {
  struct Row {
    std::string block, expected;
  } rows[] = {
      {"content-type: text/html\r\nx-requested-with: abc\r\n\r\nno colon here\r\n",
       "Content-Type: text/html\r\nX-Requested-With: abc"},
      {"a--b: 1", "A--B: 1"},
      {kZhong + "-x: v", kZhong + "-X: v"},
      {"user-agent: mozilla-x/5.0", "User-Agent: mozilla-x/5.0"},  // values keep their case
      {"cOOKIE:a=b", "COOKIE:a=b"},
      {"x-: 1", "X-: 1"},  // a trailing "-" stays
      {" x: 1", " x: 1"},  // only the very first byte of the name counts as its start
      {"", ""},
      {"\r\n\r\n", ""},
      {"no colon", ""},
      // The ":" as trailing byte of a character does not end the name.
      {"\xB0:a-b: c", "\xB0:a-B: c"},
  };
  for (const Row& r : rows) EXPECT_EQ(NormaliseHeaderCase(r.block), r.expected) << r.block;
}

TEST(HeaderCaseTest, UpperFirst) {
  EXPECT_EQ(UpperFirst("abc"), "Abc");
  EXPECT_EQ(UpperFirst("Abc"), "Abc");
  EXPECT_EQ(UpperFirst(""), "");
  EXPECT_EQ(UpperFirst(kZhong), kZhong);
}

TEST(HeaderLineTest, NameAndValue) {
  struct Row {
    std::string line, name, value;
  } rows[] = {
      {"  Host  :  example  ", "Host", "example"},
      {"no colon", "", ""},
      {"a:b:c", "a", "b:c"},
      {":x", "", "x"},
      {"Set-Cookie:" + kWideSpace + "a=1", "Set-Cookie", "a=1"},
      {"", "", ""},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(HeaderLineName(r.line), r.name) << r.line;
    EXPECT_EQ(HeaderLineValue(r.line), r.value) << r.line;
  }
}

TEST(FindHeaderValueTest, Table) {
  const std::string block = "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nContent-Length: 5\r\n\r\n";
  struct Row {
    std::string block, name, expected;
  } rows[] = {
      {block, "Connection", "keep-alive"},
      {block, "Content-Length", "5"},
      {"connection: close\r\n", "Connection", ""},  // case-sensitive
      {"Connection-Extra: x\r\nConnection: close\r\n", "Connection", ""},  // first prefix decides
      {"Location: http://a/?u=Location: b\r\n", "Location", "b"},  // after the last marker
      {"Connection:close\r\n", "Connection", ""},
      {"", "Connection", ""},
  };
  for (const Row& r : rows) EXPECT_EQ(FindHeaderValue(r.block, r.name), r.expected) << r.block;
}

TEST(ResponseStatusTest, TheCodeAfterTheFirstBlank) {
  const struct {
    const char* headers;
    int status;
  } rows[] = {
      {"HTTP/1.1 404 Not Found\r\nServer: x\r\n\r\n", 404},
      {"HTTP/2 200\r\n", 200},
      {"HTTP/1.1 302\r\nLocation: /x 500\r\n", 302},
      {"HTTP/1.1 99999 Odd", 9999},
      {"HTTP/1.1  200 OK", 0},
      {"HTTP/1.1", 0},
      {"", 0},
  };
  for (const auto& row : rows) EXPECT_EQ(ResponseStatus(row.headers), row.status) << row.headers;
}

TEST(HeaderValueNamedTest, TheNameInAnyLetterCase) {
  const std::string block = "HTTP/1.1 302 Found\r\nlocation:  /next?a=b:c \r\nContent-Type: text/html\r\n\r\n";
  EXPECT_EQ(HeaderValueNamed(block, "Location"), "/next?a=b:c");
  EXPECT_EQ(HeaderValueNamed(block, "CONTENT-TYPE"), "text/html");
  EXPECT_EQ(HeaderValueNamed(block, "Content"), "") << "the whole name";
  EXPECT_EQ(HeaderValueNamed("X-Location: /a\r\n", "Location"), "");
}

TEST(CookieItemsTest, NamesAndIndexes) {
  EXPECT_EQ(CookieName(" sid = 1 "), "sid");
  EXPECT_EQ(CookieName("flag"), "flag");
  EXPECT_EQ(CookieName("a=b=c"), "a");
  const TextList items = {"a=1", " b =2", "c"};
  EXPECT_TRUE(CookieListHasName(items, "b"));
  EXPECT_TRUE(CookieListHasName(items, "c"));
  EXPECT_FALSE(CookieListHasName(items, "B"));
  EXPECT_FALSE(CookieListHasName({}, ""));
  EXPECT_EQ(IndexOfItem(items, "c"), 3);
  EXPECT_EQ(IndexOfItem(items, "b =2"), -1);
  EXPECT_EQ(IndexOfItem({"x", "x"}, "x"), 1);
}

TEST(RemoveDuplicateItemsTest, Table) {
  struct Row {
    std::string text, delimiter, expected;
  } rows[] = {
      {"a; b; a; c; b", "; ", "a; b; c"},
      {"a; a=1", "; ", "a; a=1"},
      {"", "; ", ""},
      {"x,,x,", ",", "x,"},  // the empty item is kept once
      {"a", "; ", "a"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(RemoveDuplicateItems(r.text, r.delimiter), r.expected) << r.text;
}

TEST(MergeCookiesTest, Table) {
  struct Row {
    std::string oldCookies, newCookies;
    std::string merged, newAfter;
  } rows[] = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3;c=4"},
      {"x=5; y=6", "x=deleted", "y=6", "x=deleted"},
      {"", "", "", ""},
      {"a=1", "", "a=1", ""},
      {"", "a=1", "a=1", "a=1"},
      {"a=1", "a=1; a=1", "a=1", "a=1;a=1"},
      {"a=1", "a=1; a=2", "a=1; a=2", "a=1;a=2"},
      {"a=1; a=2; b=3", "", "a=1; b=3", ""},       // first old item of a name only
      {"a=x y", "", "a=xy", ""},                    // spaces inside values go
      {"a=1", "b=2" + kWideSpace + ";", "b=2; a=1", "b=2;"},
      {"a=deleted; b=1", "", "b=1", ""},
      {"deleted=1", "z=deleted", "deleted=1", "z=deleted"},
  };
  for (const Row& r : rows) {
    std::string oldCookies = r.oldCookies, newCookies = r.newCookies;
    EXPECT_EQ(MergeCookies(oldCookies, newCookies), r.merged) << r.oldCookies << " + " << r.newCookies;
    EXPECT_EQ(oldCookies, r.merged) << r.oldCookies << " + " << r.newCookies;
    EXPECT_EQ(newCookies, r.newAfter) << r.oldCookies << " + " << r.newCookies;
  }
}

TEST(HostileTextTest, DanglingLeadBytesStayInBounds) {
  const std::string texts[] = {"\xB0", "a\xB0", "\xA1", ":\xB0", "\xB0=", "a=\xA1"};
  for (const std::string& t : texts) {
    Trim(t);
    RemoveAllSpaces(t);
    NormaliseHeaderCase(t);
    HeaderLineValue(t);
    TextAfterLast(t, "\xB0");
    std::string a = t, b = t;
    MergeCookies(a, b);
  }
  EXPECT_EQ(Trim("a\xB0"), "a\xB0");
  EXPECT_EQ(RemoveAllSpaces("a\xA1"), "a\xA1");
}

}  // namespace
