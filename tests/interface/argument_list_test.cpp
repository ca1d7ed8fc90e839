// The argument list (interface/full_call_inputs.h) against the manual: the
// prototype of ZUNP_CalcMorvikMC in morvik.h names the same parameters with
// the same types in the same order. (Types and order are also enforced by
// the compiler through the export's definition; names only here.)
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "interface/extended_args.h"

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

TEST(ArgumentList, MatchesThePrototypeInTheHeader) {
  std::ifstream in(MORVIK_DOCS_DIR "/../interface/morvik.h");
  ASSERT_TRUE(in) << "morvik.h not found";
  std::stringstream text;
  text << in.rdbuf();
  const std::string header = text.str();
  const std::string opening = "MORVIK_CALL ZUNP_CalcMorvikMC(";
  const std::size_t from = header.find(opening);
  ASSERT_NE(from, std::string::npos);
  const std::size_t to = header.find(')', from);
  std::vector<std::string> prototype;  // "type name", spaces squeezed
  std::stringstream params(header.substr(from + opening.size(), to - from - opening.size()));
  for (std::string p; std::getline(params, p, ',');) prototype.push_back(Squeeze(p));

  std::vector<std::string> table;
#define MORVIK_LISTED(name, kind, rule) table.push_back(TypeName<inputs::kind>() + " " #name);
  MORVIK_FULL_CALL_INPUTS(MORVIK_LISTED)
  MORVIK_FULL_CALL_OUTPUTS(MORVIK_LISTED)
#undef MORVIK_LISTED

  ASSERT_EQ(table.size(), 49u);
  ASSERT_EQ(prototype.size(), table.size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    const std::string& p = prototype[i];
    EXPECT_EQ(p.substr(p.find_first_not_of(' ')), table[i]) << "parameter " << i + 1;
  }
}

}  // namespace
}  // namespace morvik
