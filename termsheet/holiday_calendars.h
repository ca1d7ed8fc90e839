// Named holiday calendars of term sheets, taken from QuantLib: South Korea,
// TARGET, the United States, Japan, Hong Kong and the United Kingdom. A list
// of names is joined: a day is a business day when it is one in every named
// calendar. Each calendar is used only over the years for which QuantLib
// holds its holidays (lunar and one-off days are listed year by year); a
// date outside them is refused, not read as a plain weekday.
#pragma once

#include <string>
#include <vector>

namespace morvik {

enum class HolidayCalendar {
  kSouthKorea,
  kSouthKoreaKrx,
  kTarget,
  kUnitedStates,
  kUnitedStatesNyse,
  kJapan,
  kHongKong,
  kUnitedKingdom,
  kUnitedKingdomExchange,
};

// A calendar's term-sheet name and the years over which it is known.
struct HolidayCalendarInfo {
  const char* name;
  HolidayCalendar calendar;
  int firstYear;
  int lastYear;
};

// Every calendar, in the order the documentation lists them.
const std::vector<HolidayCalendarInfo>& HolidayCalendars();

// The calendar of a term-sheet name; false when the name is not known.
bool FindHolidayCalendar(const std::string& name, HolidayCalendar& calendar);

// "\"south_korea\", \"south_korea_krx\", ..." for error messages.
std::string HolidayCalendarNames();

// Raised by IsCalendarHoliday for a date outside a calendar's known years.
struct CalendarRangeError {
  std::string message;
};

// Whether the weekday `yyyymmdd` is a holiday of `calendar` (weekends are not
// its concern). Raises CalendarRangeError outside the calendar's years.
bool IsCalendarHoliday(HolidayCalendar calendar, int yyyymmdd);

}  // namespace morvik
