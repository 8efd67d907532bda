// Permutation test of Fst: individuals reassigned at random among populations
// (every population keeps its size), the whole chain from band counts to Fst
// recomputed on each permuted data set, and the observed Fst compared with the
// permuted distribution (Table 4 and resample.txt).
#pragma once

#include <string>
#include <vector>

#include "core/message_log.hpp"
#include "numeric/array.hpp"
#include "numeric/random.hpp"
#include "numeric/resample_summary.hpp"

namespace bandscape {

// Band counts of the data set in which population j (1..r) consists of the
// individuals permutation[bounds[j-1]] .. permutation[bounds[j]-1].
void compute_freq_frag_permuted(int r, const ScoreMatrix& band_scores, const IVector& population_bounds,
                                const IVector& permutation, int m, IMatrix& non_missing, IMatrix& absent_counts,
                                FMatrix& fragment_frequencies, FMatrix& fragment_variances, MessageLog& log);

// The observed Fst, the permuted values in the order drawn and in ascending
// order (NaN last), and Table 4's summary of them.
struct PermutationResult {
  float observed = 0.0f;
  std::vector<float> permuted;
  FVector sorted;  // 0..nperm-1
  ResampleSummary summary;
};

// Runs nperm permutations drawn from `state`.  `threads`: 0 = all cores,
// 1 = sequential; the result is identical whatever the number.
PermutationResult permutation_test_fst(int nperm, int method, int r, int m, int ntot, const ScoreMatrix& band_scores,
                                       const IVector& population_bounds, float fis, float observed_fst,
                                       RandomState& state, MessageLog& log, int threads = 1);

}  // namespace bandscape
