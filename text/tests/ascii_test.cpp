#include "text/ascii.h"

#include <gtest/gtest.h>

namespace {

// Every byte: only 'A'-'Z' lower and only 'a'-'z' rise; the neighbours of the letter ranges and
// the bytes of two-byte characters stay as they are.
TEST(AsciiTest, CaseChangesLettersOnly) {
  for (int b = 0; b < 256; ++b) {
    const char c = static_cast<char>(b);
    EXPECT_EQ(LowerAscii(c), b >= 'A' && b <= 'Z' ? static_cast<char>(b + 32) : c) << b;
    EXPECT_EQ(UpperAscii(c), b >= 'a' && b <= 'z' ? static_cast<char>(b - 32) : c) << b;
  }
  EXPECT_EQ(LowerAsciiCopy("HTTPS://Ab.CN/@[`{\xD6\xD0"), "https://ab.cn/@[`{\xD6\xD0");
}

TEST(AsciiTest, ComparisonsIgnoringCase) {
  struct Row {
    std::string_view text, other;
    bool equal, startsWith;
  } rows[] = {
      {"HTTPS://x", "https://", false, true},
      {"Charset", "cHARSET", true, true},
      {"http", "https://", false, false},  // the prefix is longer than the text
      {"@", "`", false, false},            // neighbours of the letter ranges differ in case too
      {"[", "{", false, false},
      {"", "", true, true},
      {"\xC1", "\xE1", false, false},  // bytes above ASCII have no case
  };
  for (const Row& r : rows) {
    EXPECT_EQ(EqualsIgnoringAsciiCase(r.text, r.other), r.equal) << r.text << " " << r.other;
    EXPECT_EQ(StartsWithIgnoringAsciiCase(r.text, r.other), r.startsWith) << r.text << " " << r.other;
  }
}

TEST(AsciiTest, ByteClasses) {
  struct Row {
    char c;
    bool word, blank;
    int hex;
  } rows[] = {
      {'a', true, false, 10}, {'F', true, false, 15}, {'f', true, false, 15}, {'g', true, false, -1},
      {'G', true, false, -1}, {'0', true, false, 0},  {'9', true, false, 9},  {'_', true, false, -1},
      {'/', false, false, -1}, {':', false, false, -1}, {'@', false, false, -1}, {'`', false, false, -1},
      {'-', false, false, -1}, {' ', false, true, -1}, {'\t', false, true, -1}, {'\r', false, true, -1},
      {'\n', false, true, -1}, {'\v', false, false, -1}, {'\xD6', false, false, -1},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(IsWordByte(r.c), r.word) << static_cast<int>(r.c);
    EXPECT_EQ(IsBlank(r.c), r.blank) << static_cast<int>(r.c);
    EXPECT_EQ(HexDigitValue(r.c), r.hex) << static_cast<int>(r.c);
  }
}

TEST(AsciiTest, HexBytes) {
  std::string out;
  for (unsigned char b : {0x00, 0x0A, 0x5C, 0xF0, 0xFF}) AppendHexByte(out, b);
  EXPECT_EQ(out, "000a5cf0ff");
  out.clear();
  for (unsigned char b : {0x7B, 0xAF}) AppendHexByte(out, b, HexCase::Upper);
  EXPECT_EQ(out, "7BAF");
}

}  // namespace
