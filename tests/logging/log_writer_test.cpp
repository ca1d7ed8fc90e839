#include "logging/log_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cfloat>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "tests/support/temp_cwd.h"
#include "tests/support/text_lines.h"

namespace morvik {
namespace {

namespace fs = std::filesystem;

// Runs each test in a fresh temporary working directory with a fixed zone.
class LogWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cwd_.emplace("morvik_log");
    ASSERT_TRUE(cwd_->ok());
    const char* tz = std::getenv("TZ");
    hadTz_ = tz != nullptr;
    if (hadTz_) oldTz_ = tz;
    SetZone("UTC");
  }
  void TearDown() override {
    cwd_.reset();
    if (hadTz_) {
      setenv("TZ", oldTz_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static void SetZone(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }
  static std::string ReadFile(const fs::path& p) { return support::ReadFile(p); }
  static fs::path LogPath(const char* file) { return fs::path("ZUN_Module_Log") / "ZUNP_MorvikMC" / file; }

  std::optional<support::TempCwd> cwd_;
  bool hadTz_ = false;
  std::string oldTz_;
};

// 2024-01-05 00:00:00 UTC: 54 years of 365 days from 1970 plus 13 leap days
// (1972..2020), plus 4 days, times 86400.
constexpr std::time_t kJan5Midnight = (54LL * 365 + 13 + 4) * 86400;

LogTime At080509000() { return {kJan5Midnight + 8 * 3600 + 5 * 60 + 9, 0}; }
LogTime At174445007() { return {kJan5Midnight + 17 * 3600 + 44 * 60 + 45, 7}; }
LogTime At174445045() { return {kJan5Midnight + 17 * 3600 + 44 * 60 + 45, 45}; }
LogTime LastSecondOf2023() { return {kJan5Midnight - 4 * 86400 - 1, 999}; }

TEST_F(LogWriterTest, FileNameFromFixedClock) {
  char name[kLogFileNameSize];
  MakeLogFileName(name, "ZUNP_MorvikMC", At080509000);
  EXPECT_STREQ(name, "ZUNP_MorvikMC_20240105__08_05_09_0.txt");
  MakeLogFileName(name, "ZUNP_MorvikMC", At174445007);
  EXPECT_STREQ(name, "ZUNP_MorvikMC_20240105__17_44_45_7.txt");
  MakeLogFileName(name, "ZUNP_MorvikMC", At174445045);
  EXPECT_STREQ(name, "ZUNP_MorvikMC_20240105__17_44_45_45.txt");
  MakeLogFileName(name, "ZUNP_MorvikMC", LastSecondOf2023);
  EXPECT_STREQ(name, "ZUNP_MorvikMC_20231231__23_59_59_999.txt");
  EXPECT_EQ(std::strlen(name), 40u);  // the longest name with this prefix
}

TEST_F(LogWriterTest, FileNameUsesLocalTime) {
  char name[kLogFileNameSize];
  SetZone("JST-9");  // nine hours east of UTC
  MakeLogFileName(name, "ZUNP_MorvikMC", At174445007);
  EXPECT_STREQ(name, "ZUNP_MorvikMC_20240106__02_44_45_7.txt");
  SetZone("EST5");  // five hours west of UTC
  MakeLogFileName(name, "ZUNP_MorvikMC", At080509000);
  EXPECT_STREQ(name, "ZUNP_MorvikMC_20240105__03_05_09_0.txt");
}

TEST_F(LogWriterTest, FileNameFromSystemClock) {
  using namespace std::chrono;
  const auto nowMs = [] {
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  };
  const long long before = nowMs();
  const LogTime t = SystemLogTime();
  const long long after = nowMs();
  const long long read = static_cast<long long>(t.seconds) * 1000 + t.millis;
  EXPECT_GE(read, before);
  EXPECT_LE(read, after);
  EXPECT_GE(t.millis, 0);
  EXPECT_LE(t.millis, 999);

  char name[kLogFileNameSize];
  MakeLogFileName(name, "ZUNP_MorvikMC");
  // Shape: ZUNP_MorvikMC_dddddddd__dd_dd_dd_<0..999 without leading zero>.txt
  const std::string s(name);
  const std::string pattern = "ZUNP_MorvikMC_########__##_##_##_";
  ASSERT_GT(s.size(), pattern.size() + 4) << s;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '#')
      EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(s[i]))) << s;
    else
      EXPECT_EQ(s[i], pattern[i]) << s;
  }
  const std::string ms = s.substr(pattern.size(), s.size() - pattern.size() - 4);
  EXPECT_EQ(s.substr(s.size() - 4), ".txt") << s;
  ASSERT_FALSE(ms.empty());
  EXPECT_LE(ms.size(), 3u) << s;
  EXPECT_TRUE(ms == "0" || ms[0] != '0') << s;
  for (char c : ms) EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c))) << s;
}

