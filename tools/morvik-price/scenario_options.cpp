// The scenario options of morvik-price and the reading of their lists.
#include "tools/morvik-price/scenario_options.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace morvik {
namespace {

// "a,b,c" as numbers; false for an empty list, an empty item or an item
// that is not a whole decimal number.
bool Steps(const std::string& text, std::vector<double>& steps) {
  steps.clear();
  std::size_t at = 0;
  for (;;) {
    const std::size_t comma = text.find(',', at);
    const std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    if (item.empty() || item.find_first_of(" \t") != std::string::npos) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(item.c_str(), &end);
    if (end != item.c_str() + item.size() || errno == ERANGE) return false;
    steps.push_back(v);
    if (comma == std::string::npos) return true;
    at = comma + 1;
  }
}

bool Read(const std::string& text, const char* option, const char* example, std::vector<double>& steps,
          std::string& error) {
  if (text.empty()) return true;
  if (Steps(text, steps)) return true;
  error = std::string("--") + option + " takes numbers separated by commas (" + example + "), not \"" + text + "\"";
  return false;
}

}  // namespace

void AddScenarioOptions(CLI::App& app, ScenarioOptionText& text) {
  app.add_option("--spot-ladder", text.spotLadder,
                 "prices for these spot steps of all underlyings together, in per cent (-20,-10,0,10,20)")
      ->type_name("STEPS");
  app.add_flag("--ladder-each", text.ladderEach, "with --spot-ladder: the ladder of each underlying alone as well");
  app.add_option("--vol-grid", text.volGrid,
                 "prices on a grid of spot steps (per cent) by local volatility shifts (vol points) of all "
                 "underlyings (-10,0,10:-2,0,2)")
      ->type_name("SPOTS:VOLS");
  app.add_option("--rate-shift", text.rateShift,
                 "prices with every rate curve and the discount curve shifted in parallel, in basis points (-50,50)")
      ->type_name("BP");
  app.add_option("--dividend-shift", text.dividendShift,
                 "prices with every dividend yield shifted, in basis points (cash dividends: of the base price)")
      ->type_name("BP");
  app.add_option("--correlation-shift", text.correlationShift,
                 "prices with every correlation between underlyings shifted by this much, clipped to [-1, 1] "
                 "(-0.1,0.1)")
      ->type_name("X");
  app.add_flag("--vega-buckets", text.vegaBuckets,
               "per underlying, one vega per time point of its local volatility grid (that point +/- 1 vol point) "
               "and the vega of the whole grid");
  app.add_option("--scenario-csv", text.csv,
                 "write every note's scenarios to this file as CSV, one row per scenario (replaced when complete)")
      ->type_name("FILE");
}

bool ReadScenarioOptions(const ScenarioOptionText& text, ScenarioSet& set, std::string& error) {
  set.ladderEach = text.ladderEach;
  set.vegaBuckets = text.vegaBuckets;
  if (!text.volGrid.empty()) {
    const std::size_t colon = text.volGrid.find(':');
    if (colon == std::string::npos || !Steps(text.volGrid.substr(0, colon), set.gridSpots) ||
        !Steps(text.volGrid.substr(colon + 1), set.gridVols)) {
      error = "--vol-grid takes spot steps and vol shifts separated by a colon (-10,0,10:-2,0,2), not \"" +
              text.volGrid + "\"";
      return false;
    }
  }
  return Read(text.spotLadder, "spot-ladder", "-20,-10,0,10,20", set.spotLadder, error) &&
         Read(text.rateShift, "rate-shift", "-50,50", set.rateShifts, error) &&
         Read(text.dividendShift, "dividend-shift", "-25,25", set.dividendShifts, error) &&
         Read(text.correlationShift, "correlation-shift", "-0.1,0.1", set.correlationShifts, error);
}

}  // namespace morvik
