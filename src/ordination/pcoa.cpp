// Principal coordinates: double centring, eigen decomposition, axes.
#include "ordination/pcoa.hpp"

#include <Eigen/Dense>
#include <Spectra/SymEigsSolver.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "numeric/symmetric_eigenvalues.hpp"

namespace bandscape {
namespace {

// B = (I - J/n) A (I - J/n) with A = -d²/2: b_ij = a_ij - mean_i - mean_j + mean,
// mean_i the mean of row i of A and mean the mean of all of A.  Each cell is
// computed once, below the diagonal, and mirrored, so B is exactly symmetric.
Eigen::MatrixXd centred_products(int n, const DistanceOf& distance) {
  Eigen::MatrixXd b(n, n);
  for (int i = 0; i < n; ++i) {
    b(i, i) = 0.0;
    for (int j = i + 1; j < n; ++j) {
      const double dij = distance(i, j);
      if (!std::isfinite(dij)) throw std::invalid_argument("distance matrix: undefined distance");
      b(i, j) = b(j, i) = -0.5 * (dij * dij);
    }
  }
  Eigen::VectorXd row_means(n);
  for (int i = 0; i < n; ++i) row_means(i) = b.col(i).sum() / n;
  const double mean = row_means.sum() / n;
  for (int j = 0; j < n; ++j) {
    for (int i = j; i < n; ++i) b(i, j) = b(i, j) - row_means(i) - row_means(j) + mean;
    for (int i = j + 1; i < n; ++i) b(j, i) = b(i, j);
  }
  return b;
}

// Eigenvalues largest first, with the noise around 0 set to exactly 0.
std::vector<double> cleaned_descending(const Eigen::VectorXd& ascending) {
  const int n = static_cast<int>(ascending.size());
  std::vector<double> values(n);
  double largest = 0.0;
  for (int k = 0; k < n; ++k) {
    values[k] = ascending(n - 1 - k);
    largest = std::max(largest, std::fabs(values[k]));
  }
  const double noise = std::sqrt(DBL_EPSILON) * largest;
  for (double& v : values) {
    if (std::fabs(v) <= noise) v = 0.0;
  }
  return values;
}

using Solver = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>;

const Solver& converged(const Solver& solver) {
  if (solver.info() != Eigen::Success) throw std::runtime_error("eigen decomposition did not converge");
  return solver;
}

// Unit eigenvectors of the `axes` largest eigenvalues, largest first.
Eigen::MatrixXd leading_columns(const Solver& solver, int axes) {
  return solver.eigenvectors().rightCols(axes).rowwise().reverse();
}

// The same by Lanczos iteration, accepted only when it converges to the
// leading eigenvalues of the full spectrum (a repeated eigenvalue can make it
// miss one, or fail); otherwise by the full decomposition.
Eigen::MatrixXd lanczos_leading_vectors(const Eigen::MatrixXd& b, int axes, const std::vector<double>& values,
                                        int threads) {
  const int n = static_cast<int>(b.rows());
  try {
    // Spectra's dense product, on several threads (the same bits).
    SymmetricProduct product(b, threads);
    Spectra::SymEigsSolver<SymmetricProduct> lanczos(product, axes, std::min(n, std::max(2 * axes + 1, 20)));
    lanczos.init();  // fixed start vector: the iteration is reproducible
    lanczos.compute(Spectra::SortRule::LargestAlge, 1000, 1e-12);
    bool found = lanczos.info() == Spectra::CompInfo::Successful;
    const double tolerance = 1e-8 * std::max(std::fabs(values.front()), std::fabs(values.back()));
    for (int a = 0; a < axes && found; ++a) found = std::fabs(lanczos.eigenvalues()(a) - values[a]) <= tolerance;
    if (found) return lanczos.eigenvectors();
  } catch (const std::runtime_error&) {
    // The iteration broke down: take the full decomposition below.
  }
  return leading_columns(converged(Solver(b, Eigen::ComputeEigenvectors)), axes);
}

}  // namespace

PrincipalCoordinates principal_coordinates(const DistanceMatrix& d, int max_axes, EigenRoute route, int threads) {
  if (d.n < 0 || d.cells.size() != static_cast<std::size_t>(d.n) * static_cast<std::size_t>(d.n)) {
    throw std::invalid_argument("distance matrix: cell count is not n * n");
  }
  if (max_axes < 0) throw std::invalid_argument("principal coordinates: negative number of axes");
  return principal_coordinates(d.n, [&d](int i, int j) { return d.at(i, j); }, max_axes, route, threads);
}

PrincipalCoordinates principal_coordinates(int n, const DistanceOf& distance, int max_axes, EigenRoute route,
                                           int threads) {
  if (n < 0) throw std::invalid_argument("principal coordinates: negative number of objects");
  if (max_axes < 0) throw std::invalid_argument("principal coordinates: negative number of axes");
  PrincipalCoordinates out;
  out.n = n;
  if (n == 0) return out;
  Eigen::MatrixXd b = centred_products(n, distance);
  out.trace = b.trace();

  if (route == EigenRoute::kAutomatic) route = n <= kDenseRouteLimit ? EigenRoute::kDense : EigenRoute::kLeadingAxes;
  const bool dense = route == EigenRoute::kDense;
  // The dense route keeps the solver for its eigenvectors; the other one
  // takes the eigenvalues in b's storage and forms b again for the Lanczos
  // iteration when axes are wanted.
  Solver solver;
  if (dense) {
    converged(solver.compute(b, Eigen::ComputeEigenvectors));
    out.eigenvalues = cleaned_descending(solver.eigenvalues());
  } else {
    out.eigenvalues = cleaned_descending(symmetric_eigenvalues_in_place(b, threads));
  }

  const double nan = std::numeric_limits<double>::quiet_NaN();
  out.relative_eigenvalues.assign(n, nan);
  if (out.trace != 0.0) {
    for (int k = 0; k < n; ++k) out.relative_eigenvalues[k] = out.eigenvalues[k] / out.trace;
  }
  for (const double v : out.eigenvalues) out.positive_sum += v > 0.0 ? v : 0.0;
  out.positive_shares.assign(n, nan);
  if (out.positive_sum > 0.0) {
    for (int k = 0; k < n; ++k) {
      if (out.eigenvalues[k] >= 0.0) out.positive_shares[k] = out.eigenvalues[k] / out.positive_sum;
    }
  }
  const auto positive = std::count_if(out.eigenvalues.begin(), out.eigenvalues.end(), [](double v) { return v > 0.0; });
  out.axes = static_cast<int>(
      std::min<long>({static_cast<long>(max_axes), static_cast<long>(n - 1), static_cast<long>(positive)}));
  if (out.axes == 0) return out;

  if (!dense) {
    b = Eigen::MatrixXd();  // free the overwritten storage before forming b again
    b = centred_products(n, distance);
  }
  const Eigen::MatrixXd vectors =
      dense ? leading_columns(solver, out.axes) : lanczos_leading_vectors(b, out.axes, out.eigenvalues, threads);
  out.coordinates.resize(static_cast<std::size_t>(n) * out.axes);
  for (int a = 0; a < out.axes; ++a) {
    const auto v = vectors.col(a);
    const double clearly_nonzero = 1e-6 * v.cwiseAbs().maxCoeff();
    int first = 0;
    while (std::fabs(v(first)) <= clearly_nonzero) ++first;
    const double scale = (v(first) < 0.0 ? -1.0 : 1.0) * std::sqrt(out.eigenvalues[a]);
    for (int i = 0; i < n; ++i) out.coordinates[static_cast<std::size_t>(i) * out.axes + a] = v(i) * scale;
  }
  return out;
}

}  // namespace bandscape
