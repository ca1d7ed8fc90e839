// The past of a note: states and fixings placed or worked out from closes.
//
// The walk over the history runs, day by day, the note's own rules
// (engine/note_state.h) that the engine runs on a simulated day and on an
// observation date: the same comparisons, the same order, the same
// arithmetic on performances (close / base price).
#include "termsheet/life_cycle.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "calls/layout.h"
#include "calls/note_rules.h"
#include "calls/validation.h"
#include "termsheet/json_text.h"
#include "termsheet/term_dates.h"

namespace morvik {
namespace {

using namespace sheet;

// A stretch without closes longer than this is worth a warning.
constexpr int kLongGap = 7;

// One stock's move from one close of the history to the next: a close this
// many times the previous one or more, or this fraction of it or less, is
// taken for a typing error (a decimal point or digits slipped); a move
// beyond kLargeMove (up 50 %, or down by a third) gets a warning.
constexpr double kImplausibleMove = 5.0;
constexpr double kLargeMove = 1.5;

// Windows longer than this (a century) are left to the library's checks.
constexpr int kLongestWindow = 36600;

std::string Percent(double fraction) { return ShortestDouble(std::round(fraction * 1e6) / 1e4) + " %"; }

std::string FlagsText(const std::vector<int>& flags) {
  std::string s = "[";
  for (std::size_t i = 0; i < flags.size(); ++i) s += std::string(i ? ", " : "") + (flags[i] ? "true" : "false");
  return s + "]";
}

std::string PricesText(const std::vector<double>& prices) {
  std::string s;
  for (std::size_t i = 0; i < prices.size(); ++i) s += (i ? ", " : "") + ShortestDouble(prices[i]);
  return s;
}

std::string Redemption(int d) { return "redemption[" + std::to_string(d) + "]"; }
std::string CouponAt(int c) { return "coupons.schedule[" + std::to_string(c) + "]"; }

int Obs(const NoteInputs& n, int d) { return n.DatesInfo[d]; }
int Pay(const NoteInputs& n, int d) { return n.DatesInfo[n.NStrike + d]; }
int Win(const NoteInputs& n, int d) { return n.DatesInfo[2 * n.NStrike + d]; }
int CouponObs(const NoteInputs& n, int c) { return n.CouponDatesInfo[c]; }
int CouponPay(const NoteInputs& n, int c) { return n.CouponDatesInfo[n.NCoupon + c]; }

// The dates whose closes `SC` must hold: the days of the first window that
// has begun on the pricing date and whose payment is still to come, up to
// the pricing date or the observation date (the rule of the call's input
// check). Returns the date's index, or -1 when no window needs closes.
int WindowNeedingFixings(const NoteInputs& n, std::vector<int>& days) {
  days.clear();
  for (int d = 0; d < n.NStrike; ++d) {
    const int win = Win(n, d);
    const int need = FixingsNeeded(DaysBetween(n.PriceDate, Obs(n, d)), win, Pay(n, d) > n.PriceDate);
    if (win >= 1 && win <= kLongestWindow && need > 0) {
      for (int k = 0; k < need; ++k) days.push_back(AddDays(Obs(n, d), k - win + 1));
      return d;
    }
  }
  return -1;
}

// The first coupon observed on or before the pricing date and paid after it.
int PendingCoupon(const NoteInputs& n) {
  for (int c = 0; c < n.NCoupon; ++c) {
    if (CouponPending(CouponObs(n, c), CouponPay(n, c), n.PriceDate)) return c;
  }
  return -1;
}

std::string WindowText(const NoteInputs& n, int d) {
  return "the window of " + Redemption(d) + " (" + FormatIsoDate(AddDays(Obs(n, d), 1 - Win(n, d))) + " to " +
         FormatIsoDate(Obs(n, d)) + ")";
}

// Rows given by hand, placed on the dates `need` (oldest first). Rows that
// all carry dates are placed by them; otherwise row k is the k-th date and a
// date it carries must be that one. Returns the closes, date-major.
std::vector<double> PlaceRows(const std::vector<DatedRow>& rows, const std::vector<int>& need,
                              const std::string& path, const std::string& what) {
  std::vector<const DatedRow*> at(need.size(), nullptr);
  const bool dated = std::all_of(rows.begin(), rows.end(), [](const DatedRow& r) { return r.date != 0; });
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const DatedRow& r = rows[k];
    if (need.empty()) Fail(r.path, "no fixings are needed: " + what);
    if (!dated) {
      if (k >= need.size()) {
        Fail(r.path, "a row too many: " + what + " needs " + std::to_string(need.size()) + ", one per day");
      }
      if (r.date != 0 && r.date != need[k]) {
        Fail(r.path + ".date", "dated " + FormatIsoDate(r.date) + ", but row " + std::to_string(k) + " of " + what +
                                   " is the close of " + FormatIsoDate(need[k]));
      }
      at[k] = &r;
      continue;
    }
    const auto it = std::find(need.begin(), need.end(), r.date);
    if (it == need.end()) {
      Fail(r.path, FormatIsoDate(r.date) + " is not a day of " + what);
    }
    const std::size_t slot = static_cast<std::size_t>(it - need.begin());
    if (at[slot] != nullptr) Fail(r.path, "a second row for " + FormatIsoDate(r.date));
    at[slot] = &r;
  }
  for (std::size_t k = 0; k < need.size(); ++k) {
    if (at[k] == nullptr) {
      Fail(path, "no close for " + FormatIsoDate(need[k]) + ": " + what + " needs one row per day");
    }
  }
  std::vector<double> closes;
  for (const DatedRow* r : at) closes.insert(closes.end(), r->prices.begin(), r->prices.end());
  return closes;
}

// The note's rules as the engine keeps them. The highest of the four blocks
// of the payoff arrays holds the touch amount and the maturity terms.
note::Rules RulesOf(const NoteInputs& n) {
  const std::size_t top = (layout::kTiers - 1) * layout::OutcomeSlots(n.NStrike);
  note::Rules rules;
  rules.S = n.NStock;
  rules.touchMode = KnockOutTouchOf(n.KnockBarrierFlag[0]);
  rules.knockIn = KnockInOf(n.KnockBarrierFlag[1]);
  rules.couponWatch = CouponWatchOf(n.CouponBarrierFlag);
  rules.limits = PayoffLimitsOf(n.NAFlag, n.PayOffLimit[0], n.PayOffLimit[1]);
  rules.maturity = MaturityTermsOf(n.PayOffSlope.data() + top, n.PayOffAmount.data() + top, n.NStrike,
                                   n.KnockBarrierFlag[1]);
  rules.knockInBarrier = note::KnockInEvent(n.KI_Barrier.data());
  return rules;
}

// Date d's events, on the term sheet's arrays. Level b of the engine's order
// (highest first) is block kLevels - 1 - b of the strike, slope and amount
// arrays.
note::DateTerms DateTermsOf(const NoteInputs& n, int d) {
  const int S = n.NStock, N = n.NStrike;
  const double* strike[kLevels];
  double slope[kLevels];
  double amount[kLevels];
  for (int b = 0; b < kLevels; ++b) {
    const std::size_t block = static_cast<std::size_t>(kLevels - 1 - b);
    strike[b] = &n.X[layout::StrikeBlockLength(S, N) * block + static_cast<std::size_t>(d) * S];
    slope[b] = n.PayOffSlope[block * layout::OutcomeSlots(N) + d];
    amount[b] = n.PayOffAmount[block * layout::OutcomeSlots(N) + d];
  }
  const bool average = n.DatesInfo[layout::DatesBlock(N, layout::kWindowRules) + d] != 0;
  const bool last = d == N - 1;
  return note::DateTermsOf(&n.KO_Barrier[d], strike, slope, amount, Win(n, d), average, last,
                           last ? 0.0 : n.RedemCoupon[d]);
}

// Fixings given by hand when no window needs them: those of the last date
// whose payment has passed settle it, as the library settles a date whose
// closes are known, with the states given beside them. A date they redeem
// (or the final date) ends the note, paid; otherwise they are not needed,
// and the error says why.
void SettleFromFixings(const PastInput& past, NoteInputs& n, LifeCycle& life) {
  int d = -1;
  for (int s = 0; s < n.NStrike; ++s) {
    if (Pay(n, s) <= n.PriceDate && Obs(n, s) <= n.PriceDate) d = s;
  }
  const std::string none = "no observation window has begun on " + FormatIsoDate(n.PriceDate) +
                           " with its payment still to come";
  if (d < 0 || Win(n, d) < 1 || Win(n, d) > kLongestWindow) {
    Fail(past.fixings.front().path, "no fixings are needed: " + none);
  }
  std::vector<int> days;
  for (int k = 0; k < Win(n, d); ++k) days.push_back(AddDays(Obs(n, d), k - Win(n, d) + 1));
  const std::vector<double> closes = PlaceRows(past.fixings, days, "past.fixings", WindowText(n, d));
  // Settled here, not by the library: its check of a fixing.
  for (const DatedRow& r : past.fixings) {
    for (const double p : r.prices) {
      if (!std::isfinite(p) || !(p > 0.0)) Fail(r.path, "expected closes above 0, got " + PricesText(r.prices));
    }
  }

  const int S = n.NStock;
  std::vector<double> y(static_cast<std::size_t>(S)), window(closes.size());
  for (std::size_t k = 0; k < closes.size(); ++k) window[k] = closes[k] / n.UnderlyingPrice[2 * (k % S) + 1];
  for (int i = 0; i < S; ++i) y[i] = window[window.size() - static_cast<std::size_t>(S) + i];
  std::vector<int> memory = n.BeKO_Hitted;
  note::State state;
  state.memory = memory.data();
  state.touch = note::AllRemembered(memory.data(), S) ? 1 : 0;
  state.knockIn = n.BeKI_Hitted;
  const note::DateOutcome o = note::OnObservation<0>(state, RulesOf(n), DateTermsOf(n, d), y.data(), window.data());
  if (o.result == note::DateResult::Continues) {
    Fail(past.fixings.front().path, "no fixings are needed: " + WindowText(n, d) + " was paid on " +
                                        FormatIsoDate(Pay(n, d)) + " and its closes do not redeem the note; " +
                                        none);
  }
  life.state = o.result == note::DateResult::Redeemed ? NoteState::kRedeemed : NoteState::kMatured;
  life.slot = life.state == NoteState::kRedeemed ? d : (o.knockedIn ? n.NStrike + 1 : n.NStrike);
  life.observation = Obs(n, d);
  life.payment = Pay(n, d);
  life.payoff = o.payoff;
  life.paid = true;
  life.fixingDates = days;
  n.SC = closes;
  n.FixedFlag[0] = static_cast<int>(days.size());
}

void PlaceGivenPast(const PastInput& past, NoteInputs& n, LifeCycle& life) {
  n.BeKI_Hitted = past.knockIn;
  n.BeCouponBarrierHitted = past.couponBreach;
  if (past.hasKnockOut) n.BeKO_Hitted = past.knockOut;

  std::vector<int> need;
  const int d = WindowNeedingFixings(n, need);
  std::string what = "no observation window has begun on " + FormatIsoDate(n.PriceDate) +
                     " with its payment still to come";
  if (d >= 0) {
    what = WindowText(n, d);
    if (need.back() < Obs(n, d)) what += " up to the pricing date";
  }
  if (need.empty() && !past.fixings.empty()) {
    SettleFromFixings(past, n, life);
    return;
  }
  if (past.hasFixings || !need.empty()) {
    n.SC = PlaceRows(past.fixings, need, "past.fixings", what);
    n.FixedFlag[0] = static_cast<int>(need.size());
    life.fixingDates = need;
  }
  const int c = PendingCoupon(n);
  std::vector<int> couponDay;
  if (c >= 0) couponDay.push_back(CouponObs(n, c));
  const std::string cwhat = c >= 0 ? "the coupon of " + CouponAt(c) + ", observed on " +
                                         FormatIsoDate(CouponObs(n, c)) + " and paid on " +
                                         FormatIsoDate(CouponPay(n, c))
                                   : "no coupon is observed and still to be paid on " + FormatIsoDate(n.PriceDate);
  if (past.hasCouponFixings || c >= 0) {
    n.Coupon_SC = PlaceRows(past.couponFixings, couponDay, "past.coupon_fixings", cwhat);
    n.FixedFlag[1] = static_cast<int>(couponDay.size());
    life.couponFixingDates = couponDay;
  }

  // Without closes the outcome of dates already paid is unknown; with every
  // payment made the note is over.
  bool over = n.NStrike > 0;
  for (int s = 0; s < n.NStrike; ++s) over = over && Pay(n, s) <= n.PriceDate;
  if (over) life.state = NoteState::kOver;
}

// The walk over the closes since the note's start.
class HistoryWalk {
 public:
  HistoryWalk(const PastInput& past, const NoteInputs& n, LifeCycle& life, std::vector<FieldIssue>& warnings);

