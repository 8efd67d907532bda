// Method 2: square-root estimator of the null-allele frequency (Lynch &
// Milligan 1994), generalised to an inbreeding coefficient F.
//
// The band-absent individuals are taken as the null homozygotes, whose expected
// proportion is x = (1 - F) q^2 + F q.  With F = 0, q = sqrt(x); otherwise q is
// the root of that equation in [0, 1] (bracketing scan over 20 segments, then
// Brent's method).  The band-allele frequency reported is p = 1 - q with the
// sampling variance f / (4N), f = 1 - x the fragment frequency; no small-sample
// bias correction is applied.
#pragma once

#include "core/message_log.hpp"
#include "freq/estimate_cache.hpp"
#include "numeric/array.hpp"

namespace bandscape {

// ((q (1 - q)) F - x) + q q, i.e. (1 - F) q^2 + F q - x, in double precision.
inline double sqrt_method_residual(float q, double fis, double x) {
  const double qd = q;
  return ((qd * (1.0 - qd)) * fis - x) + qd * qd;
}

// The estimate and variance of one cell with fragment frequency f and N scored
// individuals.  The root finder's console notes go to `log`.
CellEstimate sqrt_estimate_cell(float fragment_frequency, int scored, float fis, MessageLog& log);

// Fills estimates and variances (float_matrix(0, r-1, 0, m-1)) for every population
// j and locus i from f = fragment_frequencies[j][i] and N = non_missing[j+1][i+1]
// (1-based).  Writes no message of its own; the root finder's console notes go
// to `log`.
void compute_freq_allele_sqrt(int r, int m, const FMatrix& fragment_frequencies, const IMatrix& non_missing,
                              float fis, FMatrix& estimates, FMatrix& variances, MessageLog& log,
                              CellSharing sharing = CellSharing::kShared);

// The same, with results kept in `cache` (made for method 2 and this Fis) for
// later calls.
void compute_freq_allele_sqrt(int r, int m, const FMatrix& fragment_frequencies, const IMatrix& non_missing,
                              float fis, FMatrix& estimates, FMatrix& variances, MessageLog& log,
                              EstimateCache& cache);

}  // namespace bandscape
