// The chain from null-allele frequencies to gene diversity and population
// structure after Lynch & Milligan (1994), in one place for the observed data,
// every permutation and every bootstrap replicate: sample sizes, Hj per
// population, then Hw, the pairwise quantities behind Hb and the distances,
// Ht and Fst.  The order of operations and the single-precision stores are
// those of the kernels it calls, so every caller gets the same numbers.
#pragma once

#include "core/message_log.hpp"
#include "stats/statistics_workspace.hpp"

namespace bandscape {

// Tables 2 and 3 of one data set.
struct StructureStatistics {
  float Hw = 0, VarHw = 0, VarIHw = 0, VarLHw = 0, VarPHw = 0;
  float Hb = 0, VarHb = 0;
  float Ht = 0, Fst = 0, VarFst = 0;
};

// From w.N, w.q and w.Vq: w.nbar, w.L, then Hloc, VHloc, Hj, VarHj, VarIHj, VarLHj.
void compute_within_population_diversity(int r, int m, StatisticsWorkspace& w, MessageLog& log);

// After compute_within_population_diversity, for r >= 2: Hw and its
// components, the pairwise D, VarD, HbPair and nPair (pairs without a shared
// locus keep zeros, so the result depends on this data set alone), Hb, Ht, Fst.
StructureStatistics compute_structure_statistics(int r, int m, StatisticsWorkspace& w, MessageLog& log);

}  // namespace bandscape
