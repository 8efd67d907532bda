// Small trees worked by hand (d_ij distances, R_i row sums, k clusters left,
// Q_ij = (k - 2) d_ij - R_i - R_j), written as Newick for exact comparison.
#include "tree/distance_trees.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "report/tables/newick.hpp"

namespace bandscape {
namespace {

DistanceMatrix float_matrix(int n, std::initializer_list<double> upper) {
  DistanceMatrix d(n);
  auto v = upper.begin();
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) d.at(i, j) = *v++;
  }
  return d;
}

const std::vector<std::string> kNames = {"t0", "t1", "t2", "t3", "t4"};

std::string nj(const DistanceMatrix& d) { return newick_text(neighbor_joining(d), kNames); }
std::string up(const DistanceMatrix& d) { return newick_text(upgma(d), kNames); }

TEST(DistanceTrees, NeighborJoiningByHand) {
  // Three taxa meet at one node: b0 = (3 + 4 - 5) / 2 = 1, b1 = 3 - 1, b2 = 4 - 1.
  EXPECT_EQ(nj(float_matrix(3, {3, 4, 5})), "(t0:1,t1:2,t2:3);\n");
  // Four taxa on ((t0,t3),(t1,t2)): R = 10, 10, 12, 12; Q_03 = Q_12 = -16 tie
  // and (1, 2) comes first (pairs taken j outer): b1 = (3 + (10 - 12) / 2) / 2
  // = 1, b2 = 2.  The cluster takes slot 1 and keeps the means (3 + 4) / 2 to
  // t0 and (4 + 5) / 2 to t3, 1.5 above the textbook distances; the last three:
  // b0 = (3.5 + 3 - 4.5) / 2 = 1, b = 3.5 - 1 - 1.5 = 1, b3 = 3 - 1 = 2.
  EXPECT_EQ(nj(float_matrix(4, {3, 4, 3, 3, 4, 5})), "(t0:1,(t1:1,t2:2):1,t3:2);\n");
  // A negative branch: R = 6, 14, 10, 10; Q_01 = Q_23 = -16, (0, 1) first:
  // b0 = (2 + (6 - 14) / 2) / 2 = -1, b1 = 3; then (4 + 4 - 2) / 2 - 1 = 2 and
  // 4 - 3 = 1 twice.
  const DistanceMatrix negative = float_matrix(4, {2, 2, 2, 6, 6, 2});
  EXPECT_EQ(nj(negative), "((t0:-1,t1:3):2,t2:1,t3:1);\n");
  EXPECT_EQ(tree_length(neighbor_joining(negative)), 6.0);
  // All five distances 1, every Q ties: (0, 1) at 1/2 each, then the cluster
  // and t2 (b = (1 + 0) / 2 - 1/2 = 0 for the cluster), then the last three.
  const DistanceMatrix equal = float_matrix(5, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
  EXPECT_EQ(nj(equal), "(((t0:0.5,t1:0.5):0,t2:0.5):0,t3:0.5,t4:0.5);\n");
  // Hung from t0's neighbour as `neighbor` writes it (its outtree, with 5 decimals).
  EXPECT_EQ(newick_text(hang_from_tip(neighbor_joining(equal), 0), kNames),
            "(t1:0.5,(t2:0.5,(t3:0.5,t4:0.5):0):0,t0:0.5);\n");
}

TEST(DistanceTrees, UpgmaByHand) {
  // (0, 1) at height 1.5; t2 at (4 + 5) / 2 = 4.5 from the pair: height 2.25.
  EXPECT_EQ(up(float_matrix(3, {3, 4, 5})), "((t0:1.5,t1:1.5):0.75,t2:2.25);\n");
  // Averages weighted by cluster size: (0, 1) at 1, t2 at (6 + 8) / 2 = 7 from
  // it (height 3.5), then t3 at (10 * 2 + 13) / 3 = 11 (height 5.5; the mean
  // of the two clusters' distances would give 11.5).
  EXPECT_EQ(up(float_matrix(4, {2, 6, 10, 8, 10, 13})), "(((t0:1,t1:1):2.5,t2:3.5):2,t3:5.5);\n");
}

TEST(DistanceTrees, UndefinedDistances) {
  DistanceMatrix d = float_matrix(4, {1, 2, 3, 4, 5, 6});
  d.at(3, 1) = NAN;  // below the diagonal: not read
  // Every Q is -14: (0, 1) first, b0 = (1 + (6 - 10) / 2) / 2; the cluster at
  // (2 + 4) / 2 and (3 + 5) / 2 from t2 and t3, 1/2 above the textbook values.
  EXPECT_EQ(nj(d), "((t0:-0.5,t1:1.5):0,t2:2.5,t3:3.5);\n");
  d.at(1, 3) = NAN;
  EXPECT_THROW(neighbor_joining(d), std::invalid_argument);
  EXPECT_THROW(upgma(d), std::invalid_argument);
}

}  // namespace
}  // namespace bandscape
