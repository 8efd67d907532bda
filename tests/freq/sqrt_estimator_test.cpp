// Square-root estimator: closed form with F = 0, root search otherwise.
#include "freq/sqrt_estimator.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::RecordingLog;

// Hardy-Weinberg (F = 0): p = 1 - sqrt(1 - f), variance f / (4N), by hand; a
// locus never scored (N = 0, f = 0) gets 0 and 0 whatever F is, not f / (4N) = 0/0.
// The matrix form reads N at [j+1][i+1] and fills [j][i].
TEST(SquareRootEstimator, HardyWeinbergAndUnscoredLoci) {
  FMatrix f = float_matrix(0, 1, 0, 1), est = float_matrix(0, 1, 0, 1), var = float_matrix(0, 1, 0, 1);
  IMatrix n = int_matrix(1, 2, 1, 2);
  f[0][0] = 0.75f; n[1][1] = 10;  // x = 0.25, q = 0.5
  f[0][1] = 0.0f;  n[1][2] = 0;
  f[1][0] = 1.0f;  n[2][1] = 5;   // every individual has the band
  f[1][1] = 0.75f; n[2][2] = 3;
  RecordingLog log;
  compute_freq_allele_sqrt(2, 2, f, n, 0.0f, est, var, log);
  EXPECT_EQ(est[0][0], 0.5f);
  EXPECT_EQ(var[0][0], static_cast<float>(0.75 / 40));
  EXPECT_EQ(est[0][1], 0.0f);
  EXPECT_EQ(var[0][1], 0.0f);
  EXPECT_EQ(est[1][0], 1.0f);
  EXPECT_EQ(var[1][0], 0.05f);
  EXPECT_EQ(est[1][1], 0.5f);
  EXPECT_EQ(var[1][1], 0.0625f);  // 0.75 / 12
  for (float fis : {0.4f, -0.3f, 1.0f}) {
    const CellEstimate c = sqrt_estimate_cell(0.0f, 0, fis, log);
    EXPECT_EQ(c.estimate, 0.0f) << fis;
    EXPECT_EQ(c.variance, 0.0f) << fis;
  }
}

// With F != 0 the root of (1 - F) q^2 + F q = x is located by Brent's method to
// about 0.5 tol + 6e-8 q, tol = (lo + hi) 1e-7 <= 2e-7; with the float rounding
// of p the estimate lies within 1.5e-7 of the exact root.
TEST(SquareRootEstimator, RootOfInbredProportion) {
  RecordingLog log;
  // F = 0.5, f = 0.64: 0.5 q^2 + 0.5 q = 0.36, q = sqrt(0.97) - 0.5 (by hand).
  CellEstimate c = sqrt_estimate_cell(0.64f, 10, 0.5f, log);
  EXPECT_NEAR(c.estimate, 1.0 - (std::sqrt(0.97) - 0.5), 1.5e-7);  // 0.515114
  EXPECT_EQ(c.variance, static_cast<float>(0.64f / 40.0));
  // F = -0.2, f = 0.5: 1.2 q^2 - 0.2 q = 0.5, q = (0.2 + sqrt(2.44)) / 2.4 (by hand):
  // the residual first falls below -x, then rises through a single root.
  c = sqrt_estimate_cell(0.5f, 10, -0.2f, log);
  EXPECT_NEAR(c.estimate, 1.0 - (0.2 + std::sqrt(2.44)) / 2.4, 1.5e-7);  // 0.265813
  // F != 0 with every individual showing the band, or none: p = 1 and p = 0.
  c = sqrt_estimate_cell(1.0f, 4, 0.3f, log);
  EXPECT_EQ(c.estimate, 1.0f);
  EXPECT_EQ(c.variance, 0.0625f);
  c = sqrt_estimate_cell(0.0f, 4, 0.3f, log);
  EXPECT_EQ(c.estimate, 0.0f);
  EXPECT_EQ(c.variance, 0.0f);
}

// F = 1: the residual is q - x, so the estimate is the fragment frequency to
// within the root tolerance; the variance stays f / (4N).  f = 0.5 falls on the
// scan's grid point q = 0.5 and is exact.
TEST(SquareRootEstimator, FullInbreedingGivesFragmentFrequency) {
  RecordingLog log;
  for (int k = 0; k <= 10; ++k) {
    const float f = static_cast<float>(k / 10.0);
    const CellEstimate c = sqrt_estimate_cell(f, 10, 1.0f, log);
    EXPECT_NEAR(c.estimate, f, 1.5e-7) << f;
    EXPECT_EQ(c.variance, static_cast<float>(f / 40.0)) << f;
  }
  EXPECT_EQ(sqrt_estimate_cell(0.5f, 10, 1.0f, log).estimate, 0.5f);
}

// Residual exactly 0 at an interior grid point: N = 8 with five bands (x = 0.375)
// and F = 0.5 give the residual ((q (1 - q)) F - x) + q q = (0.125 - 0.375) + 0.25
// = 0 at q = 0.5 (by hand):
// the scan records no interval and the grid point is the root.
TEST(SquareRootEstimator, RootOnScanGridPoint) {
  RecordingLog log;
  EXPECT_EQ(sqrt_method_residual(0.5f, 0.5, 0.375), 0.0);
  const CellEstimate c = sqrt_estimate_cell(0.625f, 8, 0.5f, log);
  EXPECT_EQ(c.estimate, 0.5f);
  EXPECT_EQ(c.variance, 0.01953125f);  // 0.625 / 32
}

}  // namespace
}  // namespace bandscape
