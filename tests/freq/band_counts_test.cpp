// Band counts, fragment frequencies and their summaries.
#include "freq/band_counts.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "test_util.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::bounds_of;
using testing::scores_from;

// Population 1 = four individuals, population 2 = two individuals.
// Locus 1: 1, 0, 9, 1 in population 1 (N = 3); all 9 in population 2.
// Locus 2: band in every scored individual of both populations.
TEST(FragmentFrequencies, CountsFrequenciesAndVariances) {
  const ScoreMatrix s = scores_from({"11", "01", "91", "11", "91", "99"});
  const IVector bounds = bounds_of({0, 4, 6});
  IMatrix n = int_matrix(1, 2, 1, 2);  // scored individuals, as the reader counts them
  n[1][1] = 3; n[1][2] = 4; n[2][1] = 0; n[2][2] = 1;
  FMatrix f = float_matrix(0, 1, 0, 1), v = float_matrix(0, 1, 0, 1);
  IMatrix x = int_matrix(0, 1, 0, 1);
  testing::RecordingLog log;
  compute_freq_frag(2, s, bounds, 2, f, n, x, v, log);

  // 1, 0, 9, 1: present 2 of 3; f = float(2/3) = 0.666666687, variance
  // float(f (1 - f) / 3) = 0.0740740746 (python3 with struct float rounding).
  EXPECT_EQ(f[0][0], 0.666666687f);
  EXPECT_EQ(x[0][0], 1);
  EXPECT_EQ(v[0][0], 0.0740740746f);
  // All present: f = 1, X = 0, variance 0.
  EXPECT_EQ(f[0][1], 1.0f);
  EXPECT_EQ(x[0][1], 0);
  EXPECT_EQ(v[0][1], 0.0f);
  // Never scored in population 2: f = 0, X = 0, variance 0/0.
  EXPECT_EQ(f[1][0], 0.0f);
  EXPECT_EQ(x[1][0], 0);
  EXPECT_TRUE(std::isnan(v[1][0]));
  EXPECT_EQ(f[1][1], 1.0f);
  EXPECT_EQ(log.echoed, "\nWARNING! Data on locus 1 always missing in pop 2");
  EXPECT_EQ(log.appended, "");
}

// When the reader's count disagrees with the scores, the message names locus and
// population (two blanks before "in pop") and X and the variance use the reader's N.
TEST(FragmentFrequencies, ReaderCountMismatchIsReportedAndReaderCountUsed) {
  testing::TempDir dir;
  const ScoreMatrix s = scores_from({"1", "0", "1"});
  const IVector bounds = bounds_of({0, 3});
  IMatrix n = int_matrix(1, 1, 1, 1);
  n[1][1] = 4;  // reader claims 4 scored individuals, the scores show 3
  FMatrix f = float_matrix(0, 0, 0, 0), v = float_matrix(0, 0, 0, 0);
  IMatrix x = int_matrix(0, 0, 0, 0);
  ErrorLogFile log("log.txt");
  compute_freq_frag(1, s, bounds, 1, f, n, x, v, log);
  EXPECT_EQ(testing::read_file("log.txt"),
            "\nError in compute_freq_frag: npl not equal to count_nonmissing on locus 1  in pop 1");
  // f = 2/3 from the scores; X = 4 - 2; variance float(f (1 - f) / 4) (python3).
  EXPECT_EQ(f[0][0], 0.666666687f);
  EXPECT_EQ(x[0][0], 2);
  EXPECT_EQ(v[0][0], 0.0555555522f);
}

TEST(SampleSizeSummaries, TruncatedMeanAndLociWithData) {
  IMatrix n = int_matrix(1, 2, 1, 4);
  // Population 1: counts 3, 4, 4 and one empty locus: L = 3, nbar = 11 / 3 = 3.
  n[1][1] = 3; n[1][2] = 4; n[1][3] = 0; n[1][4] = 4;
  // Population 2: no locus with data: L = 0, nbar = 0.
  IVector nbar = int_vector(1, 2), L = int_vector(1, 2);
  nbar[2] = L[2] = -1;
  summarize_sample_sizes(2, 4, n, nbar, L);
  EXPECT_EQ(L[1], 3);
  EXPECT_EQ(nbar[1], 3);
  EXPECT_EQ(L[2], 0);
  EXPECT_EQ(nbar[2], 0);
}

TEST(SampleSizeSummaries, ExactMeanOverLociWithData) {
  IMatrix n = int_matrix(1, 3, 1, 4);
  // By hand: 11 / 3 over the three loci with data; no data: NaN; 2 + 3 + 3 + 3 = 11 / 4.
  n[1][1] = 3; n[1][2] = 4; n[1][3] = 0; n[1][4] = 4;
  n[2][1] = n[2][2] = n[2][3] = n[2][4] = 0;
  n[3][1] = 2; n[3][2] = 3; n[3][3] = 3; n[3][4] = 3;
  const std::vector<double> mean = mean_scored_per_locus(3, 4, n);
  ASSERT_EQ(mean.size(), 3u);
  EXPECT_DOUBLE_EQ(mean[0], 11.0 / 3.0);
  EXPECT_TRUE(std::isnan(mean[1]));
  EXPECT_DOUBLE_EQ(mean[2], 2.75);
}

TEST(DataSummaries, MeanFragmentsDividesByAllIndividuals) {
  // 5 bands among 3 individuals (one almost all missing): 5 / 3 as float.
  const ScoreMatrix s = scores_from({"110", "101", "999", "190"});
  const IVector bounds = bounds_of({0, 2, 4});
  float mean = 0.0f;
  mean_fragments_per_individual(2, s, 4, bounds, 3, mean);
  EXPECT_EQ(mean, 1.25f);  // 5 present scores / 4 individuals
}

TEST(DataSummaries, SegregatingLociIgnoreMissingScores) {
  // Locus 1: one 1, rest missing -> not segregating.
  // Locus 2: 1 and 0 among missing -> segregating.
  // Locus 3: all missing -> not.  Locus 4: all 0 -> not.  Locus 5: 0 then 1 -> yes.
  const ScoreMatrix s = scores_from({"91900", "19901", "90909", "99909"});
  int segregating = -1;
  count_segregating_fragments(s, 4, 5, segregating);
  EXPECT_EQ(segregating, 2);
}

}  // namespace
}  // namespace bandscape
