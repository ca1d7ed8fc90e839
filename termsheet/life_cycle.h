// A note's past: the states and fixings its pricing call carries in from
// before the pricing date, given by hand or worked out from the closes of
// its underlyings since the start, and whether the note is still alive.
//
// Worked out from closes, every state follows the library's own rules: days
// are calendar days (a day without a close keeps the last close before it),
// the knock-out touch, knock-in and coupon barrier tests are those of a
// simulated day, a window holds the calendar days that end on its
// observation date, and an observation date redeems, pays its coupons or
// matures as the library settles a pending date.
#pragma once

#include <string>
#include <vector>

#include "termsheet/json_fields.h"
#include "termsheet/note_inputs.h"

namespace morvik {

// One row of closes: its date (0 when the row gives none) and one price per
// underlying.
struct DatedRow {
  int date = 0;
  std::vector<double> prices;
  std::string path;  // where the row sits in the term sheet
};

// The "past" block as written.
struct PastInput {
  bool hasKnockIn = false;
  int knockIn = 0;
  bool hasKnockOut = false;
  std::vector<int> knockOut;
  bool hasCouponBreach = false;
  int couponBreach = 0;
  bool hasFixings = false;
  std::vector<DatedRow> fixings;
  bool hasCouponFixings = false;
  std::vector<DatedRow> couponFixings;
  bool hasHistory = false;
  std::vector<DatedRow> history;  // closes since the note's start, oldest first
};

enum class NoteState {
  kAlive,     // dates remain to be observed, or a payment is pending
  kRedeemed,  // redeemed on an observation date
  kMatured,   // the final observation passed without redemption
  kOver,      // every payment date has passed; without closes, how is unknown
};

// Something the closes show happened before the pricing date.
struct PastEvent {
  int date = 0;
  std::string what;
  double amount = 0.0;  // paid, in units of the notional; 0 when nothing is paid
};

struct LifeCycle {
  NoteState state = NoteState::kAlive;
  bool fromHistory = false;
  // A redeemed or matured note: its outcome slot (an observation date d, or
  // NStrike / NStrike + 1 at maturity without / with knock-in), dates, and
  // payoff in units of the notional. `paid`: the payment date is on or
  // before the pricing date, so nothing is left to price; otherwise the
  // library settles the pending payment.
  int slot = -1;
  int observation = 0;
  int payment = 0;
  double payoff = 0.0;
  bool paid = false;
  int knockInDate = 0;  // first close below a knock-in barrier (daily monitoring)
  // Per coupon: 1 paid, 0 not paid (its barrier breached), -1 not known
  // (observed after the walk, or no history).
  std::vector<int> couponPaid;
  std::vector<PastEvent> events;
  // The dates of the rows the call receives in SC and Coupon_SC.
  std::vector<int> fixingDates;
  std::vector<int> couponFixingDates;
};

// Sets BeKI_Hitted, BeKO_Hitted, BeCouponBarrierHitted, SC, Coupon_SC and
// FixedFlag of `n` from `past`. With a history they are worked out from it,
// and states or fixings also given by hand must agree with it. Without one,
// the states are taken as given and fixing rows are placed by their dates
// into the one window that needs them. Raises sheet::FieldError naming the
// field (and date) at fault; adds to `warnings` what the library cannot
// carry.
void ApplyPast(const PastInput& past, NoteInputs& n, LifeCycle& life, std::vector<sheet::FieldIssue>& warnings);

}  // namespace morvik

namespace morvik {

// One sentence on the note's state for people: "redeemed on 2025-12-26
// (date 1 of 6), paid on 2025-12-31: 102.75 % of the notional".
std::string StateSentence(const LifeCycle& life, const NoteInputs& n);

}  // namespace morvik
