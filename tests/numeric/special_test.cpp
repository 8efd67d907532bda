// ln Gamma, beta function, Neville interpolation, Romberg integration, root finding.
//
// Exact reference values come from a short python3 script that redoes each
// computation step by step in IEEE double, rounding to single precision through
// struct.pack('f') wherever the kernels store a float, and taking the last
// exponential of the beta function in 50-digit decimal arithmetic.
#include "numeric/special.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace bandscape {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;
using Notes = std::vector<std::string>;

TEST(SpecialFunctions, LogGammaBetaAndPolint) {
  // Gamma(1) = Gamma(2) = 1: the Lanczos sum gives 0 and -2^-51 (python script);
  // at 0 the series divides by zero, +infinity, which callers test for.
  EXPECT_EQ(log_gamma(1.0f), 0.0);
  EXPECT_EQ(log_gamma(2.0f), -4.440892098500626e-16);
  EXPECT_EQ(log_gamma(0.0f), std::numeric_limits<double>::infinity());
  // B(1, 1) = 1, B(1/2, 1) = 2 and B(5.5, 16) = 6.1759952817e-06 (lgamma in
  // double); the single-precision intermediates give (python script):
  EXPECT_EQ(beta_function(1.0f, 1.0f), 1.0000000000000004);
  EXPECT_EQ(beta_function(0.5f, 1.0f), 2.0000000038093084);
  EXPECT_EQ(beta_function(5.5f, 16.0f), 6.175996885979954e-06);

  // The parabola through (1,1), (2,4), (3,9) at 2.5 is 6.25 (by hand); the
  // tableau starts from the nearest point and its last correction is 0.75 (python).
  const double xa[] = {0.0, 1.0, 2.0, 3.0};
  const double ya[] = {0.0, 1.0, 4.0, 9.0};
  float y = 0.0f, dy = 0.0f;
  testing::RecordingLog log;
  polint(xa, ya, 3, 2.5f, y, dy, log);
  EXPECT_EQ(y, 6.25f);
  EXPECT_EQ(dy, 0.75f);
  // Two equal abscissae: a console note through the caller's log (nothing
  // printed directly, nothing for error.txt), and the run ends.
  const double bad[] = {0.0, 1.0, 1.0};
  CaptureStdout();
  EXPECT_THROW(polint(bad, ya, 2, 0.5f, y, dy, log), FatalError);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(log.entries, Notes{"C:\nerror in routine polint"});
}

TEST(Romberg, Convergence) {
  testing::RecordingLog log;
  // The trapezoid rule is exact for constants and lines: every stage agrees and
  // the fifth stage stops, after 2 + 1 + 2 + 4 + 8 = 17 evaluations.
  int calls = 0;
  EXPECT_EQ(qromb([&calls](float) -> double { ++calls; return 1.0; }, 0.0f, 1.0f, log), 1.0f);
  EXPECT_EQ(calls, 17);
  EXPECT_EQ(qromb([](float x) -> double { return x; }, 0.0f, 1.0f, log), 0.5f);
  // e - 1 = 1.718281828; the python re-run of the stages stops at stage 5 with:
  EXPECT_EQ(qromb([](float x) -> double { return std::exp(static_cast<double>(x)); }, 0.0f, 1.0f, log),
            1.7182817459106445f);
  // Posterior normaliser of the Bayesian estimator, Fis = 0.3, X = 5, N = 20,
  // alpha = 0.5, beta = 1.  Substituting h it is B(5.5, 16) = 6.1759953e-06; the
  // python re-run stops at stage 7 with 6.175995167723158e-06.
  const double f = 0.3, x = 5.0, n = 20.0, alpha = 0.5, beta = 1.0;
  auto g = [=](float q) -> double {
    const double h = (1.0 - f) * q * q + f * q;
    return std::pow(h, x + alpha - 1.0) * std::pow(1.0 - h, n - x + beta - 1.0) * (2.0 * q * (1.0 - f) + f);
  };
  EXPECT_EQ(qromb(g, 0.0f, 1.0f, log), 6.175995167723158e-06f);

  // Interleaved integrations keep their own running estimates: x and x^2 over
  // [0, 1], stages 1 and 2 by hand (0.5, 0.5) and (0.5, 0.5 (0.5 + 0.25)).
  double run_a = 0.0, run_b = 0.0;
  auto lin = [](float t) -> double { return t; };
  auto sq = [](float t) -> double { return static_cast<double>(t) * t; };
  EXPECT_EQ(trapezoid_stage(lin, 0.0f, 1.0f, 1, run_a), 0.5);
  EXPECT_EQ(trapezoid_stage(sq, 0.0f, 1.0f, 1, run_b), 0.5);
  EXPECT_EQ(trapezoid_stage(lin, 0.0f, 1.0f, 2, run_a), 0.5);
  EXPECT_EQ(trapezoid_stage(sq, 0.0f, 1.0f, 2, run_b), 0.375);
}

