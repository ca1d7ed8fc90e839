// Progress line and run-time estimate of morvik-price.
#include "tools/morvik-price/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

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

RunEstimate::RunEstimate(ProgressLine& line, std::size_t note, std::string file, long long trials)
    : line_(line), forward_(line.ForNote(note)), file_(std::move(file)), trials_(trials) {}

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
  if (!(seconds > kLongRunSeconds)) return;
  e.line_.Print(e.file_ + ": about " + FormatDuration(seconds) + " for " + std::to_string(e.trials_) +
                " trials (from its first " + std::to_string(static_cast<int>(std::floor(100.0 * fraction))) +
                " % of paths)\n");
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
