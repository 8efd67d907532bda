// Principal coordinates against R (cmdscale, ape's pcoa) and hand-worked cases.
#include "ordination/pcoa.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <random>

namespace bandscape {
namespace {

const EigenRoute kRoutes[] = {EigenRoute::kDense, EigenRoute::kLeadingAxes};

// Cases made by pcoa_reference.R (beside this test): 0/1 profiles with a
// duplicate individual (12 positive eigenvalues, 10 axes kept), profiles over
// 3 loci (3 axes), random and three-valued non-Euclidean matrices.
// Coordinates equal cmdscale's up to the sign of each axis; eigenvalues and
// their shares of the trace equal ape's.
TEST(PrincipalCoordinates, EqualToCmdscaleAndApe) {
  std::ifstream in(std::string(BANDSCAPE_TEST_DATA) + "/ordination/pcoa_reference.txt");
  std::string name;
  int n, axes, ape_count, cases = 0;
  const auto read = [&in](int count) {
    std::vector<double> v(count);
    for (double& x : v) in >> x;
    return v;
  };
  while (in >> name >> n >> axes >> ape_count) {
    ++cases;
    DistanceMatrix d(n);
    d.cells = read(n * n);
    const auto eig = read(n), ape_eig = read(ape_count), ape_rel = read(ape_count), points = read(n * axes);
    for (const EigenRoute route : kRoutes) {
      SCOPED_TRACE(name + (route == EigenRoute::kDense ? " dense" : " leading axes"));
      const PrincipalCoordinates pc = principal_coordinates(d, 10, route);
      ASSERT_EQ(pc.axes, axes);
      for (int k = 0; k < n; ++k) EXPECT_NEAR(pc.eigenvalues[k], eig[k], 1e-9);
      for (int k = 0; k < ape_count; ++k) {
        EXPECT_NEAR(pc.eigenvalues[k], ape_eig[k], 1e-9);
        EXPECT_NEAR(pc.relative_eigenvalues[k], ape_rel[k], 1e-9);
      }
      for (int a = 0; a < axes; ++a) {
        double dot = 0.0;
        for (int i = 0; i < n; ++i) dot += pc.coordinate(i, a) * points[i * axes + a];
        for (int i = 0; i < n; ++i) EXPECT_NEAR(pc.coordinate(i, a), (dot < 0 ? -1 : 1) * points[i * axes + a], 1e-9);
      }
    }
  }
  EXPECT_EQ(cases, 4);
}

// By hand.  Two objects 3 apart: B = [[2.25, -2.25], [-2.25, 2.25]], eigenvalues
// 4.5 and 0, coordinates +-1.5, the first object positive.  n objects all 1
// apart: B = (I - J/n)/2, the eigenvalue 1/2 n - 1 times and 0, trace (n - 1)/2;
// the axes may be any basis of that eigenspace, so the coordinate columns must be
// centred, orthogonal and of squared length 1/2.  For n = 300 the Lanczos
// iteration breaks down on the repeated eigenvalue and the full decomposition
// takes over.
TEST(PrincipalCoordinates, HandWorkedAndRepeatedEigenvalues) {
  DistanceMatrix two(2);
  two.at(0, 1) = 3.0;
  two.at(1, 0) = std::numeric_limits<double>::quiet_NaN();  // below the diagonal: not read
  const PrincipalCoordinates p2 = principal_coordinates(two);
  ASSERT_EQ(p2.axes, 1);
  EXPECT_EQ(p2.eigenvalues[1], 0.0);
  for (const double x : {p2.eigenvalues[0] - 4.5, p2.coordinate(0, 0) - 1.5, p2.coordinate(1, 0) + 1.5}) {
    EXPECT_NEAR(x, 0.0, 1e-12);
  }
  for (const int n : {5, 300}) {
    DistanceMatrix simplex(n);
    simplex.cells.assign(simplex.cells.size(), 1.0);
    for (const EigenRoute route : kRoutes) {
      const PrincipalCoordinates pc = principal_coordinates(simplex, 10, route);
      ASSERT_EQ(pc.axes, std::min(n - 1, 10));
      EXPECT_NEAR(pc.trace, (n - 1) / 2.0, 1e-12);
      for (int k = 0; k < n; ++k) EXPECT_NEAR(pc.relative_eigenvalues[k], k < n - 1 ? 1.0 / (n - 1) : 0.0, 1e-14);
      EXPECT_EQ(pc.eigenvalues[n - 1], 0.0);
      for (int a = 0; a < pc.axes; ++a) {
        for (int c = 0; c <= pc.axes; ++c) {  // c = axes: the constant column
          double product = 0.0;
          for (int i = 0; i < n; ++i) product += pc.coordinate(i, a) * (c < pc.axes ? pc.coordinate(i, c) : 1.0);
          EXPECT_NEAR(product, a == c ? 0.5 : 0.0, 1e-12);
        }
      }
    }
  }
}

// By hand, three objects with d12 = d13 = 1 and d23 = 3 (no triangle): B has
// the eigenvalues 9/2 (eigenvector (0, 1, -1)), 0 and -5/6, trace 11/3
// (R's cmdscale agrees: 4.5, 1.1e-16, -0.8333).  Axis 1 holds all of the
// positive eigenvalues (share 1) but 27/22 of the trace; the negative
// eigenvalue has no share.  Distances all 0 give 0/0: no share at all.
TEST(PrincipalCoordinates, SharesOfThePositiveEigenvaluesAndOfTheTrace) {
  DistanceMatrix d(3);
  d.at(0, 1) = d.at(1, 0) = d.at(0, 2) = d.at(2, 0) = 1.0;
  d.at(1, 2) = d.at(2, 1) = 3.0;
  const PrincipalCoordinates pc = principal_coordinates(d);
  EXPECT_NEAR(pc.eigenvalues[0], 4.5, 1e-12);
  EXPECT_NEAR(pc.eigenvalues[2], -5.0 / 6.0, 1e-12);
  EXPECT_TRUE(pc.has_negative_eigenvalues());
  EXPECT_NEAR(pc.positive_sum, 4.5, 1e-12);
  EXPECT_NEAR(pc.positive_shares[0], 1.0, 1e-12);
  EXPECT_EQ(pc.positive_shares[1], 0.0);
  EXPECT_TRUE(std::isnan(pc.positive_shares[2]));
  EXPECT_NEAR(pc.relative_eigenvalues[0], 27.0 / 22.0, 1e-12);
  EXPECT_NEAR(pc.relative_eigenvalues[2], -5.0 / 22.0, 1e-12);

  DistanceMatrix zero(3);
  const PrincipalCoordinates flat = principal_coordinates(zero);
  EXPECT_FALSE(flat.has_negative_eigenvalues());
  for (int k = 0; k < 3; ++k) {
    EXPECT_TRUE(std::isnan(flat.positive_shares[k]));
    EXPECT_TRUE(std::isnan(flat.relative_eigenvalues[k]));
  }
}

TEST(PrincipalCoordinates, UndefinedDistanceIsFoundAndRefused) {
  DistanceMatrix d(5);
  d.at(3, 1) = std::numeric_limits<double>::infinity();  // below the diagonal: not read
  d.at(2, 4) = d.at(1, 3) = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(first_undefined_distance(d), std::make_pair(1, 3));
  EXPECT_THROW(principal_coordinates(d), std::invalid_argument);
}

// Above the size where the automatic choice takes the Lanczos route (with
// restarts), both routes give the same eigenvalues bit for bit and the same axes:
// random points in 30 dimensions of spreads 1..30.
TEST(PrincipalCoordinates, RoutesAgreeOnALargeMatrix) {
  const int n = kDenseRouteLimit + 100, dims = 30;
  std::mt19937 generator(2024);
  std::vector<double> x(n * dims);
  for (std::size_t k = 0; k < x.size(); ++k) x[k] = (generator() % 1000) * (1.0 + k % dims) / 1000;
  DistanceMatrix d(n);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      for (int l = 0; l < dims; ++l) d.at(i, j) += std::pow(x[i * dims + l] - x[j * dims + l], 2);
      d.at(i, j) = std::sqrt(d.at(i, j));
    }
  }
  const PrincipalCoordinates dense = principal_coordinates(d, 10, EigenRoute::kDense), leading = principal_coordinates(d);
  EXPECT_EQ(dense.eigenvalues, leading.eigenvalues);
  ASSERT_EQ(leading.axes, 10);
  for (std::size_t k = 0; k < dense.coordinates.size(); ++k) EXPECT_NEAR(dense.coordinates[k], leading.coordinates[k], 1e-9);
}

}  // namespace
}  // namespace bandscape
