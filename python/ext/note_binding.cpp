// Term sheets read by the term-sheet layer into notes (morvik::Note): from a
// file or from text, the reader's error as a dict when one cannot be read,
// a note's call arrays in and out, and the copies scenarios are priced on.
#include <utility>

#include <pybind11/stl.h>

#include "bindings.h"
#include "full_call_arrays.h"
#include "termsheet/market_file.h"
#include "termsheet/pricing.h"
#include "termsheet/term_sheet.h"

namespace morvik::python {
namespace {

const char* KindName(TermSheetError::Kind kind) {
  switch (kind) {
    case TermSheetError::kFile: return "file";
    case TermSheetError::kText: return "text";
    case TermSheetError::kField: return "field";
    case TermSheetError::kNone: break;
  }
  return "none";
}

// A note, or the reader's error as a dict (the package raises TermSheetError).
py::object NoteOrError(bool read, Note&& note, const TermSheetError& error) {
  if (read) return py::cast(std::move(note));
  py::dict e;
  e["label"] = note.label;
  e["kind"] = KindName(error.kind);
  e["not_json"] = error.notJson;
  e["line"] = error.line;
  e["column"] = error.column;
  e["path"] = error.path;
  e["message"] = error.message;
  e["description"] = Describe(error);
  return e;
}

}  // namespace

void BindNotes(py::module_& m) {
  py::class_<Note>(m, "Note", "A term sheet read, expanded and brought up to its pricing date")
      .def(py::init<const Note&>(), py::arg("note"), "A copy of `note` (morvik.Note derives from this class)")
      .def_property_readonly("label", [](const Note& n) { return n.label; })
      .def_property_readonly("name", [](const Note& n) { return n.inputs.name; })
      .def_property_readonly("currency", [](const Note& n) { return n.inputs.currency; })
      .def_property_readonly("price_date", [](const Note& n) { return Date(n.inputs.PriceDate); })
      .def_property_readonly("notional", [](const Note& n) { return n.inputs.NotionalAMT; })
      .def_property_readonly("trials", [](const Note& n) { return n.inputs.NTrials; })
      .def_property_readonly("underlyings", [](const Note& n) { return n.inputs.underlyingNames; })
      .def_property_readonly("warnings", [](const Note& n) { return n.warnings; })
      .def_property_readonly("underlying_ids", [](const Note& n) { return n.inputs.underlyingIds; })
      .def_property_readonly("position",
                             [](const Note& n) -> py::object {
                               const NotePosition& p = n.inputs.position;
                               if (!p.held) return py::none();
                               py::dict d;
                               if (p.byNotional) {
                                 d["notional"] = p.notional;
                               } else {
                                 d["quantity"] = p.quantity;
                               }
                               d["scale"] = p.Scale(n.inputs.NotionalAMT);
                               d["book"] = p.book;
                               d["trade_id"] = p.tradeId;
                               return d;
                             })
      .def(
          "expanded_text",
          [](const Note& n) {
            if (n.expanded.is_null()) {
              throw py::value_error("the note's inputs were changed: it has no term sheet to show");
            }
            return ExpandedText(n);
          },
          "The explicit form of the term sheet as JSON text")
      .def(
          "expanded",
          [](const Note& n) {
            if (n.expanded.is_null()) {
              throw py::value_error("the note's inputs were changed: it has no term sheet to show");
            }
            return ToPython(n.expanded);
          },
          "The explicit form of the term sheet as Python values (as expanded_text() reads back)")
      .def("inputs", [](const Note& n) { return GetInputs(n.inputs); }, "The call's inputs, copied")
      .def(
          "with_inputs",
          [](const Note& n, const py::dict& values) {
            Note changed = n;
            SetInputs(values, changed.inputs);
            if (changed.inputs.NStock != n.inputs.NStock || changed.inputs.NStrike != n.inputs.NStrike ||
                changed.inputs.NCoupon != n.inputs.NCoupon) {
              throw py::value_error("NStock, NStrike and NCoupon belong to the term sheet and cannot change");
            }
            CheckLengths(changed.inputs);
            changed.expanded = Json();  // the arrays no longer come from the term sheet
            return changed;
          },
          "A copy whose inputs named in the dict are replaced (lengths checked)")
      .def(
          "_scenario",
          [](const Note& n, double spotMove, double volMove, const std::vector<int>& stocks) {
            Note changed = n;
            changed.inputs = MovedInputs(n.inputs, spotMove, volMove, stocks);
            changed.expanded = Json();  // the arrays no longer come from the term sheet
            return changed;
          },
          py::arg("spot_move"), py::arg("vol_move"), py::arg("stocks"),
          "A copy priced on a scenario: the spots of `stocks` (indices) moved by the fraction spot_move, their\n"
          "local volatility blocks shifted by vol_move (floored at VOL_FLOOR); price only");
  m.attr("VOL_FLOOR") = kVolFloor;

  m.def(
      "read_file",
      [](const std::string& path, const Market* market) {
        Note note;
        TermSheetError error;
        bool read = false;
        {
          py::gil_scoped_release unlocked;
          read = ReadTermSheetFile(path, note, error, market);
        }
        return NoteOrError(read, std::move(note), error);
      },
      py::arg("path"), py::arg("market") = py::none(),
      "A Note read from a term sheet file (on `market`, a Market or None), or the reader's error as a dict");
  m.def(
      "read_text",
      [](const std::string& text, const std::string& label, const Market* market) {
        Note note;
        TermSheetError error;
        bool read = false;
        {
          py::gil_scoped_release unlocked;
          read = ReadTermSheet(text, label, note, error, market);
        }
        return NoteOrError(read, std::move(note), error);
      },
      py::arg("text"), py::arg("label"), py::arg("market") = py::none(),
      "A Note read from term-sheet text (labelled `label`, on `market`), or the reader's error as a dict");
  m.def("input_names", &InputNames, "The full call's input names, in the export's order");
}

}  // namespace morvik::python