  void Run(NoteInputs& out);

 private:
  int Day(int date) const { return DaysBetween(n_.PriceDate, date); }
  void CheckRows();
  // Stock i's move from the row before to `row`: an error when implausible,
  // a warning when large.
  void CheckMove(const DatedRow& before, const DatedRow& row, int i);
  // The closes of day `n` (days from the pricing date): the last row on or
  // before it; on the pricing date the row of that day, or else the spot.
  const std::vector<double>& Closes(int n);
  // The day's coupon watch and payment, knock-out touch and knock-in.
  void DayTests(int n, const std::vector<double>& px, const std::vector<double>& y);
  // Date d's events, on the term sheet's arrays.
  note::DateTerms DateTermsAt(int d) const;
  // The closes of date d's window from its first day to day `upTo` at the
  // latest, date-major, and their dates.
  void WindowCloses(int d, int upTo, std::vector<double>& closes, std::vector<int>& days);
  // The note's end on date d: outcome slot, payoff, and whether the payment
  // is still to come.
  void Settle(NoteState state, int slot, int d, double payoff, bool pending, const std::string& what);
  // Returns true when the walk ends: the note redeemed or matured.
  bool Observation(int n, const std::vector<double>& y);
  std::vector<int> Flags() const;
  void Agree(NoteInputs& out);

