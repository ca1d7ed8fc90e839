// Input validation of the full pricing call.
#pragma once

#include "calls/extended_args.h"

namespace morvik {

// Runs every check in its fixed order; returns 1 when all pass, otherwise the
// negative code of the first failed check (the MORVIK_ codes of
// interface/morvik.h, which lists them in the order they run). May throw
// std::bad_alloc (the correlation check needs one temporary).
int ValidateInputs(const ExtendedArgs& args);

// Where the first failed check looked: the underlying, the redemption date
// or the coupon on whose schedule it failed, and the curve, grid or matrix
// point it was reading (-1 where it does not apply). At most one of `date`
// and `coupon` is set. Filled by ValidateInputsAt for error messages.
struct ValidationFault {
  int code = 1;
  int underlying = -1;  // also the row of a correlation entry
  int date = -1;        // redemption date index
  int coupon = -1;      // coupon index
  int point = -1;       // index within the segment, curve or matrix row
};

// As ValidateInputs, also reporting where the failed check looked.
int ValidateInputsAt(const ExtendedArgs& args, ValidationFault& fault);

// Whether the n x n correlation matrix `corr` (row-major) passes the call's
// check of the matrix as a whole: a unit diagonal, symmetric, and reproduced
// by the factor the engine correlates its draws with (positive
// semi-definite). When it does not, `fault` names the row (underlying) and
// column (point) of the element that failed. May throw std::bad_alloc.
bool CorrelationMatrixUsable(const double* corr, int n, ValidationFault& fault);

// The fixing rule. A redemption date needs the closes of its window that
// lie on or before the pricing date when the window has begun (fewer
// calendar days to the observation than the window is long) and the payment
// is still to come: that many rows of SC. 0 when it needs none.
inline int FixingsNeeded(int daysToObservation, int windowLength, bool paymentPending) {
  if (!(daysToObservation < windowLength && paymentPending)) return 0;
  return windowLength - (daysToObservation > 0 ? daysToObservation : 0);
}

// A coupon observed on or before the pricing date and paid after it is
// settled on its fixing (one row of Coupon_SC).
inline bool CouponPending(int observationDate, int paymentDate, int priceDate) {
  return observationDate <= priceDate && priceDate < paymentDate;
}

}  // namespace morvik
