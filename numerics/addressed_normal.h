// Standard normals addressed by (seed, path, day, stock): each is a fixed
// function of its address, so a path's normals depend on no other path and
// can be drawn on any thread, in any order.
#pragma once

#include <cstdint>

#include "numerics/inverse_normal.h"
#include "numerics/philox.h"

namespace morvik {

// The normals of stocks 4g .. 4g+3 of path `path` on day `day`: Philox-4x32-10
// on the counter {path low 32 bits, path high 32 bits, day, g} under the key
// {seed low 32 bits, seed high 32 bits}, each word through OpenUniform and
// InverseNormal. Stock i reads word i % 4 of group i / 4.
inline void AddressedNormals(std::uint64_t seed, std::uint64_t path, std::uint32_t day, std::uint32_t g,
                             double out[4]) {
  const std::uint32_t c[4] = {static_cast<std::uint32_t>(path), static_cast<std::uint32_t>(path >> 32), day, g};
  const std::uint32_t k[2] = {static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32)};
  const PhiloxBlock b = Philox4x32(c, k);
  for (int j = 0; j < 4; ++j) out[j] = InverseNormal(OpenUniform(b.w[j]));
}

}  // namespace morvik
