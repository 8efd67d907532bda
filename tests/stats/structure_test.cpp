// Population structure: Hb and its variance, Ht, Fst, Var(Fst) and Table 3.
// Expected numbers and texts: tests/stats/reference_values.py (independent
// python3 rendering, run by hand; float values printed with %.9g), except where
// a test says "by hand".
#include "report/classic/classic_tables.hpp"
#include "stats/structure.hpp"

#include <gtest/gtest.h>

#include "stats_inputs.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::log_text;
using testing::read_file;
using testing::StatsChain;
using testing::TempDir;

std::string table3(const StatsChain& c) {
  EXPECT_EQ(write_structure_table("report.txt", c.structure()), 0);
  return read_file("report.txt");
}

const char* const kTable3Head =
    "Table 3: Population genetic structure [Lynch & Milligan method]\n\n"
    "    n        Ht        Hw        Hb       Fst\n";

// Odd r: t from the disjoint pairs (1,2), (3,4); A from the couplings of all
// ten triples; B has no data at locus 3, so its pairs use three loci.
TEST(PopulationStructure, FivePopulations) {
  TempDir dir;
  StatsChain c = testing::five_populations();
  EXPECT_EQ(log_text(c.hb_log), "");
  EXPECT_EQ(c.nPair[1][2], 3);
  EXPECT_EQ(c.nPair[1][3], 4);
  EXPECT_EQ(c.Hb, 0.105709165f);
  EXPECT_EQ(c.VarHb, 0.000437642448f);
  EXPECT_EQ(table3(c), std::string(kTable3Head) +
                           "\n    5    0.4827    0.3770    0.1057    0.2204"
                           "\n S.E.            0.018417  0.020920  0.148597"
                           "\n  Var            0.000339  0.000438  0.022081\n");

  // Caller-owned work vector: the same results, and it may be reused.
  FMatrix D = float_matrix(1, 5, 1, 5), VarD = float_matrix(1, 5, 1, 5), HbPair = float_matrix(1, 5, 1, 5);
  IMatrix nPair = int_matrix(1, 5, 1, 5);
  FVector work = float_vector(1, c.m);
  float Hb = 0, VarHb = 0;
  BufferedLog log;
  for (int rep = 0; rep < 2; ++rep) {
    compute_Hb(c.r, c.m, c.N, c.q, c.Hloc, D, VarD, HbPair, nPair, Hb, VarHb, work, log);
    EXPECT_EQ(Hb, c.Hb);
    EXPECT_EQ(VarHb, c.VarHb);
    for (int a = 1; a < 5; ++a) {
      for (int b = a + 1; b <= 5; ++b) {
        EXPECT_EQ(D[a][b], c.D[a][b]);
        EXPECT_EQ(VarD[a][b], c.VarD[a][b]);
        EXPECT_EQ(HbPair[a][b], c.HbPair[a][b]);
      }
    }
  }
}

// r = 3: t comes from the single pair (1,2) and is 0; A pairs Hb_12 with Hb_13
// and Hb_23, its x is constant, so A = 0 and Var(Hb) = 0.
TEST(PopulationStructure, ThreePopulationsGiveZeroVarHb) {
  TempDir dir;
  StatsChain c = testing::three_populations();
  EXPECT_EQ(c.Hb, 0.117533334f);
  EXPECT_EQ(c.VarHb, 0.0f);
  EXPECT_EQ(table3(c), std::string(kTable3Head) +
                           "\n    3    0.4684    0.3509    0.1175    0.2506"
                           "\n S.E.            0.012451  0.000000  0.052324"
                           "\n  Var            0.000155  0.000000  0.002738\n");
}

// r = 2: Hb is Hb_12 and Var(Hb) = t = 0.
TEST(PopulationStructure, TwoPopulations) {
  TempDir dir;
  StatsChain c = testing::two_populations();
  EXPECT_EQ(log_text(c.hb_log), "");
  EXPECT_EQ(c.Hb, c.HbPair[1][2]);
  EXPECT_EQ(c.Hb, 0.022333324f);
  EXPECT_EQ(c.VarHb, 0.0f);
  EXPECT_EQ(table3(c), std::string(kTable3Head) +
                           "\n    2    0.4600    0.4377    0.0223    0.0483"
                           "\n S.E.            0.035000  0.000000  0.075649"
                           "\n  Var            0.001225  0.000000  0.005723\n");
}

