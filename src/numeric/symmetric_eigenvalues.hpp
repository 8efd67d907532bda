// Eigenvalues of a symmetric matrix on several threads, bit for bit those of
// Eigen's SelfAdjointEigenSolver (Householder tridiagonalisation, Golub & Van
// Loan 2013, algorithm 8.3.1, then implicit symmetric QL on the tridiagonal
// matrix).
//
// Each Householder step reads the whole trailing matrix twice in Eigen (the
// symmetric matrix-vector product, then the rank-2 update) and once here: the
// update of step i is applied to each pair of columns just before the product
// of step i + 1 reads them.  Every element still receives the same operations
// in the same order: the product keeps Eigen's pairs of columns, its two-lane
// partial sums over rows and its scalar first and last rows where the result
// vector is not 16-byte aligned.  The columns are split into panels handed
// round-robin to the threads, each panel walking down the rows in blocks
// after the panel on its left (a wavefront): the sums along a column and the
// sums along a row keep their order, so the result does not depend on the
// number of threads.
#pragma once

#include <Eigen/Core>

#include <memory>
#include <vector>

namespace bandscape {

// As Eigen::internal::tridiagonalization_inplace(a, hcoeffs): the lower
// triangle of the square `a` is reduced; its diagonal and first subdiagonal
// hold the tridiagonal matrix, hcoeffs (size n - 1) the Householder
// coefficients.  The strictly upper triangle is neither read nor written.
void tridiagonalize_in_place(Eigen::MatrixXd& a, Eigen::VectorXd& hcoeffs, int threads);

// The eigenvalues, ascending, of the symmetric matrix whose lower triangle `a`
// holds, as Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(a,
// Eigen::EigenvaluesOnly) computes them (the matrix scaled by its largest
// magnitude first, the scale restored last).  `a` is overwritten (its strictly
// upper triangle set to 0).  Throws
// std::runtime_error when the QL iteration does not converge.
Eigen::VectorXd symmetric_eigenvalues_in_place(Eigen::MatrixXd& a, int threads);

class Wavefront;
struct PairSums;

// y = A x for the symmetric A whose lower triangle `a` holds, as Eigen's
// `y.noalias() = a.selfadjointView<Eigen::Lower>() * x` computes it, bit for
// bit, for every number of threads (started once for all the products); y
// must not overlap x.  A matrix operation for Spectra's eigen solvers.
class SymmetricProduct {
 public:
  using Scalar = double;
  SymmetricProduct(const Eigen::MatrixXd& a, int threads);
  ~SymmetricProduct();
  SymmetricProduct(const SymmetricProduct&) = delete;
  SymmetricProduct& operator=(const SymmetricProduct&) = delete;
  Eigen::Index rows() const { return a_.rows(); }
  Eigen::Index cols() const { return a_.cols(); }
  void perform_op(const double* x, double* y) const;

 private:
  const Eigen::MatrixXd& a_;
  std::unique_ptr<Wavefront> wavefront_;
  mutable std::vector<PairSums> sums_;
};

}  // namespace bandscape
