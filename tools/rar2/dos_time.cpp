#include "dos_time.h"

namespace klx::rar2tool {

namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(int64_t days, int64_t* year, int* month, int* day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  *day = int(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  *month = int(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  *year = yearOfEra + era * 400 + (*month <= 2 ? 1 : 0);
}

}  // namespace

uint32_t UnixToDosTime(int64_t seconds) {
  constexpr int64_t kFirst = 315532800;   // 1980-01-01 00:00:00
  constexpr int64_t kLast = 4354819198;   // 2107-12-31 23:59:58
  if (seconds < kFirst) seconds = kFirst;
  if (seconds > kLast) seconds = kLast;
  const int64_t days = seconds / 86400;
  const int64_t secondOfDay = seconds % 86400;
  int64_t year;
  int month;
  int day;
  CivilFromDays(days, &year, &month, &day);
  const uint32_t hour = uint32_t(secondOfDay / 3600);
  const uint32_t minute = uint32_t(secondOfDay / 60 % 60);
  const uint32_t second = uint32_t(secondOfDay % 60);
  return uint32_t(year - 1980) << 25 | uint32_t(month) << 21 | uint32_t(day) << 16 | hour << 11 | minute << 5 |
         second / 2;
}

}  // namespace klx::rar2tool
