// The library's owning full call (interface/full_call.h) and the tests'
// helpers for filling one.
#pragma once

#include <cstddef>

#include "interface/full_call.h"

namespace morvik::support {

using FullCall = morvik::FullCall;

// Each of `stocks` stocks priced in its own currency: one FX point (time
// 1, volatility 10 %), no FX correlation, no quanto.
inline void NoQuanto(FullCall& c, int stocks) {
  const std::size_t n = stocks > 0 ? static_cast<std::size_t>(stocks) : 0u;
  c.FX_TVol.assign(n, 1.0);
  c.FX_Vol.assign(n, 0.1);
  c.FX_NVol.assign(n, 1);
  c.FX_Corr.assign(n, 0.0);
  c.QuantoFlag.assign(n, 0);
}

}  // namespace morvik::support
