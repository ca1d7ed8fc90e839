// The morvik-price command line: reads term sheets, prices them (one note per
// thread with --jobs, the revaluations of a note on several threads with
// --threads), prints reports, JSON or CSV, and sets the exit status.
#include "tools/morvik-price/app.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include <CLI/CLI.hpp>

namespace morvik {
namespace {

std::string Stem(const std::string& file) {
  std::size_t start = file.find_last_of('/');
  start = start == std::string::npos ? 0 : start + 1;
  std::string base = file.substr(start);
  const std::size_t dot = base.rfind('.');
  return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
}

}  // namespace

NoteReport ReadNoteFile(const std::string& file, const PriceRequest& request) {
  NoteReport r;
  r.file = file;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    r.inputError = "cannot open the file";
    return r;
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) {
    r.inputError = "cannot read the file";
    return r;
  }
  NoteInputs note;
  TermSheetError error;
  if (!ParseTermSheet(text.str(), note, error)) {
    r.inputError = Describe(error);
    return r;
  }
  if (note.name.empty()) note.name = Stem(file);
  r.note = WithRequest(note, request);
  r.usable = true;
  return r;
}

std::vector<NoteReport> PriceBook(const std::vector<std::string>& files, const PriceRequest& request, bool ladder,
                                  int jobs, bool progress, std::ostream& err) {
  std::vector<NoteReport> reports(files.size());
  std::atomic<std::size_t> next{0};
  std::mutex progressLock;
  std::size_t done = 0;
  auto worker = [&]() {
    for (;;) {
      const std::size_t k = next.fetch_add(1);
      if (k >= files.size()) return;
      NoteReport r;
      try {
        r = ReadNoteFile(files[k], request);
        if (r.usable) {
          r.result = PriceNote(r.note, ladder, request.threads);
          r.priced = true;
        }
      } catch (const std::exception& e) {
        // Out of memory while copying a note: this note fails, the book goes on.
        r = NoteReport{};
        r.file = files[k];
        r.inputError = std::string("cannot price the note: ") + e.what();
      }
      reports[k] = std::move(r);
      if (progress) {
        std::lock_guard<std::mutex> lock(progressLock);
        ++done;
        err << "\rpriced " << done << " of " << files.size() << " notes" << std::flush;
      }
    }
  };
  const std::size_t threads = std::min<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), files.size());
  if (threads <= 1) {
    worker();
  } else {
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
    for (std::thread& t : pool) t.join();
  }
  if (progress && !files.empty()) err << "\n";
  return reports;
}

int RunMorvikPrice(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal) {
  CLI::App app{"Prices autocallable step-down notes described in JSON term sheets.", "morvik-price"};
  std::vector<std::string> files;
  bool greeks = false, full = false, json = false, log = false, ladder = false;
  double trials = 0.0;
  int jobs = 1;
  int threads = 1;
  std::string csv;
  app.add_option("notes", files, "term sheets (JSON) to price, one after another")->required();
  app.add_flag("--greeks", greeks, "delta, gamma and vega by underlying");
  app.add_flag("--full", full, "greeks, and the note's theta and rho");
  app.add_option("--trials", trials, "Monte Carlo trials, replacing the term sheet's")->check(CLI::PositiveNumber);
  app.add_flag("--json", json, "print the results as JSON on standard output");
  app.add_flag("--log", log, "write the library's diagnostic trace under ZUN_Module_Log/");
  app.add_flag("--ladder", ladder, "prices for spot moves of all underlyings together, -30 % to +30 %");
  app.add_option("--jobs", jobs, "notes priced at the same time, one per thread")->check(CLI::PositiveNumber);
  app.add_option("--threads", threads,
                 "threads for the greeks' revaluations of each note (same results; --jobs x --threads threads "
                 "at most)")
      ->check(CLI::PositiveNumber);
  app.add_option("--csv", csv, "write one row per note to this file");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e, out, err);
    return rc == 0 ? kExitPriced : kExitUnusable;
  }

  std::ofstream csvOut;
  if (!csv.empty()) {
    csvOut.open(csv, std::ios::binary | std::ios::trunc);
    if (!csvOut) {
      err << "morvik-price: cannot write " << csv << "\n";
      return kExitUnusable;
    }
  }

  PriceRequest request;
  request.compute = full ? 2 : (greeks ? 1 : -1);
  request.trials = trials;
  request.log = log;
  request.ladder = ladder;
  request.threads = threads;
  const std::vector<NoteReport> reports = PriceBook(files, request, ladder, jobs, terminal, err);

  int status = kExitPriced;
  bool first = true;
  for (const NoteReport& r : reports) {
    if (!r.usable) {
      err << r.file << ": " << r.inputError << "\n";
      status = kExitUnusable;
      continue;
    }
    if (r.result.status < 0) {
      err << r.file << ": rejected, " << r.result.rejection << "\n";
      if (status == kExitPriced) status = kExitRejected;
      continue;
    }
    if (!json) {
      if (!first) out << "\n";
      WriteTextReport(out, r);
      first = false;
    }
    if (r.note.CalcFlag[1] == 1) err << r.file << ": trace written under ZUN_Module_Log/ZUNP_MorvikMC/\n";
  }
  if (json) out << JsonReport(reports);
  if (csvOut.is_open()) {
    WriteCsv(csvOut, reports);
    csvOut.flush();
    if (!csvOut) {
      err << "morvik-price: cannot write " << csv << "\n";
      status = kExitUnusable;
    }
  }
  return status;
}

}  // namespace morvik
