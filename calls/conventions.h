// The library's conventions, offered to the layers above the call layer
// (they see no lower folder): the day count, the notional scale and the
// volatility floor (numerics/conventions.h: kDaysPerYear, kNotionalScale,
// kVolFloor), and the number of seeds of the default stream
// (numerics/random.h: kSeeds).
#pragma once

#include "numerics/conventions.h"
#include "numerics/random.h"
