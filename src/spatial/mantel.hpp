// Mantel tests (Mantel 1967) of genetic against geographic distances.
//
// For a genetic matrix G and a geographic variable x over the pairs i < j
// taking part (pairs where x is NaN are left out: the 0-km pairs of ln km),
//   r = sum (g - mean g)(x - mean x) / sqrt(sum (g - mean g)^2 sum (x - mean x)^2),
// Pearson's correlation, with the least-squares line of g on x:
//   slope = sum (g - mean g)(x - mean x) / sum (x - mean x)^2,
//   intercept = mean g - slope mean x.
// The permutation test permutes the rows and columns of G together (location
// i receives individual order[i]: g'(i, j) = g(order[i], order[j])), x fixed,
// and P = (k + 1) / (n + 1) with k the permutations whose r >= r_observed -
// 1.49e-8, one-sided for positive association, as vegan::mantel counts.
// Permutation k is drawn from the stream keyed (seed, mantel, 0, k) and serves
// every genetic matrix and every geographic variable of the call, so each
// permutation is one pass over the pairs.
#pragma once

#include <cstddef>
#include <vector>

#include "spatial/permutations.hpp"
#include "stats/band_differences.hpp"

namespace bandscape {

struct MantelTest {
  int genetic = 0;     // which genetic matrix of the call
  int geographic = 0;  // which geographic variable
  std::size_t pairs = 0;
  double r = 0.0;
  double slope = 0.0;
  double intercept = 0.0;
  double p_value = 0.0;  // NaN without permutations or when r is NaN
  int permutations = 0;
};

// Every genetic matrix (all of one size n, every value a number: a caller with
// undefined pairs reports them instead of calling, std::invalid_argument
// otherwise) against every geographic variable (values over the pairs in the
// order of PackedDistances::values(), NaN for pairs left out).  Tests in the
// order (genetic 0, geographic 0), (0, 1), ..., (1, 0), ...  A variable
// without variance, or with fewer than 3 pairs, gives NaN.
std::vector<MantelTest> mantel_tests(const std::vector<const PackedDistances*>& genetic,
                                     const std::vector<std::vector<double>>& geographic,
                                     const SpatialSettings& settings);

// ln of the distances in km, NaN for pairs at 0 km (counted in zero_pairs).
std::vector<double> ln_distances(const PackedDistances& km, std::size_t& zero_pairs);

// The isolation-by-distance tests of a level: every genetic matrix against km
// and against ln km (tests ordered genetic by genetic, km before ln km).  The
// 0-km pairs are left out of the ln tests with one warning.
struct IsolationByDistance {
  std::vector<MantelTest> tests;  // geographic 0 = km, 1 = ln km
  std::vector<std::string> warnings;
};
IsolationByDistance isolation_by_distance(const std::vector<const PackedDistances*>& genetic,
                                          const PackedDistances& km, const SpatialSettings& settings);

}  // namespace bandscape
