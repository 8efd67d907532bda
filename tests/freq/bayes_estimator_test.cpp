// Bayesian estimators (uniform and fitted beta priors).  Reference numbers come
// from tests/freq/reference_values.py: the closed forms recomputed with the same
// single-precision roundings of the beta function, and the integrals by Simpson's
// rule (after q = lo + (1 - lo) u^2) with the integrand divided by its peak.
#include "freq/bayes_estimator.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "test_util.hpp"

namespace bandscape {
namespace {

// One population: (X, N) per locus.
struct Counts {
  IMatrix absent;
  IMatrix scored;
};

Counts counts_of(const std::vector<std::vector<std::pair<int, int>>>& pops) {
  const int r = static_cast<int>(pops.size());
  const int m = static_cast<int>(pops.front().size());
  Counts c{int_matrix(0, r - 1, 0, m - 1), int_matrix(1, r, 1, m)};
  for (int j = 0; j < r; ++j) {
    for (int i = 0; i < m; ++i) {
      c.absent[j][i] = pops[j][i].first;
      c.scored[j + 1][i + 1] = pops[j][i].second;
    }
  }
  return c;
}

struct Outputs {
  FMatrix est;
  FMatrix var;
  DVector alpha;
  DVector beta;
  Outputs(int r, int m)
      : est(float_matrix(0, r - 1, 0, m - 1)),
        var(float_matrix(0, r - 1, 0, m - 1)),
        alpha(double_vector(0, r - 1)),
        beta(double_vector(0, r - 1)) {
    est.fill(-7.0f);
    var.fill(-7.0f);
  }
};

// Uniform prior, F = 0: N = 1 with X = 0 (E[q] = 0.375, E[q^2] = 0.2), X = 1
// (E[q] = 0.75), and an unscored locus N = X = 0 (E[q] = 0.5, variance 1/12).
// Exact: 0.625, 0.059375, 0.25, 0.5, 0.0833333; the float values carry the
// single-precision logarithms of the beta function (reference_values.py).
TEST(BayesUniform, ClosedFormSmallSamples) {
  const Counts c = counts_of({{{0, 1}, {1, 1}, {0, 0}}});
  Outputs out(1, 3);
  testing::RecordingLog log;
  estimate_bayes_uniform_prior(1, 3, c.absent, 0.0f, c.scored, out.est, out.var, log);
  EXPECT_EQ(out.est[0][0], 0.625f);
  EXPECT_EQ(out.var[0][0], 0.0593749918f);
  EXPECT_EQ(out.est[0][1], 0.249999985f);
  EXPECT_EQ(out.var[0][1], 0.0374999754f);
  EXPECT_EQ(out.est[0][2], 0.5f);
  EXPECT_EQ(out.var[0][2], 0.0833333284f);
  EXPECT_EQ(log.echoed, "");
}

// Uniform prior, F = 0.3, by Romberg integration: (3, 5) and (2, 7) against the
// Simpson reference (0.32427377, 0.02302787; 0.54995562, 0.02475196).  Romberg
// stops at a relative accuracy of 1e-6, but h^(X - 1/2) near q = 0 slows its
// convergence: 1e-5 covers it.  (0, 1) starts at 0.0001 (the integrand is
// infinite at 0); the reference integrates from there too (0.69344286).
TEST(BayesUniform, IntegratedWithInbreeding) {
  const Counts c = counts_of({{{3, 5}, {2, 7}, {0, 1}}});
  Outputs out(1, 3);
  testing::RecordingLog log;
  estimate_bayes_uniform_prior(1, 3, c.absent, 0.3f, c.scored, out.est, out.var, log);
  EXPECT_NEAR(out.est[0][0], 0.32427377, 1e-5);
  EXPECT_NEAR(out.var[0][0], 0.02302787, 1e-5);
  EXPECT_NEAR(out.est[0][1], 0.54995562, 1e-5);
  EXPECT_NEAR(out.var[0][1], 0.02475196, 1e-5);
  EXPECT_NEAR(out.est[0][2], 0.69344286, 5e-5);
}

// Method-of-moments prior from (2, 4) and (1, 4): SX = 3, SN = 8, SQ = 1.25,
// mu = 0.375, sigma2 = 0.015625, v = 14, alpha = 5.25, beta = 8.75 (by hand);
// estimates from the closed forms (reference_values.py).
TEST(BayesNonUniform, FittedPriorAndClosedForm) {
  const Counts c = counts_of({{{2, 4}, {1, 4}}});
  Outputs out(1, 2);
  testing::RecordingLog log;
  estimate_bayes_fitted_prior(1, 2, c.absent, 0.0f, c.scored, out.alpha, out.beta, out.est, out.var, log);
  EXPECT_EQ(out.alpha[0], 5.25);
  EXPECT_EQ(out.beta[0], 8.75);
  EXPECT_EQ(out.est[0][0], 0.371845812f);
  EXPECT_EQ(out.var[0][0], 0.00820005219f);
  EXPECT_EQ(out.est[0][1], 0.418376029f);
  EXPECT_EQ(out.var[0][1], 0.00893562753f);
  EXPECT_EQ(log.echoed, "");
}

// A population where no locus lacks the band (SX = 0) takes its prior from the
// counts shifted by one half: X = 0.5 at (0, 4) and (0, 2) and the unscored
// locus, SN = 6, SQ = 0.25 / 4 + 0.25 / 2 = 0.1875, mu = 0.25, sigma2 = 0.03125 - 0.0625 < 0
// (by hand): v < 0, so the uniform prior is used with a warning.
TEST(BayesNonUniform, HalfShiftedPriorOfBandEverywhere) {
  double alpha = 0.0, beta = 0.0;
  const Counts c = counts_of({{{0, 4}, {0, 2}, {0, 0}}});
  EXPECT_FALSE(fit_population_prior(0, 3, c.absent, c.scored, alpha, beta));
  // Loci (0, 4) and (0, 8): SX = 1, SN = 12, SQ = 0.0625 + 0.03125 = 0.09375,
  // mu = 1/12, sigma2 = 0.0078125 - 1/144 = 1/1152, v = (11/144) 1152 - 1 = 87,
  // alpha = 87/12 = 7.25, beta = 87 (11/12) = 79.75 (by hand).
  const Counts d = counts_of({{{0, 4}, {0, 8}}});
  EXPECT_TRUE(fit_population_prior(0, 2, d.absent, d.scored, alpha, beta));
  EXPECT_NEAR(alpha, 7.25, 1e-12);
  EXPECT_NEAR(beta, 79.75, 1e-12);
}

// Priors that cannot be fitted fall back to the uniform prior (alpha 0.5, beta 1)
// with a warning: a population of one individual (X / N is 0 or 1 at every locus,
// so sigma2 = mu (1 - mu) and v = 0) and a population with the band at every locus
// (half-shifted counts with equal N have no spread: v is infinite or huge).  The
// estimates are then those of method 3, bit for bit.
TEST(BayesNonUniform, UnfittablePriorsUseUniformPrior) {
  const Counts c = counts_of({{{0, 1}, {1, 1}, {1, 1}, {0, 0}}, {{0, 6}, {0, 6}, {0, 6}, {0, 6}}});
  Outputs out(2, 4), uniform(2, 4);
  testing::RecordingLog log, uniform_log;
  estimate_bayes_fitted_prior(2, 4, c.absent, 0.0f, c.scored, out.alpha, out.beta, out.est, out.var, log);
  estimate_bayes_uniform_prior(2, 4, c.absent, 0.0f, c.scored, uniform.est, uniform.var, uniform_log);
  EXPECT_EQ(log.echoed,
            "\nWARNING! prior of pop 1 could not be estimated: uniform prior used"
            "\nWARNING! prior of pop 2 could not be estimated: uniform prior used");
  for (int j = 0; j < 2; ++j) {
    EXPECT_EQ(out.alpha[j], 0.5);
    EXPECT_EQ(out.beta[j], 1.0);
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(out.est[j][i], uniform.est[j][i]) << j << " " << i;
      EXPECT_EQ(out.var[j][i], uniform.var[j][i]) << j << " " << i;
    }
  }
  EXPECT_EQ(out.est[0][0], 0.625f);
}

// A homogeneous population (X alternating 10 and 11 of 25) fits alpha = 255.36,
// beta = 352.64; with F = 0.3 the posterior kernel peaks near exp(-400), far below
// the float range, and is integrated divided by its peak.  Posterior means
// (reference_values.py): 0.41148701 and 0.41008218, close to the values that
// the band frequencies 0.6 and 0.56 imply under F = 0.3 after shrinkage to the
// population mean (not 0, the result of integrands that vanish in float).
TEST(BayesNonUniform, StrongPriorWithInbreedingIsIntegratedToScale) {
  const Counts c = counts_of({{{10, 25}, {11, 25}, {10, 25}, {11, 25}, {10, 25}, {11, 25}}});
  Outputs out(1, 6);
  testing::RecordingLog log;
  estimate_bayes_fitted_prior(1, 6, c.absent, 0.3f, c.scored, out.alpha, out.beta, out.est, out.var, log);
  EXPECT_NEAR(out.alpha[0], 255.36, 1e-9);
  EXPECT_NEAR(out.beta[0], 352.64, 1e-9);
  // Each Romberg integral stops at a relative accuracy of 1e-6, so E[q] (near
  // 0.59) is good to about 2e-6 of itself.
  EXPECT_NEAR(out.est[0][0], 0.41148701, 2.5e-6);
  EXPECT_NEAR(out.est[0][1], 0.41008218, 2.5e-6);
  // Posterior variances 3.0420e-4 and 3.0345e-4: the difference E[q^2] - E[q]^2
  // of moments near 0.35 keeps about 2e-6 of 0.35.
  EXPECT_NEAR(out.var[0][0], 3.0420e-4, 1.5e-6);
  EXPECT_NEAR(out.var[0][1], 3.0345e-4, 1.5e-6);
  EXPECT_EQ(out.est[0][2], out.est[0][0]);
  EXPECT_EQ(log.echoed, "");
}

// alpha + beta = 9638 (X alternating 40 and 41 of 100): with F = 0 the beta values
// underflow to 0 and the ratios come from log-beta differences; expected values
// recomputed that way in reference_values.py.
TEST(BayesNonUniform, VeryStrongPriorClosedFormFromLogBeta) {
  const Counts c = counts_of({{{40, 100}, {41, 100}, {40, 100}, {41, 100}}});
  Outputs out(1, 4);
  testing::RecordingLog log;
  estimate_bayes_fitted_prior(1, 4, c.absent, 0.0f, c.scored, out.alpha, out.beta, out.est, out.var, log);
  EXPECT_GT(out.alpha[0] + out.beta[0], 1000.0);
  EXPECT_EQ(out.est[0][0], 0.363656253f);
  EXPECT_EQ(out.var[0][0], 1.52762514e-05f);
  EXPECT_EQ(out.est[0][1], 0.363575548f);
  EXPECT_EQ(out.var[0][1], 1.52736066e-05f);
  EXPECT_EQ(log.echoed, "");
}

// Fatal conditions: the message goes to the log with echo, FatalError is thrown,
// and the cells filled before stay.
TEST(BayesFatal, UndefinedIntegralWithNegativeFis) {
  // F = -0.5: h < 0 below q = 1/3, so every lower bound gives NaN.  X = N: estimate
  // 0 and variance 0; the next locus (X < N) stops the run.
  const Counts c = counts_of({{{1, 1}, {0, 2}, {0, 2}}});
  Outputs out(1, 3);
  testing::RecordingLog log;
  EXPECT_THROW(estimate_bayes_uniform_prior(1, 3, c.absent, -0.5f, c.scored, out.est, out.var, log), FatalError);
  EXPECT_EQ(log.echoed, "Error in compute_freq_allele_Bayes_UNIF : numtemp or denomtemp undefined");
  EXPECT_EQ(out.est[0][0], 0.0f);
  EXPECT_EQ(out.var[0][0], 0.0f);
  EXPECT_EQ(out.est[0][2], -7.0f);

  testing::RecordingLog log4;
  EXPECT_THROW(
      estimate_bayes_fitted_prior(1, 3, c.absent, -0.5f, c.scored, out.alpha, out.beta, out.est, out.var, log4),
      FatalError);
  // mu = 0.2 and sigma2 = 0.16 give v = 0: the uniform prior, with its warning.
  EXPECT_EQ(log4.echoed,
            "\nWARNING! prior of pop 1 could not be estimated: uniform prior used"
            "Error in compute_freq_allele_Bayes_NONUNIF : numtemp or denomtemp undefined");
}

// A population of 2,000 scored individuals under the uniform prior: B(1000.5, 1001)
// is about 2^-2000, 0 in double, so the ratios come from log-beta differences.
// Expected values from python3: 1 - exp(lnB(1001, 1001) - lnB(1000.5, 1001)) with
// math.lgamma gives 0.2930257227, and the variance 6.2464854e-05.
TEST(BayesUniform, LargeSampleClosedFormFromLogBeta) {
  const Counts c = counts_of({{{1000, 2000}}});
  Outputs out(1, 1);
  testing::RecordingLog log;
  estimate_bayes_uniform_prior(1, 1, c.absent, 0.0f, c.scored, out.est, out.var, log);
  EXPECT_NEAR(out.est[0][0], 0.2930257227, 2e-7);
  EXPECT_NEAR(out.var[0][0], 6.2464854e-05, 1e-10);
  EXPECT_EQ(log.echoed, "");
}

TEST(BayesFatal, ZeroOrUndefinedBetaValue) {
  // X > N (the reader's count below the scores): B(5.5, -3) is NaN (ln Gamma of
  // -3 is NaN), which stops the run; the prior of method 4 cannot be fitted.
  const Counts d = counts_of({{{5, 1}}});
  Outputs out(1, 1);
  testing::RecordingLog log;
  EXPECT_THROW(estimate_bayes_uniform_prior(1, 1, d.absent, 0.0f, d.scored, out.est, out.var, log), FatalError);
  EXPECT_EQ(log.echoed, "Error in compute_freq_allele_Bayes_UNIF : denomtemp=0");
  EXPECT_EQ(out.est[0][0], -7.0f);

  testing::RecordingLog log4;
  EXPECT_THROW(estimate_bayes_fitted_prior(1, 1, d.absent, 0.0f, d.scored, out.alpha, out.beta, out.est, out.var, log4),
               FatalError);
  EXPECT_EQ(log4.echoed,
            "\nWARNING! prior of pop 1 could not be estimated: uniform prior used"
            "Error in compute_freq_allele_Bayes_NONUNIF : denomtemp=0");
}

}  // namespace
}  // namespace bandscape