  const PastInput& past_;
  const NoteInputs& n_;
  LifeCycle& life_;
  std::vector<FieldIssue>& warnings_;
  const int S_, N_, Q_;

  std::vector<int> rowDay_;
  std::vector<double> spot_;

  // The note's rules, and its states as the engine keeps them along a path.
  note::Rules rules_;
  int d_ = 0, c_ = 0;
  std::vector<int> mem_;
  note::State state_;

  // What the pricing call receives.
  int pendingD_ = -1, pendingC_ = -1;
  std::vector<int> pendingFlags_;
  int pendingBreach_ = 0;
  std::vector<double> sc_, couponSc_;
  std::vector<int> scDays_;
};

HistoryWalk::HistoryWalk(const PastInput& past, const NoteInputs& n, LifeCycle& life,
                         std::vector<FieldIssue>& warnings)
    : past_(past), n_(n), life_(life), warnings_(warnings), S_(n.NStock), N_(n.NStrike), Q_(n.NCoupon),
      rules_(RulesOf(n)) {
  mem_.assign(static_cast<std::size_t>(S_), 0);
  state_.memory = mem_.data();
}

note::DateTerms HistoryWalk::DateTermsAt(int d) const { return DateTermsOf(n_, d); }

void HistoryWalk::CheckMove(const DatedRow& before, const DatedRow& row, int i) {
  const double from = before.prices[i];
  const double to = row.prices[i];
  const double ratio = to / from;
  if (!(ratio > kLargeMove || ratio < 1.0 / kLargeMove)) return;
  const std::string move = n_.underlyingNames[i] + " closes at " + ShortestDouble(to) + " on " +
                           FormatIsoDate(row.date) + " after " + ShortestDouble(from) + " on " +
                           FormatIsoDate(before.date) + " (" + (ratio > 1.0 ? "up " : "down ") +
                           Percent(std::fabs(ratio - 1.0)) + ")";
  if (ratio >= kImplausibleMove || ratio <= 1.0 / kImplausibleMove) {
    Fail(row.path, move + ": a close 5 times the one before or more, or a fifth of it or less, is taken for a "
                          "typing error");
  }
  warnings_.push_back({row.path, move + ": a move of more than 50 % up or a third down; check the closes"});
}

void HistoryWalk::CheckRows() {
  const std::vector<DatedRow>& h = past_.history;
  for (std::size_t k = 0; k < h.size(); ++k) {
    if (h[k].date > n_.PriceDate) {
      Fail(h[k].path, FormatIsoDate(h[k].date) + " is after the pricing date " + FormatIsoDate(n_.PriceDate));
    }
    if (k > 0 && h[k].date <= h[k - 1].date) {
      Fail(h[k].path, FormatIsoDate(h[k].date) + " is not after the row before it (" +
                          FormatIsoDate(h[k - 1].date) + "): rows go oldest first, one per date");
    }
    for (int i = 0; i < S_; ++i) {
      const double p = h[k].prices[i];
      if (!std::isfinite(p) || !(p > 0.0)) {
        Fail(h[k].path, "the close of " + n_.underlyingNames[i] + " on " + FormatIsoDate(h[k].date) + " is " +
                            ShortestDouble(p) + ": expected closes above 0, got " + PricesText(h[k].prices));
      }
      if (k > 0) CheckMove(h[k - 1], h[k], i);
    }
    rowDay_.push_back(Day(h[k].date));
    if (k > 0 && rowDay_[k] - rowDay_[k - 1] > kLongGap) {
      warnings_.push_back({h[k].path, "no close from " + FormatIsoDate(AddDays(h[k - 1].date, 1)) + " to " +
                                          FormatIsoDate(AddDays(h[k].date, -1)) + ": the close of " +
                                          FormatIsoDate(h[k - 1].date) + " stands for those days"});
    }
  }
  if (-rowDay_.back() > kLongGap) {
    warnings_.push_back({"past.history", "the last close is of " + FormatIsoDate(h.back().date) + ", " +
                                             std::to_string(-rowDay_.back()) +
                                             " days before the pricing date: it stands for the days since"});
  }
  for (int i = 0; i < S_; ++i) spot_.push_back(n_.UnderlyingPrice[2 * i]);
  if (rowDay_.back() == 0 && h.back().prices != spot_) {
    warnings_.push_back({h.back().path, "the close of the pricing date (" + PricesText(h.back().prices) +
                                            ") is not the spot (" + PricesText(spot_) +
                                            "): fixings take the close, the simulation starts from the spot"});
  }
}

const std::vector<double>& HistoryWalk::Closes(int n) {
  const auto it = std::upper_bound(rowDay_.begin(), rowDay_.end(), n);
  const std::size_t k = static_cast<std::size_t>(it - rowDay_.begin());
  if (n == 0 && (k == 0 || rowDay_[k - 1] != 0)) return spot_;
  if (k == 0) {
    Fail(past_.history.front().path, "no close on or before " + FormatIsoDate(AddDays(n_.PriceDate, n)) +
                                         ": the history starts on " + FormatIsoDate(past_.history.front().date));
  }
  return past_.history[k - 1].prices;
}

void HistoryWalk::WindowCloses(int d, int upTo, std::vector<double>& closes, std::vector<int>& days) {
  closes.clear();
  days.clear();
  const int T = Day(Obs(n_, d));
  const int last = std::min(T, upTo);
  for (int m = T - Win(n_, d) + 1; m <= last; ++m) {
    const std::vector<double>& px = Closes(m);
    closes.insert(closes.end(), px.begin(), px.end());
    days.push_back(AddDays(n_.PriceDate, m));
  }
}

std::vector<int> HistoryWalk::Flags() const {
  // Worst-of touches set every flag: the library reads "all flags set" as a
  // touch in either mode.
  if (n_.KnockBarrierFlag[0] == 0) return std::vector<int>(static_cast<std::size_t>(S_), state_.touch);
  return mem_;
}

void HistoryWalk::DayTests(int n, const std::vector<double>& px, const std::vector<double>& y) {
  const bool couponLeft = c_ < Q_;
  const note::CouponTerms coupon = couponLeft ? note::CouponTermsOf(&n_.CouponBarrier[c_], n_.Coupon[c_]) : note::CouponTerms{};
  const bool couponDate = couponLeft && n == Day(CouponObs(n_, c_));
  // After the last date (of a note without dates) no period is left: a
  // barrier that no close reaches.
  static constexpr double kUnreached = std::numeric_limits<double>::infinity();
  const note::Event knockOut{Threshold{d_ < N_ ? &n_.KO_Barrier[d_] : &kUnreached, 0},
                             note::Consequence::KnockOutTouch};
  const auto couponDue = [&](bool paid) {
    const int date = CouponObs(n_, c_);
    const bool pending = CouponPay(n_, c_) > n_.PriceDate;
    if (pending) {
      pendingC_ = c_;
      pendingBreach_ = paid ? 0 : 1;
      couponSc_ = px;
    }
    const std::string label = "coupon " + std::to_string(c_ + 1);
    life_.couponPaid[static_cast<std::size_t>(c_)] = paid ? 1 : 0;
    if (paid) {
      life_.events.push_back({date, label + (pending ? ": due, paid on " : ": paid on ") +
                                        FormatIsoDate(CouponPay(n_, c_)), n_.Coupon[c_]});
    } else {
      life_.events.push_back({date, label + ": barrier breached, nothing paid", 0.0});
    }
    ++c_;
  };
  const int i = note::OnDay<0>(state_, rules_, couponLeft ? &coupon : nullptr, couponDate, knockOut, y.data(), couponDue);
  if (i >= 0) {
    life_.knockInDate = AddDays(n_.PriceDate, n);
    life_.events.push_back({life_.knockInDate,
                            "knock-in: " + n_.underlyingNames[i] + " at " + Percent(y[i]) + " of its base price",
                            0.0});
  }
}

void HistoryWalk::Settle(NoteState state, int slot, int d, double payoff, bool pending, const std::string& what) {
  life_.state = state;
  life_.slot = slot;
  life_.observation = Obs(n_, d);
  life_.payment = Pay(n_, d);
  life_.payoff = payoff;
  life_.paid = !pending;
  life_.events.push_back({Obs(n_, d), what, payoff});
}

bool HistoryWalk::Observation(int n, const std::vector<double>& y) {
  if (d_ >= N_ || n != Day(Obs(n_, d_))) return false;
  const int d = d_;
  std::vector<double> closes, window;
  std::vector<int> days;
  WindowCloses(d, n, closes, days);
  for (std::size_t k = 0; k < closes.size(); ++k) window.push_back(closes[k] / n_.UnderlyingPrice[2 * (k % S_) + 1]);

  // The call of a pending date receives the flags as the date is observed.
  const bool pending = Pay(n_, d) > n_.PriceDate;
  if (pending) {
    pendingD_ = d;
    pendingFlags_ = Flags();
    sc_ = closes;
    scDays_ = days;
  }
  const note::DateOutcome o = note::OnObservation<0>(state_, rules_, DateTermsAt(d), y.data(), window.data());

  const std::string label = "date " + std::to_string(d + 1) + " of " + std::to_string(N_) + ": ";
  if (o.result == note::DateResult::Redeemed) {
    Settle(NoteState::kRedeemed, d, d, o.payoff, pending,
           label + (o.level < 0 ? "redeemed by the knock-out touch" : "redeemed"));
    return true;
  }
  const double rc = d < N_ - 1 ? n_.RedemCoupon[d] : 0.0;
  life_.events.push_back({Obs(n_, d), label + (rc != 0.0 ? "not redeemed, redemption coupon" : "not redeemed"), rc});
  ++d_;
  if (o.result == note::DateResult::Continues) return false;

  // The final observation passed: the maturity payoff on its closes.
  const int slot = o.knockedIn ? N_ + 1 : N_;
  Settle(NoteState::kMatured, slot, d, o.payoff, pending,
         std::string("matured ") + (o.knockedIn ? "after a knock-in" : "without knock-in"));
  return true;
}

void HistoryWalk::Run(NoteInputs& out) {
  CheckRows();
  life_.fromHistory = true;
  const int start = rowDay_.front();
  const std::string& startPath = past_.history.front().path;
  if (N_ > 0 && Day(Obs(n_, 0)) - Win(n_, 0) + 1 <= start) {
    Fail(startPath, "the history starts on " + FormatIsoDate(past_.history.front().date) + ", but " +
                        WindowText(n_, 0) + " begins on or before it: the first row is the note's start");
  }
  if (Q_ > 0 && Day(CouponObs(n_, 0)) <= start) {
    Fail(startPath, "the history starts on " + FormatIsoDate(past_.history.front().date) + ", on or after " +
                        CouponAt(0) + "'s observation (" + FormatIsoDate(CouponObs(n_, 0)) + ")");
  }

  // The states as the pricing date begins (or as the walk ends before it).
  int kiBefore = 0, breachBefore = 0, dBefore = 0, cBefore = 0;
  std::vector<int> flagsBefore(static_cast<std::size_t>(S_), 0);
  const auto keepStates = [&]() {
    kiBefore = state_.knockIn;
    breachBefore = state_.breach;
    flagsBefore = Flags();
    dBefore = d_;
    cBefore = c_;
  };
  bool ended = false;
  std::vector<double> y(static_cast<std::size_t>(S_));
  for (int n = start + 1; n <= 0 && !ended; ++n) {
    if (n == 0) keepStates();
    const std::vector<double>& px = Closes(n);
    for (int i = 0; i < S_; ++i) y[i] = px[i] / n_.UnderlyingPrice[2 * i + 1];
    DayTests(n, px, y);
    ended = Observation(n, y);
    if (ended && n < 0) keepStates();
  }

  // The running window of a note with no pending date: its days up to and
  // including the pricing date.
  if (pendingD_ < 0 && !ended && d_ < N_ && Day(Obs(n_, d_)) - Win(n_, d_) < 0) {
    WindowCloses(d_, 0, sc_, scDays_);
  }

  // What the library cannot carry: one period's touches and one coupon
  // period's breach, those of the pending date.
  if (pendingD_ >= 0 && !ended && d_ == dBefore && d_ < N_ &&
      std::any_of(flagsBefore.begin(), flagsBefore.end(), [](int f) { return f != 0; })) {
    warnings_.push_back({"past.history", "a knock-out touch after " + Redemption(pendingD_) +
                                             "'s observation is not carried: the call keeps the touches of the "
                                             "pending date's period only"});
  }
  if (pendingC_ >= 0 && c_ == cBefore && breachBefore != 0) {
    warnings_.push_back({"past.history", "a coupon barrier breach after " + CouponAt(pendingC_) +
                                             "'s observation is not carried: the call keeps the breach of the "
                                             "pending coupon's period only"});
  }

  out.BeKI_Hitted = kiBefore;
  if (pendingD_ >= 0) {
    out.BeKO_Hitted = pendingFlags_;
  } else if (d_ == dBefore) {
    out.BeKO_Hitted = flagsBefore;
  } else {
    out.BeKO_Hitted.assign(static_cast<std::size_t>(S_), 0);
  }
  if (pendingC_ >= 0) {
    out.BeCouponBarrierHitted = pendingBreach_;
  } else {
    out.BeCouponBarrierHitted = c_ == cBefore ? breachBefore : 0;
  }
  out.SC = sc_;
  out.FixedFlag[0] = static_cast<int>(scDays_.size());
  out.Coupon_SC = couponSc_;
  out.FixedFlag[1] = couponSc_.empty() ? 0 : 1;
  life_.fixingDates = scDays_;
  if (pendingC_ >= 0) life_.couponFixingDates.push_back(CouponObs(n_, pendingC_));
  Agree(out);
}

// States and fixings also given by hand must be those of the history.
void HistoryWalk::Agree(NoteInputs& out) {
  const std::string from = " from past.history";
  if (past_.hasKnockIn && past_.knockIn != out.BeKI_Hitted) {
    Fail("past.knock_in_hit",
         std::string("given as ") + (past_.knockIn ? "true" : "false") + ", but it is " +
             (out.BeKI_Hitted ? "true" : "false") + from +
             (life_.knockInDate ? " (knock-in on " + FormatIsoDate(life_.knockInDate) + ")" : " (no close below a barrier)"));
  }
  if (past_.hasKnockOut && past_.knockOut != out.BeKO_Hitted) {
    Fail("past.knock_out_hit", "given as " + FlagsText(past_.knockOut) + ", but it is " +
                                   FlagsText(out.BeKO_Hitted) + from);
  }
  if (past_.hasCouponBreach && past_.couponBreach != out.BeCouponBarrierHitted) {
    Fail("past.coupon_barrier_hit", std::string("given as ") + (past_.couponBreach ? "true" : "false") +
                                        ", but it is " + (out.BeCouponBarrierHitted ? "true" : "false") + from);
  }
  const auto same = [&](const std::vector<DatedRow>& given, const std::vector<double>& closes,
                        const std::vector<int>& days, const std::string& path) {
    if (given.size() != days.size()) {
      Fail(path, "given " + std::to_string(given.size()) + " rows, but past.history gives " +
                     std::to_string(days.size()) +
                     (days.empty() ? "" : " (" + FormatIsoDate(days.front()) + " to " + FormatIsoDate(days.back()) + ")"));
    }
    for (std::size_t k = 0; k < given.size(); ++k) {
      const std::vector<double> row(closes.begin() + static_cast<long>(k * S_),
                                    closes.begin() + static_cast<long>((k + 1) * S_));
      if ((given[k].date != 0 && given[k].date != days[k]) || given[k].prices != row) {
        Fail(given[k].path, "given " + (given[k].date ? FormatIsoDate(given[k].date) + ": " : std::string()) +
                                PricesText(given[k].prices) + ", but past.history gives " +
                                FormatIsoDate(days[k]) + ": " + PricesText(row));
      }
    }
  };
  if (past_.hasFixings) same(past_.fixings, out.SC, scDays_, "past.fixings");
  if (past_.hasCouponFixings) {
    std::vector<int> day;
    if (pendingC_ >= 0) day.push_back(CouponObs(n_, pendingC_));
    same(past_.couponFixings, out.Coupon_SC, day, "past.coupon_fixings");
  }
}

}  // namespace

