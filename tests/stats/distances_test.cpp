// Pairwise distances: Nei, pairwise Fst and Reynolds blocks.  Expected numbers
// and texts: tests/stats/reference_values.py (independent python3 rendering,
// run by hand; float values printed with %.9g), except where a test says
// "by hand".
#include "report/classic/classic_tables.hpp"
#include "report/classic/phylip_blocks.hpp"
#include "stats/distances.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "stats_inputs.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::read_file;
using testing::StatsChain;
using testing::TempDir;

std::string report_blocks(const StatsChain& c) {
  EXPECT_EQ(write_distance_matrices("report.txt", c.names, c.r, c.Nei, c.PairFst), 0);
  return read_file("report.txt");
}

const char* const kNeiTitle = "\n\nNei_s genetic distance after Lynch and Milligan - 1994 (Phylip format)";
const char* const kFstTitle = "\n\nPairwise Fst between populations (Phylip format)";
const char* const kReynoldsTitle = "\n\nReynolds et al. genetic distance between populations (Phylip format)";

// Empty shares no locus with anyone: "undefined" in all three blocks.  Single
// (Var(Hj) = 999, one shared locus with VarD = 999) ends with negative Nei
// distances, printed 0.0000.  "Polymorphic_bounds" is cut to 10 characters.
TEST(DistanceBlocks, EdgePopulations) {
  TempDir dir;
  StatsChain c = testing::edge_populations();
  EXPECT_LT(c.Nei[1][3], 0.0f);
  EXPECT_EQ(report_blocks(c), std::string(kNeiTitle) +
                                  "\n4"
                                  "\nAlpha         0.0000    0.0023    0.0000 undefined"
                                  "\nPolymorphi    0.0023    0.0000    0.0000 undefined"
                                  "\nSingle        0.0000    0.0000    0.0000 undefined"
                                  "\nEmpty      undefined undefined undefined    0.0000" +
                                  kFstTitle +
                                  "\n4"
                                  "\nAlpha         0.0000    0.0493    0.2611 undefined"
                                  "\nPolymorphi    0.0493    0.0000    0.5030 undefined"
                                  "\nSingle        0.2611    0.5030    0.0000 undefined"
                                  "\nEmpty      undefined undefined undefined    0.0000" +
                                  kReynoldsTitle +
                                  "\n4"
                                  "\nAlpha         0.0000    0.0506    0.3026 undefined"
                                  "\nPolymorphi    0.0506    0.0000    0.6992 undefined"
                                  "\nSingle        0.3026    0.6992    0.0000 undefined"
                                  "\nEmpty      undefined undefined undefined    0.0000");
}

// A and B have a negative pairwise Fst: 0.0000 in the Fst and Reynolds blocks.
TEST(DistanceBlocks, FivePopulationsWithNegativeFst) {
  TempDir dir;
  StatsChain c = testing::five_populations();
  EXPECT_LT(c.PairFst[1][2], 0.0f);
  EXPECT_EQ(report_blocks(c), std::string(kNeiTitle) +
                                  "\n5"
                                  "\nA             0.0000    0.0057    0.1309    0.0276    0.3789"
                                  "\nB             0.0057    0.0000    0.2419    0.0460    0.4341"
                                  "\nC             0.1309    0.2419    0.0000    0.2002    0.2793"
                                  "\nD             0.0276    0.0460    0.2002    0.0000    0.2447"
                                  "\nE             0.3789    0.4341    0.2793    0.2447    0.0000" +
                                  kFstTitle +
                                  "\n5"
                                  "\nA             0.0000    0.0000    0.1938    0.0393    0.3306"
                                  "\nB             0.0000    0.0000    0.2263    0.0891    0.3708"
                                  "\nC             0.1938    0.2263    0.0000    0.2389    0.2887"
                                  "\nD             0.0393    0.0891    0.2389    0.0000    0.2314"
                                  "\nE             0.3306    0.3708    0.2887    0.2314    0.0000" +
                                  kReynoldsTitle +
                                  "\n5"
                                  "\nA             0.0000    0.0000    0.2154    0.0400    0.4013"
                                  "\nB             0.0000    0.0000    0.2566    0.0933    0.4633"
                                  "\nC             0.2154    0.2566    0.0000    0.2729    0.3406"
                                  "\nD             0.0400    0.0933    0.2729    0.0000    0.2632"
                                  "\nE             0.4013    0.4633    0.3406    0.2632    0.0000");
}

