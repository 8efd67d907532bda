// Jaccard, Dice and simple-matching distances.  On complete data they equal
// vegan::vegdist(X, "jaccard", binary = TRUE) and the squares of
// ade4::dist.binary(X, method = 1, 5, 2) (tests/data/quality/
// binary_distances.R, which wrote binary_profiles.tsv and
// binary_distances.tsv); the cases with missing scores are counted by hand.
#include "quality/binary_distances.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ordination/pcoa.hpp"
#include "quality/quality_inputs.hpp"
#include "test_util.hpp"

namespace bandscape {
namespace {

namespace fs = std::filesystem;
const fs::path kQuality = fs::path(BANDSCAPE_TEST_DATA) / "quality";

TEST(BinaryDistances, EqualVeganAndAde4OnCompleteData) {
  std::vector<std::string> rows;
  std::ifstream profiles(kQuality / "binary_profiles.tsv");
  for (std::string line; std::getline(profiles, line);) {
    std::string row;
    for (char c : line) {
      if (c != '\t') row += c;
    }
    rows.push_back(row);
  }
  ASSERT_EQ(rows.size(), 9u);
  const ScoreTable table = testing::table_of(rows);
  const DistanceMatrix jaccard = binary_distances(table, BinaryCoefficient::jaccard);
  const DistanceMatrix dice = binary_distances(table, BinaryCoefficient::dice);
  const DistanceMatrix matching = binary_distances(table, BinaryCoefficient::simple_matching);
  const DistanceMatrix root_jaccard = binary_distances(table, BinaryCoefficient::jaccard, true);
  std::ifstream expected(kQuality / "binary_distances.tsv");
  std::string line;
  std::getline(expected, line);  // header
  int pairs = 0;
  for (; std::getline(expected, line); ++pairs) {
    std::istringstream cells(line);
    int i = 0, j = 0;
    double vegan_jaccard = 0, ade4_jaccard = 0, ade4_dice = 0, ade4_matching = 0;
    cells >> i >> j >> vegan_jaccard >> ade4_jaccard >> ade4_dice >> ade4_matching;
    EXPECT_NEAR(jaccard.at(i, j), vegan_jaccard, 1e-15) << i << "," << j;
    EXPECT_NEAR(jaccard.at(j, i), ade4_jaccard * ade4_jaccard, 1e-15) << i << "," << j;
    EXPECT_NEAR(dice.at(i, j), ade4_dice * ade4_dice, 1e-15) << i << "," << j;
    EXPECT_NEAR(matching.at(i, j), ade4_matching * ade4_matching, 1e-15) << i << "," << j;
    EXPECT_NEAR(root_jaccard.at(i, j), ade4_jaccard, 1e-15) << i << "," << j;
  }
  EXPECT_EQ(pairs, 36);
  EXPECT_EQ(jaccard.at(0, 1), 0.0);  // identical profiles
  EXPECT_EQ(matching.at(2, 3), 1.0);  // complementary profiles
}

// sqrt(1 - S) is Euclidean for the three coefficients (Gower & Legendre
// 1986): principal coordinates of the roots have no negative eigenvalue
// beyond rounding.
TEST(BinaryDistances, SquareRootsEmbedInEuclideanSpace) {
  std::vector<std::string> rows;
  std::ifstream profiles(kQuality / "binary_profiles.tsv");
  for (std::string line; std::getline(profiles, line);) {
    std::string row;
    for (char c : line) {
      if (c != '\t') row += c;
    }
    rows.push_back(row);
  }
  const ScoreTable table = testing::table_of(rows);
  for (BinaryCoefficient c : {BinaryCoefficient::jaccard, BinaryCoefficient::dice, BinaryCoefficient::simple_matching}) {
    const PrincipalCoordinates roots = principal_coordinates(binary_distances(table, c, true));
    EXPECT_GT(roots.eigenvalues.back(), -1e-12) << static_cast<int>(c);
  }
}

// The packed counts of a run equal the locus-by-locus reference, across a
// 64-locus word boundary, with missing scores, for 1 and 3 threads.
TEST(BinaryDistances, PackedCountsEqualTheReference) {
  std::vector<std::string> rows;
  for (int i = 0; i < 9; ++i) {
    std::string row;
    for (int u = 0; u < 70; ++u) row += "0191"[(i * 7 + u * u * 3 + i * u) % 4];
    rows.push_back(row);
  }
  rows.push_back(std::string(70, '9'));  // no locus scored: NaN with everyone
  const ScoreTable table = testing::table_of(rows);
  const ScoreMatrix scores = bandscape::testing::scores_from(rows);
  for (BinaryCoefficient c : {BinaryCoefficient::jaccard, BinaryCoefficient::dice, BinaryCoefficient::simple_matching}) {
    const DistanceMatrix reference = binary_distances(table, c);
    for (int threads : {1, 3}) {
      const PackedDistances packed = coefficient_distances(scores, 10, 70, c, threads);
      for (int i = 0; i < 10; ++i) {
        for (int j = i + 1; j < 10; ++j) {
          if (std::isnan(reference.at(i, j))) {
            EXPECT_TRUE(std::isnan(packed(i, j))) << i << "," << j;
          } else {
            EXPECT_EQ(packed(i, j), reference.at(i, j)) << i << "," << j << " " << static_cast<int>(c);
          }
        }
      }
    }
  }
}

// Counted by hand: each case two profiles, a b c d over the loci scored in
// both, and the three distances.
TEST(BinaryDistances, OnlyLociScoredInBothCount) {
  const double nan = std::nan("");
  struct Case {
    std::string x, y;
    BandMatches counts;
    double jaccard, dice, matching;
  };
  const std::vector<Case> cases = {
      {"110010", "100110", {2, 1, 1, 2}, 0.5, 1.0 / 3, 1.0 / 3},
      {"11901", "19100", {1, 1, 0, 1}, 0.5, 1.0 / 3, 1.0 / 3},  // loci 2 and 3 missing in one
      {"0009", "0090", {0, 0, 0, 2}, nan, nan, 0.0},           // no band in either
      {"99", "11", {0, 0, 0, 0}, nan, nan, nan},               // no locus scored in both
      {"1111", "1111", {4, 0, 0, 0}, 0.0, 0.0, 0.0},
  };
  for (const Case& c : cases) {
    const ScoreTable table = testing::table_of({c.x, c.y});
    const BandMatches k = band_matches(table, 0, 1);
    EXPECT_EQ(std::vector<int>({k.both, k.first, k.second, k.neither}),
              std::vector<int>({c.counts.both, c.counts.first, c.counts.second, c.counts.neither}))
        << c.x << " " << c.y;
    const auto same = [](double a, double b) { return (std::isnan(a) && std::isnan(b)) || std::abs(a - b) < 1e-15; };
    EXPECT_TRUE(same(binary_distance(k, BinaryCoefficient::jaccard), c.jaccard)) << c.x << " " << c.y;
    EXPECT_TRUE(same(binary_distance(k, BinaryCoefficient::dice), c.dice)) << c.x << " " << c.y;
    EXPECT_TRUE(same(binary_distance(k, BinaryCoefficient::simple_matching), c.matching)) << c.x << " " << c.y;
  }
}

}  // namespace
}  // namespace bandscape
