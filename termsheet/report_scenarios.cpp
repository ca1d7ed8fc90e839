// The scenario rows of a priced note as records, the scenario CSV and the
// scenarios of the JSON report.
#include <cmath>

#include "termsheet/json_text.h"
#include "termsheet/report.h"

namespace morvik {
namespace {

std::string UnderlyingName(const NoteInputs& n, int stock) {
  if (stock < 0) return "all";
  const auto k = static_cast<std::size_t>(stock);
  return k < n.underlyingNames.size() ? n.underlyingNames[k] : std::string("underlying ") + std::to_string(stock);
}

std::string Number(double v) { return std::isfinite(v) ? ShortestDouble(v) : std::string(); }

}  // namespace

std::vector<ScenarioRecord> ScenarioRecords(const NoteReport& r) {
  std::vector<ScenarioRecord> out;
  const NoteResult& res = r.result;
  if (!r.priced || res.status < 0 || res.scenarios.empty() || res.resultPrice.empty()) return out;
  const double nan = std::nan("");
  ScenarioRecord base;
  base.note = r.file;
  base.scenario = "base";
  base.underlying = "all";
  base.unit = "";
  base.volShift = base.tenor = nan;
  base.value = res.resultPrice[0];
  base.standardError = res.priceSE;
  base.change = 0.0;
  out.push_back(base);
  for (const ScenarioRow& row : res.scenarios) {
    ScenarioRecord s;
    s.note = r.file;
    s.scenario = ScenarioKindName(row.kind);
    s.underlying = UnderlyingName(r.note, row.stock);
    s.shift = row.shift;
    s.unit = ScenarioShiftUnit(row.kind);
    s.volShift = row.kind == ScenarioKind::kSpotVolGrid ? row.volShift : nan;
    s.tenor = row.kind == ScenarioKind::kVegaBucket ? row.tenor : nan;
    s.value = row.value;
    s.standardError = row.standardError;
    s.change = row.change;
    s.error = row.error;
    out.push_back(std::move(s));
  }
  return out;
}

void WriteScenarioCsv(std::ostream& out, const std::vector<NoteReport>& notes) {
  std::string header;
  for (const char* column : kScenarioColumns) {
    if (!header.empty()) header += ',';
    header += column;
  }
  out << header << "\n";
  for (const NoteReport& r : notes) {
    for (const ScenarioRecord& s : ScenarioRecords(r)) {
      out << CsvField(s.note) << ',' << s.scenario << ',' << CsvField(s.underlying) << ',' << Number(s.shift) << ','
          << s.unit << ',' << Number(s.volShift) << ',' << Number(s.tenor) << ',' << Number(s.value) << ','
          << Number(s.standardError) << ',' << Number(s.change) << ',' << CsvField(s.error) << "\n";
    }
  }
}

Json ScenariosJson(const NoteReport& r) {
  const std::vector<ScenarioRecord> records = ScenarioRecords(r);
  if (records.empty()) return Json(nullptr);
  Json all = Json::array();
  for (std::size_t k = 1; k < records.size(); ++k) {  // the base is the note's price
    const ScenarioRecord& s = records[k];
    Json j = {{"scenario", s.scenario}, {"underlying", s.underlying}, {"shift", s.shift}, {"shift_unit", s.unit}};
    if (std::isfinite(s.volShift)) j["vol_shift"] = s.volShift;
    if (std::isfinite(s.tenor)) j["tenor"] = s.tenor;
    j["value"] = s.value;  // NaN is written as null
    j["standard_error"] = s.standardError;
    j["change"] = s.change;
    if (!s.error.empty()) j["error"] = s.error;
    all.push_back(std::move(j));
  }
  return all;
}

}  // namespace morvik
