// Band counts per population and locus, fragment frequencies, and the
// selection of the chosen method's estimates for everything downstream.
//
// Shapes (inclusive bounds):
//   band_scores         int   0..ntot-1 x 0..m-1   (1 present, 0 absent, 9 missing)
//   population_bounds   int   0..r                 (population j, 0-based, owns rows
//                                                   bounds[j] .. bounds[j+1]-1)
//   non_missing (N)     int   1..r x 1..m          (scored individuals, from the reader)
//   per-cell outputs    float/int 0..r-1 x 0..m-1  (population j goes with N[j+1])
#pragma once

#include <vector>

#include "core/message_log.hpp"
#include "numeric/array.hpp"

namespace bandscape {

// Per population j = 1..r: L[j] = number of loci with N[j][i] != 0 and
// nbar[j] = (sum over loci of N[j][i]) / L[j] in integer division (0 when L[j]
// is 0).  N may be the real counts or resampled ones.  nbar, L: int_vector(1, r).
void summarize_sample_sizes(int r, int m, const IMatrix& non_missing, IVector& nbar, IVector& L);

// The exact mean number of individuals scored per locus with data of each
// population (nbar before its truncation): element j - 1 for population j;
// NaN for a population without data.
std::vector<double> mean_scored_per_locus(int r, int m, const IMatrix& non_missing);

// Number of present bands over all individuals and loci, divided by ntot
// (individuals with missing scores still count in the divisor).
void mean_fragments_per_individual(int r, const ScoreMatrix& band_scores, int ntot,
                                   const IVector& population_bounds, int m, float& mean);

// Number of loci at which the scored individuals (all populations together)
// do not all carry the same score.
void count_segregating_fragments(const ScoreMatrix& band_scores, int ntot, int m, int& segregating);

// Fragment frequency f (band-present proportion among the scored individuals),
// band-absent count X = N - present and binomial variance f (1 - f) / N for
// every population and locus.  A count that disagrees with `non_missing`, and a
// locus never scored in a population, are reported to `log` (with echo); the
// run goes on.  Outputs: float_matrix(0, r-1, 0, m-1) and int_matrix(0, r-1, 0, m-1).
void compute_freq_frag(int r, const ScoreMatrix& band_scores, const IVector& population_bounds, int m,
                       FMatrix& fragment_frequencies, const IMatrix& non_missing, IMatrix& absent_counts,
                       FMatrix& fragment_variances, MessageLog& log);

}  // namespace bandscape
