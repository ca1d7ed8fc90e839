// Market files: the market of one pricing date for a whole book (spots,
// volatilities, dividends and currencies of the underlyings by id, rate
// curves by currency, correlations by pairs of ids, FX volatilities and
// correlations for quanto notes), and its data filled into the term sheets
// that name their underlyings by id.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "termsheet/json_fields.h"
#include "termsheet/term_sheet.h"

namespace morvik {

// A market file read and checked.
struct Market {
  std::string label;        // where it came from: the file name
  std::string text;         // the file as read (a book sends it to its workers)
  int pricingDate = 0;      // yyyymmdd
  Json underlyings;         // id -> its entry as written
  Json rateCurves;          // currency -> {"tenors", "rates"}
  Json fxVols;              // "EUR/USD" -> {"quanto"?, "tenors", "vols"}
  // Correlations by the pair of ids, the smaller id first.
  std::map<std::pair<std::string, std::string>, double> correlations;
  std::vector<std::string> warnings;  // "line L, column C: path: message"
};

// Reads a market file from its text (at most kMaxTermSheetBytes); `label`
// names it in messages. Every field is checked as a term sheet's is, and a
// bad one is named by its path ("underlyings.SAMSUNG.local_vol.vols[2]").
bool ReadMarket(std::string_view text, const std::string& label, Market& market, TermSheetError& error);

// Reads a market file from a file, as ReadTermSheetFile reads a term sheet.
bool ReadMarketFile(const std::string& path, Market& market, TermSheetError& error);

// Where a field filled in from the market came from: the term sheet's path
// of the field and the market file's.
struct MarketSource {
  std::string notePath;    // "underlyings[1].local_vol"
  std::string marketPath;  // "underlyings.HYUNDAI.local_vol"
};

// Fills the market data of the underlyings a term sheet names by "id", its
// discount curve and its correlations into `root` (the term sheet as
// written), from `market` (may be null: then an underlying by id must carry
// its own data). A field the note gives that the market also gives is an
// error unless the note says "market_override": true, when the note's wins.
// The note's price date, if given, must be the market's. Returns where each
// filled field came from. Raises sheet::FieldError on the note's paths.
std::vector<MarketSource> ApplyMarket(Json& root, const Market* market, std::vector<sheet::FieldIssue>& warnings);

}  // namespace morvik
