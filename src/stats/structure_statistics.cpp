#include "stats/structure_statistics.hpp"

#include "freq/band_counts.hpp"
#include "stats/diversity.hpp"
#include "stats/structure.hpp"

namespace bandscape {

void compute_within_population_diversity(int r, int m, StatisticsWorkspace& w, MessageLog& log) {
  summarize_sample_sizes(r, m, w.N, w.nbar, w.L);
  compute_Hj(r, m, w.N, w.q, w.Vq, w.L, w.Hloc, w.VHloc, w.Hj, w.VarHj, w.VarIHj, w.VarLHj, log);
}

StructureStatistics compute_structure_statistics(int r, int m, StatisticsWorkspace& w, MessageLog& log) {
  StructureStatistics s;
  compute_Hw(r, w.Hj, w.VarIHj, w.VarLHj, s.Hw, s.VarHw, s.VarIHw, s.VarLHw, s.VarPHw);
  w.D.fill(0.0f);
  w.VarD.fill(0.0f);
  w.HbPair.fill(0.0f);
  compute_Hb(r, m, w.N, w.q, w.Hloc, w.D, w.VarD, w.HbPair, w.nPair, s.Hb, s.VarHb, w.work, log);
  compute_Ht_Fst(r, w.nPair, s.Hb, s.Hw, s.VarHb, s.VarHw, w.Hj, w.HbPair, s.Ht, s.Fst, s.VarFst);
  return s;
}

}  // namespace bandscape
