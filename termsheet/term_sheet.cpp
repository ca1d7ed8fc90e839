// Reading a term sheet: text, schedule rules, the explicit form, the past.
#include "termsheet/term_sheet.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>

#include "termsheet/json_fields.h"
#include "termsheet/market_file.h"
#include "termsheet/schedule.h"
#include "termsheet/sheet_reader.h"

namespace morvik {
namespace {

std::string Stem(const std::string& file) {
  std::size_t start = file.find_last_of('/');
  start = start == std::string::npos ? 0 : start + 1;
  std::string base = file.substr(start);
  const std::size_t dot = base.rfind('.');
  return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

Json Row(int date, const double* prices, int count) {
  return Json{{"date", FormatIsoDate(date)}, {"prices", std::vector<double>(prices, prices + count)}};
}

// The states and fixings the call receives, written into the "past" block
// of the explicit form (dated rows), beside what the block already holds.
void WritePast(Json& root, const Note& note) {
  const NoteInputs& n = note.inputs;
  const LifeCycle& life = note.life;
  const Json* given = root.contains("past") ? &root["past"] : nullptr;
  if (given == nullptr && n.FixedFlag[0] == 0 && n.FixedFlag[1] == 0) return;
  const auto rows = [&](const std::vector<double>& closes, const std::vector<int>& dates) {
    Json out = Json::array();
    for (std::size_t k = 0; k < dates.size(); ++k) {
      out.push_back(Row(dates[k], closes.data() + k * static_cast<std::size_t>(n.NStock), n.NStock));
    }
    return out;
  };
  // The states first, then what the block held besides them (its history).
  Json past = Json::object();
  if (life.fromHistory) past["_life_cycle"] = StateSentence(life, n);
  past["knock_in_hit"] = n.BeKI_Hitted != 0;
  Json flags = Json::array();
  for (int f : n.BeKO_Hitted) flags.push_back(f != 0);
  past["knock_out_hit"] = flags;
  if (n.NCoupon > 0) past["coupon_barrier_hit"] = n.BeCouponBarrierHitted != 0;
  if (n.FixedFlag[0] > 0 || (given && given->contains("fixings"))) past["fixings"] = rows(n.SC, life.fixingDates);
  if (n.FixedFlag[1] > 0 || (given && given->contains("coupon_fixings"))) {
    past["coupon_fixings"] = rows(n.Coupon_SC, life.couponFixingDates);
  }
  if (given != nullptr) {
    for (auto it = given->begin(); it != given->end(); ++it) {
      if (!past.contains(it.key())) past[it.key()] = it.value();
    }
  }
  root["past"] = std::move(past);
}

std::string TooLarge(std::uintmax_t bytes) {
  return "is " + std::to_string(bytes) + " bytes; a term sheet is at most " + std::to_string(kMaxTermSheetBytes >> 20) +
         " MiB (" + std::to_string(kMaxTermSheetBytes) + " bytes)";
}

// Reads all of `in` into `text`, but refuses more than kMaxTermSheetBytes:
// a pipe or device gives no size beforehand.
bool ReadBounded(std::istream& in, std::string& text, TermSheetError& error) {
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (text.size() > kMaxTermSheetBytes) {
      error.message = "is more than " + std::to_string(kMaxTermSheetBytes) + " bytes; a term sheet is at most " +
                      std::to_string(kMaxTermSheetBytes >> 20) + " MiB";
      return false;
    }
  }
  if (in.bad()) {
    error.message = "cannot read the file";
    return false;
  }
  return true;
}

// Each calibrated underlying's quotes replaced by the grid they gave, so
// that the explicit form prices as the note without calibrating again.
void WriteCalibratedGrids(Json& root, const NoteInputs& n) {
  for (const CalibratedUnderlying& c : n.calibrated) {
    Json& u = root["underlyings"][static_cast<std::size_t>(c.underlying)];
    const std::size_t nt = c.grid.times.size();
    Json rows = Json::array();
    for (std::size_t p = 0; p < c.grid.moneyness.size(); ++p) {
      rows.push_back(std::vector<double>(c.grid.vols.begin() + p * nt, c.grid.vols.begin() + (p + 1) * nt));
    }
    u.erase("implied_vol");
    u["_local_vol"] = FitSentence(c.report);
    u["local_vol"] = Json{{"times", c.grid.times}, {"moneyness", c.grid.moneyness}, {"vols", std::move(rows)}};
  }
}

// The market file's path of a field the note took from it ("market.json:
// underlyings.HYUNDAI.local_vol.vols[2]"), or empty for one of the note's own.
std::string MarketPath(const std::vector<MarketSource>& sources, const std::string& path, const Market* market) {
  for (const MarketSource& s : sources) {
    const std::size_t n = s.notePath.size();
    if (path.compare(0, n, s.notePath) != 0) continue;
    if (path.size() > n && path[n] != '.' && path[n] != '[') continue;
    return (market ? market->label + ": " : std::string()) + s.marketPath + path.substr(n);
  }
  return std::string();
}

}  // namespace

TermSheetError TextError(std::string_view text, const JsonTextError& refused) {
  TermSheetError error;
  error.kind = TermSheetError::kText;
  error.notJson = refused.syntax;
  LineAndColumn(text, refused.offset, error.line, error.column);
  error.message = refused.message;
  return error;
}

std::string Describe(const TermSheetError& e) {
  std::string where;
  if (e.line > 0) where = Position(e.line, e.column) + ": ";
  if (e.kind == TermSheetError::kField && !e.path.empty()) return where + e.path + ": " + e.message;
  return where + e.message;
}

bool ReadTermSheet(std::string_view text, const std::string& label, Note& note, TermSheetError& error,
                   const Market* market) {
  note = Note{};
  error = TermSheetError{};
  note.label = label;
  if (text.size() > kMaxTermSheetBytes) {
    error.kind = TermSheetError::kFile;
    error.message = TooLarge(text.size());
    return false;
  }
  Json root;
  JsonPositions positions;
  JsonTextError textError;
  std::vector<MarketSource> sources;
  if (!ReadJsonText(text, root, positions, textError)) {
    error = TextError(text, textError);
    return false;
  }
  try {
    note.expanded = std::move(root);
    std::vector<sheet::FieldIssue> issues;
    sources = ApplyMarket(note.expanded, market, issues);
    ExpandScheduleRules(note.expanded);
    PastInput past;
    ReadExplicitSheet(note.expanded, note.inputs, past, issues);
    ApplyPast(past, note.inputs, note.life, issues);
    WriteCalibratedGrids(note.expanded, note.inputs);
    if (note.inputs.name.empty()) note.inputs.name = label == "-" ? "standard input" : Stem(label);
    WritePast(note.expanded, note);
    const LineIndex lines(text);
    for (const sheet::FieldIssue& w : issues) {
      if (const std::string from = MarketPath(sources, w.path, market); !from.empty()) {
        note.warnings.push_back(from + ": " + w.message);  // a field the market file gave
        continue;
      }
      int line = 0, column = 0;
      lines.Find(positions.Find(w.path), line, column);
      note.warnings.push_back(Position(line, column) + ": " + w.path + ": " + w.message);
    }
    return true;
  } catch (const sheet::FieldError& e) {
    error.kind = TermSheetError::kField;
    error.path = e.path;
    error.message = e.message;
    if (const std::string from = MarketPath(sources, e.path, market); !from.empty()) {
      error.path = from;  // filled in from the market file: no line of the note holds it
    } else {
      LineAndColumn(text, positions.Find(e.path), error.line, error.column);
    }
  } catch (const std::bad_alloc&) {
    error.kind = TermSheetError::kFile;
    error.message = "out of memory while reading the term sheet";
  } catch (const std::exception& e) {
    error.kind = TermSheetError::kFile;
    error.message = e.what();
  }
  note = Note{};
  note.label = label;
  return false;
}

bool ReadTermSheetFile(const std::string& path, Note& note, TermSheetError& error, const Market* market) {
  note = Note{};
  note.label = path;
  std::string text;
  if (!ReadSheetText(path, text, error)) return false;
  return ReadTermSheet(text, path, note, error, market);
}

bool ReadSheetText(const std::string& path, std::string& text, TermSheetError& error) {
  error = TermSheetError{};
  error.kind = TermSheetError::kFile;
  try {
    text.clear();
    if (path == "-") {
      if (!ReadBounded(std::cin, text, error)) {
        if (std::cin.bad()) error.message = "cannot read standard input";
        return false;
      }
    } else {
      namespace fs = std::filesystem;
      std::error_code ec;
      const fs::file_status st = fs::status(path, ec);
      if (ec || !fs::exists(st)) {
        error.message = "no such file";
        return false;
      }
      if (fs::is_directory(st)) {
        error.message = "is a directory, not a term sheet";
        return false;
      }
      if (!fs::is_regular_file(st) && !fs::is_fifo(st) && !fs::is_character_file(st)) {
        error.message = "is not a regular file";
        return false;
      }
      if (fs::is_regular_file(st)) {
        const std::uintmax_t size = fs::file_size(path, ec);
        if (!ec && size > kMaxTermSheetBytes) {
          error.message = TooLarge(size);
          return false;
        }
      }
      std::ifstream in(path, std::ios::binary);
      if (!in) {
        error.message = std::string("cannot open the file: ") + std::strerror(errno);
        return false;
      }
      if (!ReadBounded(in, text, error)) return false;
    }
    return true;
  } catch (const std::exception&) {
    error = TermSheetError{};
    error.kind = TermSheetError::kFile;
    error.message = "cannot read the file: out of memory";
    return false;
  }
}

std::string ExpandedText(const Note& note) {
  try {
    return WriteJsonText(note.expanded);
  } catch (const std::exception&) {
    return std::string();  // out of memory: nothing to print
  }
}

bool ParseTermSheet(const std::string& text, NoteInputs& inputs, TermSheetError& error) {
  Note note;
  if (!ReadTermSheet(text, "", note, error)) {
    inputs = NoteInputs{};
    return false;
  }
  inputs = std::move(note.inputs);
  return true;
}

}  // namespace morvik
