// Replicate profiles: the scoring error rate measured from them and the one
// profile per individual that the analyses then take.
//
// Error rate (Bonin et al. 2004, Mol. Ecol. 13: 3261-3273): for two replicate
// profiles of one individual, the loci scored in both are the comparisons,
// those scored differently (band in one, none in the other) the mismatches,
// and the error rate is mismatches / comparisons.  An individual with more
// than two replicates gives every pair of them.  The same counts are summed
// per locus over all pairs, and overall over pairs and loci.  A rate without
// a comparison is NaN.
//
// Merging: the samples of each individual become one profile, standing where
// its first sample stood and named by the individual; the other samples are
// left out.  Consensus keeps a score on which every scored replicate agrees
// and makes a disagreement missing; first keeps the first sample's scores.
#pragma once

#include <string>
#include <vector>

#include "input/replicates_file.hpp"
#include "input/score_table.hpp"

namespace bandscape {

struct MismatchCount {
  long long comparisons = 0;
  long long mismatches = 0;
  double error_rate() const;  // mismatches / comparisons; NaN without a comparison
};

struct ReplicatePair {
  std::string individual;
  int sample_a = 0, sample_b = 0;  // rows of the score table, sample_a first in the group
  MismatchCount count;
};

struct ReplicateErrors {
  std::vector<ReplicatePair> pairs;  // group by group, pairs (a, b) with a before b in the group
  std::vector<MismatchCount> loci;   // per locus of the table
  MismatchCount overall;
};

ReplicateErrors replicate_errors(const ScoreTable& table, const std::vector<ReplicateGroup>& groups);

enum class ReplicateMerge { consensus, first };

// The table with one profile per replicate group (see above); samples in no
// group are kept as they are.  Every sample of a group is a row of the table
// and no sample is in two groups (the reader of the replicates file checks).
// A group whose samples lie in different populations takes the population of
// its first sample, and `warnings` says so.
ScoreTable merge_replicates(const ScoreTable& table, const std::vector<ReplicateGroup>& groups, ReplicateMerge merge,
                            std::vector<std::string>& warnings);

}  // namespace bandscape
