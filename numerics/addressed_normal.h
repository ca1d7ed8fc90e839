// Standard normals addressed by (seed, path, day, stock): each is a fixed
// function of its address, so a path's normals depend on no other path and
// can be drawn on any thread, in any order.
#pragma once

#include <cstdint>

#include "numerics/inverse_normal.h"
#include "numerics/philox.h"

namespace morvik {

// The normals of stocks 4g .. 4g+used-1 of path `path` on day `day`
// (used <= 4): Philox-4x32-10 on the counter {path low 32 bits, path high 32
// bits, day, g} under the key {seed low 32 bits, seed high 32 bits}, each
// word through OpenUniform and InverseNormal. Stock i reads word i % 4 of
// group i / 4. The centre formula runs on all of them side by side and the
// tails (about 15 % of draws) are redone one by one: InverseNormal's bits.
inline void AddressedNormals(std::uint64_t seed, std::uint64_t path, std::uint32_t day, std::uint32_t g,
                             double out[4], int used = 4) {
  const std::uint32_t c[4] = {static_cast<std::uint32_t>(path), static_cast<std::uint32_t>(path >> 32), day, g};
  const std::uint32_t k[2] = {static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32)};
  const PhiloxBlock b = Philox4x32(c, k);
  double q[4];
  bool tail = false;
  for (int j = 0; j < 4; ++j) q[j] = OpenUniform(b.w[j]) - 0.5;
  for (int j = 0; j < used; ++j) tail = tail || !(q[j] <= kInverseNormalCentre && q[j] >= -kInverseNormalCentre);
#if defined(__GNUC__)
  // Two lanes at a time (SSE2 on x86): the same IEEE operations per lane.
  typedef double Pair __attribute__((vector_size(16)));
  for (int j = 0; j < used; j += 2) {
    const Pair z = InverseNormalCentreOf(Pair{q[j], q[j + 1]});
    out[j] = z[0];
    if (j + 1 < used) out[j + 1] = z[1];
  }
#else
  for (int j = 0; j < used; ++j) out[j] = InverseNormalCentre(q[j]);
#endif
  if (tail) {
    for (int j = 0; j < used; ++j)
      if (!(q[j] <= kInverseNormalCentre && q[j] >= -kInverseNormalCentre)) out[j] = InverseNormal(OpenUniform(b.w[j]));
  }
}

}  // namespace morvik
