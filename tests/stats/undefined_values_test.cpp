// The values of Tables 1 to 3 and of Nei's distance as the results folder and
// summary.html take them: NaN for the 999 mark and for what is computed from
// it.  Expected values by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "stats/distances.hpp"
#include "stats/diversity.hpp"
#include "stats/structure_statistics.hpp"

namespace bandscape {
namespace {

// NaN compares unequal to everything: the cells as texts.
std::vector<std::string> cells(const PopulationValues& v) {
  std::vector<std::string> out;
  for (double x : {v.Hj, v.se_Hj, v.VarHj, v.VarIHj, v.VarI_percent, v.VarLHj, v.VarL_percent}) {
    out.push_back(std::isnan(x) ? "NA" : std::to_string(x));
  }
  return out;
}

TEST(UndefinedValues, TableOneCellsFromTheMarkAreNaN) {
  // Each row: loci, Hj, VarHj, VarIHj, VarLHj, then the seven values.
  struct Case {
    int loci;
    float Hj, VarHj, VarIHj, VarLHj;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      // Var(Hj) 0.04: S.E. 0.2, VarI 25%, VarL 75%.
      {10, 0.3f, 0.04f, 0.01f, 0.03f, {"0.300000", "0.200000", "0.040000", "0.010000", "25.000000", "0.030000",
                                       "75.000000"}},
      // One locus: Var(Hj) is the mark, VarL = 999 - VarI derives from it; VarI stays.
      {1, 0.4f, kUndefined, 0.002f, 998.998f, {"0.400000", "NA", "NA", "0.002000", "NA", "NA", "NA"}},
      // No locus with data: nothing is defined, not even Hj (0 in the report).
      {0, 0.0f, 0.0f, 0.0f, 0.0f, {"NA", "NA", "NA", "NA", "NA", "NA", "NA"}},
      // Var(Hj) 0: the percentages are 0/0.
      {5, 0.0f, 0.0f, 0.0f, 0.0f, {"0.000000", "0.000000", "0.000000", "0.000000", "NA", "0.000000", "NA"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got = cells(population_values(c.loci, c.Hj, c.VarHj, c.VarIHj, c.VarLHj));
    // Single-precision inputs: compare to six decimals.
    for (auto& s : got) {
      if (s != "NA") s = std::to_string(std::round(std::stod(s) * 1e6) / 1e6);
    }
    EXPECT_EQ(got, c.expected) << c.loci;
  }
}

TEST(UndefinedValues, TablesTwoAndThreeLoseWhatSumsAMarkedVarL) {
  StructureStatistics s;
  s.Hw = 0.3f, s.VarHw = 0.01f, s.VarIHw = 0.002f, s.VarLHw = 111.0f, s.VarPHw = -111.0f;
  s.Hb = 0.05f, s.VarHb = 0.001f, s.Ht = 0.35f, s.Fst = kUndefined, s.VarFst = kUndefined;
  FVector var = float_vector(1, 3);
  var[1] = 0.01f, var[2] = kUndefined, var[3] = 0.02f;
  IMatrix n = int_matrix(1, 3, 1, 3);
  n[1][2] = n[1][3] = n[2][3] = 5;
  const StructureStatistics d = defined_statistics(s, 3, var, n);
  EXPECT_EQ(d.Hw, 0.3f);
  EXPECT_EQ(d.VarHw, 0.01f);
  EXPECT_EQ(d.VarIHw, 0.002f);
  EXPECT_TRUE(std::isnan(d.VarLHw));
  EXPECT_TRUE(std::isnan(d.VarPHw));
  EXPECT_EQ(d.VarHb, 0.001f);
  EXPECT_TRUE(std::isnan(d.Fst));
  EXPECT_TRUE(std::isnan(d.VarFst));
  // Without a marked Var(Hj) the components stay.
  var[2] = 0.03f;
  s.Fst = 0.14f, s.VarFst = 0.002f;
  const StructureStatistics kept = defined_statistics(s, 3, var, n);
  EXPECT_EQ(kept.VarLHw, 111.0f);
  EXPECT_EQ(kept.VarPHw, -111.0f);
  EXPECT_EQ(kept.Fst, 0.14f);
  // Populations 1 and 2 share no locus: no disjoint pair has data, Var(Hb)
  // starts from the mark, and Fst's correction uses it.
  n[1][2] = 0;
  EXPECT_TRUE(hb_variance_from_marks(3, n));
  const StructureStatistics from_mark = defined_statistics(s, 3, var, n);
  EXPECT_TRUE(std::isnan(from_mark.VarHb));
  EXPECT_TRUE(std::isnan(from_mark.Fst));
  EXPECT_TRUE(std::isnan(from_mark.VarFst));
  EXPECT_EQ(from_mark.Hb, 0.05f);
}

TEST(UndefinedValues, HbVarianceFromMarksByPairsWithData) {
  // Each row: r and the pairs (a, b) with a shared locus; whether Var(Hb)
  // starts from a mark (by hand from compute_Hb's two terms).
  struct Case {
    int r;
    std::vector<std::pair<int, int>> pairs;
    bool marked;
  };
  const Case cases[] = {
      {2, {{1, 2}}, false},                  // the one disjoint pair; no covariance term
      {2, {}, true},                         // no pair with data
      {4, {{1, 3}, {2, 4}}, true},           // neither (1,2) nor (3,4)
      {4, {{3, 4}, {1, 3}}, false},          // (3,4) disjoint; (1,3) and (3,4) share population 3
      {4, {{3, 4}}, true},                   // a disjoint pair but no two pairs sharing a population
      {3, {{1, 2}, {2, 3}}, false},
  };
  for (const Case& c : cases) {
    IMatrix n = int_matrix(1, c.r, 1, c.r);
    n.fill(0);
    for (const auto& [a, b] : c.pairs) n[a][b] = 3;
    EXPECT_EQ(hb_variance_from_marks(c.r, n), c.marked) << c.r << " " << c.pairs.size();
  }
}

TEST(UndefinedValues, NeiDistancesCorrectedWithAMarkAreUndefined) {
  // Four populations: population 2 has Var(Hj) 999; pair (3,4) shares one
  // locus (VarD 999); pair (1,3) has no shared locus (already 999).
  const int r = 4;
  IMatrix n = int_matrix(1, r, 1, r);
  FVector var = float_vector(1, r);
  FMatrix vd = float_matrix(1, r, 1, r), nei = float_matrix(1, r, 1, r);
  var[1] = 0.01f, var[2] = kUndefined, var[3] = 0.02f, var[4] = 0.01f;
  for (int a = 1; a < r; ++a) {
    for (int b = a + 1; b <= r; ++b) n[a][b] = 10, vd[a][b] = 0.001f, nei[a][b] = 0.1f * a + 0.01f * b;
  }
  n[1][3] = 0, nei[1][3] = kUndefined;
  n[3][4] = 1, vd[3][4] = kUndefined;
  const FMatrix out = nei_without_marked_corrections(r, n, var, vd, nei);
  EXPECT_EQ(out[1][2], kUndefined);
  EXPECT_EQ(out[1][3], kUndefined);
  EXPECT_EQ(out[1][4], nei[1][4]);
  EXPECT_EQ(out[2][3], kUndefined);
  EXPECT_EQ(out[2][4], kUndefined);
  EXPECT_EQ(out[3][4], kUndefined);
  // The report's matrix is left as computed.
  EXPECT_NE(nei[1][2], kUndefined);
}

}  // namespace
}  // namespace bandscape
