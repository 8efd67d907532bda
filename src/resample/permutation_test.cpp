// Permutation test of Fst: under the null hypothesis of no differentiation the
// population labels are exchangeable, so the individuals are reassigned at
// random among the populations (sizes kept) and the whole chain from band
// counts through the chosen allele-frequency estimator to the Lynch & Milligan
// (1994) Fst is recomputed on every permuted data set.
#include "resample/permutation_test.hpp"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "freq/band_counts.hpp"
#include "freq/bayes_estimator.hpp"
#include "freq/estimate_cache.hpp"
#include "freq/sqrt_estimator.hpp"
#include "numeric/resample_summary.hpp"
#include "resample/replicate_batches.hpp"
#include "stats/statistics_workspace.hpp"
#include "stats/structure_statistics.hpp"

namespace bandscape {

void compute_freq_frag_permuted(int r, const ScoreMatrix& band_scores, const IVector& population_bounds,
                                const IVector& permutation, int m, IMatrix& non_missing, IMatrix& absent_counts,
                                FMatrix& fragment_frequencies, FMatrix& fragment_variances, MessageLog& log) {
  for (int j = 1; j <= r; ++j) {
    // Counts accumulate individual by individual along the rows of the band
    // scores: the band-present count in the row of the absent counts, the
    // scored count in the row of N*.
    int* scored = &non_missing[j][1];
    int* present = &absent_counts[j - 1][0];
    for (int i = 0; i < m; ++i) scored[i] = present[i] = 0;
    for (int k = population_bounds[j - 1]; k < population_bounds[j]; ++k) {
      const std::uint8_t* scores = band_scores[permutation[k]];
      for (int i = 0; i < m; ++i) {
        const int s = scores[i];
        present[i] += s == 1;
        scored[i] += s < 9;
      }
    }
    float* frequency = fragment_frequencies[j - 1];
    float* variance = fragment_variances[j - 1];
    for (int i = 0; i < m; ++i) {
      const int n = scored[i];
      const int p = present[i];
      float f = 0.0f;
      if (n > 0) {
        f = static_cast<float>(static_cast<double>(p) / n);
      } else {
        log.echo_about(j, format("\nWarning! Data on locus %d always missing in pop %d", i + 1, j));
      }
      present[i] = n - p;  // now the band-absent count
      frequency[i] = f;
      // With n = 0 this is 0/0; the statistics skip loci whose N* is 0.
      variance[i] = static_cast<float>(static_cast<double>(f) * (1.0 - f) / n);
    }
  }
}

namespace {

// What every permutation shares and only reads.
struct PermutationInput {
  int method, r, m;
  float fis;
  const ScoreMatrix& band_scores;
  const IVector& population_bounds;
};

// The working arrays of one thread, reused by every permutation it evaluates.
struct PermutationWorkspace : StatisticsWorkspace {
  PermutationWorkspace(int method, int r, int m, float fis)
      : StatisticsWorkspace(r, m),
        absent(int_matrix(0, r - 1, 0, m - 1)),
        frequencies(float_matrix(0, r - 1, 0, m - 1)),
        variances(float_matrix(0, r - 1, 0, m - 1)),
        estimates(float_matrix(0, r - 1, 0, m - 1)),
        alpha(double_vector(0, r - 1)),
        beta(double_vector(0, r - 1)) {
    // The square-root and uniform-prior estimates depend on the counts of a
    // cell alone, and the same counts recur from permutation to permutation.
    if (method == 2 || method == 3) cache = std::make_unique<EstimateCache>(method, fis);
  }

  IMatrix absent;
  FMatrix frequencies, variances, estimates;
  DVector alpha, beta;
  std::unique_ptr<EstimateCache> cache;
};

// Fst of the data set in which the individuals are assigned to the
// populations through `permutation`.
float permuted_fst(const PermutationInput& in, PermutationWorkspace& w, const IVector& permutation,
                   MessageLog& log) {
  const int r = in.r, m = in.m;
  compute_freq_frag_permuted(r, in.band_scores, in.population_bounds, permutation, m, w.N, w.absent, w.frequencies,
                             w.variances, log);

  // Methods 2 to 4 write their estimates and overwrite the fragment variances.
  const FMatrix* estimates = &w.frequencies;
  switch (in.method) {
    case 2:
      compute_freq_allele_sqrt(r, m, w.frequencies, w.N, in.fis, w.estimates, w.variances, log, *w.cache);
      estimates = &w.estimates;
      break;
    case 3:
      estimate_bayes_uniform_prior(r, m, w.absent, in.fis, w.N, w.estimates, w.variances, log, *w.cache);
      estimates = &w.estimates;
      break;
    case 4:
      estimate_bayes_fitted_prior(r, m, w.absent, in.fis, w.N, w.alpha, w.beta, w.estimates, w.variances, log);
      estimates = &w.estimates;
      break;
    default:
      break;
  }

  for (int j = 1; j <= r; ++j) {
    const float* p = (*estimates)[j - 1];
    const float* v = w.variances[j - 1];
    float* q = &w.q[j][1];
    float* vq = &w.Vq[j][1];
    for (int i = 0; i < m; ++i) {
      q[i] = static_cast<float>(1.0 - static_cast<double>(p[i]));
      vq[i] = v[i];
    }
  }

  compute_within_population_diversity(r, m, w, log);
  return compute_structure_statistics(r, m, w, log).Fst;
}


}  // namespace

PermutationResult permutation_test_fst(int nperm, int method, int r, int m, int ntot, const ScoreMatrix& band_scores,
                                       const IVector& population_bounds, float fis, float observed_fst,
                                       RandomState& state, MessageLog& log, int threads) {
  if (method < 1 || method > 4) throw std::invalid_argument("permutation_test_fst: method must be 1 to 4");
  if (nperm <= 0) return {};
  const PermutationInput in{method, r, m, fis, band_scores, population_bounds};
  const int nthreads = replicate_workers(threads, nperm);

  IVector permutation = int_vector(0, ntot - 1);
  fill_identity(permutation, 0, ntot - 1);
  FVector values = float_vector(0, nperm - 1);
  WorkerWorkspaces<PermutationWorkspace> workspaces(
      nthreads, [method, r, m, fis] { return std::make_unique<PermutationWorkspace>(method, r, m, fis); });
  workspaces.prepare(0);
  // With several threads each permutation of a batch is kept until it is evaluated.
  std::vector<IVector> drawn;
  if (nthreads > 1) {
    for (int s = 0; s < kReplicateSlots; ++s) drawn.push_back(int_vector(0, ntot - 1));
  }

  const int step = nperm / 50;
  run_replicates(
      nperm, nthreads, log,
      [&](int i, int slot, MessageLog& out) {
        if (step > 0 && i % step == 0) out.echo_note(format("\n%4d permutations done out of %d", i, nperm));
        // The permutation is shuffled further from where the previous one left it.
        shuffle_range(permutation, 0, ntot - 1, state);
        if (nthreads > 1) std::copy(permutation.begin(), permutation.end(), drawn[slot].begin());
      },
      [&](int worker, int i, int slot, MessageLog& out) {
        values[i] = permuted_fst(in, workspaces[worker], nthreads > 1 ? drawn[slot] : permutation, out);
      },
      [](int, int) {}, [&](int worker) { workspaces.prepare(worker); });

  PermutationResult result;
  result.observed = observed_fst;
  result.permuted.assign(values.begin(), values.end());
  resample_summary(values, nperm - 1, result.summary, observed_fst);
  result.sorted = std::move(values);
  return result;
}

}  // namespace bandscape
