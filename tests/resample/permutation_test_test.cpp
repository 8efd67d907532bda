// Permutation test of Fst: band counts of permuted data sets, Table 4,
// resample.txt and the progress lines.
#include "resample/permutation_test.hpp"
#include "report/classic/permutation_files.hpp"

#include <gtest/gtest.h>

#include "resample/resample_data.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

// The permutation test followed by its files, as a run makes them.
PermutationResult permute_and_write(int nperm, int method, int r, int m, int ntot, const ScoreMatrix& scores,
                                    const IVector& bounds, float fis, float observed, RandomState& state,
                                    const std::string& report, MessageLog& log) {
  PermutationResult result = permutation_test_fst(nperm, method, r, m, ntot, scores, bounds, fis, observed, state, log);
  write_permutation_files(testing::files_with_report(report), nperm, result, log);
  return result;
}

using testing::read_file;
using RecordingLog = testing::ResampleLog;
using testing::TempDir;

// Counts worked by hand: the reversed order puts individuals 9, 8, 7 into
// population 1 and 6, 5, 4, 3 into population 2 (rows of scored_three_populations()).
TEST(PermutedBandCounts, ReadIndividualsThroughThePermutationAndWarnOnEmptyCells) {
  auto d = testing::scored_three_populations();
  d.scores[9][1] = d.scores[8][1] = d.scores[7][1] = 9;  // locus 2 never scored in the new population 1
  IVector perm = int_vector(0, 9);
  for (int k = 0; k < 10; ++k) perm[k] = 9 - k;
  IMatrix N = int_matrix(1, 3, 1, 5), X = int_matrix(0, 2, 0, 4);
  FMatrix f = float_matrix(0, 2, 0, 4), v = float_matrix(0, 2, 0, 4);
  RecordingLog log;
  compute_freq_frag_permuted(3, d.scores, d.bounds, perm, 5, N, X, f, v, log);
  EXPECT_EQ(log.echoed, "\nWarning! Data on locus 2 always missing in pop 1");
  // Population 1, locus 1: rows 9, 8, 7 all present.  Locus 3: 1, 9, 1 -> N 2, f 1.
  EXPECT_EQ(N[1][1], 3); EXPECT_EQ(X[0][0], 0); EXPECT_EQ(f[0][0], 1.0f);
  EXPECT_EQ(N[1][2], 0); EXPECT_EQ(f[0][1], 0.0f);
  EXPECT_EQ(N[1][3], 2); EXPECT_EQ(f[0][2], 1.0f); EXPECT_EQ(v[0][2], 0.0f);
  // Population 2, locus 1: rows 6, 5, 4, 3 read 0, 1, 0, 0 -> f 0.25, variance 0.25 * 0.75 / 4.
  EXPECT_EQ(N[2][1], 4); EXPECT_EQ(X[1][0], 3); EXPECT_EQ(f[1][0], 0.25f); EXPECT_EQ(v[1][0], 0.046875f);
}

// With no missing score, N* of every locus is the population's size after any shuffle.
TEST(PermutedBandCounts, EveryPopulationKeepsItsSize) {
  auto d = testing::scored_data({{1, 0}, {0, 1}, {1, 1}, {0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 0}}, {3, 5});
  IVector perm = int_vector(0, 7);
  fill_identity(perm, 0, 7);
  IMatrix N = int_matrix(1, 2, 1, 2), X = int_matrix(0, 1, 0, 1);
  FMatrix f = float_matrix(0, 1, 0, 1), v = float_matrix(0, 1, 0, 1);
  RandomState state = testing::seeded(-77);
  RecordingLog log;
  for (int rep = 0; rep < 50; ++rep) {
    shuffle_range(perm, 0, 7, state);
    compute_freq_frag_permuted(2, d.scores, d.bounds, perm, 2, N, X, f, v, log);
    EXPECT_EQ(N[1][1], 3); EXPECT_EQ(N[1][2], 3); EXPECT_EQ(N[2][1], 5); EXPECT_EQ(N[2][2], 5);
  }
}

