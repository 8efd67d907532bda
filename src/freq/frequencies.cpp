#include "freq/frequencies.hpp"

#include <utility>

#include "freq/band_counts.hpp"
#include "freq/bayes_estimator.hpp"
#include "freq/frequency_method.hpp"
#include "freq/sqrt_estimator.hpp"

namespace bandscape {

namespace {

FMatrix copy_of(const FMatrix& source, int r, int m) {
  FMatrix copy = float_matrix(0, r - 1, 0, m - 1);
  for (int j = 0; j < r; ++j) {
    for (int i = 0; i < m; ++i) copy[j][i] = source[j][i];
  }
  return copy;
}

}  // namespace

Frequencies estimate_frequencies(int method, float fis, int r, int m, const ScoreMatrix& band_scores,
                                 const IVector& population_bounds, const IMatrix& non_missing, MessageLog& log) {
  Frequencies f;
  f.fragment_frequencies = float_matrix(0, r - 1, 0, m - 1);
  f.absent_counts = int_matrix(0, r - 1, 0, m - 1);
  f.fragment_variances = float_matrix(0, r - 1, 0, m - 1);
  compute_freq_frag(r, band_scores, population_bounds, m, f.fragment_frequencies, non_missing, f.absent_counts,
                    f.fragment_variances, log);
  if (method == kFragmentFrequencies) {
    f.estimates = copy_of(f.fragment_frequencies, r, m);
    f.variances = copy_of(f.fragment_variances, r, m);
    return f;
  }
  f.estimates = float_matrix(0, r - 1, 0, m - 1);
  f.variances = float_matrix(0, r - 1, 0, m - 1);
  if (method == kSquareRoot) {
    compute_freq_allele_sqrt(r, m, f.fragment_frequencies, non_missing, fis, f.estimates, f.variances, log);
  } else if (method == kBayesUniform) {
    estimate_bayes_uniform_prior(r, m, f.absent_counts, fis, non_missing, f.estimates, f.variances, log);
  } else {
    DVector alpha = double_vector(0, r - 1);
    DVector beta = double_vector(0, r - 1);
    estimate_bayes_fitted_prior(r, m, f.absent_counts, fis, non_missing, alpha, beta, f.estimates, f.variances,
                                log);
  }
  return f;
}

}  // namespace bandscape
