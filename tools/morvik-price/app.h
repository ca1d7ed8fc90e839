// The morvik-price command: options, the book of notes, exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "termsheet/market_file.h"
#include "termsheet/report.h"

namespace morvik {

// Exit statuses of the command.
inline constexpr int kExitPriced = 0;     // every note priced (or over: nothing left to price)
inline constexpr int kExitRejected = 1;   // the library rejected a note
inline constexpr int kExitUnusable = 2;   // a term sheet or an option could not be used

// Most notes priced at once (--jobs); the bounds of a note's request are
// the term-sheet layer's (termsheet/pricing.h).
inline constexpr int kMaxJobs = 256;
inline constexpr RequestField kJobsField{"jobs", 1, kMaxJobs};

// Reads and prices every file, `jobs` notes at a time (one note per thread).
// Reports come back in the order of the files, whatever `jobs` is. With
// `progress` a progress line goes to `err`. A note's warnings go there
// before it is priced (those of the pricing itself after it), and so does
// the estimate of a run that its first paths show will take more than a
// minute.
// With a `market`, notes that name their underlyings by id take its data.
std::vector<NoteReport> PriceBook(const std::vector<std::string>& files, const PriceRequest& request, int jobs,
                                  bool progress, std::ostream& err, const Market* market = nullptr);

// The whole command: argv as main receives it. Returns the exit status.
// `terminal` says whether standard error is a terminal (progress line).
int RunMorvikPrice(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal);

// RunMorvikPrice as a program's entry runs it: nothing escapes, an exception
// is reported on `err` ("morvik-price: ...") and gives kExitUnusable.
int RunMorvikPriceGuarded(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal);

}  // namespace morvik
