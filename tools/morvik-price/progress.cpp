// Progress line and run-time estimate of morvik-price.
#include "tools/morvik-price/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

namespace {

// Rough cost of one simulated stock-day, pessimistic for this machine class.
constexpr double kSecondsPerStockDay = 60e-9;

// Trials of the pilot run.
constexpr long long kPilotTrials = 1000;

// Valuations of one call: the price, and for the greeks two spot bumps,
// three for gamma and two volatility bumps per stock, then theta and rho.
double Valuations(const NoteInputs& n, bool ladder) {
  double v = 1.0;
  if (n.CalcFlag[0] >= 1) v += 7.0 * n.NStock;
  if (n.CalcFlag[0] >= 2) v += 4.0;
  if (ladder) v += 6.0;
  return v;
}

}  // namespace

double EstimateSeconds(const NoteInputs& n, const PriceRequest& request, long long& pilotTrials,
                       double& pilotSeconds) {
  pilotTrials = 0;
  pilotSeconds = 0.0;
  if (n.NStrike < 1) return 0.0;
  const int days = std::max(1, CdrDDiff(n.PriceDate, n.DatesInfo[n.NStrike - 1]));
  const double bound = n.NTrials * days * n.NStock * Valuations(n, request.ladder) * kSecondsPerStockDay;
  // On the sobol stream the pilot's trials are whole scramblings too.
  const long long share = request.sobol && request.scrambles > 1 ? request.scrambles : 1;
  const long long trials = (kPilotTrials + share - 1) / share * share;
  if (bound < kLongRunSeconds / 2 || n.NTrials <= 2.0 * static_cast<double>(trials)) return 0.0;
  NoteInputs pilot = n;
  pilot.NTrials = static_cast<double>(trials);
  pilot.CalcFlag[1] = 0;
  PriceRequest quiet = request;
  quiet.progress = ProgressCallback{};
  const auto start = std::chrono::steady_clock::now();
  PriceNote(pilot, quiet);
  pilotSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  pilotTrials = trials;
  return pilotSeconds * (n.NTrials / static_cast<double>(trials));
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
