// The direction numbers of the quasi-random stream: Joe and Kuo's table
// ("new-joe-kuo-6", 3667 dimensions) as Boost.Random ships it, read into
// the plain table the library works on.
#pragma once

#include "calls/valuation.h"

namespace morvik {

// Every dimension of Boost's table, built on first use (thread-safe) and
// kept for the life of the program.
const SobolDirections& JoeKuoDirections();

}  // namespace morvik
