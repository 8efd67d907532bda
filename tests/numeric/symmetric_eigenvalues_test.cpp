// The fused, threaded tridiagonalisation against Eigen's own, bit for bit.
#include "numeric/symmetric_eigenvalues.hpp"

#include <gtest/gtest.h>

#include <Eigen/Eigenvalues>
#include <cstring>
#include <random>
#include <vector>

namespace bandscape {
namespace {

// Double-centred squared distances between random 0/1 profiles, the matrix a
// principal coordinates analysis decomposes; `copies` > 1 repeats each
// profile, so that whole Householder columns vanish.
Eigen::MatrixXd centred_profiles(int n, int loci, int copies, unsigned seed) {
  std::mt19937 random(seed);
  Eigen::MatrixXd x(n, loci);
  for (int i = 0; i < n; ++i) {
    for (int l = 0; l < loci; ++l) x(i, l) = i % copies == 0 ? static_cast<double>(random() % 2) : x(i - 1, l);
  }
  const Eigen::MatrixXd c = x.rowwise() - x.colwise().mean();
  return c * c.transpose();
}

bool same_bits(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; }

// Sizes on either side of the pairs' last 8 columns, of the threaded steps
// (384 rows on), of a panel (32 columns) and a row block (256 rows); one to
// three threads (the product's sums keep their order on any number).
TEST(SymmetricEigenvalues, TridiagonalisationEqualsEigensBitForBitOnAnyThreads) {
  for (const int n : {2, 3, 8, 9, 10, 11, 41, 300, 777}) {
    for (const int copies : {1, 3}) {
      const Eigen::MatrixXd m = centred_profiles(n, n, copies, 17u + n);
      Eigen::MatrixXd expected = m;
      Eigen::VectorXd expected_h(n - 1);
      Eigen::internal::tridiagonalization_inplace(expected, expected_h);
      for (const int threads : {1, 2, 3}) {
        SCOPED_TRACE(testing::Message() << "n " << n << ", copies " << copies << ", threads " << threads);
        Eigen::MatrixXd a = m;
        Eigen::VectorXd h(n - 1);
        tridiagonalize_in_place(a, h, threads);
        int differing = 0;
        for (int c = 0; c < n; ++c) {
          for (int r = c; r < n; ++r) differing += !same_bits(a(r, c), expected(r, c));
        }
        for (int k = 0; k + 1 < n; ++k) differing += !same_bits(h(k), expected_h(k));
        EXPECT_EQ(differing, 0);
      }
    }
  }
}

// The product as Spectra's dense operation computes it, with the result at
// an aligned and at an unaligned address (which changes Eigen's sums).
TEST(SymmetricEigenvalues, ProductEqualsEigensBitForBitOnAnyThreads) {
  for (const int n : {5, 9, 300, 777}) {
    const Eigen::MatrixXd a = centred_profiles(n, 60, 1, 3u + n);
    const Eigen::VectorXd x = a.col(n / 2) + Eigen::VectorXd::LinSpaced(n, -1.0, 2.0);
    for (const int offset : {0, 1}) {
      std::vector<double> expected(static_cast<std::size_t>(n) + 1), actual(expected.size());
      Eigen::Map<Eigen::VectorXd> e(expected.data() + offset, n);
      e.noalias() = a.selfadjointView<Eigen::Lower>() * x;
      for (const int threads : {1, 2}) {
        const SymmetricProduct product(a, threads);
        product.perform_op(x.data(), actual.data() + offset);
        int differing = 0;
        for (int k = 0; k < n; ++k) differing += !same_bits(actual[k + offset], expected[k + offset]);
        EXPECT_EQ(differing, 0) << "n " << n << ", offset " << offset << ", threads " << threads;
      }
    }
  }
}

TEST(SymmetricEigenvalues, EqualToTheSolversBitForBit) {
  for (const int n : {1, 5, 450}) {
    const Eigen::MatrixXd m = centred_profiles(n, 30, 1, 5u);
    const Eigen::VectorXd expected =
        Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(m, Eigen::EigenvaluesOnly).eigenvalues();
    Eigen::MatrixXd a = m;
    const Eigen::VectorXd values = symmetric_eigenvalues_in_place(a, 2);
    ASSERT_EQ(values.size(), n);
    for (int k = 0; k < n; ++k) EXPECT_TRUE(same_bits(values(k), expected(k))) << "n " << n << ", eigenvalue " << k;
  }
  Eigen::MatrixXd zero = Eigen::MatrixXd::Zero(4, 4);
  EXPECT_EQ(symmetric_eigenvalues_in_place(zero, 1), Eigen::VectorXd::Zero(4));
}

}  // namespace
}  // namespace bandscape
