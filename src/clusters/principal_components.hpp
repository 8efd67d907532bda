// Principal component analysis of the individuals' band profiles, the first
// step of K-means clustering and of the discriminant analysis of principal
// components (Jombart, Devillard & Balloux 2010).
//
// Each locus is a 0/1 variable.  A missing score is replaced by the mean of
// the locus over its scored individuals, and every column is centred on that
// mean, not scaled: the centred value of individual i at locus l is
// c_il = x_il - mean_l, and 0 where i was not scored (as adegenet's scaleGen
// does with NA.method = "mean" for presence/absence data).  A locus scored in
// nobody is a column of zeros.
//
// With uniform row weights 1/N (ade4's dudi.pca), the eigenvalues are those of
// the covariance C'C / N, the loadings are its unit eigenvectors in the space
// of the loci (dudi.pca's c1) and the scores of the individuals are C times
// the loadings (dudi.pca's li): the variance of the scores on component a,
// with divisor N, is its eigenvalue.  The decomposition works on the smaller
// of the two cross products, C C' (individuals) or C'C (loci), accumulated over
// blocks of the other dimension in a fixed order, so the values are the same
// for every number of threads and the centred matrix is never held whole.
//
// A component is "positive" when its eigenvalue exceeds 1e-7 times the
// largest (ade4's rank rule); only positive components are retained.
//
// Sign of a component: each is turned so that the first individual whose score
// is clearly non-zero (at least 1e-6 times the largest magnitude on it) scores
// positive.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "clusters/band_profiles.hpp"

namespace bandscape {

inline constexpr double kPositiveEigenvalueRatio = 1e-7;

struct ComponentRequest {
  // Components to retain; 0 asks for the fewest whose eigenvalues add up to at
  // least `variance_share` of the total variance.  That needs every
  // eigenvalue: the whole cross product is decomposed, at a cost of the cube
  // of min(individuals, loci), where a given count above 400 individuals and
  // loci takes only the leading components by Lanczos iteration.
  int components = 0;
  double variance_share = 0.9;
  int threads = 1;  // 0: one per core
};

struct PrincipalComponents {
  int individuals = 0;
  int loci = 0;
  std::vector<double> locus_means;  // over the scored individuals; 0 for a locus scored in nobody
  double total_variance = 0.0;      // sum of all eigenvalues, the trace of C'C / N
  // The positive eigenvalues found, largest first: all of them when
  // `all_eigenvalues`, otherwise the leading ones only.
  std::vector<double> eigenvalues;
  bool all_eigenvalues = false;
  int components = 0;          // retained: min(requested, positive eigenvalues)
  bool by_variance_share = false;  // the count came from the variance share
  std::vector<double> scores;    // individuals x components, row after row
  std::vector<double> loadings;  // loci x components, row after row; unit columns
  std::vector<std::string> warnings;

  double score(int i, int a) const { return scores[static_cast<std::size_t>(i) * components + a]; }
  double loading(int l, int a) const { return loadings[static_cast<std::size_t>(l) * components + a]; }
  // Share of the total variance of the retained components together.
  double retained_share() const;
};

// Throws std::invalid_argument for a negative request, a share outside (0, 1]
// or a score other than 0, 1 and 9.  No individuals or no loci give an empty
// result with a warning.
PrincipalComponents principal_components(const BandProfiles& profiles, const ComponentRequest& request);

}  // namespace bandscape
