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

namespace bandscape {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

TEST(SpecialFunctions, LogGammaAndBeta) {
  // Gamma(1) = Gamma(2) = 1; the Lanczos sum gives 0 and -2^-51 (python script).
  EXPECT_EQ(log_gamma(1.0f), 0.0);
  EXPECT_EQ(log_gamma(2.0f), -4.440892098500626e-16);
  // ln Gamma(1/2) = ln sqrt(pi) = 0.5723649429247001; Lanczos: 0.572364942924743.
  EXPECT_EQ(log_gamma(0.5f), 0.572364942924743);
  // ln 9! = 12.801827480081469; Lanczos: 12.801827480081961.
  EXPECT_EQ(log_gamma(10.0f), 12.801827480081961);
  // B(1, 1) = 1 and B(1/2, 1) = 2 up to the single-precision intermediates.
  EXPECT_EQ(beta_function(1.0f, 1.0f), 1.0000000000000004);
  EXPECT_EQ(beta_function(0.5f, 1.0f), 2.0000000038093084);
  // B(5.5, 16) = 6.1759952817e-06 (lgamma in double); the float intermediates
  // shift it to 6.175996885979954e-06 (python script).
  EXPECT_EQ(beta_function(5.5f, 16.0f), 6.175996885979954e-06);
  // The argument is not checked: at 0 the series divides by zero and the result
  // is +infinity, which the Bayesian estimators test for.
  EXPECT_EQ(log_gamma(0.0f), std::numeric_limits<double>::infinity());
}

TEST(SpecialFunctions, PolintNeville) {
  // The parabola through (1,1), (2,4), (3,9) at 2.5 is 6.25 (by hand); the
  // tableau starts from the nearest point ya[2] = 4 and its last correction is
  // 0.75 (python script).
  const double xa[] = {0.0, 1.0, 2.0, 3.0};
  const double ya[] = {0.0, 1.0, 4.0, 9.0};
  float y = 0.0f, dy = 0.0f;
  polint(xa, ya, 3, 2.5f, y, dy);
  EXPECT_EQ(y, 6.25f);
  EXPECT_EQ(dy, 0.75f);

  // Quartic through sin at 0, 0.5, ..., 2 evaluated at 0.8 (python script):
  // 0.7175412774085999 with error estimate 0.0011298776371404529.
  const double xs[] = {0.0, 0.0, 0.5, 1.0, 1.5, 2.0};
  double ys[6] = {0.0};
  for (int i = 1; i <= 5; ++i) ys[i] = std::sin(xs[i]);
  polint(xs, ys, 5, 0.8f, y, dy);
  EXPECT_EQ(y, 0.7175412774085999f);
  EXPECT_EQ(dy, 0.0011298776371404529f);

  // Two equal abscissae make the tableau divide by zero: console message, run ends.
  const double bad[] = {0.0, 1.0, 1.0};
  CaptureStdout();
  EXPECT_THROW(polint(bad, ya, 2, 0.5f, y, dy), FatalError);
  EXPECT_EQ(GetCapturedStdout(), "\nerror in routine polint");
}

TEST(Romberg, PolynomialsConvergeAfterFiveStages) {
  // The trapezoid rule is exact for constants and straight lines, so every stage
  // gives the same estimate and the extrapolation error is 0 at the fifth stage:
  // 2 + 1 + 2 + 4 + 8 = 17 function evaluations.
  int calls = 0;
  auto one = [&calls](float) -> double { ++calls; return 1.0; };
  EXPECT_EQ(qromb(one, 0.0f, 1.0f), 1.0f);
  EXPECT_EQ(calls, 17);
  calls = 0;
  auto identity = [&calls](float x) -> double { ++calls; return x; };
  EXPECT_EQ(qromb(identity, 0.0f, 1.0f), 0.5f);
  EXPECT_EQ(calls, 17);
}

TEST(Romberg, SmoothIntegrandsMatchReference) {
  // Integral of e^x over [0, 1] = e - 1 = 1.718281828; Romberg stops at stage 5
  // with 1.7182817459106445 (python re-run of the same stages).
  EXPECT_EQ(qromb([](float x) -> double { return std::exp(static_cast<double>(x)); }, 0.0f, 1.0f),
            1.7182817459106445f);

  // Posterior normaliser of the Bayesian estimator with Fis = 0.3, X = 5, N = 20,
  // alpha = 0.5, beta = 1: substituting h = (1-F)q^2 + Fq it equals
  // B(5.5, 16) = 6.1759953e-06; the python re-run stops at stage 7 with
  // 6.175995167723158e-06.
  const double f = 0.3, x = 5.0, n = 20.0, alpha = 0.5, beta = 1.0;
  auto g = [=](float q) -> double {
    const double h = (1.0 - f) * q * q + f * q;
    const double dh = 2.0 * q * (1.0 - f) + f;
    return std::pow(h, x + alpha - 1.0) * std::pow(1.0 - h, n - x + beta - 1.0) * dh;
  };
  EXPECT_EQ(qromb(g, 0.0f, 1.0f), 6.175995167723158e-06f);

  // Two integrations that interleave keep their own running estimates.
  double run_a = 0.0, run_b = 0.0;
  auto lin = [](float t) -> double { return t; };
  auto sq = [](float t) -> double { return static_cast<double>(t) * t; };
  EXPECT_EQ(trapezoid_stage(lin, 0.0f, 1.0f, 1, run_a), 0.5);
  EXPECT_EQ(trapezoid_stage(sq, 0.0f, 1.0f, 1, run_b), 0.5);
  EXPECT_EQ(trapezoid_stage(lin, 0.0f, 1.0f, 2, run_a), 0.5);
  // x^2 with the midpoint: 0.5 (0.5 + 0.25) = 0.375 (by hand).
  EXPECT_EQ(trapezoid_stage(sq, 0.0f, 1.0f, 2, run_b), 0.375);
}

TEST(Romberg, FailureModes) {
  // A NaN at q = 0 (0 times infinity) poisons every estimate; the convergence
  // test counts as met and NaN comes back after stage 5 (17 evaluations).
  int calls = 0;
  auto nan_at_zero = [&calls](float q) -> double {
    ++calls;
    return q * std::pow(static_cast<double>(q), -1.5);
  };
  EXPECT_TRUE(std::isnan(qromb(nan_at_zero, 0.0f, 1.0f)));
  EXPECT_EQ(calls, 17);

  // An infinity turns into NaN in the extrapolation (inf - inf).
  auto inf_at_zero = [](float q) -> double { return std::pow(static_cast<double>(q), -0.5); };
  EXPECT_TRUE(std::isnan(qromb(inf_at_zero, 0.0f, 1.0f)));

  // The zero function never passes the strict test 0 < 1e-6 * 0: all 30 stages
  // (2 + 2^29 - 1 evaluations), the message on the console, and 9999.
  long long zero_calls = 0;
  auto zero = [&zero_calls](float) -> double { ++zero_calls; return 0.0; };
  CaptureStdout();
  const float result = qromb(zero, 0.0f, 1.0f);
  EXPECT_EQ(GetCapturedStdout(), "\ntoo many steps in integration routine qromb");
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

  // x - 0.37: the sign changes between the grid points 0.35 and 0.40 (the
  // double grid 7 * 0.05 and 8 * 0.05 rounded to float).
  nb = 10;
  bracket_root([](float x) -> double { return x - 0.37; }, 0.0f, 1.0f, 20, lo, hi, nb);
  EXPECT_EQ(nb, 1);
  EXPECT_EQ(lo[0], 0.35f);
  EXPECT_EQ(hi[0], 0.4f);

  // cos(10x) on [0, 3] is zero at (pi/2 + k pi)/10 = 0.157, 0.471, 0.785, ...,
  // 2.985: 10 roots in 30 segments, each in its own segment (by hand).  With room
  // for 3 the scan stops at the third and nb stays 3.
  auto wave = [](float x) -> double { return std::cos(10.0 * x); };
  nb = 3;
  bracket_root(wave, 0.0f, 3.0f, 30, lo, hi, nb);
  EXPECT_EQ(nb, 3);
  EXPECT_EQ(lo[0], 0.1f);
  EXPECT_EQ(hi[0], 0.2f);
  EXPECT_EQ(lo[2], 0.7f);
  EXPECT_EQ(hi[2], 0.8f);
  nb = 10;
  bracket_root(wave, 0.0f, 3.0f, 30, lo, hi, nb);
  EXPECT_EQ(nb, 10);
  EXPECT_EQ(lo[9], 2.9f);
  EXPECT_EQ(hi[9], 3.0f);
}

TEST(RootFinding, Zbrent) {
  // sqrt(2) in [1, 2] with the tolerance the square-root estimator uses,
  // (lo + hi) 1e-7: |b - root| <= 2 * 3e-8 |b| + tol / 2 plus one rounding to float.
  auto f = [](float x) -> double { return static_cast<double>(x) * x - 2.0; };
  const float tol = 3.0e-7f;
  const float root = zbrent(f, 1.0f, 2.0f, tol);
  EXPECT_LE(std::fabs(root - std::sqrt(2.0)), 6.0e-8 * 1.5 + 0.5 * tol + 1.2e-7);

  // A root at an end is returned at once.
  EXPECT_EQ(zbrent([](float x) -> double { return x - 0.25; }, 0.0f, 0.25f, 1e-7f), 0.25f);

  // The residual of the square-root estimator for x = 0.3, F = 0.2:
  // (1-F) q^2 + F q = 0.3 has the root q = (-0.2 + sqrt(0.04 + 0.96)) / 1.6 = 0.5.
  auto h = [](float q) -> double { return 0.8 * q * q + 0.2 * q - 0.3; };
  EXPECT_NEAR(zbrent(h, 0.45f, 0.55f, 1.0e-7f), 0.5f, 1.0e-7);

  // No sign change: console message and the midpoint of the interval.
  CaptureStdout();
  const float mid = zbrent([](float x) -> double { return x + 1.0; }, 0.2f, 0.4f, 1e-6f);
  EXPECT_EQ(GetCapturedStdout(), "\nRoot must be bracketed in zbrent");
  EXPECT_EQ(mid, 0.3f);

  // A sign step at 0 with tol = 0: the bracket always straddles 0, so its
  // half-width never falls below 6e-8 |b|; after 100 bisections the run ends.
  auto step = [](float x) -> double { return x > 0.0f ? 1.0 : -1.0; };
  CaptureStdout();
  EXPECT_THROW(zbrent(step, -1.0f, 2.0f, 0.0f), FatalError);
  EXPECT_EQ(GetCapturedStdout(), "Maximum number of iterations exceeded in zbrent");
}

}  // namespace
}  // namespace bandscape
