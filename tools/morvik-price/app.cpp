// The morvik-price command line: reads term sheets, prices them (one note per
// thread with --jobs, the revaluations of a note on several threads with
// --threads), prints reports, JSON, CSV or the expanded term sheet, and sets
// the exit status. The CSV file replaces its previous version only when it
// is complete (tools/morvik-price/output_file.h).
#include "tools/morvik-price/app.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <optional>
#include <thread>

#include <CLI/CLI.hpp>

#include "interface/morvik.h"
#include "termsheet/book_risk.h"
#include "tools/morvik-price/output_file.h"
#include "tools/morvik-price/progress.h"
#include "tools/morvik-price/scenario_options.h"

namespace morvik {
namespace {

constexpr const char* kVersion = "morvik-price " MORVIK_VERSION " (term-sheet layer morvik_termsheet)";

constexpr const char* kHelpFooter = R"(
Term sheets are JSON files (docs/term-sheet.md); "-" reads one from standard
input. --expand prints a term sheet with every date and value written out and
its past worked out: it prices as the original. Limits: 8 MiB a term sheet,
objects and arrays nested 64 levels deep, 256 members an object, 10000
holidays a date rule.

--csv FILE is checked before anything is priced and replaced only when the
run completes (an interrupted run leaves the previous file); it is never one
of the term sheets, nor an existing file that is not such a CSV.

Units: amounts in the notional's currency. Probabilities are fractions in the
JSON and CSV (0.25 = 25 %) and per cent in the text report; price_percent is
per cent of the notional. --trials is a whole number from 1 to 1000000000
(fewer than 1000 gives a warning). Before a note is priced: a warning for a
basket of more than 10 underlyings, and a rough bound of its time when that
passes 10 minutes; a run its first 1 % of paths estimates at more than a
minute (or announced) prints the estimate.

Greeks, by bumping inputs and revaluing on the same random numbers:
  delta  half the price change between a 1 % rise and a 1 % fall of one spot
  gamma  (P(spot +10 %) + P(spot -10 %) - 2 P) / 100, per 1 % move
  vega   half the price change for +1 and -1 volatility point on the whole
         local volatility grid of one stock (the lower grid floored at 1e-12)
  theta  price change per day: the schedule moved h = max(4, longest window)
         days nearer; moved further away (backward difference) when fixings
         are known or an observation lies within h days
  rho    half the price change for +1 and -1 rate point on every rate curve
         and the discount curve

Precision: every price comes with its standard error and 95 % interval, and
every probability with its binomial error (JSON, CSV). A greek's error needs
--stream aligned (batch means over blocks of paths), --stream sobol or
--replications K (the spread over K runs); a greek marked "!" has an error
above a third of its size. --seed N restarts the stream elsewhere: default
stream seeds 0 to 63 (0 is the library's fixed stream), aligned and sobol
streams any whole number. --stream sobol draws scrambled Sobol points through
a Brownian bridge over each underlying's days: --scrambles R independent
scramblings (default 16) share the trials equally (R must divide them), and
every standard error is the spread of their R means.

Scenarios, each priced on the random numbers of the note's own price (same
stream, seed and replications), so that their differences are steady:
--spot-ladder STEPS (per cent of the spot, all underlyings together; with
--ladder-each every underlying alone as well), --vol-grid SPOTS:VOLS (spot
steps in per cent by local volatility shifts in vol points, floored as vega's),
--rate-shift BP (every rate curve and the discount curve), --dividend-shift BP
(dividend yields; a cash dividend moves by BP of the base price, kept between
0 and the base price), --correlation-shift X (every correlation between
underlyings, clipped to [-1, 1]; a matrix no longer positive semi-definite is
refused for that note), --vega-buckets (per underlying the vega of each time
point of its local volatility grid and of the whole grid; with --replications
each vega has the spread of its runs as its error). They appear in the text
report, the JSON and, with --scenario-csv FILE, one CSV row per scenario:
note, scenario, underlying, shift, shift_unit, vol_shift, tenor (years),
value, standard_error, change (from the price), error.

--market FILE gives the market of one pricing date (spots, volatilities,
dividends, rate curves, correlations, FX volatilities) to the term sheets that
name their underlyings by id. Term sheets with a "position" add up to the
book's value and greeks by currency and by underlying (after the notes;
--risk FILE as CSV), the notes taken as independent: standard errors add in
quadrature. --cash-flows FILE writes each note's projected payments as CSV.

Exit status: 0 every note priced (or over, with nothing left to price),
1 the library rejected a note, 2 a term sheet or an option could not be used.
)";

// The number an option's `text` writes, when it is a whole number of at most
// 18 digits; its range is the request's check (RequestProblem).
std::optional<long long> WholeNumber(const std::string& text) {
  bool digits = !text.empty() && text.size() <= 18;
  for (char c : text) digits = digits && c >= '0' && c <= '9';
  if (!digits) return std::nullopt;
  return std::stoll(text);
}

// `text` read into `value` for the option --<field.name>, or the sentence
// of a value that is not a whole number.
bool ReadWhole(const RequestField& field, const std::string& text, long long& value, std::string& error) {
  const std::optional<long long> v = WholeNumber(text);
  if (!v) {
    error = FieldProblem(field, text, "--");
    return false;
  }
  value = *v;
  return true;
}

// CLI11's complaint as one plain sentence.
std::string OptionError(const CLI::ParseError& e) {
  const std::string what = e.what();
  if (dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) return "no term sheet given";
  if (dynamic_cast<const CLI::ExtrasError*>(&e) != nullptr) {
    const std::size_t colon = what.find(": ");
    return "unknown option or argument: " + (colon == std::string::npos ? what : what.substr(colon + 2));
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
    std::string option = what.substr(0, what.find(' '));
    while (!option.empty() && option.back() == ':') option.pop_back();
    return option + " needs a value";
  }
  std::string s = what;
  while (!s.empty() && (s.back() == '.' || s.back() == '\n')) s.pop_back();
  return s;
}

// "FILE: warning: ..." lines of the warnings from the `from`-th on.
std::string WarningLines(const std::string& file, const std::vector<std::string>& warnings, std::size_t from) {
  std::string text;
  for (std::size_t k = from; k < warnings.size(); ++k) text += file + ": warning: " + warnings[k] + "\n";
  return text;
}

// Reads the --market file, its warnings to `err`; false after naming what
// is wrong with it.
bool ReadMarketOption(const std::string& path, Market& market, std::ostream& err) {
  TermSheetError error;
  if (!ReadMarketFile(path, market, error)) {
    err << path << ": " << Describe(error) << "\n";
    return false;
  }
  for (const std::string& w : market.warnings) err << path << ": warning: " << w << "\n";
  return true;
}

// Two output options naming one file would overwrite each other.
bool SameOutputProblem(const std::vector<std::pair<const char*, std::string>>& outputs, std::string& problem) {
  for (std::size_t a = 0; a < outputs.size(); ++a) {
    for (std::size_t b = a + 1; b < outputs.size(); ++b) {
      if (!outputs[a].second.empty() && outputs[a].second == outputs[b].second) {
        problem = std::string(outputs[a].first) + " and " + outputs[b].first + " name the same file";
        return false;
      }
    }
  }
  return true;
}

}  // namespace

