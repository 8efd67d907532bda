// Analysis of molecular variance (Excoffier, Smouse & Quattro 1992) on the
// distances between individuals, with permutation tests of its Phi statistics
// and the pairwise PhiPT between populations.
//
// Sums of squared deviations come straight from the distances:
//   SS(set) = (1 / n_set) * sum over pairs i < j of the set of d(i, j),
// SS_total over all N individuals, SS_within populations = sum over
// populations of SS(population), SS_within groups = sum over groups of
// SS(group).  Degrees of freedom, mean squares and variance components:
//
// Two levels (P populations):
//   among populations  P - 1, SS_total - SS_within pops
//   within populations N - P
//   n = (N - sum_p N_p^2 / N) / (P - 1)
//   s2_within = MS_within, s2_among = (MS_among - MS_within) / n
//   PhiPT = s2_among / (s2_among + s2_within)
//
// Three levels (G groups of populations):
//   among groups                   G - 1, SS_total - SS_within groups
//   among populations within groups P - G, SS_within groups - SS_within pops
//   within populations             N - P
//   with S = sum_g sum_{p in g} N_p^2 / N_g,
//   n   = (N - S) / (P - G)
//   n'  = (S - sum_p N_p^2 / N) / (G - 1)
//   n'' = (N - sum_g N_g^2 / N) / (G - 1)
//   (the coefficients of the expected mean squares, eq. 9a-c of the paper as
//   corrected in later work)
//   s2_c = MS_within, s2_b = (MS_among pops - s2_c) / n,
//   s2_a = (MS_among groups - s2_c - n' s2_b) / n''
//   PhiRT = s2_a / T, PhiPR = s2_b / (s2_b + s2_c), PhiPT = (s2_a + s2_b) / T,
//   T = s2_a + s2_b + s2_c.
//
// A quantity whose denominator is zero (one population, one individual per
// population, one group, ...) is NaN.  The distances must all be numbers: a
// caller with undefined pairs (BandDifferences::undefined_pairs) reports them
// instead of calling.
//
// Permutation tests draw from streams of their own (numeric/keyed_random.hpp)
// keyed by the seed, the statistic and the permutation number, so the values
// are the same on every platform and for every thread count, and the run's
// classic random stream is never touched.
#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "stats/band_differences.hpp"

namespace bandscape {

// Individuals 0..N-1 in population order: population p holds the next
// population_sizes[p] (>= 1) individuals.  For three levels, groups[p] is the
// group 0..G-1 of population p (every group used at least once); empty groups
// mean two levels.  A design that breaks these rules, or whose N differs from
// the number of individuals of the distances, is rejected with
// std::invalid_argument.
struct AmovaDesign {
  std::vector<int> population_sizes;
  std::vector<int> groups;
};

inline constexpr double kAmovaUndefined = std::numeric_limits<double>::quiet_NaN();

struct AmovaComponent {
  int df = 0;
  double ss = kAmovaUndefined;
  double ms = kAmovaUndefined;
  double sigma2 = kAmovaUndefined;
  double percent = kAmovaUndefined;  // 100 * sigma2 / total sigma2
};

struct AmovaTable {
  bool three_levels = false;
  AmovaComponent among_groups;       // three levels only
  AmovaComponent among_populations;  // within groups, for three levels
  AmovaComponent within_populations;
  AmovaComponent total;  // df N - 1, SS_total, MS = SS / df, sigma2 = sum of the components, 100%
  double n = kAmovaUndefined;
  double n_prime = kAmovaUndefined;   // three levels only
  double n_second = kAmovaUndefined;  // three levels only
  double phi_pt = kAmovaUndefined;
  double phi_pr = kAmovaUndefined;  // three levels only
  double phi_rt = kAmovaUndefined;  // three levels only
};

AmovaTable amova_table(const PackedDistances& d, const AmovaDesign& design);

struct PermutationSettings {
  int permutations = 999;  // 0: no test
  std::uint64_t seed = 0;  // the run's seed
  int threads = 1;         // 0: one per core
};

// The statistics that key the permutation streams.
enum class PermutedStatistic : std::uint64_t { phi_pt = 1, phi_pr = 2, phi_rt = 3, pairwise_phi_pt = 4 };

struct PermutationTest {
  double observed = kAmovaUndefined;
  std::vector<double> permuted;  // one value per permutation, in permutation order
  double p_value = kAmovaUndefined;
};

// Values at least as large as the observed one count with a relative
// tolerance of 1e-10 (v >= observed - 1e-10 |observed|), so that values equal
// up to rounding count as equal; `lower` counts v <= observed + 1e-10
// |observed| instead.  P = (count + 1) / (permutations + 1); NaN without
// permutations or when the observed value is NaN (NaN values never count).
double permutation_p_value(double observed, const std::vector<double>& permuted, bool lower = false);

struct AmovaResult {
  AmovaTable table;
  // Permutation k of PhiPT shuffles the individuals over all the population
  // slots (stream key: statistic phi_pt, subset 0, index k).
  PermutationTest phi_pt;
  // The within-population component from the same permutations; small values
  // speak for structure, so its P counts permuted values <= observed.
  PermutationTest sigma2_within;
  // Three levels.  PhiPR: the individuals of each group are shuffled among
  // the population slots of that group, groups in order from one stream.
  PermutationTest phi_pr;
  // Three levels.  PhiRT: the populations are shuffled and dealt to the
  // groups, each group keeping its number of populations.
  PermutationTest phi_rt;
};

AmovaResult amova(const PackedDistances& d, const AmovaDesign& design, const PermutationSettings& settings);

// PhiPT of the two-level analysis of every pair of populations on their own
// individuals, with its permutation P value (the pair's individuals shuffled
// between the two; stream key: statistic pairwise_phi_pt, subset = number of
// the pair in the order (0,1), (0,2), ..., (1,2), ..., index k).
struct PairwisePhiPT {
  int populations = 0;
  std::vector<double> phi;      // populations x populations, row after row; 0 on the diagonal
  std::vector<double> p_value;  // NaN on the diagonal and without permutations
  double phi_pt(int p, int q) const { return phi[static_cast<std::size_t>(p * populations + q)]; }
  double p(int p, int q) const { return p_value[static_cast<std::size_t>(p * populations + q)]; }
};

PairwisePhiPT pairwise_phi_pt(const PackedDistances& d, const AmovaDesign& design, const PermutationSettings& settings);

}  // namespace bandscape
