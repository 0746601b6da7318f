#include "save/file_names.h"

#include <gtest/gtest.h>

namespace {

TEST(SafeFileNameTest, Table) {
  const struct {
    std::string in;
    std::string out;
  } rows[] = {
      {"", ""},
      {"652147895123", "652147895123"},  // ordinary ids and labels stay as they are
      {"淘宝主图图片12", "淘宝主图图片12"},
      {"京东SKU图片3", "京东SKU图片3"},
      {"a b-c_d.e", "a b-c_d.e"},
      {"..", "._"},
      {".", "_"},
      {"...", "._"},
      {"..\\..\\x", ".__.__x"},
      {"../../etc", ".__.__etc"},
      {"a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
      {"C:\\Windows", "C__Windows"},
      {"\\\\server\\share", "__server_share"},
      {std::string("a\0b", 3), "a_b"},
      {"a\tb\r\nc\x7f", "a_b__c_"},
      {"name. . ", "name"},
      {"   ", "_"},
      {"CON", "_CON"},
      {"con.txt", "_con.txt"},
      {"Lpt9", "_Lpt9"},
      {"COM0", "COM0"},
      {"CONSOLE", "CONSOLE"},
      // "乗" is 81 5C in GBK: its trailing byte is a backslash and must stay part of it.
      {"\x81\x5C" "1", "\x81\x5C" "1"},
      // A lead byte followed by a byte that cannot trail it: both read on their own.
      {"\x81/x", "__x"},
      {"\x81", "_"},
      {"a\x80" "b\xFF", "a_b_"},
  };
  for (const auto& r : rows) EXPECT_EQ(SafeFileName(r.in), r.out) << r.in;
}

TEST(SafeFileNameTest, LongNamesAreCutOnACharacterBoundary) {
  std::string ascii(500, 'x');
  EXPECT_EQ(SafeFileName(ascii), std::string(kMaxNameBytes, 'x'));
  std::string chinese;
  for (int i = 0; i < 100; ++i) chinese += "图";
  const std::string cut = SafeFileName("x" + chinese);
  EXPECT_LE(cut.size(), kMaxNameBytes);
  EXPECT_EQ(cut.size() % 2, 1u) << "no half character at the end";
  EXPECT_EQ(SafeFileName(std::string(kMaxNameBytes - 1, 'x') + ". "), std::string(kMaxNameBytes - 1, 'x'));
  // A device name marked at the limit is cut once more.
  const std::string device = "con." + std::string(kMaxNameBytes - 4, 'x');
  EXPECT_EQ(SafeFileName(device), "_" + device.substr(0, kMaxNameBytes - 1));
}

TEST(SafeFileNameTest, NothingThatLeavesTheFolderSurvives) {
  // Every byte pair: the result never holds a separator, a ".." or a trailing dot or space.
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; b += 7) {
      const std::string in = {'.', static_cast<char>(a), static_cast<char>(b), '.', '.'};
      const std::string out = SafeFileName(in);
      ASSERT_FALSE(out.empty());
      ASSERT_EQ(out.find('/'), std::string::npos);
      ASSERT_EQ(out.find(".."), std::string::npos);
      ASSERT_NE(out.back(), '.');
      ASSERT_NE(out.back(), ' ');
      for (size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (c >= 0x81) {
          ++i;  // a kept pair
          continue;
        }
        ASSERT_TRUE(c >= 0x20 && c != 0x7F && c != '\\' && c != ':') << a << " " << b;
      }
    }
  }
}

TEST(WithNumberTailTest, LittleEndian) {
  EXPECT_EQ(WithNumberTail("ab", 9999), std::string("ab\x0F\x27\0\0", 6));
  EXPECT_EQ(WithNumberTail("", 0), std::string(4, '\0'));
  EXPECT_EQ(WithNumberTail(std::string(1, '\0'), 0x01020304), std::string("\0\x04\x03\x02\x01", 5));
}

}  // namespace