std::vector<NoteReport> PriceBook(const std::vector<std::string>& files, const PriceRequest& request, int jobs,
                                  bool progress, std::ostream& err, const Market* market) {
  std::vector<NoteReport> reports(files.size());
  std::atomic<std::size_t> next{0};
  ProgressLine line(err, files.size(), progress);
  auto worker = [&]() {
    for (;;) {
      const std::size_t k = next.fetch_add(1);
      if (k >= files.size()) return;
      NoteReport r;
      try {
        Note note;
        TermSheetError error;
        if (!ReadTermSheetFile(files[k], note, error, market)) {
          r = UnusableReport(files[k], error);
        } else {
          // Its warnings before a long run: those of its terms now, those
          // of the pricing as it ends.
          line.Print(WarningLines(files[k], note.warnings, 0));
          // A run that may be long is announced from a rough bound; the
          // estimate follows from its first paths.
          const double bound = BoundSeconds(WithRequest(note.inputs, request), request);
          const bool announced = bound > kAnnouncedBoundSeconds && !NothingToPrice(note.life);
          if (announced) {
            line.Print(files[k] + ": may take up to " + FormatDuration(bound) +
                       " (a rough bound); an estimate follows its first 1 % of paths\n");
          }
          RunEstimate clock(line, k, files[k], request.trials.value_or(static_cast<long long>(note.inputs.NTrials)),
                            announced);
          PriceRequest mine = request;
          mine.progress = clock.Hook();
          r = PriceTermSheet(note, mine);
          line.Print(WarningLines(files[k], r.warnings, note.warnings.size()));
        }
      } catch (const std::exception& e) {
        // Out of memory while copying a note: this note fails, the book goes on.
        r = NoteReport{};
        r.file = files[k];
        r.inputError = std::string("cannot price the note: ") + e.what();
      }
      reports[k] = std::move(r);
      line.NoteDone(k);
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
  line.Finish();
  return reports;
}

int RunMorvikPrice(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal) {
  CLI::App app{"Prices autocallable step-down notes described in JSON term sheets.", "morvik-price"};
  std::vector<std::string> files;
  bool greeks = false, full = false, json = false, log = false, ladder = false, expand = false;
  bool convergence = false;
  std::string trialsText, jobsText = "1", threadsText = "1", csv, seedText, streamText = "default",
                          replicationsText, scramblesText, estimatorText = "plain", vectorWidthText = "auto";
  app.add_option("notes", files, "term sheets (JSON files, \"-\" for standard input), priced in order")
      ->required()
      ->type_name("FILE");
  app.add_flag("--greeks", greeks, "delta, gamma and vega by underlying, in the notional's currency");
  app.add_flag("--full", full, "the greeks, and the note's theta (per day) and rho (per rate point)");
  app.add_option("--trials", trialsText, "Monte Carlo trials (1 to 1000000000), replacing the term sheet's")
      ->type_name("N");
  app.add_flag("--json", json, "print the results as one JSON document on standard output");
  app.add_option("--csv", csv, "write the results to this file as CSV, one row per note and quantity (replaced when complete)")
      ->type_name("FILE");
  app.add_flag("--expand", expand, "print the term sheet with every date and value written out; price nothing");
  app.add_flag("--log", log, "write the library's diagnostic trace under ZUN_Module_Log/");
  app.add_flag("--ladder", ladder, "prices for spot moves of all underlyings together, -30 % to +30 %");
  app.add_option("--jobs", jobsText, "notes priced at the same time, one per thread (1 to 256)")->type_name("N");
  app.add_option("--threads", threadsText,
                 "threads for each note (1 to 256; same results; --jobs x --threads at most): the greeks' "
                 "revaluations, or with --stream aligned the blocks of paths of every valuation")
      ->type_name("N");
  app.add_option("--stream", streamText,
                 "random numbers: default (the library's stream), aligned (addressed by path, day and "
                 "underlying: paths in blocks over threads, greeks with standard errors) or sobol (scrambled "
                 "Sobol points through a Brownian bridge, as aligned otherwise)")
      ->type_name("KIND");
  app.add_option("--estimator", estimatorText,
                 "plain (each path's outcome as drawn) or conditional (each date's redemption smoothed over the "
                 "days before it: unbiased, steadier greeks; implies --stream aligned, also with sobol)")
      ->type_name("KIND");
  app.add_option("--vector-width", vectorWidthText,
                 "paths run side by side by the aligned stream's plain estimator: 1, 2, 4 (AVX2) or auto (default: "
                 "the widest this processor has for the greeks, one path at a time for a price alone); the same "
                 "results on each")
      ->type_name("W");
  app.add_option("--seed", seedText, "start the stream elsewhere: 0 to 63 (default stream), any whole number (aligned)")
      ->type_name("N");
  app.add_option("--replications", replicationsText,
                 "the mean of K runs on seeds N to N+K-1 (2 to 64), each greek with the spread of its K values")
      ->type_name("K");
  app.add_option("--scrambles", scramblesText,
                 "--stream sobol: independent scramblings sharing the trials, 2 to 1024 (default 16); the "
                 "errors are the spread of their means")
      ->type_name("R");
  app.add_flag("--convergence", convergence,
               "the running price and its error at 1000, 2000, 5000, ... paths (of one run: not with "
               "--replications or --stream sobol)");
  ScenarioOptionText scenarioText;
  AddScenarioOptions(app, scenarioText);
  std::string marketFile, riskCsv, flowsCsv;
  app.add_option("--market", marketFile, "market file: data of the underlyings the term sheets name by id")
      ->type_name("FILE");
  app.add_option("--risk", riskCsv, "write the book's value and greeks by currency and underlying as CSV")
      ->type_name("FILE");
  app.add_option("--cash-flows", flowsCsv, "write each note's projected cash flows as CSV")->type_name("FILE");
  app.set_version_flag("--version", kVersion);
  app.footer(kHelpFooter);
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    app.exit(e, out, err);
    return kExitPriced;
  } catch (const CLI::ParseError& e) {
    err << "morvik-price: " << OptionError(e) << " (see morvik-price --help).\n";
    return kExitUnusable;
  }

  // Parsed here; the request is checked by its rule, the jobs here.
  PriceRequest request;
  long long jobs = 1, threads = 1, replications = 1, trials = 0, seed = 0, scrambles = 16;
  std::string problem;
  if ((!trialsText.empty() && !ReadWhole(kTrialsField, trialsText, trials, problem)) ||
      !ReadWhole(kJobsField, jobsText, jobs, problem) || !ReadWhole(kThreadsField, threadsText, threads, problem) ||
      (!replicationsText.empty() && !ReadWhole(kReplicationsField, replicationsText, replications, problem)) ||
      (!scramblesText.empty() && !ReadWhole(kScramblesField, scramblesText, scrambles, problem)) ||
      (!seedText.empty() && !ReadWhole(kSeedField, seedText, seed, problem))) {
    err << "morvik-price: " << problem << ".\n";
    return kExitUnusable;
  }
  if (jobs < kJobsField.lo || jobs > kJobsField.hi) {
    problem = FieldProblem(kJobsField, jobsText, "--");
  } else if (streamText != "default" && streamText != "aligned" && streamText != "sobol") {
    problem = "--stream takes default, aligned or sobol, not \"" + streamText + "\"";
  } else if (!scramblesText.empty() && streamText != "sobol") {
    problem = "--scrambles belongs to --stream sobol";
  } else if (estimatorText != "plain" && estimatorText != "conditional") {
    problem = "--estimator takes plain or conditional, not \"" + estimatorText + "\"";
  } else if (vectorWidthText != "auto" && vectorWidthText != "1" && vectorWidthText != "2" &&
             vectorWidthText != "4") {
    problem = "--vector-width takes 1, 2, 4 or auto, not \"" + vectorWidthText + "\"";
  }
  request.vectorWidth = vectorWidthText == "auto" ? 0 : vectorWidthText[0] - '0';
  // The conditional estimator runs on the aligned stream unless one is named.
  request.conditional = estimatorText == "conditional";
  if (request.conditional && app.count("--stream") == 0) streamText = "aligned";
  if (!trialsText.empty()) request.trials = trials;
  if (!seedText.empty()) request.seed = seed;
  request.aligned = streamText == "aligned";
  request.sobol = streamText == "sobol";
  request.scrambles = scrambles;
  request.threads = threads;
  if (!replicationsText.empty()) request.replications = replications;
  request.convergence = convergence;
  if (problem.empty()) ReadScenarioOptions(scenarioText, request.scenarios, problem);
  if (problem.empty() && !scenarioText.csv.empty() && request.scenarios.Empty()) {
    problem = "--scenario-csv needs a scenario (--spot-ladder, --vol-grid, --rate-shift, --dividend-shift, "
              "--correlation-shift or --vega-buckets)";
  }
  if (problem.empty() && !scenarioText.csv.empty() && scenarioText.csv == csv) {
    problem = "--scenario-csv and --csv name the same file";
  }
  if (problem.empty()) problem = RequestProblem(request, "--");
  if (!problem.empty()) {
    err << "morvik-price: " << problem << ".\n";
    return kExitUnusable;
  }
  if (std::count(files.begin(), files.end(), std::string("-")) + (marketFile == "-") > 1) {
    err << "morvik-price: standard input (\"-\") can be read once only.\n";
    return kExitUnusable;
  }
  Market market;
  if (!marketFile.empty() && !ReadMarketOption(marketFile, market, err)) return kExitUnusable;
  const Market* marketIn = marketFile.empty() ? nullptr : &market;
  if (expand) {
    if (files.size() != 1 || json || !csv.empty() || !riskCsv.empty() || !flowsCsv.empty()) {
      err << "morvik-price: --expand takes one term sheet and prints it, without --json or --csv.\n";
      return kExitUnusable;
    }
    Note note;
    TermSheetError error;
    if (!ReadTermSheetFile(files[0], note, error, marketIn)) {
      err << files[0] << ": " << Describe(error) << "\n";
      return kExitUnusable;
    }
    for (const std::string& w : note.warnings) err << files[0] << ": warning: " << w << "\n";
    out << ExpandedText(note);
    return kExitPriced;
  }

  // Checked, and its temporary file made, before anything is priced.
  OutputFile csvFile, riskFile, flowsFile, scenarioFile;
  std::vector<std::string> inputs = files;
  if (!marketFile.empty()) inputs.push_back(marketFile);
  if (!SameOutputProblem({{"--csv", csv}, {"--risk", riskCsv}, {"--cash-flows", flowsCsv},
                          {"--scenario-csv", scenarioText.csv}},
                         problem) ||
      (!csv.empty() && !csvFile.Open(csv, inputs, problem)) ||
      (!riskCsv.empty() && !riskFile.Open(riskCsv, inputs, problem, kRiskCsvStart)) ||
      (!flowsCsv.empty() && !flowsFile.Open(flowsCsv, inputs, problem, kCashFlowCsvStart)) ||
      (!scenarioText.csv.empty() && !scenarioFile.Open(scenarioText.csv, inputs, problem, kScenarioCsvStart))) {
    err << "morvik-price: " << problem << ".\n";
    return kExitUnusable;
  }

  request.compute = full ? 2 : (greeks ? 1 : -1);
  request.log = log;
  request.ladder = ladder;
  const std::vector<NoteReport> reports =
      PriceBook(files, request, static_cast<int>(jobs), terminal && files.size() > 1, err, marketIn);

  int status = kExitPriced;
  bool first = true;
  for (const NoteReport& r : reports) {
    if (!r.usable) {
      err << r.file << ": " << r.inputError << "\n";
      status = kExitUnusable;
      continue;
    }
    if (r.priced && r.result.status < 0) {
      err << r.file << ": rejected, " << r.result.rejection << "\n";
      if (status == kExitPriced) status = kExitRejected;
      continue;
    }
    if (!json) {
      if (!first) out << "\n";
      WriteTextReport(out, r);
      first = false;
    }
    for (const ScenarioRow& row : r.result.scenarios) {
      if (row.error.empty()) continue;
      err << r.file << ": scenario " << ScenarioKindName(row.kind) << " " << row.shift << ": " << row.error << "\n";
      if (status == kExitPriced) status = kExitRejected;
    }
    if (r.priced && r.note.CalcFlag[1] == 1) err << r.file << ": trace written under ZUN_Module_Log/ZUNP_MorvikMC/\n";
  }
  const bool book = HasPositions(reports);
  if (book && !json) {
    if (!first) out << "\n";
    WriteBookRiskText(out, AggregateBook(reports));
  }
  if (json) out << JsonReportWithBook(reports);
  if (!csv.empty()) WriteCsv(csvFile.Stream(), reports);
  if (!riskCsv.empty()) WriteBookRiskCsv(riskFile.Stream(), AggregateBook(reports));
  if (!flowsCsv.empty()) WriteCashFlowCsv(flowsFile.Stream(), reports);
  if (!scenarioText.csv.empty()) WriteScenarioCsv(scenarioFile.Stream(), reports);
  const std::pair<const std::string*, OutputFile*> outputs[] = {
      {&csv, &csvFile}, {&riskCsv, &riskFile}, {&flowsCsv, &flowsFile}, {&scenarioText.csv, &scenarioFile}};
  for (const auto& [path, file] : outputs) {
    if (!path->empty() && !file->Commit(problem)) {
      err << "morvik-price: " << problem << ".\n";
      status = kExitUnusable;
    }
  }
  return status;
}

int RunMorvikPriceGuarded(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal) {
  try {
    return RunMorvikPrice(argc, argv, out, err, terminal);
  } catch (const std::exception& e) {
    err << "morvik-price: " << e.what() << "\n";
  } catch (...) {
    err << "morvik-price: unexpected failure\n";
  }
  return kExitUnusable;
}

}  // namespace morvik
