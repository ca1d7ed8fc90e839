// The scenario options of morvik-price (--spot-ladder, --ladder-each,
// --vol-grid, --rate-shift, --dividend-shift, --correlation-shift,
// --vega-buckets, --scenario-csv): declared on the command line and read
// into the request's scenario set.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "calls/scenarios.h"

namespace morvik {

// The options' text as given.
struct ScenarioOptionText {
  std::string spotLadder, volGrid, rateShift, dividendShift, correlationShift, csv;
  bool ladderEach = false, vegaBuckets = false;
};

// Declares the options on `app`, filling `text`.
void AddScenarioOptions(CLI::App& app, ScenarioOptionText& text);

// Reads the lists of `text` into `set`; false with one sentence in `error`
// for a list that is not numbers separated by commas (their ranges are the
// set's own check, ScenarioSetProblem).
bool ReadScenarioOptions(const ScenarioOptionText& text, ScenarioSet& set, std::string& error);

}  // namespace morvik