TEST(Romberg, FailureModes) {
  testing::RecordingLog log;
  // NaN at q = 0 (0 times infinity) poisons every estimate; the convergence test
  // counts as met and NaN comes back after stage 5 (17 evaluations).
  int calls = 0;
  auto nan_at_zero = [&calls](float q) -> double { ++calls; return q * std::pow(static_cast<double>(q), -1.5); };
  EXPECT_TRUE(std::isnan(qromb(nan_at_zero, 0.0f, 1.0f, log)));
  EXPECT_EQ(calls, 17);
  // The zero function never passes the strict test 0 < 1e-6 * 0: all 30 stages
  // (2 + 2^29 - 1 evaluations), the console note through the log and 9999.
  long long zero_calls = 0;
  CaptureStdout();
  const float result = qromb([&zero_calls](float) -> double { ++zero_calls; return 0.0; }, 0.0f, 1.0f, log);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(log.entries, Notes{"C:\ntoo many steps in integration routine qromb"});
  EXPECT_EQ(result, 9999.0f);
  EXPECT_EQ(zero_calls, (1LL << 29) + 1);
}

TEST(RootFinding, BracketRoot) {
  float lo[10], hi[10];
  // x - 0.5 on 20 segments of [0, 1]: the grid point 0.5 is an exact zero, so
  // no segment shows a strict sign change.
  int nb = 10;
  bracket_root([](float x) -> double { return x - 0.5; }, 0.0f, 1.0f, 20, lo, hi, nb);
  EXPECT_EQ(nb, 0);
  // x - 0.37: between the grid points 7 * 0.05 and 8 * 0.05 (float of the double grid).
  nb = 10;
  bracket_root([](float x) -> double { return x - 0.37; }, 0.0f, 1.0f, 20, lo, hi, nb);
  EXPECT_EQ(nb, 1);
  EXPECT_EQ(lo[0], 0.35f);
  EXPECT_EQ(hi[0], 0.4f);
  // cos(10x) vanishes at (pi/2 + k pi)/10 = 0.157, 0.471, 0.785, ..., 2.985
  // (by hand): with room for 3 the scan stops at the third; with room for 10 it
  // finds all ten, the last in [2.9, 3].
  auto wave = [](float x) -> double { return std::cos(10.0 * x); };
  nb = 3;
  bracket_root(wave, 0.0f, 3.0f, 30, lo, hi, nb);
  EXPECT_EQ(nb, 3);
  EXPECT_EQ(lo[2], 0.7f);
  EXPECT_EQ(hi[2], 0.8f);
  nb = 10;
  bracket_root(wave, 0.0f, 3.0f, 30, lo, hi, nb);
  EXPECT_EQ(nb, 10);
  EXPECT_EQ(lo[9], 2.9f);
  EXPECT_EQ(hi[9], 3.0f);
}

TEST(RootFinding, Zbrent) {
  testing::RecordingLog log;
  // sqrt(2) in [1, 2] with the tolerance the square-root estimator uses,
  // (lo + hi) 1e-7: |b - root| <= 2 * 3e-8 |b| + tol / 2, plus one float step.
  const float tol = 3.0e-7f;
  const float root = zbrent([](float x) -> double { return static_cast<double>(x) * x - 2.0; }, 1.0f, 2.0f, tol, log);
  EXPECT_LE(std::fabs(root - std::sqrt(2.0)), 6.0e-8 * 1.5 + 0.5 * tol + 1.2e-7);
  // A root at an end comes back at once.
  EXPECT_EQ(zbrent([](float x) -> double { return x - 0.25; }, 0.0f, 0.25f, 1e-7f, log), 0.25f);

  // No sign change: console note and the midpoint of the interval.
  EXPECT_TRUE(log.entries.empty());
  CaptureStdout();
  const float mid = zbrent([](float x) -> double { return x + 1.0; }, 0.2f, 0.4f, 1e-6f, log);
  EXPECT_EQ(mid, 0.3f);
  // A sign step at 0 with tol = 0: the bracket always straddles 0, its half-width
  // never falls below 6e-8 |b|, and after 100 bisections the run ends.
  EXPECT_THROW(zbrent([](float x) -> double { return x > 0.0f ? 1.0 : -1.0; }, -1.0f, 2.0f, 0.0f, log), FatalError);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(log.entries,
            (Notes{"C:\nRoot must be bracketed in zbrent", "C:Maximum number of iterations exceeded in zbrent"}));
}

}  // namespace
}  // namespace bandscape