// No shared locus: the pairs_with_data line, Hb = 0, t = 999 so Var(Hb) = 999.  With
// Hb = 0 the correction term divides by 0 and Fst = 0 / -inf = -0 (printed
// -0.0000); its variance (Fst/Hb = 0/0) is not finite and becomes 999.
TEST(PopulationStructure, TwoPopulationsWithoutSharedLocus) {
  TempDir dir;
  StatsChain c = testing::two_populations_without_shared_locus();
  EXPECT_EQ(log_text(c.hb_log), "E:\ncountpq: 0   r*(r-1)/2: 1");
  EXPECT_EQ(c.nPair[1][2], 0);
  EXPECT_EQ(c.Hb, 0.0f);
  EXPECT_EQ(c.VarHb, 999.0f);
  EXPECT_EQ(c.VarFst, 999.0f);
  EXPECT_EQ(table3(c), std::string(kTable3Head) +
                           "\n    2    0.4730    0.4730    0.0000   -0.0000"
                           "\n S.E.            0.012000 31.606961 31.606961"
                           "\n  Var            0.000144999.000000999.000000\n");
}

// Pairs with Empty have no shared locus (3 of 6 pairs with data); Single shares
// one locus with Alpha and with Polymorphic_bounds, so their VarD is 999 and
// their Hb_ab is that locus's h.  By hand for (Alpha, Single) at locus 2:
// d = 0.4 + (1 - 0.8) 0.8 = 0.56, Hloc = 2(0.16 + 0.01) = 0.34 and
// 2(0.24 + 0.003) = 0.486, h = 0.56 - 0.413 = 0.147.
TEST(PopulationStructure, PairsWithOneOrNoSharedLocus) {
  StatsChain c = testing::edge_populations();
  EXPECT_EQ(log_text(c.hb_log), "E:\ncountpq: 3   r*(r-1)/2: 6");
  EXPECT_EQ(c.nPair[1][3], 1);
  EXPECT_EQ(c.nPair[2][3], 1);
  EXPECT_EQ(c.nPair[1][4], 0);
  EXPECT_EQ(c.VarD[1][3], 999.0f);
  EXPECT_EQ(c.VarD[2][3], 999.0f);
  EXPECT_FLOAT_EQ(c.D[1][3], 0.56f);
  EXPECT_FLOAT_EQ(c.HbPair[1][3], 0.147f);
  EXPECT_EQ(c.Hb, 0.151688665f);
  EXPECT_EQ(c.VarHb, 0.0f);
}

// By hand: Hb = Hw = 0 gives Ht = 0 and Fst = 0 / (0 x NaN): not finite, so
// Fst and Var(Fst) are both 999.
TEST(PopulationStructure, UndefinedFstWhenHtIsZero) {
  IMatrix nPair = int_matrix(1, 2, 1, 2);
  FMatrix HbPair = float_matrix(1, 2, 1, 2);
  FVector Hj = float_vector(1, 2);
  nPair[1][2] = 3;
  float Ht = -1, Fst = -1, VarFst = -1;
  compute_Ht_Fst(2, nPair, 0.0f, 0.0f, 0.0f, 0.0f, Hj, HbPair, Ht, Fst, VarFst);
  EXPECT_EQ(Ht, 0.0f);
  EXPECT_EQ(Fst, 999.0f);
  EXPECT_EQ(VarFst, 999.0f);
}

// By hand: r = 2, Hj = (0.4, 0.2), Hb_12 = 0.1, Hw = 0.3, Var(Hw) = 0.01,
// Var(Hb) = 0.  S = 0.4 x 0.1 + 0.2 x 0.1 = 0.06; Cwb = (0.06/2 - 0.03)/2 = 0
// (up to single-precision rounding); Ht = 0.4; correction = 0.1 x 0.01 /
// (0.1 x 0.16) = 0.0625; Fst = 0.1 / (0.4 x 1.0625) = 0.235294;
// Var(Fst) = (Fst/0.1)^2 x 0.01 = 0.0553633.
TEST(PopulationStructure, FstCorrectionByHand) {
  IMatrix nPair = int_matrix(1, 2, 1, 2);
  FMatrix HbPair = float_matrix(1, 2, 1, 2);
  FVector Hj = float_vector(1, 2);
  nPair[1][2] = 5;
  HbPair[1][2] = 0.1f;
  Hj[1] = 0.4f, Hj[2] = 0.2f;
  float Ht = 0, Fst = 0, VarFst = 0;
  compute_Ht_Fst(2, nPair, 0.1f, 0.3f, 0.0f, 0.01f, Hj, HbPair, Ht, Fst, VarFst);
  EXPECT_EQ(Ht, 0.4f);
  EXPECT_NEAR(Fst, 0.2352941, 2e-7);
  EXPECT_NEAR(VarFst, 0.05536332, 2e-7);
}

TEST(PopulationStructure, WriterReturnsMinus999ForUnopenableReport) {
  TempDir dir;
  EXPECT_EQ(write_structure_table("no_such_folder/report.txt", testing::three_populations().structure()), -999);
}

}  // namespace
}  // namespace bandscape
