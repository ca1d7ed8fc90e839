#include "calls/input_dump.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "calls/full_call.h"
#include "logging/log_writer.h"
#include "tests/support/temp_cwd.h"
#include "tests/support/text_lines.h"

namespace morvik {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSub = "ZUNP_MorvikMC";
constexpr const char* kFile = "ZUNP_MorvikMC_20240315__09_30_00_12.txt";

class InputDumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cwd_.emplace("morvik_dump");
    ASSERT_TRUE(cwd_->ok());
  }
  void TearDown() override { cwd_.reset(); }
  static std::string ReadLog() { return support::ReadFile(fs::path("ZUN_Module_Log") / kSub / kFile); }
  // Splits the file into lines; every line must end in CR LF.
  static std::vector<std::string> Lines(const std::string& text) {
    bool crlfOnly = false;
    std::vector<std::string> lines = support::SplitCrLf(text, &crlfOnly);
    EXPECT_TRUE(crlfOnly) << text;
    return lines;
  }
  // Label and number of values of one "label : v, v, v" line.
  static std::pair<std::string, int> LabelAndCount(const std::string& line) {
    const std::size_t colon = line.find(" : ");
    if (colon == std::string::npos) return {line, -1};
    const std::string values = line.substr(colon + 3);
    if (values.empty()) return {line.substr(0, colon), 0};
    int n = 1;
    for (std::size_t p = values.find(", "); p != std::string::npos; p = values.find(", ", p + 2)) ++n;
    return {line.substr(0, colon), n};
  }

  std::optional<support::TempCwd> cwd_;
};

std::vector<double> Ramp(int n, double start) {
  std::vector<double> v;
  for (int i = 0; i < n; ++i) v.push_back(start + 0.25 * i);
  return v;
}
std::vector<int> IntRamp(int n, int start) {
  std::vector<int> v;
  for (int i = 0; i < n; ++i) v.push_back(start + i);
  return v;
}

