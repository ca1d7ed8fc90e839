// Named holiday calendars over QuantLib's calendars.
#include "termsheet/holiday_calendars.h"

#include <ql/time/calendars/hongkong.hpp>
#include <ql/time/calendars/japan.hpp>
#include <ql/time/calendars/southkorea.hpp>
#include <ql/time/calendars/target.hpp>
#include <ql/time/calendars/unitedkingdom.hpp>
#include <ql/time/calendars/unitedstates.hpp>

#include <exception>

#include "termsheet/term_dates.h"

namespace morvik {
namespace {

// The known years: QuantLib's dates end in 2199. South Korea's lunar and
// election holidays are listed for 2004-2032, Hong Kong's lunar holidays for
// 2004-2020 in this QuantLib release (1.29); Japan's equinox rule is
// trusted for 2000-2099 only (it gives 18 March for 2100); TARGET begins
// in 1999.
const std::vector<HolidayCalendarInfo> kCalendars = {
    {"south_korea", HolidayCalendar::kSouthKorea, 2004, 2032},
    {"south_korea_krx", HolidayCalendar::kSouthKoreaKrx, 2004, 2032},
    {"target", HolidayCalendar::kTarget, 1999, 2199},
    {"united_states", HolidayCalendar::kUnitedStates, 1901, 2199},
    {"united_states_nyse", HolidayCalendar::kUnitedStatesNyse, 1901, 2199},
    {"japan", HolidayCalendar::kJapan, 2000, 2099},
    {"hong_kong", HolidayCalendar::kHongKong, 2004, 2020},
    {"united_kingdom", HolidayCalendar::kUnitedKingdom, 1901, 2199},
    {"united_kingdom_exchange", HolidayCalendar::kUnitedKingdomExchange, 1901, 2199},
};

QuantLib::Calendar Make(HolidayCalendar c) {
  using namespace QuantLib;
  switch (c) {
    case HolidayCalendar::kSouthKorea: return SouthKorea(SouthKorea::Settlement);
    case HolidayCalendar::kSouthKoreaKrx: return SouthKorea(SouthKorea::KRX);
    case HolidayCalendar::kTarget: return TARGET();
    case HolidayCalendar::kUnitedStates: return UnitedStates(UnitedStates::Settlement);
    case HolidayCalendar::kUnitedStatesNyse: return UnitedStates(UnitedStates::NYSE);
    case HolidayCalendar::kJapan: return Japan();
    case HolidayCalendar::kHongKong: return HongKong(HongKong::HKEx);
    case HolidayCalendar::kUnitedKingdom: return UnitedKingdom(UnitedKingdom::Settlement);
    case HolidayCalendar::kUnitedKingdomExchange: return UnitedKingdom(UnitedKingdom::Exchange);
  }
  return TARGET();  // not reached: every enumerator is listed
}

const HolidayCalendarInfo& Info(HolidayCalendar c) {
  for (const HolidayCalendarInfo& info : kCalendars) {
    if (info.calendar == c) return info;
  }
  return kCalendars.front();  // not reached: every enumerator is listed
}

}  // namespace

const std::vector<HolidayCalendarInfo>& HolidayCalendars() { return kCalendars; }

bool FindHolidayCalendar(const std::string& name, HolidayCalendar& calendar) {
  for (const HolidayCalendarInfo& info : kCalendars) {
    if (name == info.name) {
      calendar = info.calendar;
      return true;
    }
  }
  return false;
}

std::string HolidayCalendarNames() {
  std::string out;
  for (const HolidayCalendarInfo& info : kCalendars) {
    if (!out.empty()) out += ", ";
    out += std::string("\"") + info.name + "\"";
  }
  return out;
}

bool IsCalendarHoliday(HolidayCalendar calendar, int yyyymmdd) {
  const HolidayCalendarInfo& info = Info(calendar);
  const int year = yyyymmdd / 10000;
  if (year < info.firstYear || year > info.lastYear) {
    throw CalendarRangeError{FormatIsoDate(yyyymmdd) + " is outside the years of \"" + info.name + "\": its holidays are known for " +
                             std::to_string(info.firstYear) + " to " + std::to_string(info.lastYear) + " only"};
  }
  const int month = yyyymmdd / 100 % 100;
  const int day = yyyymmdd % 100;
  try {
    const QuantLib::Date d(static_cast<QuantLib::Day>(day), static_cast<QuantLib::Month>(month), year);
    return Make(calendar).isHoliday(d);
  } catch (const std::exception& e) {
    throw CalendarRangeError{std::string("the calendar \"") + info.name + "\" cannot read " + FormatIsoDate(yyyymmdd) + ": " + e.what()};
  }
}

}  // namespace morvik