TEST_F(LogWriterTest, OverlongPrefixIsTruncatedInsideTheBuffer) {
  const std::string prefix(300, 'p');
  char buffer[kLogFileNameSize + 8];
  std::memset(buffer, '#', sizeof buffer);
  MakeLogFileName(buffer, prefix.c_str(), At080509000);
  EXPECT_EQ(std::strlen(buffer), static_cast<std::size_t>(kLogFileNameSize - 1));
  for (std::size_t i = kLogFileNameSize; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#');
}

TEST_F(LogWriterTest, LineFormsAndOrder) {
  const char* f = "trace.txt";
  const double limits[] = {0.5, 1};
  const double negative[] = {-0.25};
  const int ints[] = {20240315, -3, 0};
  const double grouped[] = {1234567.125};
  AppendLogLine("ZUNP_MorvikMC", f, "free text, unchanged: 100%");
  LogDoubleArray("ZUNP_MorvikMC", f, "PayOffLimit", limits, 2);
  LogDoubleArray("ZUNP_MorvikMC", f, "Neg", negative, 1);
  LogIntArray("ZUNP_MorvikMC", f, "Ints", ints, 3);
  LogIntArray("ZUNP_MorvikMC", f, "Empty", ints, 0);
  LogDoubleArray("ZUNP_MorvikMC", f, "Negative count", limits, -4);
  LogIntValue("ZUNP_MorvikMC", f, "Return", -2071);
  LogDoubleArray("ZUNP_MorvikMC", f, "Grouping", grouped, 1);
  EXPECT_EQ(ReadFile(LogPath(f)),
            "free text, unchanged: 100%\r\n"
            "PayOffLimit : 0.500000, 1.000000\r\n"
            "Neg : -0.250000\r\n"
            "Ints : 20240315, -3, 0\r\n"
            "Empty : \r\n"
            "Negative count : \r\n"
            "Return : -2071\r\n"
            "Grouping : 1234567.125000\r\n");
}

TEST_F(LogWriterTest, DirectoriesAreCreatedAndFilesAppendedTo) {
  ASSERT_FALSE(fs::exists("ZUN_Module_Log"));
  AppendLogLine("ZUNP_MorvikMC", "a.txt", "first");
  EXPECT_TRUE(fs::is_directory("ZUN_Module_Log"));
  EXPECT_TRUE(fs::is_directory(fs::path("ZUN_Module_Log") / "ZUNP_MorvikMC"));
  // An existing file is appended to, never truncated.
  AppendLogLine("ZUNP_MorvikMC", "a.txt", "second");
  EXPECT_EQ(ReadFile(LogPath("a.txt")), "first\r\nsecond\r\n");
  // Another subdirectory sits next to the first one.
  LogIntValue("Other", "b.txt", "Return", 1);
  EXPECT_EQ(ReadFile(fs::path("ZUN_Module_Log") / "Other" / "b.txt"), "Return : 1\r\n");
}

TEST_F(LogWriterTest, SecondTraceGoesToNewFile) {
  char first[kLogFileNameSize];
  char second[kLogFileNameSize];
  MakeLogFileName(first, "ZUNP_MorvikMC", At174445007);
  MakeLogFileName(second, "ZUNP_MorvikMC", At174445045);
  LogIntValue("ZUNP_MorvikMC", first, "Return", -100);
  LogIntValue("ZUNP_MorvikMC", second, "Return", -2004);
  LogIntValue("ZUNP_MorvikMC", first, "Again", 2);
  EXPECT_EQ(ReadFile(LogPath(first)), "Return : -100\r\nAgain : 2\r\n");
  EXPECT_EQ(ReadFile(LogPath(second)), "Return : -2004\r\n");
}

TEST_F(LogWriterTest, HugeValuesAreWrittenInFull) {
  char one[512];
  const int n = std::snprintf(one, sizeof one, "%f", -DBL_MAX);
  ASSERT_EQ(n, 317);  // sign, 309 integer digits, point, six decimals
  const double values[] = {-DBL_MAX, -DBL_MAX, 2.0};
  LogDoubleArray("ZUNP_MorvikMC", "big.txt", "Big", values, 3);
  const std::string expected = std::string("Big : ") + one + ", " + one + ", 2.000000\r\n";
  EXPECT_EQ(ReadFile(LogPath("big.txt")), expected);

  const std::string label(6000, 'L');
  LogIntValue("ZUNP_MorvikMC", "label.txt", label.c_str(), -2147483647 - 1);
  EXPECT_EQ(ReadFile(LogPath("label.txt")), label + " : -2147483648\r\n");
}

TEST_F(LogWriterTest, UnwritableLogIsSkipped) {
  // The root is a plain file: no directory can be made below it.
  { std::ofstream("ZUN_Module_Log") << "keep"; }
  const double v[] = {1.0};
  const int iv[] = {1};
  AppendLogLine("ZUNP_MorvikMC", "x.txt", "line");
  LogDoubleArray("ZUNP_MorvikMC", "x.txt", "D", v, 1);
  LogIntArray("ZUNP_MorvikMC", "x.txt", "I", iv, 1);
  LogIntValue("ZUNP_MorvikMC", "x.txt", "Return", 1);
  EXPECT_TRUE(fs::is_regular_file("ZUN_Module_Log"));
  EXPECT_EQ(ReadFile("ZUN_Module_Log"), "keep");

  // The file name names a directory: it cannot be opened for appending.
  fs::remove("ZUN_Module_Log");
  fs::create_directories(LogPath("taken.txt"));
  LogIntValue("ZUNP_MorvikMC", "taken.txt", "Return", 1);
  EXPECT_TRUE(fs::is_directory(LogPath("taken.txt")));
  // The writer still works for a usable name afterwards.
  LogIntValue("ZUNP_MorvikMC", "ok.txt", "Return", 1);
  EXPECT_EQ(ReadFile(LogPath("ok.txt")), "Return : 1\r\n");
}

TEST_F(LogWriterTest, MissingArgumentsWriteNothingOrLabelOnly) {
  AppendLogLine(nullptr, "x.txt", "line");
  AppendLogLine("ZUNP_MorvikMC", nullptr, "line");
  EXPECT_FALSE(fs::exists("ZUN_Module_Log"));
  LogDoubleArray("ZUNP_MorvikMC", "n.txt", "NoValues", nullptr, 3);
  LogIntArray("ZUNP_MorvikMC", "n.txt", "NoInts", nullptr, 2);
  EXPECT_EQ(ReadFile(LogPath("n.txt")), "NoValues : \r\nNoInts : \r\n");
  MakeLogFileName(nullptr, "ZUNP_MorvikMC", At080509000);  // must not crash
}

}  // namespace
}  // namespace morvik
