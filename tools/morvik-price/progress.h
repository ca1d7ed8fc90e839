// What morvik-price tells the user while it works, on standard error: the
// progress line of a book, and how long a long run will take.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "termsheet/pricing.h"

namespace morvik {

// The progress line of a book: notes done, and how far the notes being
// priced have got. Each note's progress arrives through the hook of its
// request (the fraction of its pricing done); the line is redrawn at most
// ten times a second and when a note finishes. Does nothing when disabled.
class ProgressLine {
 public:
  ProgressLine(std::ostream& err, std::size_t notes, bool enabled);
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // The hook for note k's request (no function when disabled); valid while
  // the line lives.
  ProgressCallback ForNote(std::size_t k);
  void NoteDone(std::size_t k);
  // Writes `text` (whole lines) to standard error at once, the line
  // redrawn below it when enabled. Safe from any thread.
  void Print(const std::string& text);
  // Ends the line.
  void Finish();

 private:
  // A note's hook context: the line and the note's index.
  struct Slot {
    ProgressLine* line;
    std::size_t note;
  };
  static void NoteProgress(void* ctx, double fraction);
  void Draw(bool force);  // under lock_

  std::ostream& err_;
  const bool enabled_;
  std::mutex lock_;
  std::vector<double> fraction_;  // < 0: not started; 1: done
  std::vector<Slot> notes_;
  std::size_t done_ = 0;
  std::size_t lastWidth_ = 0;
  std::chrono::steady_clock::time_point lastDraw_{};
};

// A run estimated longer than this gets its estimate on standard error.
inline constexpr double kLongRunSeconds = 60.0;

// The estimate is made once the note's progress reaches this share (the
// engine reports each percent of its paths).
inline constexpr double kEstimateShare = 0.01;

// Times the pricing of one note from its own progress: when the first
// kEstimateShare of it is done, the time it took, extrapolated, is the
// estimate; above kLongRunSeconds (or whatever it is, when `announced`: a
// bound was printed before) the line prints "FILE: about 5 min 20 s for
// 1000000 trials (from its first 1 % of paths)". Every report goes on to the
// progress line's hook of the note.
class RunEstimate {
 public:
  RunEstimate(ProgressLine& line, std::size_t note, std::string file, long long trials, bool announced = false);
  RunEstimate(const RunEstimate&) = delete;
  RunEstimate& operator=(const RunEstimate&) = delete;

  // The hook for the note's request; valid while this lives. The clock
  // starts here.
  ProgressCallback Hook();

 private:
  static void Report(void* ctx, double fraction);

  ProgressLine& line_;
  const ProgressCallback forward_;
  const std::string file_;
  const long long trials_;
  const bool announced_;
  std::chrono::steady_clock::time_point start_;
  bool decided_ = false;
};

// A rough upper bound of the seconds the pricing of `n` (the request's
// compute mode and trials applied) takes with the request's ladder and
// replications: paths x days to the last observation x underlyings x
// valuations, at a pessimistic cost per simulated stock-day. Nothing runs.
double BoundSeconds(const NoteInputs& n, const PriceRequest& request);

// A bound above this is announced before the run, whose first 1 % of paths
// may take a while.
inline constexpr double kAnnouncedBoundSeconds = 600.0;

// "1 h 05 min", "3 min 20 s", "45 s".
std::string FormatDuration(double seconds);

}  // namespace morvik
