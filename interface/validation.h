// Input validation of the full pricing call.
#pragma once

#include "interface/extended_args.h"

namespace morvik {

// Runs every check in its fixed order; returns 1 when all pass, otherwise the
// negative code of the first failed check.
int ValidateInputs(const ExtendedArgs& args);

// Where the first failed check looked: the underlying, the redemption or
// coupon date, or the curve/grid point it was reading (-1 where it does not
// apply). Filled by ValidateInputsAt for error messages.
struct ValidationFault {
  int code = 1;
  int underlying = -1;
  int date = -1;   // redemption date index, or coupon index for coupon codes
  int point = -1;  // index within the segment or curve being checked
};

// As ValidateInputs, also reporting where the failed check looked.
int ValidateInputsAt(const ExtendedArgs& args, ValidationFault& fault);

}  // namespace morvik
