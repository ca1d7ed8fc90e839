// Reads Boost.Random's Sobol table: dimension 0 is the van der Corput
// sequence, dimension d >= 1 has the primitive polynomial polynomial(d - 1)
// (leading and constant terms included) and initial values
// minit(d - 1, 0 .. degree - 1).
#include "termsheet/sobol_table.h"

#include <bit>
#include <boost/random/detail/sobol_table.hpp>
#include <cstdint>

namespace morvik {

namespace {

SobolDirections ReadBoostTable() {
  using Table = boost::random::detail::qrng_tables::sobol;
  SobolDirections t;
  t.dims = static_cast<int>(Table::max_dimension);
  t.v.assign(32u * static_cast<std::size_t>(t.dims), 0u);
  std::uint32_t m[32] = {};
  std::uint32_t v[32];
  for (int d = 0; d < t.dims; ++d) {
    std::uint32_t poly = 1u;  // dimension 0
    if (d > 0) {
      poly = Table::polynomial(static_cast<std::size_t>(d - 1));
      const int degree = static_cast<int>(std::bit_width(poly)) - 1;
      for (int k = 0; k < degree && k < 32; ++k)
        m[k] = Table::minit(static_cast<std::size_t>(d - 1), static_cast<std::size_t>(k));
    }
    SobolDimension(poly, m, v);
    for (std::size_t k = 0; k < 32; ++k) t.v[k * static_cast<std::size_t>(t.dims) + static_cast<std::size_t>(d)] = v[k];
  }
  return t;
}

}  // namespace

const SobolDirections& JoeKuoDirections() {
  static const SobolDirections table = ReadBoostTable();
  return table;
}

}  // namespace morvik
