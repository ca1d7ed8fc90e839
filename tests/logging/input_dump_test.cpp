#include "logging/input_dump.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "logging/log_writer.h"

namespace morvik {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSub = "ZUNP_MorvikMC";
constexpr const char* kFile = "ZUNP_MorvikMC_20240315__09_30_00_12.txt";

class InputDumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    char tmpl[] = "/tmp/morvik_dump_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    fs::current_path(dir_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  static std::string ReadLog() {
    std::ifstream in(fs::path("ZUN_Module_Log") / kSub / kFile, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Splits the file into lines; every line must end in CR LF.
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t end = text.find("\r\n", start);
      if (end == std::string::npos) {
        ADD_FAILURE() << "unterminated line: " << text.substr(start);
        break;
      }
      const std::string line = text.substr(start, end - start);
      EXPECT_EQ(line.find('\n'), std::string::npos) << line;
      EXPECT_EQ(line.find('\r'), std::string::npos) << line;
      lines.push_back(line);
      start = end + 2;
    }
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

  fs::path previous_;
  fs::path dir_;
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
  const std::vector<double> price = {100, 100, 50.5, 50};
  const std::vector<int> nt = {2, 1, 3};
  const std::vector<double> tcurve = {0.25, 1, 0.5, 0.1, 1, 2};
  const std::vector<double> curve = {0.03, 0.035, 0.02, 0.01, 0.015, 0.02};
  const std::vector<double> tvol = {0.5, 1, 0.5};
  const std::vector<double> parity = {0.8, 1, 1.2, 0.9, 1.1};
  const std::vector<double> surface = {0.3, 0.25, 0.2, 0.28, 0.24, 0.21, 0.4, 0.35};
  const std::vector<int> nvol = {2, 1};
  const std::vector<int> nparity = {3, 2};
  const std::vector<double> corr = {1, 0.5, 0.5, 1};
  const std::vector<int> tdiv = {20240601};
  const std::vector<double> div = {1.5};
  const std::vector<int> ndiv = {1, 0};
  const std::vector<int> divType = {2, 0};
  const std::vector<double> fxT = {0.5, 1};
  const std::vector<double> fxVol = {0.1, 0.12};
  const std::vector<int> fxN = {0, 2};
  const std::vector<double> fxCorr = {0, -0.3};
  const std::vector<int> quanto = {0, 1};
  const std::vector<double> x = {0.85, 0.85, 0, 0, 0, 0, 0, 0};
  const std::vector<double> ko = {1.2};
  const std::vector<double> ki = {0.6, 0.55};
  const std::vector<double> slope = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0};
  const std::vector<double> amount = {1.1, 0, 0, 0, 1.1, 1, 0, 0, 0, 0, 0, 0};
  const std::vector<int> dates = {20250315, 20250319, 0, 0};
  const std::vector<int> knockFlag = {1, 0};
  const std::vector<int> beKO = {0, 1};
  const std::vector<double> limit = {1, 0.5};
  const std::vector<int> fixedFlag = {0, 0};
  const std::vector<int> calcFlag = {1, 1};

  ExtendedArgs a;
  a.PriceDate = 20240315;
  a.NotionalAMT = 1000000;
  a.UnderlyingPrice = price.data();
  a.TCurveInfo = tcurve.data();
  a.CurveInfo = curve.data();
  a.NT = nt.data();
  a.TVol = tvol.data();
  a.Parity = parity.data();
  a.LocalVolSurface = surface.data();
  a.NVol = nvol.data();
  a.NParity = nparity.data();
  a.UnderlyingCorr = corr.data();
  a.TDiv = tdiv.data();
  a.Div = div.data();
  a.NDiv = ndiv.data();
  a.Div_TypeFlag = divType.data();
  a.FX_TVol = fxT.data();
  a.FX_Vol = fxVol.data();
  a.FX_NVol = fxN.data();
  a.FX_Corr = fxCorr.data();
  a.QuantoFlag = quanto.data();
  a.NStock = 2;
  a.NStrike = 1;
  a.X = x.data();
  a.KO_Barrier = ko.data();
  a.KI_Barrier = ki.data();
  a.PayOffSlope = slope.data();
  a.PayOffAmount = amount.data();
  a.DatesInfo = dates.data();
  a.RedemCoupon = nullptr;  // NStrike = 1: nothing to read
  a.KnockBarrierFlag = knockFlag.data();
  a.BeKO_Hitted = beKO.data();
  a.BeKI_Hitted = 0;
  a.NCoupon = 0;
  a.CouponBarrierFlag = 1;
  a.BeCouponBarrierHitted = 0;
  a.NTrials = 10000;
  a.PayOffLimit = limit.data();
  a.NAFlag = 1;
  a.FixedFlag = fixedFlag.data();
  a.CalcFlag = calcFlag.data();

  LogInputs(kSub, kFile, a);

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
  const int S = 2;
  const std::vector<int> nt = {1, 2, 2};        // curves: 1 + 2 + 2 = 5
  const std::vector<int> nvol = {1, 2};         // 3 tenors
  const std::vector<int> nparity = {2, 1};      // 3 levels, surface 1*2 + 2*1 = 4
  const std::vector<int> ndiv = {2, 1};         // 3 dividends
  const std::vector<int> fxN = {1, 0};          // 1 FX point
  const std::vector<int> fixedFlag = {2, 1};    // SC 4, Coupon_SC 2
  const std::vector<int> calcFlag = {2, 1};
  const std::vector<double> price = Ramp(4, 10), tcurve = Ramp(5, 1), curve = Ramp(5, 2),
                            tvol = Ramp(3, 3), parity = Ramp(3, 4), surface = Ramp(4, 5),
                            corr = Ramp(4, 6), div = Ramp(3, 7), fxT = Ramp(1, 8), fxVol = Ramp(1, 9),
                            fxCorr = Ramp(2, 10), x = Ramp(24, 11), ko = Ramp(3, 12), ki = Ramp(2, 13),
                            slope = Ramp(20, 14), amount = Ramp(20, 15), redem = Ramp(2, 16),
                            cb = Ramp(2, 17), coupon = Ramp(2, 18), limit = Ramp(2, 19),
                            sc = Ramp(4, 20), csc = Ramp(2, 21);
  const std::vector<int> tdiv = IntRamp(3, 100), divType = IntRamp(2, 0), quanto = IntRamp(2, 0),
                         dates = IntRamp(12, 200), knock = IntRamp(2, 0), beKO = IntRamp(2, 0),
                         cdates = IntRamp(4, 300);

  ExtendedArgs a;
  a.PriceDate = 20240315;
  a.NotionalAMT = -2.5;
  a.UnderlyingPrice = price.data();
  a.TCurveInfo = tcurve.data();
  a.CurveInfo = curve.data();
  a.NT = nt.data();
  a.TVol = tvol.data();
  a.Parity = parity.data();
  a.LocalVolSurface = surface.data();
  a.NVol = nvol.data();
  a.NParity = nparity.data();
  a.UnderlyingCorr = corr.data();
  a.TDiv = tdiv.data();
  a.Div = div.data();
  a.NDiv = ndiv.data();
  a.Div_TypeFlag = divType.data();
  a.FX_TVol = fxT.data();
  a.FX_Vol = fxVol.data();
  a.FX_NVol = fxN.data();
  a.FX_Corr = fxCorr.data();
  a.QuantoFlag = quanto.data();
  a.NStock = S;
  a.NStrike = 3;
  a.X = x.data();
  a.KO_Barrier = ko.data();
  a.KI_Barrier = ki.data();
  a.PayOffSlope = slope.data();
  a.PayOffAmount = amount.data();
  a.DatesInfo = dates.data();
  a.RedemCoupon = redem.data();
  a.KnockBarrierFlag = knock.data();
  a.BeKO_Hitted = beKO.data();
  a.BeKI_Hitted = 1;
  a.NCoupon = 2;
  a.CouponBarrier = cb.data();
  a.Coupon = coupon.data();
  a.CouponDatesInfo = cdates.data();
  a.CouponBarrierFlag = 2;
  a.BeCouponBarrierHitted = 1;
  a.NTrials = 2500.5;
  a.PayOffLimit = limit.data();
  a.NAFlag = 0;
  a.SC = sc.data();
  a.Coupon_SC = csc.data();
  a.FixedFlag = fixedFlag.data();
  a.CalcFlag = calcFlag.data();

  LogInputs(kSub, kFile, a);
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
  const std::vector<int> nt = {1};
  const std::vector<double> tcurve = {1}, curve = {0.02}, ko = {1.1}, limit = {1, 1};
  const std::vector<double> slope(12, 0.0), amount(12, 1.0);
  const std::vector<int> dates = {20250101, 20250101, 20250101, 20250101};
  const std::vector<int> knock = {0, 0}, fixedFlag = {3, 3}, calcFlag = {0, 1};

  ExtendedArgs a;
  a.PriceDate = 20240315;
  a.NotionalAMT = 10000;
  a.NT = nt.data();
  a.TCurveInfo = tcurve.data();
  a.CurveInfo = curve.data();
  a.NStock = 0;
  a.NStrike = 1;
  a.KO_Barrier = ko.data();
  a.PayOffSlope = slope.data();
  a.PayOffAmount = amount.data();
  a.DatesInfo = dates.data();
  a.KnockBarrierFlag = knock.data();
  a.NTrials = 10000;
  a.PayOffLimit = limit.data();
  a.FixedFlag = fixedFlag.data();
  a.CalcFlag = calcFlag.data();

  LogInputs(kSub, kFile, a);
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
  const std::vector<int> nt = {0};
  const std::vector<int> fixedFlag = {-1, -1}, calcFlag = {0, 1}, knock = {0, 0};
  const std::vector<double> limit = {1, 1};
  const std::vector<double> one = {7.0};  // a length two negative counts must not reach
  ExtendedArgs a;
  a.UnderlyingCorr = one.data();
  a.X = one.data();
  a.SC = one.data();
  a.Coupon_SC = one.data();
  a.NT = nt.data();
  a.NStock = -3;
  a.NStrike = -2;
  a.NCoupon = -1;
  a.KnockBarrierFlag = knock.data();
  a.PayOffLimit = limit.data();
  a.FixedFlag = fixedFlag.data();
  a.CalcFlag = calcFlag.data();
  LogInputs(kSub, kFile, a);
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

TEST_F(InputDumpTest, UnwritableLogLeavesTheDumpSilent) {
  { std::ofstream("ZUN_Module_Log") << "x"; }
  ExtendedArgs a;  // every count zero, every array absent
  LogInputs(kSub, kFile, a);
  EXPECT_TRUE(fs::is_regular_file("ZUN_Module_Log"));
}

}  // namespace
}  // namespace morvik
