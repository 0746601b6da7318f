#pragma once
// Date-time values as the runtime keeps them: days since 30 December 1899 as a double, the
// fraction being the time of day (before that day the fraction still counts forward from
// midnight, so -1.25 is 29 December 1899, 06:00).

#include <cstdint>
#include <string>

struct DateParts {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// Parts out of range are clamped: year 100-9999, month 1-12, day 1 to the month's length,
// hour 0-23, minute and second 0-59.
double DateFromParts(const DateParts& parts);
// To the nearest second; values outside the years 100-9999 are clamped to them.
DateParts PartsOfDate(double date);

double AddSeconds(double date, std::int64_t seconds);
double DateFromUnixTime(std::int64_t secondsSince1970);
// The computer's clock in China Standard Time (UTC + 8 hours).
double CurrentChinaTime();
inline constexpr std::int64_t kChinaTimeOffsetSeconds = 8 * 3600;

// "2026年12月6日17时45分33秒": the date, then the time down to its last part that is not 0
// (hours, minutes, seconds), or nothing at midnight.
std::string TimeText(double date);
// "20261206-174533": the date and the time to the second, digits only, as a name that sorts by
// time.
std::string TimeName(double date);
// The status line: time text, " - ", message.
std::string StatusLineText(double date, const std::string& message);
