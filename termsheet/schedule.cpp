// Schedule rules and their expansion into the explicit term-sheet form.
#include "termsheet/schedule.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "termsheet/json_fields.h"
#include "termsheet/term_dates.h"

namespace morvik {
namespace {

using namespace sheet;

// Largest schedule a rule may make: 50 years of monthly dates.
constexpr long long kMaxDates = 600;
constexpr long long kMaxLag = 60;

DateRule ReadDateRule(const Json& v, const std::string& path) {
  Object(v, path);
  CheckKeys(v, path, {"first", "frequency", "months", "count", "last", "payment_lag", "convention", "holidays",
                     "calendars"});
  DateRule r;
  r.first = Date(Require(v, path, "first"), Key(path, "first"));
  const Json* freq = Find(v, "frequency");
  const Json* months = Find(v, "months");
  if ((freq == nullptr) == (months == nullptr)) {
    Fail(Key(path, "frequency"), "expected either \"frequency\" or \"months\" (a whole number of months)");
  }
  if (freq != nullptr) {
    r.months = Choice(*freq, Key(path, "frequency"),
                      {{"monthly", 1}, {"quarterly", 3}, {"semiannual", 6}, {"annual", 12}});
  } else {
    r.months = static_cast<int>(WholeNumber(*months, Key(path, "months"), 1, 120));
  }
  const Json* count = Find(v, "count");
  const Json* last = Find(v, "last");
  if ((count == nullptr) == (last == nullptr)) {
    Fail(Key(path, "count"), "expected either \"count\" or \"last\" (the last observation date)");
  }
  if (count != nullptr) r.count = static_cast<int>(WholeNumber(*count, Key(path, "count"), 1, kMaxDates));
  if (last != nullptr) r.last = Date(*last, Key(path, "last"));
  r.paymentLag = static_cast<int>(WholeNumber(Require(v, path, "payment_lag"), Key(path, "payment_lag"), 0, kMaxLag));
  if (const Json* c = Find(v, "convention")) {
    r.convention = static_cast<BusinessDayConvention>(
        Choice(*c, Key(path, "convention"),
               {{"following", static_cast<int>(BusinessDayConvention::kFollowing)},
                {"modified_following", static_cast<int>(BusinessDayConvention::kModifiedFollowing)},
                {"preceding", static_cast<int>(BusinessDayConvention::kPreceding)}}));
  }
  if (const Json* h = Find(v, "holidays")) {
    const std::string hp = Key(path, "holidays");
    Array(*h, hp);
    if (h->size() > kMaxHolidays) {
      Fail(hp, "expected at most " + std::to_string(kMaxHolidays) + " holidays, got " + std::to_string(h->size()));
    }
    for (std::size_t k = 0; k < h->size(); ++k) r.holidays.push_back(Date((*h)[k], At(hp, k)));
    std::sort(r.holidays.begin(), r.holidays.end());
  }
  if (const Json* c = Find(v, "calendars")) {
    const std::string cp = Key(path, "calendars");
    Array(*c, cp);
    if (c->size() > kMaxCalendars) {
      Fail(cp, "expected at most " + std::to_string(kMaxCalendars) + " calendars, got " + std::to_string(c->size()));
    }
    for (std::size_t k = 0; k < c->size(); ++k) {
      const std::string name = Text((*c)[k], At(cp, k));
      HolidayCalendar cal{};
      if (!FindHolidayCalendar(name, cal)) {
        Fail(At(cp, k), "unknown calendar \"" + name + "\"; expected one of " + HolidayCalendarNames());
      }
      if (std::find(r.calendars.begin(), r.calendars.end(), cal) == r.calendars.end()) r.calendars.push_back(cal);
    }
  }
  return r;
}

// `raw` as a person would write it: 12 significant digits, so that steps of
// 0.0275 give 0.0825 and not 0.08249999999999999.
double Decimal(double raw) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.12g", raw);
  return std::strtod(buf, nullptr);
}

// A value for each of `count` dates: one value for all, a list with one
// entry per date, or a step rule {"start", "step", "every", "floor"}: the
// value starts at `start` and moves by `step` every `every` dates (default
// 1), never below `floor`.
std::vector<Json> PerDate(const Json& v, const std::string& path, std::size_t count) {
  if (v.is_array()) {
    CheckSize(v, path, count, "one per date");
    return std::vector<Json>(v.begin(), v.end());
  }
  if (!v.is_object()) return std::vector<Json>(count, v);
  CheckKeys(v, path, {"start", "step", "every", "floor"});
  const double start = Number(Require(v, path, "start"), Key(path, "start"));
  const double step = Number(Require(v, path, "step"), Key(path, "step"));
  const Json* every = Find(v, "every");
  const long long n = every ? WholeNumber(*every, Key(path, "every"), 1, kMaxDates) : 1;
  const Json* floorV = Find(v, "floor");
  const double floorValue = floorV ? Number(*floorV, Key(path, "floor")) : 0.0;
  std::vector<Json> out;
  for (std::size_t k = 0; k < count; ++k) {
    double value = Decimal(start + static_cast<double>(static_cast<long long>(k) / n) * step);
    if (floorV != nullptr && value < floorValue) value = floorValue;
    out.emplace_back(value);
  }
  return out;
}

void ExpandTier(const Json& tier, const std::string& path, std::size_t count, std::vector<Json>& entries) {
  Object(tier, path);
  CheckKeys(tier, path, {"strike", "slope", "amount"});
  const std::vector<Json> strike = PerDate(Require(tier, path, "strike"), Key(path, "strike"), count);
  const std::vector<Json> amount = PerDate(Require(tier, path, "amount"), Key(path, "amount"), count);
  std::vector<Json> slope;
  if (const Json* s = Find(tier, "slope")) slope = PerDate(*s, Key(path, "slope"), count);
  for (std::size_t k = 0; k < count; ++k) {
    Json t = Json::object();
    t["strike"] = strike[k];
    if (!slope.empty()) t["slope"] = slope[k];
    t["amount"] = amount[k];
    entries[k]["tiers"].push_back(std::move(t));
  }
}

Json ExpandRedemption(const Json& r, const std::string& path) {
  CheckKeys(r, path, {"dates", "tiers", "strike", "slope", "amount", "window", "window_rule", "knock_out_barrier",
                      "redemption_coupon"});
  const std::vector<std::pair<int, int>> dates =
      ScheduleDates(ReadDateRule(Require(r, path, "dates"), Key(path, "dates")), Key(path, "dates"));
  const std::size_t n = dates.size();
  std::vector<Json> entries(n, Json::object());
  for (std::size_t k = 0; k < n; ++k) {
    entries[k]["observation"] = FormatIsoDate(dates[k].first);
    entries[k]["payment"] = FormatIsoDate(dates[k].second);
  }
  if (const Json* w = Find(r, "window")) {
    const std::vector<Json> win = PerDate(*w, Key(path, "window"), n);
    for (std::size_t k = 0; k < n; ++k) entries[k]["window"] = win[k];
  }
  if (const Json* rule = Find(r, "window_rule")) {
    for (std::size_t k = 0; k < n; ++k) entries[k]["window_rule"] = *rule;
  }
  for (std::size_t k = 0; k < n; ++k) entries[k]["tiers"] = Json::array();
  const Json* tiers = Find(r, "tiers");
  const bool shorthand = Find(r, "strike") != nullptr || Find(r, "amount") != nullptr || Find(r, "slope") != nullptr;
  if ((tiers != nullptr) == shorthand) {
    Fail(Key(path, "tiers"), "expected either \"tiers\" or one tier's \"strike\" and \"amount\"");
  }
  if (tiers != nullptr) {
    const std::string tp = Key(path, "tiers");
    Array(*tiers, tp);
    if (tiers->empty() || tiers->size() > 4) Fail(tp, "expected 1 to 4 tiers");
    for (std::size_t t = 0; t < tiers->size(); ++t) ExpandTier((*tiers)[t], At(tp, t), n, entries);
  } else {
    Json tier = Json::object();
    for (const char* k : {"strike", "slope", "amount"}) {
      if (const Json* v = Find(r, k)) tier[k] = *v;
    }
    ExpandTier(tier, path, n, entries);
  }
  if (const Json* ko = Find(r, "knock_out_barrier")) {
    const std::vector<Json> b = PerDate(*ko, Key(path, "knock_out_barrier"), n);
    for (std::size_t k = 0; k < n; ++k) entries[k]["knock_out_barrier"] = b[k];
  }
  if (const Json* rc = Find(r, "redemption_coupon")) {
    // Paid on every date but the last: a list has one entry per such date.
    if (n > 1) {
      const std::vector<Json> c = PerDate(*rc, Key(path, "redemption_coupon"), n - 1);
      for (std::size_t k = 0; k + 1 < n; ++k) entries[k]["redemption_coupon"] = c[k];
    }
  }
  return Json(entries);
}

Json ExpandCoupons(const Json& c, const std::string& path) {
  CheckKeys(c, path, {"barrier_monitoring", "dates", "barrier", "amount"});
  const std::vector<std::pair<int, int>> dates =
      ScheduleDates(ReadDateRule(Require(c, path, "dates"), Key(path, "dates")), Key(path, "dates"));
  const std::size_t n = dates.size();
  const std::vector<Json> barrier = PerDate(Require(c, path, "barrier"), Key(path, "barrier"), n);
  const std::vector<Json> amount = PerDate(Require(c, path, "amount"), Key(path, "amount"), n);
  Json out = Json::object();
  for (auto it = c.begin(); it != c.end(); ++it) {
    const std::string& k = it.key();
    if (k == "dates" || k == "barrier" || k == "amount") continue;
    out[k] = it.value();
  }
  Json schedule = Json::array();
  for (std::size_t k = 0; k < n; ++k) {
    schedule.push_back({{"observation", FormatIsoDate(dates[k].first)},
                        {"payment", FormatIsoDate(dates[k].second)},
                        {"barrier", barrier[k]},
                        {"amount", amount[k]}});
  }
  out["schedule"] = std::move(schedule);
  return out;
}

int AddBusinessDays(int date, int days, const std::vector<int>& holidays,
                    const std::vector<HolidayCalendar>& calendars) {
  int d = date;
  for (int left = days; left > 0 && d != 0;) {
    d = AddDays(d, 1);
    if (d != 0 && IsBusinessDay(d, holidays, calendars)) --left;
  }
  return d;
}

// The schedule of the rule; a date outside a named calendar's years raises
// CalendarRangeError.
std::vector<std::pair<int, int>> ScheduleDatesIn(const DateRule& rule, const std::string& path) {
  std::vector<std::pair<int, int>> out;
  bool lastMet = false;
  for (long long k = 0; k < kMaxDates; ++k) {
    if (rule.count > 0 && k >= rule.count) break;
    const int unadjusted = AddMonths(rule.first, static_cast<int>(k * rule.months));
    if (unadjusted == 0) Fail(Key(path, "count"), "the schedule runs past 9999-12-31");
    if (rule.last != 0 && unadjusted > rule.last) break;
    const int obs = AdjustDate(unadjusted, rule.convention, rule.holidays, rule.calendars);
    if (obs == 0) Fail(Key(path, "holidays"), "no business day near " + FormatIsoDate(unadjusted));
    const int pay = AddBusinessDays(obs, rule.paymentLag, rule.holidays, rule.calendars);
    if (pay == 0) Fail(Key(path, "payment_lag"), "the payment of " + FormatIsoDate(obs) + " runs past 9999-12-31");
    if (!out.empty() && obs <= out.back().first) {
      Fail(path, "the observations of " + FormatIsoDate(out.back().first) + " and " + FormatIsoDate(unadjusted) +
                     " fall on the same business day or out of order");
    }
    out.emplace_back(obs, pay);
    if (rule.last != 0 && (unadjusted == rule.last || obs == rule.last)) {
      lastMet = true;
      break;
    }
  }
  if (rule.last != 0 && !lastMet) {
    Fail(Key(path, "last"), FormatIsoDate(rule.last) + " is not on the schedule: it is not a whole number of " +
                                std::to_string(rule.months) + "-month steps after " + FormatIsoDate(rule.first));
  }
  return out;
}

}  // namespace

