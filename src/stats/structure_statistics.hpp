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

// Whether compute_Hb's Var(Hb) is computed from the 999 its terms start
// from: no disjoint pair (1,2), (3,4), ... shares a locus, or (r >= 3) no two
// pairs with data share a population.  nPair as compute_Hb leaves it.
bool hb_variance_from_marks(int r, const IMatrix& nPair);

// Tables 2 and 3 as numbers for the results folder and the summary page: the
// 999 marks (Var(Hb) of one population, Fst and Var(Fst) that are not finite)
// as NaN; VarL(Hw) and VarP(Hw) NaN when some population's VarL(Hj), which
// they sum, derives from a 999 Var(Hj) (a single locus with data); Var(Hb),
// and Fst and Var(Fst) whose sampling correction uses it, NaN when Var(Hb)
// derives from a mark (hb_variance_from_marks).
StructureStatistics defined_statistics(const StructureStatistics& s, int r, const FVector& VarHj,
                                       const IMatrix& nPair);

// From w.N, w.q and w.Vq: w.nbar, w.L, then Hloc, VHloc, Hj, VarHj, VarIHj, VarLHj.
void compute_within_population_diversity(int r, int m, StatisticsWorkspace& w, MessageLog& log);

// After compute_within_population_diversity, for r >= 2: Hw and its
// components, the pairwise D, VarD, HbPair and nPair (pairs without a shared
// locus keep zeros, so the result depends on this data set alone), Hb, Ht, Fst.
StructureStatistics compute_structure_statistics(int r, int m, StatisticsWorkspace& w, MessageLog& log);

}  // namespace bandscape
