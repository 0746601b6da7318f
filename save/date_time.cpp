#include "save/date_time.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

// Days from 1970-01-01 in the proleptic Gregorian calendar (H. Hinnant's civil-date algorithm).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2));
  *month = static_cast<int>(m);
  *day = static_cast<int>(d);
}

// Day 0 of the date-time values, counted from 1970-01-01.
constexpr std::int64_t kEpochDays = DaysFromCivil(1899, 12, 30);
constexpr std::int64_t kFirstSecond = (DaysFromCivil(100, 1, 1) - kEpochDays) * kSecondsPerDay;
constexpr std::int64_t kLastSecond = (DaysFromCivil(9999, 12, 31) - kEpochDays + 1) * kSecondsPerDay - 1;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Seconds from day 0 on a straight time line, to the nearest second and within the years
// 100-9999 (a NaN counts as the first of them).
std::int64_t LinearSeconds(double date) {
  const double first = static_cast<double>(kFirstSecond) / kSecondsPerDay - 1;
  const double last = static_cast<double>(kLastSecond) / kSecondsPerDay + 1;
  if (!(date >= first)) date = first;
  if (date > last) date = last;
  const double whole = std::trunc(date);
  const double linear = date >= 0 ? date : whole + (whole - date);
  std::int64_t seconds = std::llround(linear * kSecondsPerDay);
  if (seconds < kFirstSecond) seconds = kFirstSecond;
  if (seconds > kLastSecond) seconds = kLastSecond;
  return seconds;
}

double DateFromLinearSeconds(std::int64_t seconds) {
  const std::int64_t days = FloorDiv(seconds, kSecondsPerDay);
  const double fraction = static_cast<double>(seconds - days * kSecondsPerDay) / kSecondsPerDay;
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

}  // namespace

double DateFromParts(const DateParts& parts) {
  const int year = Clamp(parts.year, 100, 9999);
  const int month = Clamp(parts.month, 1, 12);
  const int day = Clamp(parts.day, 1, DaysInMonth(year, month));
  const int hour = Clamp(parts.hour, 0, 23);
  const int minute = Clamp(parts.minute, 0, 59);
  const int second = Clamp(parts.second, 0, 59);
  const std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochDays;
  return DateFromLinearSeconds(days * kSecondsPerDay + hour * 3600 + minute * 60 + second);
}

DateParts PartsOfDate(double date) {
  const std::int64_t seconds = LinearSeconds(date);
  const std::int64_t days = FloorDiv(seconds, kSecondsPerDay);
  const std::int64_t inDay = seconds - days * kSecondsPerDay;
  DateParts parts;
  CivilFromDays(days + kEpochDays, &parts.year, &parts.month, &parts.day);
  parts.hour = static_cast<int>(inDay / 3600);
  parts.minute = static_cast<int>(inDay / 60 % 60);
  parts.second = static_cast<int>(inDay % 60);
  return parts;
}

double AddSeconds(double date, std::int64_t seconds) {
  // A move longer than the whole calendar ends at its edge anyway; clamped, the sum cannot overflow.
  const std::int64_t span = kLastSecond - kFirstSecond;
  std::int64_t moved = LinearSeconds(date) + std::clamp(seconds, -span, span);
  if (moved < kFirstSecond) moved = kFirstSecond;
  if (moved > kLastSecond) moved = kLastSecond;
  return DateFromLinearSeconds(moved);
}

double DateFromUnixTime(std::int64_t secondsSince1970) {
  // Far outside the years 100-9999 the sum could overflow; clamp first.
  const std::int64_t limit = std::int64_t{1} << 40;
  if (secondsSince1970 > limit) secondsSince1970 = limit;
  if (secondsSince1970 < -limit) secondsSince1970 = -limit;
  return AddSeconds(0.0, secondsSince1970 - kEpochDays * kSecondsPerDay);
}

double CurrentChinaTime() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const std::int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
  return DateFromUnixTime(seconds + kChinaTimeOffsetSeconds);
}

std::string TimeText(double date) {
  const DateParts p = PartsOfDate(date);
  std::string text = std::to_string(p.year) + "年" + std::to_string(p.month) + "月" +
                     std::to_string(p.day) + "日";
  if (p.second != 0) {
    text += std::to_string(p.hour) + "时" + std::to_string(p.minute) + "分" + std::to_string(p.second) + "秒";
  } else if (p.minute != 0) {
    text += std::to_string(p.hour) + "时" + std::to_string(p.minute) + "分";
  } else if (p.hour != 0) {
    text += std::to_string(p.hour) + "时";
  }
  return text;
}

std::string TimeName(double date) {
  const DateParts p = PartsOfDate(date);
  char name[32];
  std::snprintf(name, sizeof name, "%04d%02d%02d-%02d%02d%02d", p.year, p.month, p.day, p.hour, p.minute, p.second);
  return name;
}

std::string StatusLineText(double date, const std::string& message) {
  return TimeText(date) + " - " + message;
}
