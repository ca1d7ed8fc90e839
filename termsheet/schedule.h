// Schedule rules of a term sheet: observation dates from a first date and a
// frequency, moved off weekends and holidays by a business-day convention,
// payment dates a number of business days later, and per-date values given
// once, as a list or as a step rule. Expansion rewrites a term sheet into the
// explicit form, where every date and value is written out.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "termsheet/holiday_calendars.h"
#include "termsheet/json_text.h"

namespace morvik {

enum class BusinessDayConvention { kFollowing, kModifiedFollowing, kPreceding };

// Most holidays one date rule may list: a calendar of 15 holidays a year
// over six centuries. The list is refused before its dates are read.
inline constexpr std::size_t kMaxHolidays = 10000;

// A rule for a list of observation dates and their payment dates.
struct DateRule {
  int first = 0;          // first observation date, before adjustment
  int months = 0;         // months between observations
  int count = 0;          // number of dates; or 0 with `last`
  int last = 0;           // last observation date (on the rule's rhythm)
  int paymentLag = 0;     // business days from an observation to its payment
  BusinessDayConvention convention = BusinessDayConvention::kFollowing;
  std::vector<int> holidays;  // besides Saturdays and Sundays
  std::vector<HolidayCalendar> calendars;  // named calendars, joined with the holidays
};

// Most names one date rule's "calendars" may list.
inline constexpr std::size_t kMaxCalendars = 16;

// Business days: Monday to Friday, the holidays and the holidays of every
// named calendar excepted. Raises CalendarRangeError for a date outside the
// known years of a named calendar.
bool IsBusinessDay(int date, const std::vector<int>& sortedHolidays,
                   const std::vector<HolidayCalendar>& calendars = {});

// The business day the convention moves `date` to (0 when none lies within a
// month of it). Raises CalendarRangeError as IsBusinessDay.
int AdjustDate(int date, BusinessDayConvention convention, const std::vector<int>& sortedHolidays,
               const std::vector<HolidayCalendar>& calendars = {});

// (observation, payment) pairs of the rule, in date order. Raises
// sheet::FieldError naming `path` when the rule gives no date, a `last`
// date off its rhythm or a date outside the years of a named calendar.
std::vector<std::pair<int, int>> ScheduleDates(const DateRule& rule, const std::string& path);

// Rewrites the rule forms of `root` in place: a "redemption" object with
// "dates" becomes the list of its observation dates, and "coupons" with
// "dates" gets its "schedule" list. Term sheets in the explicit form are
// left as they are. Raises sheet::FieldError.
void ExpandScheduleRules(Json& root);

}  // namespace morvik