// Expected texts: tests/resample/reference_values.py (generator stream,
// shuffles and the method-1 Fst chain reimplemented), seed word -2436, 40
// permutations, observed Fst 0.1.
TEST(PermutationTest, Table4AndResampleFileMatchIndependentReference) {
  TempDir dir;
  auto d = testing::scored_three_populations();
  RandomState state = testing::seeded(-2436);
  RecordingLog log;
  permute_and_write(40, 1, 3, 5, 10, d.scores, d.bounds, 0.0f, 0.1f, state, "out.txt", log);
  EXPECT_EQ(read_file("out.txt"),
            "\n\nTable 4: Permutation test for genetic differentiation among populations\n\nResampling statistics "
            "based on 40 random permutations of individuals among populations\n (individual estimates of FST for "
            "each permutation are written to file 'resample.txt')\n\nstatistic                      Fst\nobserved"
            "                         0.1000\nlower 95% limit                 -0.1821\nupper 95% limit              "
            "    0.5262\nlower 99% limit                  0.0000\nupper 99% limit                  0.0000\nP value "
            "(low)                    0.5610\nP value (high)                   0.4634");
  EXPECT_EQ(read_file("resample.txt"),
            "Resampled statistics with samplesize : 40\nActual value of FST:\t  0.1000\nFST\n -0.2516503\n "
            "-0.1821330\n -0.1702082\n -0.1690247\n -0.1690247\n -0.1157158\n -0.1145998\n -0.0996300\n "
            "-0.0992519\n -0.0798078\n -0.0408760\n -0.0253072\n  0.0004104\n  0.0005393\n  0.0147622\n  "
            "0.0286092\n  0.0484094\n  0.0498318\n  0.0761259\n  0.0858845\n  0.0859114\n  0.0945711\n  "
            "0.1006739\n  0.1098385\n  0.1209417\n  0.1549239\n  0.1633308\n  0.2038218\n  0.2039619\n  "
            "0.2043370\n  0.2202575\n  0.2691708\n  0.2928556\n  0.3013566\n  0.3038892\n  0.3185691\n  "
            "0.3405074\n  0.3969351\n  0.4573960\n  0.5261799");
}

std::string table4_line(const std::string& report, const std::string& label) {
  const std::size_t at = report.find("\n" + label);
  return report.substr(at + 31, 9);
}

// Limits are taken from 40 values (95%) and 200 values (99%) on; an observed
// value above every Fst (all below 1) gives P(low) 1 and P(high) 0.
TEST(PermutationTest, LimitsBelowFortyAndTwoHundredAndPValuesAboveEveryValue) {
  TempDir dir;
  auto d = testing::scored_three_populations();
  RecordingLog log;
  RandomState state = testing::seeded(-5);
  permute_and_write(39, 1, 3, 5, 10, d.scores, d.bounds, 0.0f, 5.0f, state, "a.txt", log);
  const std::string a = read_file("a.txt");
  for (const char* label : {"lower 95% limit", "upper 95% limit", "lower 99% limit", "upper 99% limit"})
    EXPECT_EQ(table4_line(a, label), "   0.0000") << label;
  EXPECT_EQ(table4_line(a, "P value (low)"), "   1.0000");
  EXPECT_EQ(table4_line(a, "P value (high)"), "   0.0000");

  permute_and_write(199, 1, 3, 5, 10, d.scores, d.bounds, 0.0f, 5.0f, state, "b.txt", log);
  const std::string b = read_file("b.txt");
  EXPECT_EQ(table4_line(b, "lower 99% limit"), "   0.0000");
  EXPECT_EQ(table4_line(b, "upper 99% limit"), "   0.0000");
  EXPECT_NE(table4_line(b, "lower 95% limit"), "   0.0000");
}

// Progress: step = nperm / 50; none below 50 permutations.
TEST(PermutationTest, ProgressLines) {
  TempDir dir;
  auto d = testing::scored_three_populations();
  auto progress = [&](int nperm) {
    RecordingLog log;
    RandomState state = testing::seeded(-9);
    permute_and_write(nperm, 1, 3, 5, 10, d.scores, d.bounds, 0.0f, 0.1f, state, "out.txt", log);
    return testing::join_lines_containing(log.echoed, "permutations done");
  };
  EXPECT_EQ(progress(20), "");
  std::string hundred, hundred_twenty;
  for (int i = 0; i < 100; i += 2) hundred += format("\n%4d permutations done out of 100", i);
  for (int i = 0; i < 120; i += 2) hundred_twenty += format("\n%4d permutations done out of 120", i);
  EXPECT_EQ(progress(100), hundred);
  EXPECT_EQ(progress(120), hundred_twenty);
  EXPECT_NE(hundred.find("\n  98 permutations done out of 100"), std::string::npos);
}

TEST(PermutationTest, UnopenableReportIsFatalAndLeavesNoResampleFile) {
  TempDir dir;
  auto d = testing::scored_three_populations();
  RandomState state = testing::seeded(-1);
  RecordingLog log;
  EXPECT_THROW(permute_and_write(5, 1, 3, 5, 10, d.scores, d.bounds, 0.0f, 0.1f, state, "no/such/dir.txt", log),
               FatalError);
  // The permutations' own messages (negative VarL lines) come first.
  EXPECT_TRUE(log.echoed.ends_with("\ncannot open outputfile "));
  EXPECT_FALSE(std::filesystem::exists("resample.txt"));
}

}  // namespace
}  // namespace bandscape