void ApplyPast(const PastInput& past, NoteInputs& n, LifeCycle& life, std::vector<FieldIssue>& warnings) {
  life = LifeCycle{};
  life.couponPaid.assign(static_cast<std::size_t>(std::max(n.NCoupon, 0)), -1);
  n.BeKO_Hitted.assign(static_cast<std::size_t>(n.NStock), 0);
  n.SC.clear();
  n.Coupon_SC.clear();
  n.FixedFlag = {0, 0};
  if (!past.hasHistory) {
    PlaceGivenPast(past, n, life);
    return;
  }
  HistoryWalk walk(past, n, life, warnings);
  walk.Run(n);
}

}  // namespace morvik

namespace morvik {

std::string StateSentence(const LifeCycle& life, const NoteInputs& n) {
  const std::string amount = ShortestDouble(std::round(life.payoff * 1e8) / 1e6) + " % of the notional";
  const std::string pay = life.paid ? ", paid on " + FormatIsoDate(life.payment) + ": " + amount
                                    : "; its payment of " + amount + " on " + FormatIsoDate(life.payment) +
                                          " is still to come";
  switch (life.state) {
    case NoteState::kRedeemed:
      return "redeemed on " + FormatIsoDate(life.observation) + " (date " + std::to_string(life.slot + 1) + " of " +
             std::to_string(n.NStrike) + ")" + pay;
    case NoteState::kMatured:
      return "matured on " + FormatIsoDate(life.observation) + " (final observation, " +
             (life.slot == n.NStrike ? "without knock-in" : "after a knock-in") + ")" + pay;
    case NoteState::kOver:
      return "over: every redemption payment date is on or before " + FormatIsoDate(n.PriceDate) +
             "; without past.history its outcome is not known";
    case NoteState::kAlive:
      break;
  }
  for (int d = 0; d < n.NStrike; ++d) {
    if (Obs(n, d) > n.PriceDate) return "alive: next observation " + FormatIsoDate(Obs(n, d));
  }
  return "alive: a payment is still to come";
}

}  // namespace morvik
