#include "batch/batch_file.h"

#include <gtest/gtest.h>

#include "batch/tests/utf8_words.h"

namespace {

struct Expected {
  int line;
  std::string link;
  std::optional<Platform> platform;
};

TEST(ReadBatchTextTest, Lines) {
  const std::string text =
      "# 上新 12月\r\n"
      "\r\n"
      "淘宝数据 http://shop.example.com/item?id=1\r\n"
      "天猫数据\thttps://item.taobao.com/item.htm?id=2\r\n"
      "  https://item.jd.com/3.html  \r\n"
      "detail.1688.com/offer/4.html\n"
      "//item.taobao.com/item.htm?id=22\n"
      "https://m.tb.cn/h.5\n"
      "https://detail.tmall.hk/item.htm?id=6\n"
      "https://3.cn/7\n"
      "https://item.jd.hk/8.html\n"
      "https://detail.tmall.com/item.htm?id=9\n"
      "http://item.jd.localhost:41509/10.html\n"
      "https://notjd.com/11.html\n"
      "hello world\n"
      "淘宝数据\n"
      "京东数据x https://item.jd.com/1.html\n"
      "ftp://item.jd.com/1.html\n"
      "   \t\n"
      "#https://item.jd.com/1.html\n"
      "x\xE8\n"  // a stray lead byte (not quite GBK) keeps to its line
      "https://item.jd.com/20.html";
  const BatchFile file = ReadBatchText(text, Utf8ToGbk);
  const Expected expected[] = {
      {3, "http://shop.example.com/item?id=1", Platform::Taobao},  // the button name chooses
      {4, "https://item.taobao.com/item.htm?id=2", Platform::Tmall},
      {5, "https://item.jd.com/3.html", Platform::Jd},
      {6, "detail.1688.com/offer/4.html", Platform::Alibaba},
      {7, "//item.taobao.com/item.htm?id=22", Platform::Taobao},
      {8, "https://m.tb.cn/h.5", Platform::Taobao},
      {9, "https://detail.tmall.hk/item.htm?id=6", Platform::Tmall},
      {10, "https://3.cn/7", Platform::Jd},
      {11, "https://item.jd.hk/8.html", Platform::Jd},
      {12, "https://detail.tmall.com/item.htm?id=9", Platform::Tmall},
      {13, "http://item.jd.localhost:41509/10.html", Platform::Jd},
      {14, "https://notjd.com/11.html", std::nullopt},  // whole labels only: no platform's host
      {15, "hello world", std::nullopt},
      {16, "淘宝数据", std::nullopt},
      {17, "京东数据x https://item.jd.com/1.html", std::nullopt},
      {18, "ftp://item.jd.com/1.html", std::nullopt},
      {21, "x\xE8", std::nullopt},
      {22, "https://item.jd.com/20.html", Platform::Jd},
  };
  ASSERT_EQ(file.links.size(), std::size(expected));
  for (size_t i = 0; i < file.links.size(); ++i) {
    const BatchLink& got = file.links[i];
    EXPECT_EQ(got.line, expected[i].line) << i;
    EXPECT_EQ(got.link, expected[i].link) << i;
    EXPECT_EQ(got.platform, expected[i].platform) << got.link;
    // Every line that cannot be harvested says why.
    EXPECT_EQ(got.problem.empty(), got.platform.has_value()) << got.link;
  }
  EXPECT_TRUE(file.problem.empty());
}

TEST(ReadBatchTextTest, Encodings) {
  const std::string link = " https://item.taobao.com/item.htm?id=1\r\n";
  struct Row {
    const char* name;
    std::string bytes;
    std::optional<Platform> platform;
  } rows[] = {
      {"GBK", "天猫数据" + link, Platform::Tmall},
      {"UTF-8", kTmallButtonUtf8 + link, Platform::Tmall},
      {"UTF-8 with its mark", "\xEF\xBB\xBF" + kTmallButtonUtf8 + link, Platform::Tmall},
      // The mark alone says UTF-8, even for a text of ASCII only.
      {"ASCII with the mark", "\xEF\xBB\xBF" + link.substr(1), Platform::Taobao},
  };
  for (const Row& r : rows) {
    const BatchFile file = ReadBatchText(r.bytes, Utf8ToGbk);
    ASSERT_EQ(file.links.size(), 1u) << r.name;
    EXPECT_EQ(file.links[0].link, "https://item.taobao.com/item.htm?id=1") << r.name;
    EXPECT_EQ(file.links[0].platform, r.platform) << r.name;
  }
  const BatchFile utf16 = ReadBatchText(std::string("\xFF\xFEh\0t\0", 6), Utf8ToGbk);
  EXPECT_TRUE(utf16.links.empty());
  EXPECT_FALSE(utf16.problem.empty());
}

// The file's every link is read; how many one batch takes is the batch's business.
TEST(ReadBatchTextTest, EveryLinkPastTheBatchsCapIsRead) {
  std::string text;
  for (size_t i = 0; i < kMaxBatchLinks + 3; ++i) text += "https://item.jd.com/" + std::to_string(i) + ".html\n# skipped\n";
  const BatchFile file = ReadBatchText(text, Utf8ToGbk);
  ASSERT_EQ(file.links.size(), kMaxBatchLinks + 3);
  EXPECT_EQ(file.links.back().link, "https://item.jd.com/10002.html");
  EXPECT_EQ(file.links.back().line, 20005);
}

}  // namespace