bool IsBusinessDay(int date, const std::vector<int>& sortedHolidays,
                   const std::vector<HolidayCalendar>& calendars) {
  if (Weekday(date) >= 5 || std::binary_search(sortedHolidays.begin(), sortedHolidays.end(), date)) return false;
  for (HolidayCalendar c : calendars) {
    if (IsCalendarHoliday(c, date)) return false;
  }
  return true;
}

int AdjustDate(int date, BusinessDayConvention convention, const std::vector<int>& sortedHolidays,
               const std::vector<HolidayCalendar>& calendars) {
  auto move = [&](int step) {
    int d = date;
    for (int k = 0; k <= 31 && d != 0; ++k) {
      if (IsBusinessDay(d, sortedHolidays, calendars)) return d;
      d = AddDays(d, step);
    }
    return 0;
  };
  if (convention == BusinessDayConvention::kPreceding) return move(-1);
  const int following = move(1);
  if (convention == BusinessDayConvention::kModifiedFollowing && following / 100 != date / 100) return move(-1);
  return following;
}

std::vector<std::pair<int, int>> ScheduleDates(const DateRule& rule, const std::string& path) {
  try {
    return ScheduleDatesIn(rule, path);
  } catch (const CalendarRangeError& e) {
    Fail(Key(path, "calendars"), e.message);
  }
}

void ExpandScheduleRules(Json& root) {
  if (!root.is_object()) return;
  auto red = root.find("redemption");
  if (red != root.end() && red->is_object()) *red = ExpandRedemption(*red, "redemption");
  auto cp = root.find("coupons");
  if (cp != root.end() && cp->is_object() && cp->contains("dates")) *cp = ExpandCoupons(*cp, "coupons");
}

}  // namespace morvik
