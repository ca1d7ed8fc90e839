// Progress line and run-time estimate of morvik-price.
#include "tools/morvik-price/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "dates/calendar.h"

namespace morvik {

ProgressLine::ProgressLine(std::ostream& err, std::size_t notes, bool enabled)
    : err_(err), enabled_(enabled), fraction_(notes, -1.0) {
  notes_.reserve(notes);
  for (std::size_t k = 0; k < notes; ++k) notes_.push_back(Slot{this, k});
}

ProgressCallback ProgressLine::ForNote(std::size_t k) {
  if (!enabled_) return ProgressCallback{};
  return ProgressCallback{&ProgressLine::NoteProgress, &notes_[k]};
}

void ProgressLine::NoteProgress(void* ctx, double fraction) {
  const Slot& slot = *static_cast<const Slot*>(ctx);
  ProgressLine& line = *slot.line;
  std::lock_guard<std::mutex> hold(line.lock_);
  line.fraction_[slot.note] = std::clamp(fraction, 0.0, 1.0);
  line.Draw(false);
}

void ProgressLine::NoteDone(std::size_t k) {
  if (!enabled_) return;
  std::lock_guard<std::mutex> hold(lock_);
  fraction_[k] = 1.0;
  ++done_;
  Draw(true);
}

void ProgressLine::Print(const std::string& text) {
  if (text.empty()) return;
  std::lock_guard<std::mutex> hold(lock_);
  if (lastWidth_ > 0) err_ << "\r" << std::string(lastWidth_, ' ') << "\r";
  err_ << text << std::flush;
  if (lastWidth_ > 0) {
    lastWidth_ = 0;
    Draw(true);
  }
}

void ProgressLine::Finish() {
  if (!enabled_) return;
  std::lock_guard<std::mutex> hold(lock_);
  if (lastWidth_ > 0) err_ << "\n" << std::flush;
  lastWidth_ = 0;
}

void ProgressLine::Draw(bool force) {
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - lastDraw_ < std::chrono::milliseconds(100)) return;
  lastDraw_ = now;
  std::string line = "priced " + std::to_string(done_) + " of " + std::to_string(fraction_.size()) + " notes";
  std::string running;
  for (double f : fraction_) {
    if (f < 0.0 || f >= 1.0) continue;
    running += (running.empty() ? "" : ", ") + std::to_string(static_cast<int>(std::floor(100.0 * f))) + " %";
  }
  if (!running.empty()) line += "; running: " + running;
  const std::size_t width = line.size();
  if (width < lastWidth_) line += std::string(lastWidth_ - width, ' ');
  lastWidth_ = width;
  err_ << "\r" << line << std::flush;
}

RunEstimate::RunEstimate(ProgressLine& line, std::size_t note, std::string file, long long trials, bool announced)
    : line_(line), forward_(line.ForNote(note)), file_(std::move(file)), trials_(trials), announced_(announced) {}

ProgressCallback RunEstimate::Hook() {
  start_ = std::chrono::steady_clock::now();
  decided_ = false;
  return ProgressCallback{&RunEstimate::Report, this};
}

void RunEstimate::Report(void* ctx, double fraction) {
  RunEstimate& e = *static_cast<RunEstimate*>(ctx);
  if (e.forward_.fn != nullptr) e.forward_.fn(e.forward_.ctx, fraction);
  if (e.decided_ || !(fraction >= kEstimateShare)) return;
  e.decided_ = true;
  const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - e.start_).count();
  const double seconds = spent / std::min(fraction, 1.0);
  if (!e.announced_ && !(seconds > kLongRunSeconds)) return;
  try {
    e.line_.Print(e.file_ + ": about " + FormatDuration(seconds) + " for " + std::to_string(e.trials_) +
                  " trials (from its first " + std::to_string(static_cast<int>(std::floor(100.0 * fraction))) +
                  " % of paths)\n");
  } catch (...) {
    // Out of memory for the message: the run goes on without it (the
    // library's hook must not throw).
  }
}

namespace {

// Rough cost of one simulated stock-day, pessimistic for this machine class
// (about 16 ns measured on one core of it, 45 ns with every core busy).
constexpr double kSecondsPerStockDay = 60e-9;

// Valuations of one call: the price, and for the greeks two spot bumps,
// three for gamma and two volatility bumps per stock, then theta and rho;
// the ladder's six moved points; the scenarios' valuations (of each run).
double Valuations(const NoteInputs& n, const PriceRequest& request) {
  double v = 1.0;
  if (n.CalcFlag[0] >= 1) v += 7.0 * n.NStock;
  if (n.CalcFlag[0] >= 2) v += 4.0;
  if (request.ladder) v += 6.0;
  long long tenors = 0;
  for (const int t : n.NVol) tenors += t > 0 ? t : 0;
  if (!request.scenarios.Empty()) v += static_cast<double>(ScenarioValuations(request.scenarios, n.NStock, tenors, 1));
  return v;
}

}  // namespace

double BoundSeconds(const NoteInputs& n, const PriceRequest& request) {
  if (n.NStrike < 1 || n.DatesInfo.empty()) return 0.0;
  const double days = std::max(1, CdrDDiff(n.PriceDate, n.DatesInfo[static_cast<std::size_t>(n.NStrike) - 1]));
  const double runs = static_cast<double>(request.replications.value_or(1));
  return n.NTrials * runs * days * n.NStock * Valuations(n, request) * kSecondsPerStockDay;
}

std::string FormatDuration(double seconds) {
  char buf[64];
  const double s = std::max(0.0, std::round(seconds));
  if (s >= 3600.0) {
    const long long h = static_cast<long long>(s / 3600.0);
    const long long m = static_cast<long long>((s - 3600.0 * h) / 60.0);
    std::snprintf(buf, sizeof buf, "%lld h %02lld min", h, m);
  } else if (s >= 60.0) {
    const long long m = static_cast<long long>(s / 60.0);
    std::snprintf(buf, sizeof buf, "%lld min %02lld s", m, static_cast<long long>(s) - 60 * m);
  } else {
    std::snprintf(buf, sizeof buf, "%lld s", static_cast<long long>(s));
  }
  return buf;
}

}  // namespace morvik
