// Kinship coefficients between individuals from dominant markers (Hardy 2003,
// Mol. Ecol. 12:1577-1588) and the kinship-distance regression with the Sp
// statistic of Vekemans & Hardy (2004, Mol. Ecol. 13:921-935).
//
// At a locus, with F the inbreeding coefficient assumed (Fis) and a the
// frequency of the band-absent phenotype among the individuals scored there
// (the whole sample is the reference), n_l of them:
//   s = sqrt(F^2 + 4 (1 - F) a),
//   h2 = 2 / (1 + F) * (s + F) / (s + 2 - F)      (marker heritability),
//   D = a (1 - a) h2                               (locus weight).
// For two individuals scored at the locus, N = (1 - a)^2 if both lack the
// band, a^2 if both have it, -a (1 - a) if they differ, and
//   R_l = N / D + 1 / (n_l - 1),
//   R = sum R_l D_l / sum D_l over the loci scored in both with 0 < a < 1,
//   F_ij = R (1 + F) / 2.
// Written as sums: N = z_i z_j with z = a for band present, -(1 - a) for band
// absent, so that sum R_l D_l = sum z_i z_j + sum D_l / (n_l - 1): the sums
// over loci of all pairs are matrix products.
//
// The kinship-distance regression: b, the least-squares slope of F_ij on
// ln(distance) over the pairs at a distance above 0 km; F1 the mean kinship of
// the first distance class; Sp = -b / (1 - F1).  Its standard error is the
// jackknife over loci, sqrt((L - 1) / L sum (Sp_-l - mean Sp_-l)^2), each
// Sp_-l computed with locus l left out; the P value of b is one-sided for a
// decrease of kinship with distance: (k + 1) / (n + 1) with k the
// permutations of individuals among locations whose b <= b_observed + 1.49e-8
// (permutation k from the stream keyed (seed, kinship_slope, 0, k)).
#pragma once

#include <string>
#include <vector>

#include "numeric/array.hpp"
#include "spatial/distance_classes.hpp"
#include "spatial/permutations.hpp"
#include "stats/band_differences.hpp"

namespace bandscape {

struct DominantKinship {
  double fis = 0.0;
  std::vector<int> loci;       // the loci with 0 < a < 1 (columns of the scores)
  std::vector<double> absent;  // a of each of them
  std::vector<int> scored;     // n_l
  std::vector<double> weight;  // D_l
  // The pairs' kinship F_ij (PackedDistances as storage of the upper
  // triangle), NaN for a pair without a locus scored in both.
  PackedDistances kinship;
  std::size_t undefined_pairs = 0;
  bool complete = true;  // every one of these loci scored in every individual
  // Per pair, sum R_l D_l and sum D_l (the jackknife takes loci out of them).
  std::vector<double> sum_rd, sum_d;
};

// Kinship of the individuals 0..ntot-1 (rows of `scores`: 1 band present, 0
// absent, 9 missing) over the given loci (columns), at Fis F (0 <= F < 1).
// Blocks of rows are spread over `threads` workers (0: one per core); the
// values do not depend on their number.
DominantKinship dominant_kinship(const ScoreMatrix& scores, int ntot, const std::vector<int>& loci, double fis,
                                 int threads = 1);

struct KinshipClass {
  double lower_km = 0.0;
  double upper_km = 0.0;
  std::size_t pairs = 0;
  double mean_kinship = 0.0;  // NaN without pairs of defined kinship
};

struct KinshipDistance {
  std::vector<KinshipClass> classes;
  std::size_t regression_pairs = 0;
  double b = 0.0, f1 = 0.0, sp = 0.0, se_sp = 0.0, p_value = 0.0;
  int permutations = 0;
  std::vector<std::string> warnings;
};

// The class means, the regression and Sp with its jackknife SE and the
// permutation P of b (settings.permutations).  `scores` are those the kinship
// was computed from (for the jackknife).
KinshipDistance kinship_distance(const DominantKinship& k, const ScoreMatrix& scores, const PackedDistances& km,
                                 const DistanceClasses& classes, const SpatialSettings& settings);

}  // namespace bandscape