// Hand-made pairwise quantities, five populations with Hj = (0.3, 0.3, 0, 0, 1)
// and Var(Hj) = (0.01, 0.02, 0, 0, 0):
//   (1,2) D = Hj = 0.3: ln((1-D)/x) = ln 1 = 0 before the corrections: undefined;
//   (1,3) VarD = 0.5 drives Nei below 0; Hb = -0.02 gives a negative Fst;
//   (1,4), (4,5) no shared locus; (1,5), (2,5) Hj = 1 so x = 0: undefined;
//   (2,3) D = 1: -ln 0 = inf, then inf - inf: not finite, undefined;
//   (2,4) Hb = 0: Fst 0, Reynolds -ln 1 = -0 printed -0.0000;
//   (3,4) Hj = 0 for both: Fst = Hb/Hb = 1, Reynolds undefined; Nei by hand
//         -ln 0.6 - 0.5 x 0.003 / 0.36 = 0.506659;
//   (3,5) Ht_ab = 0.5 (0 + 1) - 0.5 = 0: Fst undefined.
struct HandMadePairs {
  IMatrix n = int_matrix(1, 5, 1, 5);
  FVector Hj = float_vector(1, 5), VarHj = float_vector(1, 5);
  FMatrix D = float_matrix(1, 5, 1, 5), VarD = float_matrix(1, 5, 1, 5), Hb = float_matrix(1, 5, 1, 5);
  FMatrix Nei = float_matrix(1, 5, 1, 5), Fst = float_matrix(1, 5, 1, 5);
  NameList names = name_list(1, 5);

  HandMadePairs() {
    const float h[] = {0.3f, 0.3f, 0.0f, 0.0f, 1.0f}, v[] = {0.01f, 0.02f, 0.0f, 0.0f, 0.0f};
    for (int j = 1; j <= 5; ++j) Hj[j] = h[j - 1], VarHj[j] = v[j - 1];
    set(1, 2, 4, 0.3f, 0.001f, 0.05f);
    set(1, 3, 4, 0.2f, 0.5f, -0.02f);
    set(1, 4, 0, 0, 0, 0);
    set(1, 5, 3, 0.6f, 0.01f, 0.1f);
    set(2, 3, 2, 1.0f, 0.01f, 0.2f);
    set(2, 4, 5, 0.4f, 0.002f, 0.0f);
    set(2, 5, 4, 0.5f, 0.01f, 0.2f);
    set(3, 4, 6, 0.4f, 0.003f, 0.25f);
    set(3, 5, 3, 0.5f, 0.002f, -0.5f);
    set(4, 5, 0, 0, 0, 0);
    const char* pop[] = {"LongPopulationName", "Pop", "abcdefghij", "x", "y"};
    for (int j = 1; j <= 5; ++j) names[j] = pop[j - 1];
    compute_distances(5, n, Hj, VarHj, D, VarD, Hb, Nei, Fst);
  }
  void set(int a, int b, int count, float d, float vd, float hb) {
    n[a][b] = count, D[a][b] = d, VarD[a][b] = vd, Hb[a][b] = hb;
  }
};

TEST(PairwiseDistances, CorrectionsAndUndefinedValues) {
  HandMadePairs p;
  EXPECT_EQ(p.Nei[1][2], 999.0f);
  EXPECT_EQ(p.Nei[1][3], -0.340716869f);
  EXPECT_EQ(p.Nei[1][4], 999.0f);
  EXPECT_EQ(p.Nei[1][5], 999.0f);
  EXPECT_EQ(p.Nei[2][3], 999.0f);
  EXPECT_EQ(p.Nei[2][4], 0.339914471f);
  EXPECT_EQ(p.Nei[3][4], 0.506658971f);
  EXPECT_EQ(p.Nei[3][5], 999.0f);
  EXPECT_EQ(p.Fst[1][2], 0.142857134f);
  EXPECT_EQ(p.Fst[1][3], -0.153846145f);
  EXPECT_EQ(p.Fst[1][4], 999.0f);
  EXPECT_EQ(p.Fst[1][5], 0.13333334f);
  EXPECT_EQ(p.Fst[2][3], 0.571428537f);
  EXPECT_EQ(p.Fst[2][4], 0.0f);
  EXPECT_EQ(p.Fst[3][4], 1.0f);
  EXPECT_EQ(p.Fst[3][5], 999.0f);
  EXPECT_EQ(p.Fst[4][5], 999.0f);
}

// Names cut ("LongPopula") or padded to 10; the bootstrap lead "\n\n".
TEST(PairwiseDistances, BlocksOfHandMadePairs) {
  HandMadePairs p;
  std::string nei, fst, reynolds;
  append_phylip_block(nei, p.names, 5, p.Nei, DistanceCell::kDistance);
  append_phylip_block(fst, p.names, 5, p.Fst, DistanceCell::kDistance);
  append_phylip_block(reynolds, p.names, 5, p.Fst, DistanceCell::kReynolds, "\n\n");
  EXPECT_EQ(nei,
            "\n5"
            "\nLongPopula    0.0000 undefined    0.0000 undefined undefined"
            "\nPop        undefined    0.0000 undefined    0.3399 undefined"
            "\nabcdefghij    0.0000 undefined    0.0000    0.5067 undefined"
            "\nx          undefined    0.3399    0.5067    0.0000 undefined"
            "\ny          undefined undefined undefined undefined    0.0000");
  EXPECT_EQ(fst,
            "\n5"
            "\nLongPopula    0.0000    0.1429    0.0000 undefined    0.1333"
            "\nPop           0.1429    0.0000    0.5714    0.0000    0.2353"
            "\nabcdefghij    0.0000    0.5714    0.0000    1.0000 undefined"
            "\nx          undefined    0.0000    1.0000    0.0000 undefined"
            "\ny             0.1333    0.2353 undefined undefined    0.0000");
  EXPECT_EQ(reynolds,
            "\n\n5"
            "\nLongPopula    0.0000    0.1542    0.0000 undefined    0.1431"
            "\nPop           0.1542    0.0000    0.8473   -0.0000    0.2683"
            "\nabcdefghij    0.0000    0.8473    0.0000 undefined undefined"
            "\nx          undefined   -0.0000 undefined    0.0000 undefined"
            "\ny             0.1431    0.2683 undefined undefined    0.0000");
}

