// Methods 3 and 4: Bayesian estimators of the null-allele frequency
// (Zhivotovsky 1999).
//
// With X band-absent individuals among N scored and an inbreeding coefficient
// F, the band-absence proportion is h(q) = (1 - F) q^2 + F q.  A Beta(alpha,
// beta) prior on h updated by X absences among N gives, over q, a posterior
// proportional to g(q) = h^(X + alpha - 1) (1 - h)^(N - X + beta - 1) h'(q).
// The band-allele frequency reported is p = 1 - E[q] with the posterior
// variance E[q^2] - E[q]^2.  With F = 0 the moments are ratios of complete beta
// functions; otherwise they are Romberg integrals of q^k g(q) from a small lower
// bound to 1.
//
// Method 3 uses alpha = 0.5, beta = 1 (with F = 0 a uniform prior on q).
// Method 4 fits alpha and beta per population by the method of moments to the
// proportions X / N across the population's loci.
#pragma once

#include "core/message_log.hpp"
#include "freq/estimate_cache.hpp"
#include "numeric/array.hpp"

namespace bandscape {

// Shapes: absent_counts int_matrix(0, r-1, 0, m-1); non_missing int_matrix(1, r, 1, m)
// (population j, locus i of the other matrices goes with non_missing[j+1][i+1]);
// estimates and variances float_matrix(0, r-1, 0, m-1); alpha and beta double_vector(0, r-1).
// Cells are filled population by population, locus by locus.  An undefined or
// zero posterior integral with X < N (or a zero or undefined beta value) is
// fatal: the message goes to `log` with echo and FatalError is thrown, leaving
// the cells already filled as they are.

// Method 3.
void estimate_bayes_uniform_prior(int r, int m, const IMatrix& absent_counts, float fis, const IMatrix& non_missing,
                                  FMatrix& estimates, FMatrix& variances, MessageLog& log,
                                  CellSharing sharing = CellSharing::kShared);
// Method 3 with results kept in `cache` (made for method 3 and this Fis).
void estimate_bayes_uniform_prior(int r, int m, const IMatrix& absent_counts, float fis, const IMatrix& non_missing,
                                  FMatrix& estimates, FMatrix& variances, MessageLog& log, EstimateCache& cache);

// Method 4.  alpha[j] and beta[j] receive the prior that population j+1 used.
// A prior that cannot be fitted (the proportions show no usable spread) is
// replaced by the prior of method 3, with a warning in `log`.
void estimate_bayes_fitted_prior(int r, int m, const IMatrix& absent_counts, float fis, const IMatrix& non_missing,
                                 DVector& alpha, DVector& beta, FMatrix& estimates, FMatrix& variances, MessageLog& log,
                                 CellSharing sharing = CellSharing::kShared);

// Method-of-moments Beta(alpha, beta) prior of population j (0-based) from the
// proportions X / N of its loci.  Returns false when no proper prior can be
// fitted (alpha and beta are then left as computed).
bool fit_population_prior(int j, int m, const IMatrix& absent_counts, const IMatrix& non_missing,
                          double& alpha, double& beta);

}  // namespace bandscape
