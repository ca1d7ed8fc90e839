// An underlying's implied-volatility quotes in a term sheet ("implied_vol"),
// calibrated into the local-volatility grid the pricing call carries.
#pragma once

#include <string>
#include <vector>

#include "calibration/implied_surface.h"
#include "termsheet/json_fields.h"

namespace morvik {

// What the calibration of one underlying gave: its grid (already in the
// call's arrays) and the fit's report, for the expanded term sheet and the
// pricing report.
struct CalibratedUnderlying {
  int underlying = 0;
  calib::LocalVolGrid grid;
  calib::FitReport report;
  calib::FittedSurface implied;  // the fitted Black volatilities, for reports and plots
  bool repaired = false;  // arbitrage found and fitted through on request
};

// The quotes of `v` (at `path`) as the calibration takes them: expiries as
// ISO dates or tenors ("1M", "2Y", "3W", "10D") from `priceDate`, strikes in
// per cent of `spot` or absolute, rows of Black volatilities per expiry with
// null for a missing quote. Sets `repair` from the "arbitrage" field.
// Raises sheet::FieldError.
calib::Quotes ReadImpliedQuotes(const Json& v, const std::string& path, int priceDate, double spot, bool& repair);

// Calibrates, turning a calibration error into a sheet::FieldError on the
// field at fault (under `path`, or the underlying's `underlyingPath` for its
// curves). Adds the repair warning to `warnings`.
CalibratedUnderlying CalibrateUnderlying(const calib::Quotes& q, const calib::Market& m, bool repair,
                                         const std::string& path, const std::string& underlyingPath, int priceDate,
                                         std::vector<sheet::FieldIssue>& warnings);

// One line on the fit: "calibrated from 180 implied-volatility quotes: fit
// error max 0.12, RMS 0.04 vol points".
std::string FitSentence(const calib::FitReport& r);

}  // namespace morvik
