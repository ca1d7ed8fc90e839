// The argument lists (calls/full_call_inputs.h, engine/core_args.h)
// against the manual: the prototypes of ZUNP_CalcMorvikMC and MorvikMC in
// morvik.h name the same parameters with the same types in the same order.
// (Types and order are also enforced by the compiler through the exports'
// definitions; names only here.)
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "calls/extended_args.h"
#include "engine/core_args.h"

namespace morvik {
namespace {

template <class Kind>
std::string TypeName() {
  if constexpr (std::is_same_v<Kind, inputs::Int>) return "int";
  if constexpr (std::is_same_v<Kind, inputs::Double>) return "double";
  if constexpr (std::is_same_v<Kind, inputs::Ints>) return "const int*";
  if constexpr (std::is_same_v<Kind, inputs::Doubles>) return "const double*";
  if constexpr (std::is_same_v<Kind, inputs::OutDoubles>) return "double*";
  return "?";
}

std::string Squeeze(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\n' || c == '\t') c = ' ';
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The parameters ("type name", spaces squeezed) of the prototype that
// begins with `opening` in morvik.h.
std::vector<std::string> Prototype(const std::string& opening) {
  std::ifstream in(MORVIK_DOCS_DIR "/../interface/morvik.h");
  std::stringstream text;
  text << in.rdbuf();
  const std::string header = text.str();
  const std::size_t from = header.find(opening);
  if (from == std::string::npos) return {};
  const std::size_t to = header.find(')', from);
  std::vector<std::string> params;
  std::stringstream list(header.substr(from + opening.size(), to - from - opening.size()));
  for (std::string p; std::getline(list, p, ',');) params.push_back(Squeeze(p));
  return params;
}

TEST(ArgumentList, MatchesThePrototypeInTheHeader) {
  const std::vector<std::string> prototype = Prototype("MORVIK_CALL ZUNP_CalcMorvikMC(");
  std::vector<std::string> table;
#define MORVIK_LISTED(name, kind, rule) table.push_back(TypeName<inputs::kind>() + " " #name);
  MORVIK_FULL_CALL_INPUTS(MORVIK_LISTED)
  MORVIK_FULL_CALL_OUTPUTS(MORVIK_LISTED)
#undef MORVIK_LISTED
  ASSERT_EQ(table.size(), 49u);
  EXPECT_EQ(prototype, table);
}

TEST(ArgumentList, CoreListMatchesThePrototypeInTheHeader) {
  const std::vector<std::string> prototype = Prototype("MORVIK_CALL MorvikMC(");
  std::vector<std::string> table;
#define MORVIK_LISTED(name, type) table.push_back(Squeeze(#type " " #name));
  MORVIK_CORE_INPUTS(MORVIK_LISTED)
  MORVIK_CORE_RESULTS(MORVIK_LISTED)
#undef MORVIK_LISTED
  ASSERT_EQ(table.size(), 66u);
  EXPECT_EQ(prototype, table);
}

}  // namespace
}  // namespace morvik
