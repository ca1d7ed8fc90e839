// ISO dates and date arithmetic on the library's calendar.
#include "termsheet/term_dates.h"

#include <cstdio>

#include "dates/calendar.h"

namespace morvik {
namespace {

constexpr const char* kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

int DaysInMonth(int year, int month) {
  for (int day = 31; day > 28; --day) {
    if (IsRealCalendarDate(year * 10000 + month * 100 + day)) return day;
  }
  return 28;
}

bool Digits(const std::string& s, std::size_t from, std::size_t count, int& value) {
  value = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    value = value * 10 + (s[i] - '0');
  }
  return true;
}

}  // namespace

bool ReadIsoDate(const std::string& text, int& yyyymmdd, std::string& why) {
  int y = 0, m = 0, d = 0;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !Digits(text, 0, 4, y) || !Digits(text, 5, 2, m) ||
      !Digits(text, 8, 2, d)) {
    why = "expected a date as YYYY-MM-DD, got \"" + text + "\"";
    return false;
  }
  if (m < 1 || m > 12) {
    why = "\"" + text + "\" is not a date: there is no month " + std::to_string(m);
    return false;
  }
  if (y < 1900) {
    why = "\"" + text + "\" is out of range: dates run from 1900-01-01 to 9999-12-31";
    return false;
  }
  const int last = DaysInMonth(y, m);
  if (d < 1 || d > last) {
    why = "\"" + text + "\" is not a date: " + kMonths[m - 1] + " " + std::to_string(y) + " has " +
          std::to_string(last) + " days";
    return false;
  }
  yyyymmdd = y * 10000 + m * 100 + d;
  return true;
}

bool ParseIsoDate(const std::string& text, int& yyyymmdd) {
  std::string why;
  return ReadIsoDate(text, yyyymmdd, why);
}

std::string FormatIsoDate(int yyyymmdd) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", yyyymmdd / 10000, (yyyymmdd / 100) % 100, yyyymmdd % 100);
  return buf;
}

int DaysBetween(int fromDate, int toDate) { return CdrDDiff(fromDate, toDate); }

int AddDays(int date, int days) {
  if (!IsRealCalendarDate(date)) return 0;
  // Serial dates hold a 29 February 1900 that the calendar does not: a step
  // across it lands one day short, which the day count then corrects.
  int result = SerialToCalendar(CalendarToSerial(date) + days);
  for (int attempt = 0; attempt < 2 && result > 0; ++attempt) {
    if (result == 19000229) result = days >= 0 ? 19000301 : 19000228;
    if (!IsRealCalendarDate(result)) return 0;
    const int miss = days - CdrDDiff(date, result);
    if (miss == 0) return result;
    result = SerialToCalendar(CalendarToSerial(result) + miss);
  }
  return 0;
}

int AddMonths(int date, int months) {
  const int y = date / 10000;
  const int m = (date / 100) % 100;
  const int d = date % 100;
  const long long total = static_cast<long long>(y) * 12 + (m - 1) + months;
  if (total < 1900LL * 12 || total > 9999LL * 12 + 11) return 0;
  const int ny = static_cast<int>(total / 12);
  const int nm = static_cast<int>(total % 12) + 1;
  const int last = DaysInMonth(ny, nm);
  return ny * 10000 + nm * 100 + (d < last ? d : last);
}

int Weekday(int date) {
  // 1 January 1900 was a Monday.
  const int n = CdrDDiff(19000101, date);
  return ((n % 7) + 7) % 7;
}

}  // namespace morvik
