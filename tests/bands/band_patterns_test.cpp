// Band patterns on hand-worked data.
#include "bands/band_patterns.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "test_util.hpp"

namespace bandscape {
namespace {

using testing::bounds_of;
using testing::scores_from;

// Frequencies from one row per population.
FMatrix frequencies_from(const std::vector<std::vector<double>>& rows) {
  FMatrix f = float_matrix(0, static_cast<int>(rows.size()) - 1, 0, static_cast<int>(rows[0].size()) - 1);
  for (int j = 0; j < f.rows(); ++j) {
    for (int i = 0; i < f.cols(); ++i) f[j][i] = static_cast<float>(rows[j][i]);
  }
  return f;
}

// Four populations A-D, seven loci; A is never scored at L5.  Populations with
// the band per locus: 3, 2 (A D), 2 (B C), 2 (A C), 3, 0, 1 (D).  Every band
// present is common (>= 5%).  Locally common, in at most 1 (0.25 x 4) or 2
// (0.5 x 4) populations: A L2, L4 at 50%; B L3; C L3, L4; D L7 (private) at
// 25% and 50%, L2 at 50%.  Shannon with h = I(1/2) = ln 2, q = I(1/4) =
// 2 ln 2 - 3/4 ln 3, I(0) = I(1) = 0, over 6 loci for A and 7 for the others:
// A h/6, B (2h + q)/7, C 3h/7, D 3q/7; from estimates 0.5 everywhere but A L5
// (not scored: left out) and D L7 at 0.25: h, h, h, (6h + q)/7.  Down-weighted,
// with 5, 3, 2, 3, 3, 0, 1 carriers per locus in the data set: A 1/5 + 2/3 +
// 2/3 = 23/15; B 2/5 + 1/2 + 1/3 = 37/30; C 2/5 + 1/2 + 2/3 = 47/30;
// D 1/3 + 1/3 + 1 = 5/3 (their sum, 6, is the number of bands).
TEST(BandPatterns, HandWorkedFourPopulations) {
  const ScoreMatrix scores = scores_from({"1101900", "0101900",                          // A
                                      "1010000", "1000900", "0000900", "0000100",    // B
                                      "1001100", "1010000",                          // C
                                      "0100000", "0000100", "0000001", "9000000"});  // D
  const FMatrix f = frequencies_from({{0.5, 1, 0, 1, 0, 0, 0},  // present / scored
                                      {0.5, 0, 0.25, 0, 0.5, 0, 0},
                                      {1, 0, 0.5, 0.5, 0.5, 0, 0},
                                      {0, 0.25, 0, 0, 0.25, 0, 0.25}});
  FMatrix estimates = frequencies_from(std::vector<std::vector<double>>(4, std::vector<double>(7, 0.5)));
  estimates[0][4] = estimates[3][6] = 0.25f;
  const auto bands = band_patterns(4, 7, scores, bounds_of({0, 2, 6, 8, 12}), f, estimates);
  ASSERT_EQ(bands.size(), 4u);

  const double h = std::log(2.0), q = 2 * std::log(2.0) - 0.75 * std::log(3.0);
  const int counts[4][7] = {{2, 6, 3, 3, 0, 0, 2}, {4, 7, 3, 3, 0, 0, 1}, {2, 7, 4, 4, 0, 0, 2}, {4, 7, 3, 3, 1, 1, 2}};
  const double means[4][3] = {{h / 6, h, 23.0 / 15}, {(2 * h + q) / 7, h, 37.0 / 30},
                              {3 * h / 7, h, 47.0 / 30}, {3 * q / 7, (6 * h + q) / 7, 5.0 / 3}};
  for (int j = 0; j < 4; ++j) {
    const BandPattern& b = bands[j];
    EXPECT_EQ((std::vector<int>{b.individuals, b.loci_with_data, b.bands_present, b.bands_common, b.private_bands,
                                b.locally_common_25, b.locally_common_50}),
              std::vector<int>(counts[j], counts[j] + 7)) << "population " << j;
    EXPECT_NEAR(b.shannon_bands, means[j][0], 1e-15);
    EXPECT_NEAR(b.shannon_estimates, means[j][1], 1e-15);
    EXPECT_NEAR(b.down_weighted, means[j][2], 1e-15);
    EXPECT_NEAR(b.down_weighted_per_individual, means[j][2] / b.individuals, 1e-15);
  }
}

TEST(BandPatterns, CommonBandBoundAndTwoPopulations) {
  std::vector<std::string> rows(41, "00");
  rows[7] = "10";   // population 1: rows 0..19
  rows[30] = "01";  // population 2: rows 20..40
  const FMatrix f = frequencies_from({{1.0 / 20, 0}, {0, 1.0 / 21}});
  const auto bands = band_patterns(2, 2, scores_from(rows), bounds_of({0, 20, 41}), f, f);
  const int expected[2][5] = {{1, 1, 1, 0, 1}, {1, 0, 1, 0, 0}};
  for (int j = 0; j < 2; ++j) {
    const BandPattern& b = bands[j];
    EXPECT_EQ((std::vector<int>{b.bands_present, b.bands_common, b.private_bands, b.locally_common_25,
                                b.locally_common_50}),
              std::vector<int>(expected[j], expected[j] + 5));
  }
  EXPECT_DOUBLE_EQ(bands[1].down_weighted, 1.0);
  EXPECT_DOUBLE_EQ(bands[1].down_weighted_per_individual, 1.0 / 21);
}

}  // namespace
}  // namespace bandscape
