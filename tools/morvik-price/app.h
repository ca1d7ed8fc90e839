// The morvik-price command: options, the book of notes, exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "termsheet/report.h"

namespace morvik {

// Exit statuses of the command.
inline constexpr int kExitPriced = 0;     // every note priced
inline constexpr int kExitRejected = 1;   // the library rejected a note
inline constexpr int kExitUnusable = 2;   // a term sheet or an option could not be used

// Reads and prices every file, `jobs` notes at a time (one note per thread).
// Reports come back in the order of the files, whatever `jobs` is. When
// `progress` is set a progress line goes to `err`.
std::vector<NoteReport> PriceBook(const std::vector<std::string>& files, const PriceRequest& request, bool ladder,
                                  int jobs, bool progress, std::ostream& err);

// Reads one term sheet file into a report (usable or not); prices nothing.
NoteReport ReadNoteFile(const std::string& file, const PriceRequest& request);

// The whole command: argv as main receives it. Returns the exit status.
// `terminal` says whether standard error is a terminal (progress line).
int RunMorvikPrice(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool terminal);

}  // namespace morvik
