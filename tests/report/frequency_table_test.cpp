// Table 5: fragment and allelic frequencies per population, tab-separated.
#include "report/classic/classic_tables.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "test_util.hpp"

namespace bandscape {
namespace {

// The expected texts were built by a short python3 script that rounds each
// input to float32 (struct.pack) and applies the row formats with python's %
// operator; 1 - P is taken in double from the float P.
TEST(FrequencyTable, TwoPopulationsWithUnscoredCells) {
  testing::TempDir dir;
  constexpr int r = 2, m = 3;
  NameList pops = name_list(1, r), loci = name_list(1, m);
  pops[1] = "North";
  pops[2] = "South";
  loci[1] = "L100";
  loci[2] = "L215";
  loci[3] = "L300";
  IMatrix n = int_matrix(1, r, 1, m);
  FVector pooled = float_vector(0, m - 1);
  FMatrix frag = float_matrix(0, r - 1, 0, m - 1), P = float_matrix(0, r - 1, 0, m - 1),
          V = float_matrix(0, r - 1, 0, m - 1);
  // Locus L100 is the worked example of the square-root estimator with Fis 0:
  // N = 12, fragment frequency 0.5, P = 1 - sqrt(0.5), V = (1 - 0.5) / (4 N);
  // the second population is never scored there.
  const int counts[r][m] = {{12, 5, 0}, {0, 7, 3}};
  const float f[r][m] = {{0.5f, 0.2f, 0.9f}, {0.7f, 1.0f, 1.0f / 3}};
  const float p[r][m] = {{static_cast<float>(1 - std::sqrt(0.5)), 0.2f, 0.9f}, {0.6f, 1.0f, 0.18350342f}};
  const float v[r][m] = {{0.5f / 48, 0.032f, 0.5f}, {0.25f, 0.0f, 0.0123f}};
  pooled[0] = 0.4f;
  pooled[1] = 0.55f;
  pooled[2] = 0.123456f;
  for (int j = 0; j < r; ++j)
    for (int i = 0; i < m; ++i) {
      n[j + 1][i + 1] = counts[j][i];
      frag[j][i] = f[j][i];
      P[j][i] = p[j][i];
      V[j][i] = v[j][i];
    }
  testing::write_file("out.txt", "HEAD");
  ASSERT_EQ(write_frequency_table("out.txt", r, m, pops, loci, n, pooled, frag, P, V), 0);
  EXPECT_EQ(testing::read_file("out.txt"),
            "HEAD"
            "\n\nTable 5: Fragment and allelic frequencies in each population (to paste in Excel)"
            "\n\npopulation\tTotal\tNorth\t\t\t\t\tSouth\t\t\t\t"
            "\nlocus\tfreq_frag\tN\tfreq_frag\tfreq_+all\tfreq_-all\tvar_-all"
            "\tN\tfreq_frag\tfreq_+all\tfreq_-all\tvar_-all\n"
            "\nL100\t0.40000\t12\t0.50000\t0.29289\t0.70711\t0.01042\t0\t\t\t\t"
            "\nL215\t0.55000\t5\t0.20000\t0.20000\t0.80000\t0.03200\t7\t1.00000\t1.00000\t0.00000\t0.00000"
            "\nL300\t0.12346\t0\t\t\t\t\t3\t0.33333\t0.18350\t0.81650\t0.01230"
            "\n\n");
}

TEST(FrequencyTable, SinglePopulationRowsHaveSevenCells) {
  testing::TempDir dir;
  NameList pops = name_list(1, 1), loci = name_list(1, 1);
  pops[1] = "Only";
  loci[1] = "120";
  IMatrix n = int_matrix(1, 1, 1, 1);
  n[1][1] = 4;
  FVector pooled = float_vector(0, 0);
  pooled[0] = 0.25f;
  FMatrix frag = float_matrix(0, 0, 0, 0), P = float_matrix(0, 0, 0, 0), V = float_matrix(0, 0, 0, 0);
  frag[0][0] = 0.25f;
  P[0][0] = 0.13397460f;
  V[0][0] = 0.01171875f;
  ASSERT_EQ(write_frequency_table("out.txt", 1, 1, pops, loci, n, pooled, frag, P, V), 0);
  EXPECT_EQ(testing::read_file("out.txt"),
            "\n\nTable 5: Fragment and allelic frequencies in each population (to paste in Excel)"
            "\n\npopulation\tTotal\tOnly\t\t\t\t"
            "\nlocus\tfreq_frag\tN\tfreq_frag\tfreq_+all\tfreq_-all\tvar_-all\n"
            "\n120\t0.25000\t4\t0.25000\t0.13397\t0.86603\t0.01172"
            "\n\n");
}

TEST(FrequencyTable, UnopenableReportIsSkipped) {
  testing::TempDir dir;
  NameList pops = name_list(1, 1), loci = name_list(1, 1);
  IMatrix n = int_matrix(1, 1, 1, 1);
  FVector pooled = float_vector(0, 0);
  FMatrix frag = float_matrix(0, 0, 0, 0), P = float_matrix(0, 0, 0, 0), V = float_matrix(0, 0, 0, 0);
  EXPECT_EQ(write_frequency_table("missing_dir/out.txt", 1, 1, pops, loci, n, pooled, frag, P, V), -999);
  EXPECT_FALSE(std::filesystem::exists("missing_dir"));
}

}  // namespace
}  // namespace bandscape
