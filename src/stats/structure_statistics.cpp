#include "stats/structure_statistics.hpp"

#include <limits>

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

bool hb_variance_from_marks(int r, const IMatrix& nPair) {
  bool disjoint = false;
  for (int a = 1; a + 1 <= r; a += 2) disjoint |= nPair[a][a + 1] != 0;
  if (!disjoint) return true;
  if (r < 3) return false;  // the covariance term is multiplied by r - 2 = 0
  for (int a = 1; a <= r - 2; ++a) {
    for (int b = a + 1; b <= r - 1; ++b) {
      if (nPair[a][b] == 0) continue;
      for (int k = b + 1; k <= r; ++k) {
        if (nPair[a][k] != 0 || nPair[b][k] != 0) return false;
      }
    }
  }
  return true;
}

StructureStatistics defined_statistics(const StructureStatistics& s, int r, const FVector& VarHj,
                                       const IMatrix& nPair) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const auto defined = [nan](float v) { return is_undefined(v) ? nan : v; };
  StructureStatistics d = s;
  d.VarHb = defined(s.VarHb);
  d.Fst = defined(s.Fst);
  d.VarFst = defined(s.VarFst);
  if (r >= 2 && hb_variance_from_marks(r, nPair)) d.VarHb = d.Fst = d.VarFst = nan;
  for (int j = 1; j <= r; ++j) {
    if (is_undefined(VarHj[j])) {
      d.VarLHw = nan;
      d.VarPHw = nan;
    }
  }
  return d;
}

}  // namespace bandscape
