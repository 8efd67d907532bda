// Small population data sets for the diversity, structure and distance tests,
// and the chain that turns them into every statistic of the three tables.
// The expected texts of the tests come from tests/stats/reference_values.py,
// an independent python3 rendering of the same formulas (single-precision
// stores imitated with struct), run by hand; its output is pasted into the tests.
#pragma once

#include <string>
#include <vector>

#include "core/message_log.hpp"
#include "numeric/array.hpp"
#include "stats/distances.hpp"
#include "stats/statistics_workspace.hpp"
#include "stats/diversity.hpp"
#include "stats/diversity_tables.hpp"
#include "stats/structure.hpp"
#include "test_util.hpp"

namespace bandscape::testing {

using Rows = std::vector<std::vector<double>>;

// Everything from the per-locus inputs to the distances, in the order the run
// computes them.
struct StatsChain : StatisticsWorkspace {
  int r, m;
  NameList names;
  IVector polymorphic_loci;
  FVector polymorphic_percent;
  float Hw = 0, VarHw = 0, VarIHw = 0, VarLHw = 0, VarPHw = 0;
  float Hb = 0, VarHb = 0, Ht = 0, Fst = 0, VarFst = 0;
  FMatrix Nei, PairFst;
  BufferedLog hj_log, hb_log;

  StatsChain(const std::vector<std::string>& pop_names, const Rows& n, const Rows& freq, const Rows& var)
      : StatisticsWorkspace(static_cast<int>(n.size()), static_cast<int>(n[0].size())),
        r(static_cast<int>(n.size())),
        m(static_cast<int>(n[0].size())),
        names(name_list(1, r)),
        polymorphic_loci(int_vector(1, r)),
        polymorphic_percent(float_vector(1, r)),
        Nei(float_matrix(1, r, 1, r)),
        PairFst(float_matrix(1, r, 1, r)) {
    for (int j = 1; j <= r; ++j) {
      names[j] = pop_names[static_cast<std::size_t>(j - 1)];
      int sum = 0;
      for (int i = 1; i <= m; ++i) {
        const std::size_t a = static_cast<std::size_t>(j - 1), b = static_cast<std::size_t>(i - 1);
        N[j][i] = static_cast<int>(n[a][b]);
        q[j][i] = static_cast<float>(freq[a][b]);
        Vq[j][i] = static_cast<float>(var[a][b]);
        sum += N[j][i];
        if (N[j][i] != 0) ++L[j];
      }
      nbar[j] = sum / (L[j] == 0 ? 1 : L[j]);
    }
    count_polymorphic_loci(r, m, N, q, polymorphic_loci, polymorphic_percent);
    compute_Hj(r, m, N, q, Vq, L, Hloc, VHloc, Hj, VarHj, VarIHj, VarLHj, hj_log);
    if (r < 2) return;
    compute_Hw(r, Hj, VarIHj, VarLHj, Hw, VarHw, VarIHw, VarLHw, VarPHw);
    compute_Hb(r, m, N, q, Hloc, D, VarD, HbPair, nPair, Hb, VarHb, hb_log);
    compute_Ht_Fst(r, nPair, Hb, Hw, VarHb, VarHw, Hj, HbPair, Ht, Fst, VarFst);
    compute_distances(r, nPair, Hj, VarHj, D, VarD, HbPair, Nei, PairFst);
  }

  // The values of Tables 1 to 3 (populations of no rows and no exact means).
  std::vector<PopulationDiversity> rows() const {
    IVector bounds = int_vector(0, r);
    bounds.fill(0);
    return population_diversity(r, *this, polymorphic_loci, polymorphic_percent,
                                std::vector<double>(static_cast<std::size_t>(r), 0.0), bounds);
  }
  StructureTable structure() const {
    return structure_table(r, StructureStatistics{Hw, VarHw, VarIHw, VarLHw, VarPHw, Hb, VarHb, Ht, Fst, VarFst},
                           *this);
  }
};

// The texts a log received, echoed ones marked "E:" and appended ones "A:".
inline std::string log_text(BufferedLog& log) {
  RecordingLog recorded;
  log.flush_to(recorded);
  std::string text;
  for (const auto& entry : recorded.entries) text += entry;
  return text;
}

// Three populations, four loci, every locus with data.
inline StatsChain three_populations() {
  return StatsChain({"North", "South", "East"}, {{10, 12, 9, 11}, {8, 8, 8, 8}, {15, 14, 15, 13}},
                    {{0.30, 0.55, 0.80, 0.10}, {0.42, 0.61, 0.25, 0.05}, {0.70, 0.20, 0.95, 0.33}},
                    {{0.0040, 0.0050, 0.0030, 0.0020},
                     {0.0060, 0.0045, 0.0035, 0.0010},
                     {0.0055, 0.0025, 0.0015, 0.0042}});
}

// Alpha: equal diversities at q and 1 - q with large sampling variance, so
// VarL(Hj) < 0; Polymorphic_bounds: q = 0.05, 0.95 (counted) and 0.0499, 0.9501
// (not counted); Single: one locus with data; Empty: no data at all.
inline StatsChain edge_populations() {
  return StatsChain({"Alpha", "Polymorphic_bounds", "Single", "Empty"},
                    {{5, 5, 5, 5}, {7, 7, 7, 7}, {0, 6, 0, 0}, {0, 0, 0, 0}},
                    {{0.2, 0.8, 0.21, 0.79}, {0.05, 0.95, 0.0499, 0.9501}, {0.0, 0.4, 0.0, 0.0}, {0, 0, 0, 0}},
                    {{0.01, 0.01, 0.01, 0.01}, {0.002, 0.003, 0.002, 0.003}, {0, 0.003, 0, 0}, {0, 0, 0, 0}});
}

inline StatsChain two_populations() {
  return StatsChain({"P1", "P2"}, {{9, 9, 9}, {11, 11, 11}}, {{0.35, 0.60, 0.15}, {0.50, 0.40, 0.30}},
                    {{0.003, 0.004, 0.002}, {0.0035, 0.0025, 0.003}});
}

inline StatsChain two_populations_without_shared_locus() {
  return StatsChain({"P1", "P2"}, {{5, 0}, {0, 5}}, {{0.35, 0.0}, {0.0, 0.40}}, {{0.003, 0.0}, {0.0, 0.0025}});
}

// Five populations (odd r), B without data at locus 3.
inline StatsChain five_populations() {
  return StatsChain({"A", "B", "C", "D", "E"},
                    {{6, 6, 6, 6}, {7, 7, 0, 7}, {9, 9, 9, 9}, {5, 5, 5, 5}, {8, 8, 8, 8}},
                    {{0.30, 0.55, 0.80, 0.10},
                     {0.42, 0.61, 0.5, 0.05},
                     {0.70, 0.20, 0.95, 0.33},
                     {0.15, 0.45, 0.60, 0.25},
                     {0.50, 0.35, 0.40, 0.85}},
                    {{0.004, 0.005, 0.003, 0.002},
                     {0.006, 0.0045, 0.0, 0.001},
                     {0.0055, 0.0025, 0.0015, 0.0042},
                     {0.003, 0.006, 0.004, 0.005},
                     {0.002, 0.003, 0.004, 0.001}});
}

}  // namespace bandscape::testing
