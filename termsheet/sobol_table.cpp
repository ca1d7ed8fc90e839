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
  SobolDimension(1u, m, t.v.data());
  for (int d = 1; d < t.dims; ++d) {
    const std::uint32_t poly = Table::polynomial(static_cast<std::size_t>(d - 1));
    const int degree = static_cast<int>(std::bit_width(poly)) - 1;
    for (int k = 0; k < degree && k < 32; ++k) m[k] = Table::minit(static_cast<std::size_t>(d - 1), static_cast<std::size_t>(k));
    SobolDimension(poly, m, t.v.data() + 32u * static_cast<std::size_t>(d));
  }
  return t;
}

}  // namespace

const SobolDirections& JoeKuoDirections() {
  static const SobolDirections table = ReadBoostTable();
  return table;
}

}  // namespace morvik
