// The AMOVA of a run (Excoffier et al. 1992): the squared Euclidean
// differences between the individuals' band profiles, the analysis on two
// levels (populations) or three (groups of populations from the subset file),
// the pairwise PhiPT between populations, with their permutation tests.
//
// The permutations draw from streams keyed by the run's seed, never from the
// run's classic random stream.  What cannot be computed is left out with a
// warning (a plain sentence) instead of ending the run.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "amova/amova.hpp"
#include "numeric/array.hpp"
#include "numeric/distance_matrix.hpp"
#include "stats/band_differences.hpp"

namespace bandscape {

struct AmovaData {
  const ScoreMatrix* band_scores = nullptr;  // (0..ntot-1, 0..m-1): 1, 0, 9 missing
  int ntot = 0;
  int m = 0;
  std::vector<int> population_sizes;               // individuals of populations 0..r-1, in row order
  std::vector<int> subset_groups;                  // group 1..G of each population; empty without groups
  const std::vector<std::string>* individual_names = nullptr;  // 0..ntot-1, for the warnings
  int missing_millionths = kDefaultMissingMillionths;  // the share of missing scores a used locus may have
};

struct AmovaAnalysis {
  int loci_used = 0;
  int loci = 0;                // of the data
  int missing_millionths = 0;  // the rule that chose the loci used
  int permutations = 0;
  // The groups 0..G-1 of the populations when the analysis has three levels.
  std::vector<int> groups;
  // The squared distances between individuals (with NaN for a pair without a
  // shared scored locus); the ordination of the individuals uses them.
  BandDifferences differences;
  std::optional<AmovaResult> result;  // nothing when no locus or pair allows it
  std::optional<PairwisePhiPT> pairs;
  std::vector<std::string> warnings;
};

// `permutations` for each test (0: none), `seed` the run's seed, `threads` as
// --threads (0: one per core).  Needs at least two populations.
AmovaAnalysis analyse_amova(const AmovaData& data, int permutations, long seed, int threads);

// The pairwise PhiPT as distances between populations for their ordination:
// a negative value counts as 0, an undefined one stays NaN.
DistanceMatrix phipt_distances(const PairwisePhiPT& pairs);

}  // namespace bandscape