TEST_F(InputDumpTest, TwoStocksOneStrikeNoCouponsByteForByte) {
  // Every array has exactly the length its count says, so a read past a
  // count shows up under the address sanitizer.
  FullCall c;
  c.PriceDate = 20240315;
  c.NotionalAMT = 1000000;
  c.UnderlyingPrice = {100, 100, 50.5, 50};
  c.TCurveInfo = {0.25, 1, 0.5, 0.1, 1, 2};
  c.CurveInfo = {0.03, 0.035, 0.02, 0.01, 0.015, 0.02};
  c.NT = {2, 1, 3};
  c.TVol = {0.5, 1, 0.5};
  c.Parity = {0.8, 1, 1.2, 0.9, 1.1};
  c.LocalVolSurface = {0.3, 0.25, 0.2, 0.28, 0.24, 0.21, 0.4, 0.35};
  c.NVol = {2, 1};
  c.NParity = {3, 2};
  c.UnderlyingCorr = {1, 0.5, 0.5, 1};
  c.TDiv = {20240601};
  c.Div = {1.5};
  c.NDiv = {1, 0};
  c.Div_TypeFlag = {2, 0};
  c.FX_TVol = {0.5, 1};
  c.FX_Vol = {0.1, 0.12};
  c.FX_NVol = {0, 2};
  c.FX_Corr = {0, -0.3};
  c.QuantoFlag = {0, 1};
  c.NStock = 2;
  c.NStrike = 1;
  c.X = {0.85, 0.85, 0, 0, 0, 0, 0, 0};
  c.KO_Barrier = {1.2};
  c.KI_Barrier = {0.6, 0.55};
  c.PayOffSlope = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};
  c.PayOffAmount = {1.1, 0, 0, 0, 1.1, 1, 0, 0, 0, 0, 0, 0};
  c.DatesInfo = {20250315, 20250319, 0, 0};
  // RedemCoupon stays empty: NStrike = 1 leaves nothing to read.
  c.KnockBarrierFlag = {1, 0};
  c.BeKO_Hitted = {0, 1};
  c.BeKI_Hitted = 0;
  c.NCoupon = 0;
  c.CouponBarrierFlag = 1;
  c.BeCouponBarrierHitted = 0;
  c.NTrials = 10000;
  c.PayOffLimit = {1, 0.5};
  c.NAFlag = 1;
  c.FixedFlag = {0, 0};
  c.CalcFlag = {1, 1};

  LogInputs(kSub, kFile, c.View());

  const std::string expected =
      "PriceDate : 20240315\r\n"
      "NotionalAMT : 1000000.000000\r\n"
      "UnderlyingPrice : 100.000000, 100.000000, 50.500000, 50.000000\r\n"
      "TCurveInfo : 0.250000, 1.000000, 0.500000, 0.100000, 1.000000, 2.000000\r\n"
      "CurveInfo : 0.030000, 0.035000, 0.020000, 0.010000, 0.015000, 0.020000\r\n"
      "NT : 2, 1, 3\r\n"
      "TVol : 0.500000, 1.000000, 0.500000\r\n"
      "Parity : 0.800000, 1.000000, 1.200000, 0.900000, 1.100000\r\n"
      "LocalVolSurface : 0.300000, 0.250000, 0.200000, 0.280000, 0.240000, 0.210000, 0.400000, "
      "0.350000\r\n"
      "NVol : 2, 1\r\n"
      "NParity : 3, 2\r\n"
      "UnderlyingCorr : 1.000000, 0.500000, 0.500000, 1.000000\r\n"
      "TDiv : 20240601\r\n"
      "Div : 1.500000\r\n"
      "NDiv : 1, 0\r\n"
      "Div_TypeFlag : 2, 0\r\n"
      "FX_TVol : 0.500000, 1.000000\r\n"
      "FX_Vol : 0.100000, 0.120000\r\n"
      "FX_NVol : 0, 2\r\n"
      "FX_Corr : 0.000000, -0.300000\r\n"
      "QuantoFlag : 0, 1\r\n"
      "NStock : 2\r\n"
      "NStrike : 1\r\n"
      "X : 0.850000, 0.850000, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000\r\n"
      "KO_Barrier : 1.200000\r\n"
      "KI_Barrier : 0.600000, 0.550000\r\n"
      "PayOffSlope : 0.000000, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000, 0.000000, "
      "0.000000, 0.000000, 0.000000, 1.000000, 0.000000\r\n"
      "PayOffAmount : 1.100000, 0.000000, 0.000000, 0.000000, 1.100000, 1.000000, 0.000000, "
      "0.000000, 0.000000, 0.000000, 0.000000, 0.000000\r\n"
      "DatesInfo : 20250315, 20250319, 0, 0\r\n"
      "RedemCoupon : \r\n"
      "KnockBarrierFlag : 1, 0\r\n"
      "BeKO_Hitted : 0, 1\r\n"
      "BeKI_Hitted : 0\r\n"
      "NCoupon : 0\r\n"
      "CouponBarrier : \r\n"
      "Coupon : \r\n"
      "CouponDatesInfo : \r\n"
      "CouponBarrierFlag : 1\r\n"
      "BeCouponBarrierHitted : 0\r\n"
      "NTrials : 10000.000000\r\n"
      "PayOffLimit : 1.000000, 0.500000\r\n"
      "NAFlag : 1\r\n"
      "SC : \r\n"
      "Coupon_SC : \r\n"
      "FixedFlag : 0, 0\r\n"
      "CalcFlag : 1, 1\r\n";
  const std::string text = ReadLog();
  EXPECT_EQ(text, expected);
  EXPECT_EQ(Lines(text).size(), 46u);
  // The dump writes exactly one file.
  int files = 0;
  for (const auto& e : fs::directory_iterator(fs::path("ZUN_Module_Log") / kSub)) {
    (void)e;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST_F(InputDumpTest, CountsFollowTheCaller) {
  // Three stocks' worth of every family would be tedious; two stocks with
  // unequal per-stock counts, three strikes, two coupons and fixed closes.
  FullCall c;
  c.NT = {1, 2, 2};        // curves: 1 + 2 + 2 = 5
  c.NVol = {1, 2};         // 3 tenors
  c.NParity = {2, 1};      // 3 levels, surface 1*2 + 2*1 = 4
  c.NDiv = {2, 1};         // 3 dividends
  c.FX_NVol = {1, 0};      // 1 FX point
  c.FixedFlag = {2, 1};    // SC 4, Coupon_SC 2
  c.CalcFlag = {2, 1};
  c.UnderlyingPrice = Ramp(4, 10);
  c.TCurveInfo = Ramp(5, 1);
  c.CurveInfo = Ramp(5, 2);
  c.TVol = Ramp(3, 3);
  c.Parity = Ramp(3, 4);
  c.LocalVolSurface = Ramp(4, 5);
  c.UnderlyingCorr = Ramp(4, 6);
  c.Div = Ramp(3, 7);
  c.FX_TVol = Ramp(1, 8);
  c.FX_Vol = Ramp(1, 9);
  c.FX_Corr = Ramp(2, 10);
  c.X = Ramp(24, 11);
  c.KO_Barrier = Ramp(3, 12);
  c.KI_Barrier = Ramp(2, 13);
  c.PayOffSlope = Ramp(20, 14);
  c.PayOffAmount = Ramp(20, 15);
  c.RedemCoupon = Ramp(2, 16);
  c.CouponBarrier = Ramp(2, 17);
  c.Coupon = Ramp(2, 18);
  c.PayOffLimit = Ramp(2, 19);
  c.SC = Ramp(4, 20);
  c.Coupon_SC = Ramp(2, 21);
  c.TDiv = IntRamp(3, 100);
  c.Div_TypeFlag = IntRamp(2, 0);
  c.QuantoFlag = IntRamp(2, 0);
  c.DatesInfo = IntRamp(12, 200);
  c.KnockBarrierFlag = IntRamp(2, 0);
  c.BeKO_Hitted = IntRamp(2, 0);
  c.CouponDatesInfo = IntRamp(4, 300);
  c.PriceDate = 20240315;
  c.NotionalAMT = -2.5;
  c.NStock = 2;
  c.NStrike = 3;
  c.BeKI_Hitted = 1;
  c.NCoupon = 2;
  c.CouponBarrierFlag = 2;
  c.BeCouponBarrierHitted = 1;
  c.NTrials = 2500.5;
  c.NAFlag = 0;

  LogInputs(kSub, kFile, c.View());
  const std::vector<std::string> lines = Lines(ReadLog());
  const std::vector<std::pair<std::string, int>> expected = {
      {"PriceDate", 1},         {"NotionalAMT", 1},     {"UnderlyingPrice", 4},
      {"TCurveInfo", 5},        {"CurveInfo", 5},       {"NT", 3},
      {"TVol", 3},              {"Parity", 3},          {"LocalVolSurface", 4},
      {"NVol", 2},              {"NParity", 2},         {"UnderlyingCorr", 4},
      {"TDiv", 3},              {"Div", 3},             {"NDiv", 2},
      {"Div_TypeFlag", 2},      {"FX_TVol", 1},         {"FX_Vol", 1},
      {"FX_NVol", 2},           {"FX_Corr", 2},         {"QuantoFlag", 2},
      {"NStock", 1},            {"NStrike", 1},         {"X", 24},
      {"KO_Barrier", 3},        {"KI_Barrier", 2},      {"PayOffSlope", 20},
      {"PayOffAmount", 20},     {"DatesInfo", 12},      {"RedemCoupon", 2},
      {"KnockBarrierFlag", 2},  {"BeKO_Hitted", 2},     {"BeKI_Hitted", 1},
      {"NCoupon", 1},           {"CouponBarrier", 2},   {"Coupon", 2},
      {"CouponDatesInfo", 4},   {"CouponBarrierFlag", 1}, {"BeCouponBarrierHitted", 1},
      {"NTrials", 1},           {"PayOffLimit", 2},     {"NAFlag", 1},
      {"SC", 4},                {"Coupon_SC", 2},       {"FixedFlag", 2},
      {"CalcFlag", 2}};
  ASSERT_EQ(lines.size(), expected.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(LabelAndCount(lines[i]), expected[i]) << "line " << i + 1 << ": " << lines[i];
  }
  // Values come in the caller's order; reals get six decimals, ints none.
  EXPECT_EQ(lines[1], "NotionalAMT : -2.500000");
  EXPECT_EQ(lines[3], "TCurveInfo : 1.000000, 1.250000, 1.500000, 1.750000, 2.000000");
  EXPECT_EQ(lines[12], "TDiv : 100, 101, 102");
  EXPECT_EQ(lines[29], "RedemCoupon : 16.000000, 16.250000");
  EXPECT_EQ(lines[36], "CouponDatesInfo : 300, 301, 302, 303");
  EXPECT_EQ(lines[39], "NTrials : 2500.500000");
  EXPECT_EQ(lines[42], "SC : 20.000000, 20.250000, 20.500000, 20.750000");
  EXPECT_EQ(lines[43], "Coupon_SC : 21.000000, 21.250000");
}

TEST_F(InputDumpTest, RejectedCallWithoutStocksIsStillDumpedInFull) {
  // NStock = 0: only NT[0], the strike arrays and the fixed-size arrays
  // carry values; every per-underlying line is the label alone.
  FullCall c;
  c.PriceDate = 20240315;
  c.NotionalAMT = 10000;
  c.NT = {1};
  c.TCurveInfo = {1};
  c.CurveInfo = {0.02};
  c.NStock = 0;
  c.NStrike = 1;
  c.KO_Barrier = {1.1};
  c.PayOffSlope.assign(12, 0.0);
  c.PayOffAmount.assign(12, 1.0);
  c.DatesInfo = {20250101, 20250101, 20250101, 20250101};
  c.KnockBarrierFlag = {0, 0};
  c.NTrials = 10000;
  c.PayOffLimit = {1, 1};
  c.FixedFlag = {3, 3};
  c.CalcFlag = {0, 1};

  LogInputs(kSub, kFile, c.View());
  LogIntValue(kSub, kFile, "Return", -2004);

  const std::vector<std::string> lines = Lines(ReadLog());
  ASSERT_EQ(lines.size(), 47u);
  const char* labelOnly[] = {"UnderlyingPrice", "TVol",       "Parity",      "LocalVolSurface",
                             "NVol",            "NParity",    "UnderlyingCorr", "TDiv",
                             "Div",             "NDiv",       "Div_TypeFlag", "FX_TVol",
                             "FX_Vol",          "FX_NVol",    "FX_Corr",     "QuantoFlag",
                             "X",               "KI_Barrier", "RedemCoupon", "BeKO_Hitted",
                             "CouponBarrier",   "Coupon",     "CouponDatesInfo", "SC",
                             "Coupon_SC"};
  for (const char* label : labelOnly) {
    bool found = false;
    for (const std::string& line : lines) {
      if (line == std::string(label) + " : ") found = true;
    }
    EXPECT_TRUE(found) << label;
  }
  EXPECT_EQ(lines[3], "TCurveInfo : 1.000000");
  EXPECT_EQ(lines[4], "CurveInfo : 0.020000");
  EXPECT_EQ(lines[5], "NT : 1");
  EXPECT_EQ(lines[21], "NStock : 0");
  EXPECT_EQ(lines[24], "KO_Barrier : 1.100000");
  EXPECT_EQ(lines[44], "FixedFlag : 3, 3");
  EXPECT_EQ(lines[45], "CalcFlag : 0, 1");
  EXPECT_EQ(lines[46], "Return : -2004");
}

TEST_F(InputDumpTest, NegativeCountsWriteLabelsAlone) {
  // Unvalidated counts below zero must not be read as lengths.
  FullCall c;
  c.NT = {0};
  c.FixedFlag = {-1, -1};
  c.CalcFlag = {0, 1};
  c.KnockBarrierFlag = {0, 0};
  c.PayOffLimit = {1, 1};
  // A length two negative counts must not reach.
  c.UnderlyingCorr = c.X = c.SC = c.Coupon_SC = {7.0};
  c.NStock = -3;
  c.NStrike = -2;
  c.NCoupon = -1;
  LogInputs(kSub, kFile, c.View());
  const std::vector<std::string> lines = Lines(ReadLog());
  ASSERT_EQ(lines.size(), 46u);
  EXPECT_EQ(lines[5], "NT : ");
  EXPECT_EQ(lines[11], "UnderlyingCorr : ");  // S*S with S = -3
  EXPECT_EQ(lines[21], "NStock : -3");
  EXPECT_EQ(lines[23], "X : ");  // 4*S*N with S = -3, N = -2
  EXPECT_EQ(lines[42], "SC : ");  // S*FixedFlag[0] with both negative
  EXPECT_EQ(lines[43], "Coupon_SC : ");
  // 4*N + 8 = 0 values for N = -2.
  EXPECT_EQ(lines[26], "PayOffSlope : ");
  EXPECT_EQ(lines[33], "NCoupon : -1");
  EXPECT_EQ(lines[36], "CouponDatesInfo : ");
}

TEST_F(InputDumpTest, NegativePerStockCountsAddNoValuesToTheirSums) {
  // A negative count of one stock is no values of that stock (the layout's
  // rule); it does not take values away from the others.
  FullCall c;
  c.NStock = 2;
  c.NT = {-4, 1, -2};
  c.TCurveInfo = c.CurveInfo = {1.0, 2.0, 3.0};
  c.NVol = {-1, 2};
  c.NParity = {3, -5};
  c.TVol = c.Parity = {5.0, 6.0, 7.0};
  c.LocalVolSurface = {1.0, 2.0};
  c.NDiv = {2, -3};
  c.TDiv = {1, 2, 3};
  c.Div = {8.0, 9.0, 10.0};
  c.FX_NVol = {-7, 1};
  c.FX_TVol = c.FX_Vol = {0.5, 0.75};
  LogInputs(kSub, kFile, c.View());
  const std::vector<std::string> lines = Lines(ReadLog());
  ASSERT_EQ(lines.size(), 46u);
  EXPECT_EQ(lines[3], "TCurveInfo : 1.000000");
  EXPECT_EQ(lines[6], "TVol : 5.000000, 6.000000");
  EXPECT_EQ(lines[7], "Parity : 5.000000, 6.000000, 7.000000");
  EXPECT_EQ(lines[8], "LocalVolSurface : ");
  EXPECT_EQ(lines[12], "TDiv : 1, 2");
  EXPECT_EQ(lines[16], "FX_TVol : 0.500000");
}

TEST_F(InputDumpTest, UnwritableLogLeavesTheDumpSilent) {
  { std::ofstream("ZUN_Module_Log") << "x"; }
  ExtendedArgs a;  // every count zero, every array absent
  LogInputs(kSub, kFile, a);
  EXPECT_TRUE(fs::is_regular_file("ZUN_Module_Log"));
}

}  // namespace
}  // namespace morvik
