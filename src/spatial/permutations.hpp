// What the spatial analyses share: their permutation settings, the keys of
// their random streams and the one-sided P value of a permutation test.
//
// Every permutation (and every bootstrap replicate) draws from a stream of its
// own, keyed by (seed, statistic, subset, index) as in numeric/keyed_random.hpp,
// so the results are the same for every number of threads.  Permutations of
// individuals among locations are Fisher-Yates shuffles of 0..n-1: location i
// receives individual order[i].
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/keyed_random.hpp"
#include "numeric/parallel.hpp"

namespace bandscape {

struct SpatialSettings {
  int permutations = 9999;  // 0: no test
  int bootstraps = 999;     // bootstrap replicates, where an analysis has them
  std::uint64_t seed = 0;   // the seed of the spatial streams (derived from the run's seed by the caller)
  int threads = 1;          // 0: one per core
};

// The statistics that key the spatial streams.
enum class SpatialStream : std::uint64_t {
  mantel = 1,
  autocorrelation_permutation = 2,
  autocorrelation_bootstrap = 3,
  kinship_slope = 4,
};

// vegan's tolerance for values equal to the observed one up to rounding:
// sqrt of the double precision epsilon.
inline constexpr double kPermutationTolerance = 1.4901161193847656e-08;

// P = (k + 1) / (n + 1), k counting permuted values v >= observed - 1.49e-8
// (or, with `lower`, v <= observed + 1.49e-8); NaN without permutations or
// for a NaN observed value.  NaN permuted values never count.
double one_sided_p_value(double observed, const std::vector<double>& permuted, bool lower = false);

// The permutation of 0..n-1 for piece `index` of `statistic` (subset 0).
void spatial_permutation(std::vector<int>& order, std::uint64_t seed, SpatialStream statistic, int index);

// Calls work(index) for index = 0..count-1 over settings.threads workers in
// chunks handed out in order; work must write only its own slots.
template <class Work>
void for_each_replicate(int count, int threads, Work&& work) {
  parallel_chunks(count, 8, threads, [&](int begin, int end) {
    for (int k = begin; k < end; ++k) work(k);
  });
}

// The quantile of probability p of values (R's default, type 7): with the
// values sorted, h = (n - 1) p, v[floor h] + (h - floor h)(v[floor h + 1] -
// v[floor h]).  NaN values are dropped first; NaN when none is left.
double quantile_type7(std::vector<double> values, double p);

}  // namespace bandscape
