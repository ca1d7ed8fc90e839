// Log file naming and the line writers of the diagnostic trace.
//
// Lines are built in std::string, and every value is formatted into a buffer
// sized by snprintf itself, so no value (however large its "%f" text) can
// overflow a line. A file that cannot be opened or written is skipped: the
// trace is a diagnostic and never changes the outcome of a pricing call.
#include "logging/log_writer.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <direct.h>
#else
#include <sys/stat.h>
#include <sys/types.h>
#endif

namespace morvik {

namespace {

constexpr const char* kLogRoot = "ZUN_Module_Log";

#if defined(_WIN32)
constexpr char kPathSeparator = '\\';
void CreateDirectoryLevel(const std::string& path) { (void)_mkdir(path.c_str()); }
bool ToLocalTime(std::time_t seconds, std::tm* out) { return localtime_s(out, &seconds) == 0; }
#else
constexpr char kPathSeparator = '/';
void CreateDirectoryLevel(const std::string& path) { (void)mkdir(path.c_str(), 0777); }
bool ToLocalTime(std::time_t seconds, std::tm* out) { return localtime_r(&seconds, out) != nullptr; }
#endif

// Appends one value printed with fmt; a text longer than the stack buffer is
// printed again into a buffer of the exact length.
template <typename T>
void AppendFormatted(std::string& line, const char* fmt, T value) {
  char small[128];
  const int n = std::snprintf(small, sizeof small, fmt, value);
  if (n < 0) return;
  if (static_cast<std::size_t>(n) < sizeof small) {
    line.append(small, static_cast<std::size_t>(n));
    return;
  }
  std::string big(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), fmt, value);
  line.append(big.data(), static_cast<std::size_t>(n));
}

// "label : "
std::string LabelPart(const char* label) {
  std::string line(label != nullptr ? label : "");
  line += " : ";
  return line;
}

// "label : v0, v1, ..., vn-1"; a count of 0 or less (or no array) gives the
// label part alone.
template <typename T>
std::string ArrayLine(const char* label, const char* fmt, const T* values, int count) {
  std::string line = LabelPart(label);
  if (values == nullptr) return line;
  for (int i = 0; i < count; ++i) {
    AppendFormatted(line, fmt, values[i]);
    if (i + 1 < count) line += ", ";
  }
  return line;
}

void AppendLine(const char* subdir, const char* file, const std::string& text) {
  if (subdir == nullptr || file == nullptr) return;
  std::string directory(kLogRoot);
  directory += kPathSeparator;
  directory += subdir;
  std::string path(directory);
  path += kPathSeparator;
  path += file;

  // One level at a time; an existing directory (or any other failure) is
  // not an error here, the open below decides.
  CreateDirectoryLevel(kLogRoot);
  CreateDirectoryLevel(directory);

  std::string line(text);
  line += "\r\n";

  // Binary append: the line end reaches the disk as exactly CR LF.
  std::FILE* f = std::fopen(path.c_str(), "a+b");
  if (f == nullptr) return;
  (void)std::fwrite(line.data(), 1, line.size(), f);
  (void)std::fclose(f);
}

}  // namespace

LogTime SystemLogTime() {
  using namespace std::chrono;
  const long long ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  long long secs = ms / 1000;
  long long rem = ms % 1000;
  if (rem < 0) {  // before the epoch: keep the milliseconds in 0..999
    rem += 1000;
    secs -= 1;
  }
  LogTime t;
  t.seconds = static_cast<std::time_t>(secs);
  t.millis = static_cast<int>(rem);
  return t;
}

void MakeLogFileName(char* dest, const char* prefix, LogClock clock) {
  if (dest == nullptr) return;
  dest[0] = '\0';
  try {
    const LogTime now = clock != nullptr ? clock() : SystemLogTime();
    std::tm local{};
    if (!ToLocalTime(now.seconds, &local)) {
      local = std::tm{};
      local.tm_mday = 1;
    }
    char stamp[64];
    if (std::strftime(stamp, sizeof stamp, "_%Y%m%d__%H_%M_%S_", &local) == 0) stamp[0] = '\0';
    std::snprintf(dest, kLogFileNameSize, "%s%s%d.txt", prefix != nullptr ? prefix : "", stamp,
                  now.millis);
  } catch (...) {
    dest[0] = '\0';
  }
}

void AppendLogLine(const char* subdir, const char* file, const char* text) {
  try {
    AppendLine(subdir, file, std::string(text != nullptr ? text : ""));
  } catch (...) {
    // A line that cannot be built or written is dropped.
  }
}

void LogIntValue(const char* subdir, const char* file, const char* label, int value) {
  try {
    std::string line = LabelPart(label);
    AppendFormatted(line, "%d", value);
    AppendLine(subdir, file, line);
  } catch (...) {
  }
}

void LogDoubleArray(const char* subdir, const char* file, const char* label, const double* values,
                    int count) {
  try {
    AppendLine(subdir, file, ArrayLine(label, "%f", values, count));
  } catch (...) {
  }
}

void LogIntArray(const char* subdir, const char* file, const char* label, const int* values,
                 int count) {
  try {
    AppendLine(subdir, file, ArrayLine(label, "%d", values, count));
  } catch (...) {
  }
}

}  // namespace morvik
