// Distances between band profiles: the 5% rule for loci, the scaling for
// missing scores, undefined pairs, and the bit-packed counts across words.
#include "stats/band_differences.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace bandscape {
namespace {

// 40 individuals, 4 loci; rows not listed are 0 0 0 0, row 39 is 1 1 1 1.
// Missing: locus 0 one (kept), locus 1 two = exactly 5% (kept), locus 2
// three (left out), locus 3 one (kept): K = 3.  Worked by hand:
//   (0,1) no used locus scored in both            NaN
//   (0,2) locus 0 only, 1 vs 0                    1 * 3 / 1 = 3
//   (1,3) loci 1, 3: one difference               1 * 3 / 2 = 1.5
//   (2,3) loci 0, 3: two differences              2 * 3 / 2 = 3
//   (3,4) all three used loci scored: 1 1 0 / 1 0 1  2
//   (4,39) 1 0 1 / 1 1 1                          1
TEST(BandDifferences, MissingScoresAndTheFivePercentRule) {
  const int rows[6][4] = {{1, 9, 1, 9}, {9, 1, 0, 1}, {0, 9, 1, 1}, {1, 1, 9, 0}, {1, 0, 9, 1}, {0, 0, 9, 0}};
  ScoreMatrix scores = score_matrix(0, 39, 0, 3);
  for (int x = 0; x < 6; ++x)
    for (int l = 0; l < 4; ++l) scores[x][l] = rows[x][l];
  for (int l = 0; l < 4; ++l) scores[39][l] = 1;
  for (int threads : {1, 3}) {
    const BandDifferences b = band_differences(scores, 40, 4, threads);
    EXPECT_EQ(b.loci, (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(b.undefined_pairs, 1u);
    EXPECT_TRUE(std::isnan(b.distances(1, 0)));
    EXPECT_EQ(b.distances(0, 2), 3.0);
    EXPECT_EQ(b.distances(3, 1), 1.5);
    EXPECT_EQ(b.distances(2, 3), 3.0);
    EXPECT_EQ(b.distances(3, 4), 2.0);
    EXPECT_EQ(b.distances(4, 39), 1.0);
    EXPECT_EQ(b.distances(5, 6), 0.0);
    EXPECT_EQ(b.distances(7, 7), 0.0);
  }
  // With 39 individuals two missing scores are more than 5%: locus 1 goes.
  EXPECT_EQ(used_loci(scores, 39, 4), (std::vector<int>{0, 3}));
  // A share of 2/39 (51283 millionths) keeps it; 51282 does not (1e6 x 2 > 51282 x 39).
  EXPECT_EQ(used_loci(scores, 39, 4, 51283), (std::vector<int>{0, 1, 3}));
  EXPECT_EQ(used_loci(scores, 39, 4, 51282), (std::vector<int>{0, 3}));
  // Individuals 0-2 on loci 0-1: no used locus, every pair is undefined.
  const BandDifferences none = band_differences(scores, 3, 2);
  EXPECT_TRUE(none.loci.empty());
  EXPECT_EQ(none.undefined_pairs, 3u);
}

// 70 individuals x 150 loci (three words, the last one partly filled), about
// 2% missing: every pair against a direct count over the scores.
TEST(BandDifferences, PackedCountsMatchADirectCount) {
  const int n = 70, m = 150;
  ScoreMatrix scores = score_matrix(0, n - 1, 0, m - 1);
  unsigned state = 12345;
  for (int x = 0; x < n; ++x) {
    for (int l = 0; l < m; ++l) {
      state = state * 1103515245u + 12345u;
      const unsigned r = (state >> 16) % 100;
      scores[x][l] = r < 2 ? 9 : static_cast<int>(r % 2);
    }
  }
  const BandDifferences b = band_differences(scores, n, m, 3);
  const double k = b.loci_used();
  for (int x = 0; x < n; ++x) {
    for (int y = x + 1; y < n; ++y) {
      int differ = 0, both = 0;
      for (int l : b.loci) {
        if (scores[x][l] == 9 || scores[y][l] == 9) continue;
        ++both;
        differ += scores[x][l] != scores[y][l];
      }
      ASSERT_EQ(b.distances(x, y), differ * k / both) << x << " " << y;
    }
  }
}

}  // namespace
}  // namespace bandscape
