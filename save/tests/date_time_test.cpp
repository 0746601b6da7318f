#include "save/date_time.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

TEST(DateTimeTest, PartsRoundTripAndKnownValues) {
  struct Row {
    DateParts parts;
    double value;
  } rows[] = {
      {{1899, 12, 30, 0, 0, 0}, 0.0},
      {{1900, 1, 1, 0, 0, 0}, 2.0},
      {{1899, 12, 29, 6, 0, 0}, -1.25},  // before day 0 the fraction still counts forward
      {{2026, 12, 6, 9, 45, 33}, 46362.0 + (9 * 3600 + 45 * 60 + 33) / 86400.0},
      {{100, 1, 1, 0, 0, 0}, -657434.0},
      {{9999, 12, 31, 0, 0, 0}, 2958465.0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.value);
    EXPECT_NEAR(DateFromParts(r.parts), r.value, 1e-7);
    const DateParts back = PartsOfDate(r.value);
    EXPECT_EQ(back.year, r.parts.year);
    EXPECT_EQ(back.month, r.parts.month);
    EXPECT_EQ(back.day, r.parts.day);
    EXPECT_EQ(back.hour, r.parts.hour);
    EXPECT_EQ(back.minute, r.parts.minute);
    EXPECT_EQ(back.second, r.parts.second);
  }
}

TEST(DateTimeTest, PartsAreClamped) {
  struct Row {
    DateParts in;
    const char* text;
  } rows[] = {
      {{0, 0, 0, 0, 0, 0}, "100年1月1日"},  // an empty record
      {{2023, 2, 31, 0, 0, 0}, "2023年2月28日"},
      {{2024, 2, 31, 0, 0, 0}, "2024年2月29日"},
      {{1900, 2, 29, 0, 0, 0}, "1900年2月28日"},  // not a leap year
      {{2000, 2, 30, 0, 0, 0}, "2000年2月29日"},
      {{12000, 13, 40, 30, 70, 70}, "9999年12月31日23时59分59秒"},
      {{-5, -1, -1, -1, -1, -1}, "100年1月1日"},
  };
  for (const Row& r : rows) EXPECT_EQ(TimeText(DateFromParts(r.in)), r.text);
}

TEST(DateTimeTest, TimeTextShowsDownToTheLastPartThatIsNotZero) {
  struct Row {
    DateParts parts;
    std::int64_t addSeconds;
    const char* text;
  } rows[] = {
      {{2026, 12, 6, 9, 45, 33}, 8 * 3600, "2026年12月6日17时45分33秒"},
      {{2026, 12, 6, 16, 0, 0}, 8 * 3600, "2026年12月7日"},  // midnight: the date only
      {{2026, 12, 6, 9, 45, 0}, 0, "2026年12月6日9时45分"},
      {{2026, 12, 6, 9, 0, 0}, 0, "2026年12月6日9时"},
      {{2026, 12, 6, 0, 0, 5}, 0, "2026年12月6日0时0分5秒"},
      {{2026, 12, 31, 20, 0, 0}, 8 * 3600, "2027年1月1日4时"},  // across the year
      {{0, 0, 0, 0, 0, 0}, 8 * 3600, "100年1月1日8时"},  // before day 0
      {{1899, 12, 29, 20, 0, 0}, 8 * 3600, "1899年12月30日4时"},  // across day 0
      {{9999, 12, 31, 23, 0, 0}, 8 * 3600, "9999年12月31日23时59分59秒"},  // stops at the last second
  };
  for (const Row& r : rows) EXPECT_EQ(TimeText(AddSeconds(DateFromParts(r.parts), r.addSeconds)), r.text);
}

TEST(DateTimeTest, StatusLine) {
  EXPECT_EQ(StatusLineText(DateFromParts({2026, 12, 6, 17, 45, 33}), "读取 淘宝主图图片1"),
            "2026年12月6日17时45分33秒 - 读取 淘宝主图图片1");
}

// Unlike the status line's text, the name keeps every part, so names of one day sort by time.
TEST(DateTimeTest, TimeNameKeepsEveryPart) {
  EXPECT_EQ(TimeName(DateFromParts({2026, 12, 6, 17, 45, 33})), "20261206-174533");
  EXPECT_EQ(TimeName(DateFromParts({2027, 1, 1, 0, 0, 0})), "20270101-000000");
  EXPECT_EQ(TimeName(1e300), "99991231-235959");
}

TEST(DateTimeTest, ValuesFarOutsideTheCalendarAreClamped) {
  EXPECT_EQ(TimeText(1e300), "9999年12月31日23时59分59秒");
  EXPECT_EQ(TimeText(-1e300), "100年1月1日");
  EXPECT_EQ(TimeText(0.0 / 0.0), "100年1月1日");
  EXPECT_EQ(TimeText(DateFromUnixTime(INT64_MAX)), "9999年12月31日23时59分59秒");
  EXPECT_EQ(TimeText(DateFromUnixTime(INT64_MIN)), "100年1月1日");
  EXPECT_EQ(TimeText(AddSeconds(-1e300, INT64_MIN)), "100年1月1日");
  EXPECT_EQ(TimeText(AddSeconds(1e300, INT64_MAX)), "9999年12月31日23时59分59秒");
}

TEST(DateTimeTest, UnixTimeAndTheChinaClock) {
  EXPECT_EQ(TimeText(DateFromUnixTime(0)), "1970年1月1日");
  EXPECT_EQ(TimeText(DateFromUnixTime(1796550333)), "2026年12月6日9时45分33秒");
  // The computer's clock moved to UTC + 8, within a few seconds of now.
  const double expected = DateFromUnixTime(static_cast<std::int64_t>(std::time(nullptr)) + 8 * 3600);
  EXPECT_NEAR(CurrentChinaTime(), expected, 5.0 / 86400);
}

}  // namespace
