// Date values and the time text: any number, however far outside the calendar or not a number at
// all, gives a real date within the years 100-9999, and parts survive the way through a value.
//
// Input: a double, six 32-bit date parts (year, month, day, hour, minute, second) and a 64-bit count
// of seconds, little-endian; a short input is filled with zero bytes.
#include <algorithm>
#include <cstring>
#include <string>

#include "fuzz/fuzz_input.h"
#include "save/date_time.h"

namespace {

struct Input {
  double date;
  int32_t parts[6];
  int64_t seconds;
};

int DaysIn(int year, int month) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

void CheckInCalendar(const DateParts& p) {
  FUZZ_CHECK(p.year >= 100 && p.year <= 9999);
  FUZZ_CHECK(p.month >= 1 && p.month <= 12);
  FUZZ_CHECK(p.day >= 1 && p.day <= DaysIn(p.year, p.month));
  FUZZ_CHECK(p.hour >= 0 && p.hour <= 23 && p.minute >= 0 && p.minute <= 59 && p.second >= 0 && p.second <= 59);
}

bool Same(const DateParts& a, const DateParts& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
         a.second == b.second;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in{};
  std::memcpy(&in, data, std::min(size, sizeof in));

  const DateParts parts = PartsOfDate(in.date);
  CheckInCalendar(parts);
  FUZZ_CHECK(Same(PartsOfDate(DateFromParts(parts)), parts));
  FUZZ_CHECK(TimeText(in.date).starts_with(std::to_string(parts.year) + "年"));

  // Out-of-range parts are clamped one by one, the day to the length of the clamped month.
  const DateParts wanted{in.parts[0], in.parts[1], in.parts[2], in.parts[3], in.parts[4], in.parts[5]};
  DateParts clamped;
  clamped.year = std::clamp(wanted.year, 100, 9999);
  clamped.month = std::clamp(wanted.month, 1, 12);
  clamped.day = std::clamp(wanted.day, 1, DaysIn(clamped.year, clamped.month));
  clamped.hour = std::clamp(wanted.hour, 0, 23);
  clamped.minute = std::clamp(wanted.minute, 0, 59);
  clamped.second = std::clamp(wanted.second, 0, 59);
  FUZZ_CHECK(Same(PartsOfDate(DateFromParts(wanted)), clamped));

  CheckInCalendar(PartsOfDate(AddSeconds(in.date, in.seconds)));
  CheckInCalendar(PartsOfDate(DateFromUnixTime(in.seconds)));
  StatusLineText(in.date, "");
  return 0;
}
