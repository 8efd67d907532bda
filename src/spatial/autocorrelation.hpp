// Spatial autocorrelation of individuals over distance classes (Smouse &
// Peakall 1999, Heredity 82:561-573).
//
// With D the matrix of squared distances between individuals (the band
// differences, zero diagonal) and its row means, column means and grand mean,
//   C = -1/2 (D - row means - column means + grand mean),
// and for a distance class h with pairs i < j,
//   r_h = 2 sum_{i<j in h} c_ij / sum_{i<j in h} (c_ii + c_jj).
// Null interval: the 2.5% and 97.5% quantiles (R's type 7) of r_h when the
// individuals are permuted among the locations (permutation k from the stream
// keyed (seed, autocorrelation_permutation, 0, k)), all classes from one
// permutation.  P is one-sided in the direction of r_h, as Smouse & Peakall
// test it: the share (k + 1) / (n + 1) of permutations with r >= r_h - 1.49e-8
// when r_h >= 0, with r <= r_h + 1.49e-8 when r_h < 0.
// Bootstrap interval: the pairs of each class are drawn with replacement
// (their number kept; class h of replicate b from the stream keyed (seed,
// autocorrelation_bootstrap, h, b)) and r_h recomputed from the drawn pairs;
// the 2.5% and 97.5% quantiles.
#pragma once

#include <string>
#include <vector>

#include "spatial/distance_classes.hpp"
#include "spatial/permutations.hpp"
#include "stats/band_differences.hpp"

namespace bandscape {

struct AutocorrelationClass {
  double lower_km = 0.0;
  double upper_km = 0.0;
  std::size_t pairs = 0;
  double r = 0.0;  // NaN for a class without pairs or whose denominator is 0
  double null_lower = 0.0, null_upper = 0.0;
  double boot_lower = 0.0, boot_upper = 0.0;
  double p_value = 0.0;
};

struct Autocorrelation {
  std::vector<AutocorrelationClass> classes;
  int permutations = 0;
  int bootstraps = 0;
  std::vector<std::string> warnings;
};

// The centred matrix C, row after row (n x n).
std::vector<double> centred_similarities(const PackedDistances& d);

// `d` holds numbers only (std::invalid_argument otherwise) and matches the
// classes' pairs.
Autocorrelation spatial_autocorrelation(const PackedDistances& d, const DistanceClasses& classes,
                                        const SpatialSettings& settings);

}  // namespace bandscape
