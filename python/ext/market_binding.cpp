// Market files read into markets (morvik::Market) and the sums of a book's
// positions by currency and by underlying.
#include <sstream>
#include <utility>

#include <pybind11/stl.h>

#include "bindings.h"
#include "termsheet/book_risk.h"
#include "termsheet/market_file.h"

namespace morvik::python {
namespace {

// A market, or the reader's error as a dict (the package raises TermSheetError).
py::object MarketOrError(bool read, Market&& market, const TermSheetError& error) {
  if (read) return py::cast(std::move(market));
  py::dict e;
  e["label"] = market.label;
  e["kind"] = error.kind == TermSheetError::kFile ? "file" : error.kind == TermSheetError::kText ? "text" : "field";
  e["not_json"] = error.notJson;
  e["line"] = error.line;
  e["column"] = error.column;
  e["path"] = error.path;
  e["message"] = error.message;
  e["description"] = Describe(error);
  return e;
}

using NoteRow = std::tuple<std::string, std::string, double, bool, bool>;
using FigureRow = std::tuple<std::size_t, std::string, std::string, double, double>;

BookRisk Sums(const std::vector<NoteRow>& notes, const std::vector<FigureRow>& figures) {
  std::vector<PositionedNote> held;
  for (const auto& [label, currency, scale, over, failed] : notes) held.push_back({label, currency, scale, over, failed});
  std::vector<NoteFigure> rows;
  for (const auto& [note, quantity, underlying, value, se] : figures) {
    if (note >= held.size()) throw py::index_error("a figure's note is not one of the notes");
    rows.push_back({note, quantity, underlying, value, se});
  }
  return SumPositions(held, rows);
}

}  // namespace

void BindMarket(py::module_& m) {
  py::class_<Market>(m, "Market", "A market file read: the market of one pricing date, its underlyings by id")
      .def_property_readonly("label", [](const Market& k) { return k.label; })
      .def_property_readonly("text", [](const Market& k) { return k.text; })
      .def_property_readonly("pricing_date", [](const Market& k) { return Date(k.pricingDate); })
      .def_property_readonly("underlyings",
                             [](const Market& k) {
                               std::vector<std::string> ids;
                               for (auto it = k.underlyings.begin(); it != k.underlyings.end(); ++it) {
                                 ids.push_back(it.key());
                               }
                               return ids;
                             })
      .def_property_readonly("warnings", [](const Market& k) { return k.warnings; });
  m.def(
      "read_market_file",
      [](const std::string& path) {
        Market market;
        TermSheetError error;
        bool read = false;
        {
          py::gil_scoped_release unlocked;
          read = ReadMarketFile(path, market, error);
        }
        return MarketOrError(read, std::move(market), error);
      },
      "A Market read from a market file, or the reader's error as a dict");
  m.def(
      "read_market_text",
      [](const std::string& text, const std::string& label) {
        Market market;
        TermSheetError error;
        bool read = false;
        {
          py::gil_scoped_release unlocked;
          read = ReadMarket(text, label, market, error);
        }
        return MarketOrError(read, std::move(market), error);
      },
      "A Market read from market-file text (labelled `label`), or the reader's error as a dict");
  m.def(
      "book_risk",
      [](const std::vector<NoteRow>& notes, const std::vector<FigureRow>& figures) {
        return ToPython(BookRiskJson(Sums(notes, figures)));
      },
      py::arg("notes"), py::arg("figures"),
      "The sums of a book's positions (the \"book\" section of morvik-price --json) from its notes\n"
      "(label, currency, scale, over, failed) and their figures (note, quantity, underlying, value, se)");
  m.def(
      "book_risk_csv",
      [](const std::vector<NoteRow>& notes, const std::vector<FigureRow>& figures) {
        std::ostringstream out;
        WriteBookRiskCsv(out, Sums(notes, figures));
        return out.str();
      },
      py::arg("notes"), py::arg("figures"), "book_risk's sums as the CSV of morvik-price --risk");
}

}  // namespace morvik::python
