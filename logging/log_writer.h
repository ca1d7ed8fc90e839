// Log file naming and the line writers of the diagnostic trace.
//
// Every line opens its file, appends "text\r\n" and closes it again, so a
// trace is complete up to its last line. Files live under
// "ZUN_Module_Log/<subdirectory>/" below the current working directory.
#pragma once

#include <ctime>

namespace morvik {

// One reading of the clock: calendar seconds and milliseconds (0..999).
struct LogTime {
  std::time_t seconds = 0;
  int millis = 0;
};

// A clock that MakeLogFileName reads; nullptr means the system clock.
using LogClock = LogTime (*)();

// The system clock.
LogTime SystemLogTime();

// Longest name MakeLogFileName writes for a prefix of up to 40 characters,
// terminating NUL included.
inline constexpr int kLogFileNameSize = 96;

// dest (kLogFileNameSize chars) receives prefix + "_%Y%m%d__%H_%M_%S_" of the
// local time + milliseconds ("%d") + ".txt".
void MakeLogFileName(char* dest, const char* prefix, LogClock clock = nullptr);

// Appends text + "\r\n". A file that cannot be opened or written is skipped.
void AppendLogLine(const char* subdir, const char* file, const char* text);
void LogIntValue(const char* subdir, const char* file, const char* label, int value);
void LogDoubleArray(const char* subdir, const char* file, const char* label, const double* values, int count);
void LogIntArray(const char* subdir, const char* file, const char* label, const int* values, int count);

}  // namespace morvik