// Reads the report back as a distance-matrix reader would: after each title,
// the count line, then r rows of a 10-character name and r fields of 10;
// diagonal 0, the matrix symmetric.
TEST(PairwiseDistances, ReportBlocksParseAsSquareSymmetricMatrices) {
  TempDir dir;
  StatsChain c = testing::five_populations();
  const std::string text = report_blocks(c);
  std::istringstream in(text);
  std::string line;
  int blocks = 0;
  while (std::getline(in, line)) {
    if (line.find("(Phylip format)") == std::string::npos) continue;
    ++blocks;
    ASSERT_TRUE(std::getline(in, line));
    ASSERT_EQ(line, "5");
    std::vector<std::vector<std::string>> cells;
    for (int i = 1; i <= 5; ++i) {
      ASSERT_TRUE(std::getline(in, line));
      ASSERT_EQ(line.size(), 60u);
      EXPECT_EQ(line.substr(0, 10), (c.names[i] + std::string(10, ' ')).substr(0, 10));
      std::vector<std::string> row;
      for (int j = 0; j < 5; ++j) row.push_back(line.substr(10 + 10 * static_cast<std::size_t>(j), 10));
      cells.push_back(row);
    }
    for (std::size_t i = 0; i < 5; ++i) {
      EXPECT_EQ(cells[i][i], "    0.0000");
      for (std::size_t j = 0; j < 5; ++j) EXPECT_EQ(cells[i][j], cells[j][i]);
    }
  }
  EXPECT_EQ(blocks, 3);
}

TEST(PairwiseDistances, WriterReturnsMinus999ForUnopenableReport) {
  TempDir dir;
  HandMadePairs p;
  EXPECT_EQ(write_distance_matrices("no_such_folder/report.txt", p.names, 5, p.Nei, p.Fst), -999);
}

}  // namespace
}  // namespace bandscape

namespace bandscape {
namespace {

NameList names_of(const std::vector<std::string>& given) {
  NameList names = name_list(1, static_cast<int>(given.size()));
  for (std::size_t k = 0; k < given.size(); ++k) names[static_cast<int>(k) + 1] = given[k];
  return names;
}

// Labels are the names cut or padded to 10 characters.  Population 1 shares
// its label with 3 and 5, and 6 with 7: only (1, 3) is told.  "abcdefghij(k"
// has its parenthesis beyond the label; "pop;A" and "[x]" hold a refused
// character in it: only "pop;A", the first, is told.  Texts by hand.
TEST(PhylipLabels, FirstIdenticalPairAndFirstRefusedCharacter) {
  const NameList names = names_of({"PopulationNorth", "abcdefghij(k", "PopulationSouth", "pop;A",
                                   "PopulationEast", "same", "same", "[x]"});
  EXPECT_EQ(phylip_label_warnings(names, 8),
            (std::vector<std::string>{"\nWARNING! populations PopulationNorth and PopulationSouth have the same first "
                                      "10 characters: their Phylip labels are identical",
                                      "\nWARNING! population name pop;A holds a character that PHYLIP does not "
                                      "accept in names"}));
  // Only the populations analysed count; each finding comes alone.
  EXPECT_TRUE(phylip_label_warnings(names, 2).empty());
  EXPECT_EQ(phylip_label_warnings(names, 3).size(), 1u);
  EXPECT_EQ(phylip_label_warnings(names_of({"a,b", "c"}), 2),
            std::vector<std::string>{
                "\nWARNING! population name a,b holds a character that PHYLIP does not accept in names"});
}

// The distance a tree or an ordination takes from a stored cell, by hand.
TEST(StoredDistance, ReportRulesForNeiFstAndReynolds) {
  // Nei and Fst: the stored value; 999 undefined; a negative value is 0.
  EXPECT_EQ(stored_distance(0.25f, false), 0.25);
  EXPECT_TRUE(std::isnan(stored_distance(999.0f, false)));
  EXPECT_EQ(stored_distance(-0.0125f, false), 0.0);
  // Reynolds from the stored Fst: -ln(1 - 0.5) = ln 2; negative Fst gives 0;
  // Fst of 1 or more and the 999 mark are undefined.
  EXPECT_DOUBLE_EQ(stored_distance(0.5f, true), std::log(2.0));
  EXPECT_EQ(stored_distance(-0.0125f, true), 0.0);
  EXPECT_TRUE(std::isnan(stored_distance(1.0f, true)));
  EXPECT_TRUE(std::isnan(stored_distance(999.0f, true)));
}

}  // namespace
}  // namespace bandscape
