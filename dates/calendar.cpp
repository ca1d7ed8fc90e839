// Calendar dates (yyyymmdd), spreadsheet serial dates (1900 system) and
// signed day differences. All arithmetic is on 32-bit signed integers; the
// accepted ranges keep every intermediate value far from overflow.
#include "dates/calendar.h"

namespace morvik {
namespace {

constexpr int kFirstDate = 19000101;
constexpr int kLastDate = 99991231;

// Largest serial SerialToCalendar converts: 31 December 21599.
constexpr int kLastSerial = 7195278;

constexpr int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Days before month m+1 starts in a common year; entry 12 is the whole year.
constexpr int kDaysBefore[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};

bool IsGregorianLeap(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

struct YearMonthDay {
  int year;
  int month;
  int day;
};

// Splits yyyymmdd without checking month or day.
YearMonthDay Split(int date) {
  YearMonthDay ymd;
  ymd.year = date / 10000;
  ymd.month = (date - ymd.year * 10000) / 100;
  ymd.day = date - (ymd.year * 100 + ymd.month) * 100;
  return ymd;
}

bool InRange(int date) { return date >= kFirstDate && date <= kLastDate; }

// Day in 1..(length of the month), February having 29 days when leap is set.
// The month must already be in 1..12.
bool DayFits(int month, int day, bool leap) {
  const int last = (month == 2 && leap) ? 29 : kDaysInMonth[month - 1];
  return day >= 1 && day <= last;
}

// Splits and checks a date for the day difference (plain Gregorian rule).
bool SplitChecked(int date, YearMonthDay& ymd, bool& leap) {
  ymd = Split(date);
  leap = IsGregorianLeap(ymd.year);
  if (ymd.month < 1 || ymd.month > 12) return false;
  return DayFits(ymd.month, ymd.day, leap);
}

// Smallest k >= 0 with value <= first + step * k, for value >= 1.
int FirstBlockHolding(int value, int first, int step) {
  if (value <= first) return 0;
  return (value - first + step - 1) / step;
}

}  // namespace

int CdrDDiff(int FirstDate, int SecondDate) {
  if (!InRange(FirstDate) || !InRange(SecondDate)) return -1;
  if (SecondDate < FirstDate) return -CdrDDiff(SecondDate, FirstDate);
  if (SecondDate == FirstDate) return 0;

  YearMonthDay a;
  YearMonthDay b;
  bool leap1 = false;
  bool leap2 = false;
  if (!SplitChecked(FirstDate, a, leap1)) return -1;
  if (!SplitChecked(SecondDate, b, leap2)) return -2;

  if (a.year == b.year) {
    int diff = (kDaysBefore[b.month - 1] + b.day) - (kDaysBefore[a.month - 1] + a.day);
    if (leap1 && a.month <= 2 && b.month > 2) diff += 1;
    return diff;
  }

  // Rest of the first year, then the day of the year of the second date.
  int diff = 365 - kDaysBefore[a.month - 1] - a.day;
  if (leap1 && a.month <= 2) diff += 1;
  diff += kDaysBefore[b.month - 1] + b.day;
  if (leap2 && b.month > 2) diff += 1;

  const int y1 = a.year;
  const int y2 = b.year;
  if (y2 - y1 >= 2) {
    // Leap years strictly between y1 and y2.
    const int leaps = (y2 / 4 - y1 / 4) - (y2 / 100 - y1 / 100) + (y2 / 400 - y1 / 400) -
                      (leap2 ? 1 : 0);
    diff += 366 * leaps + 365 * (y2 - y1 - 1 - leaps);
  }
  return diff;
}

bool IsRealCalendarDate(int date) {
  if (!InRange(date)) return false;
  YearMonthDay ymd;
  bool leap = false;
  return SplitChecked(date, ymd, leap);
}

int CalendarToSerial(int CalendarDate) {
  if (!InRange(CalendarDate)) return -1;
  const YearMonthDay ymd = Split(CalendarDate);
  const int year = ymd.year;
  // The serial system counts 1900 as a leap year.
  const bool leap = IsGregorianLeap(year) || year == 1900;
  if (ymd.month < 1 || ymd.month > 12) return -2;
  if (!DayFits(ymd.month, ymd.day, leap)) return -3;

  int serial = year / 400 + 365 * year - year / 100 + year / 4 - 693959;
  if (leap) serial -= 1;
  serial += kDaysBefore[ymd.month - 1];
  if (leap && ymd.month > 2) serial += 1;
  serial += ymd.day;
  return serial;
}

int SerialToCalendar(int SerialDate) {
  if (SerialDate < 1 || SerialDate > kLastSerial) return -1;

  // 400-year block: block 0 is 1900-1999 (36525 days with 29 February 1900),
  // block j >= 1 the years 1600+400j to 1999+400j (146097 days each).
  const int block = FirstBlockHolding(SerialDate, 36525, 146097);
  if (block >= 50) return -1;  // unreachable below kLastSerial; kept as a guard

  int d = (block == 0) ? SerialDate : SerialDate - 146097 * block + 109572;

  // Century within the block: the first has 36525 days, the others 36524.
  int century = 0;
  if (block >= 1) {
    century = FirstBlockHolding(d, 36525, 36524);
    if (century > 3) century = 3;
    if (century >= 1) d = d - 1 - 36524 * century;
  }

  // Four-year group, year within it and day of the year.
  int q = 0;
  int y = 0;
  int dayOfYear = 0;
  bool leapStart = true;  // the group begins with a leap year
  int r = 0;
  if (century == 0) {
    q = (d - 1) / 1461;
    r = d - 1461 * q;
  } else if (d <= 1460) {
    // First group of a later century: four common years.
    leapStart = false;
    y = (d - 1) / 365;
    dayOfYear = d - 365 * y;
  } else {
    q = FirstBlockHolding(d, 1460, 1461);
    r = d - 1461 * q + 1;
  }
  if (leapStart) {
    y = FirstBlockHolding(r, 366, 365);
    dayOfYear = (y == 0) ? r : r - 1 - 365 * y;
  }

  const int base = (block == 0) ? 1900 : 1600 + 400 * block;
  const int year = base + 100 * century + 4 * q + y;

  const int leap = (IsGregorianLeap(year) || year == 1900) ? 1 : 0;
  int month = 12;
  for (int m = 1; m <= 12; ++m) {
    const int end = kDaysBefore[m] + (m >= 2 ? leap : 0);
    if (end >= dayOfYear) {
      month = m;
      break;
    }
  }
  const int day = dayOfYear - kDaysBefore[month - 1] - (month >= 3 ? leap : 0);
  return year * 10000 + month * 100 + day;
}

}  // namespace morvik
