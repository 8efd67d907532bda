// Gene diversity within populations: Tables 1 and 2 as whole text, and the
// messages of compute_Hj.  Expected texts: tests/stats/reference_values.py
// (independent python3 rendering, run by hand), except where a test says
// "by hand".
#include "report/classic/classic_tables.hpp"
#include "stats/diversity.hpp"

#include <gtest/gtest.h>

#include "stats_inputs.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::log_text;
using testing::read_file;
using testing::StatsChain;
using testing::TempDir;

std::string table1(const StatsChain& c) {
  EXPECT_EQ(write_population_table("report.txt", c.names, c.rows()), 0);
  return read_file("report.txt");
}

std::string table2(const StatsChain& c) {
  EXPECT_EQ(write_within_diversity_table("report.txt", c.structure()), 0);
  return read_file("report.txt");
}

const char* const kTable1Head =
    "\n\nTable 1: Population data [Lynch & Milligan method]\n\n"
    "Population    n  #loc. #loc_P    PLP      Hj  S.E.(Hj)   Var(Hj)  VarI(Hj)   VarI%  VarL(Hj)   VarL%\n";
const char* const kTable2Head =
    "Table 2: Gene diversity within populations [Lynch & Milligan method]\n\n"
    "    n      Hw  S.E.(Hw)   Var(Hw)  VarI(Hw)  VarL(Hw)  VarP(Hw)\n";

TEST(WithinDiversity, TablesForThreePopulations) {
  TempDir dir;
  StatsChain c = testing::three_populations();
  EXPECT_EQ(log_text(c.hj_log), "");
  EXPECT_EQ(table1(c), std::string(kTable1Head) +
                           "\n     North   10    4      4    100.0 0.36075   0.06939  0.004815  0.000762    15.8  "
                           "0.004052    84.2"
                           "\n     South    8    4      4    100.0 0.36575   0.09331  0.008706  0.000514     5.9  "
                           "0.008192    94.1"
                           "\n      East   14    4      4    100.0 0.32615   0.08090  0.006545  0.000870    13.3  "
                           "0.005674    86.7\n\n");
  std::filesystem::remove("report.txt");
  // VarP(Hw) is negative here: its sign is not tested.
  EXPECT_EQ(table2(c), std::string(kTable2Head) +
                           "\n    3  0.3509   0.01245  0.000155  0.000239  0.001991 -0.002074"
                           "\n               Percent of Var(Hw)    153.87   1284.36  -1338.23\n\n");
}

// Alpha: VarL(Hj) < 0 (logged, shown, kept out of VarL(Hw)); Polymorphic_bounds:
// 0.05 and 0.95 counted, 0.0499 and 0.9501 not (2 of 4 = 50.0%), a name longer
// than 10 printed whole; Single: Var(Hj) 999, S.E. sqrt(999) = 31.60696, and
// 999 - VarI in VarL(Hw); Empty: zeros and no message.
TEST(WithinDiversity, TablesForEdgePopulations) {
  TempDir dir;
  StatsChain c = testing::edge_populations();
  EXPECT_EQ(log_text(c.hj_log),
            "E:\nnegative value for VarL(Hj) for pop 1E:\nnegative value for VarL(Hj) for pop 2");
  EXPECT_EQ(c.polymorphic_loci[2], 2);
  EXPECT_EQ(c.VarHj[3], 999.0f);
  EXPECT_EQ(table1(c),
            std::string(kTable1Head) +
                "\n     Alpha    5    4      4    100.0 0.34590   0.00341  0.000012  0.003482 30008.7 -0.003470-29908.7"
                "\nPolymorphic_bounds    7    4      2     50.0 0.09991   0.00058  0.000000  0.002025602746.4 "
                "-0.002025-602646.4"
                "\n    Single    6    1      1    100.0 0.48600  31.60696999.000000  0.000480     0.0998.999512   100.0"
                "\n     Empty    0    0      0      0.0 0.00000   0.00000  0.000000  0.000000     0.0  0.000000     0.0"
                "\n\n");
  std::filesystem::remove("report.txt");
  EXPECT_EQ(table2(c), std::string(kTable2Head) +
                           "\n    4  0.2330   0.11134  0.012396  0.000374 62.437469-62.425446"
                           "\n               Percent of Var(Hw)      3.02 503672.32-503575.33\n\n");
}

// Worked by hand: one population, loci with q = 0.5 (Vq 0.01) and q = 0.25
// (Vq 0): Hloc = 2(0.25 + 0.01) = 0.52 and 2(0.1875) = 0.375; VHloc = 0 (1-2q = 0)
// and 0 (Vq = 0); Hj = 0.4475, VarI = 0, Var(Hj) = 2 x 0.0725^2 / 2 = 0.00525625.
// A locus without data (N = 0) is skipped whatever its q.
TEST(WithinDiversity, PerLocusDiversityByHand) {
  BufferedLog log;
  IMatrix N = int_matrix(1, 1, 1, 3);
  FMatrix q = float_matrix(1, 1, 1, 3), Vq = float_matrix(1, 1, 1, 3), Hloc = float_matrix(1, 1, 1, 3),
          VHloc = float_matrix(1, 1, 1, 3);
  IVector L = int_vector(1, 1);
  FVector Hj = float_vector(1, 1), VarHj = float_vector(1, 1), VarIHj = float_vector(1, 1), VarLHj = float_vector(1, 1);
  N[1][1] = 4, N[1][2] = 0, N[1][3] = 6;
  q[1][1] = 0.5f, q[1][2] = 0.9f, q[1][3] = 0.25f;
  Vq[1][1] = 0.01f, Vq[1][2] = 0.5f;
  Hloc[1][2] = 7.0f;  // stale value: cleared
  L[1] = 2;
  compute_Hj(1, 3, N, q, Vq, L, Hloc, VHloc, Hj, VarHj, VarIHj, VarLHj, log);
  EXPECT_EQ(Hloc[1][1], 0.52f);
  EXPECT_EQ(Hloc[1][2], 0.0f);
  EXPECT_EQ(Hloc[1][3], 0.375f);
  EXPECT_EQ(VHloc[1][1], 0.0f);
  EXPECT_EQ(Hj[1], 0.4475f);
  EXPECT_EQ(VarIHj[1], 0.0f);
  EXPECT_FLOAT_EQ(VarHj[1], 0.00525625f);
  EXPECT_EQ(VarLHj[1], VarHj[1]);
  EXPECT_TRUE(log.empty());
}

TEST(WithinDiversity, WritersReturnMinus999ForUnopenableReport) {
  TempDir dir;
  StatsChain c = testing::three_populations();
  const std::string bad = "no_such_folder/report.txt";
  EXPECT_EQ(write_population_table(bad, c.names, c.rows()), -999);
  EXPECT_EQ(write_within_diversity_table(bad, c.structure()), -999);
  EXPECT_FALSE(std::filesystem::exists("no_such_folder"));
}

}  // namespace
}  // namespace bandscape
