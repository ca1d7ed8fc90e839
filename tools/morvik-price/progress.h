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

// A run longer than this gets an estimate first.
inline constexpr double kLongRunSeconds = 60.0;

// Seconds the pricing of `n` (with its request's ladder and threads) will
// take, extrapolated from a pilot run of a few trials; 0 when a rough upper
// bound is already well below kLongRunSeconds (no pilot runs then).
// `pilotTrials` and `pilotSeconds` describe the pilot.
double EstimateSeconds(const NoteInputs& n, const PriceRequest& request, long long& pilotTrials,
                       double& pilotSeconds);

// "1 h 05 min", "3 min 20 s", "45 s".
std::string FormatDuration(double seconds);

}  // namespace morvik
