// Discriminant analysis of principal components: within-group whitening,
// between-group decomposition, coordinates, posteriors and locus loadings.
#include "clusters/dapc.hpp"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace bandscape {
namespace {

using Matrix = Eigen::MatrixXd;
using RowMatrix = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

constexpr double kLdaTolerance = 1e-30;       // adegenet's call: lda(..., tol = 1e-30)
constexpr double kEigenvalueFloor = 1e-10;    // adegenet: functions with svd^2 above it
constexpr double kContributionFloor = 1e-12;  // adegenet: a function without loadings

std::vector<double> row_major(const Matrix& m) {
  std::vector<double> out(static_cast<std::size_t>(m.rows()) * m.cols());
  for (Eigen::Index i = 0; i < m.rows(); ++i) {
    for (Eigen::Index j = 0; j < m.cols(); ++j) out[static_cast<std::size_t>(i * m.cols() + j)] = m(i, j);
  }
  return out;
}

}  // namespace

Dapc dapc(const PrincipalComponents& pca, const std::vector<int>& group, int groups, const DapcSettings& settings) {
  const int n = pca.individuals;
  if (static_cast<int>(group.size()) != n) throw std::invalid_argument("dapc: one group per individual needed");
  if (groups < 1 || settings.components < 0 || settings.functions < 0) {
    throw std::invalid_argument("dapc: bad number of groups, components or functions");
  }
  std::vector<int> counts(groups, 0);
  for (const int k : group) {
    if (k < 0 || k >= groups) throw std::invalid_argument("dapc: group out of range");
    ++counts[k];
  }
  if (std::find(counts.begin(), counts.end(), 0) != counts.end()) throw std::invalid_argument("dapc: empty group");

  Dapc out;
  out.individuals = n;
  out.groups = groups;
  out.loci = pca.loci;
  const int asked = settings.components > 0 ? settings.components : default_dapc_components(n);
  int p = std::min(asked, pca.components);
  if (p >= n) p = n - 1;
  out.components = p;
  if (p < asked) {
    out.warnings.push_back(std::to_string(asked) + " principal components asked for, " + std::to_string(p) +
                           " used (positive eigenvalues, fewer than the individuals)");
  }
  if (groups < 2 || p < 1 || n - groups < 1) {
    out.warnings.push_back("no discriminant analysis: it needs two groups, one component and more individuals "
                           "than groups");
    return out;
  }
  for (int k = 0; k < groups; ++k) out.prior.push_back(static_cast<double>(counts[k]) / n);

  Matrix x(n, p);
  for (int i = 0; i < n; ++i) {
    for (int a = 0; a < p; ++a) x(i, a) = pca.score(i, a);
  }
  Matrix means = Matrix::Zero(groups, p);
  for (int i = 0; i < n; ++i) means.row(group[i]) += x.row(i);
  for (int k = 0; k < groups; ++k) means.row(k) /= counts[k];

  // 1-2: within-group scale and whitening.
  Matrix residual(n, p);
  for (int i = 0; i < n; ++i) residual.row(i) = x.row(i) - means.row(group[i]);
  Eigen::VectorXd f(p);
  for (int a = 0; a < p; ++a) {
    const double mean = residual.col(a).mean();
    f(a) = std::sqrt((residual.col(a).array() - mean).square().sum() / (n - 1));
    if (!(f(a) >= kLdaTolerance)) {
      out.warnings.push_back("no discriminant analysis: principal component " + std::to_string(a + 1) +
                             " is constant within groups");
      return out;
    }
  }
  const Matrix scaled = residual * f.cwiseInverse().asDiagonal() / std::sqrt(static_cast<double>(n - groups));
  const Eigen::BDCSVD<Matrix> within(scaled, Eigen::ComputeThinV);
  int rank = 0;
  while (rank < within.singularValues().size() && within.singularValues()(rank) > kLdaTolerance) ++rank;
  if (rank == 0) {
    out.warnings.push_back("no discriminant analysis: the components are constant");
    return out;
  }
  const Matrix whitening = f.cwiseInverse().asDiagonal() * within.matrixV().leftCols(rank) *
                           within.singularValues().head(rank).cwiseInverse().asDiagonal();

  // 3: between-group decomposition.
  Eigen::RowVectorXd xbar = Eigen::RowVectorXd::Zero(p);
  for (int k = 0; k < groups; ++k) xbar += out.prior[k] * means.row(k);
  Matrix between(groups, p);
  for (int k = 0; k < groups; ++k) {
    between.row(k) = std::sqrt(n * out.prior[k] / (groups - 1)) * (means.row(k) - xbar);
  }
  const Matrix between_white = between * whitening;
  const Eigen::JacobiSVD<Matrix> among(between_white, Eigen::ComputeThinV);
  const Eigen::VectorXd sv = among.singularValues();
  int rank2 = 0;
  while (rank2 < sv.size() && sv(rank2) > kLdaTolerance * sv(0)) ++rank2;
  if (rank2 == 0 || !(sv(0) > 0.0)) {
    out.warnings.push_back("no discriminant analysis: the group means are identical");
    return out;
  }

  // 4: eigenvalues.
  int dims = 0;
  while (dims < rank2 && sv(dims) * sv(dims) > kEigenvalueFloor) ++dims;
  if (dims == 0) {
    out.warnings.push_back("no discriminant analysis: no function with an eigenvalue above 1e-10");
    return out;
  }
  double sum = 0.0;
  for (int a = 0; a < dims; ++a) {
    out.eigenvalues.push_back(sv(a) * sv(a));
    sum += sv(a) * sv(a);
  }
  for (const double e : out.eigenvalues) out.shares.push_back(e / sum);
  const int fcount = settings.functions > 0 ? std::min(settings.functions, dims) : dims;
  out.functions = fcount;
  Matrix scaling = whitening * among.matrixV().leftCols(fcount);

  // 5: coordinates, with each function turned to a fixed sign.
  Matrix coords = (x.rowwise() - xbar) * scaling;
  for (int a = 0; a < fcount; ++a) {
    const double big = coords.col(a).cwiseAbs().maxCoeff();
    int first = 0;
    while (first < n - 1 && std::fabs(coords(first, a)) <= 1e-6 * big) ++first;
    if (coords(first, a) < 0.0) {
      coords.col(a) *= -1.0;
      scaling.col(a) *= -1.0;
    }
  }
  const Matrix centroids = (means.rowwise() - xbar) * scaling;
  out.coordinates = row_major(coords);
  out.centroids = row_major(centroids);
  out.scaling = row_major(scaling);

  out.posterior.assign(static_cast<std::size_t>(n) * groups, 0.0);
  out.assigned.assign(n, 0);
  std::vector<double> dist(groups);
  for (int i = 0; i < n; ++i) {
    double lowest = 0.0;
    for (int k = 0; k < groups; ++k) {
      dist[k] = 0.5 * centroids.row(k).squaredNorm() - std::log(out.prior[k]) - coords.row(i).dot(centroids.row(k));
      lowest = k == 0 ? dist[k] : std::min(lowest, dist[k]);
    }
    double total = 0.0;
    for (int k = 0; k < groups; ++k) total += dist[k] = std::exp(-(dist[k] - lowest));
    for (int k = 0; k < groups; ++k) {
      out.posterior[static_cast<std::size_t>(i) * groups + k] = dist[k] / total;
      if (dist[k] > dist[out.assigned[i]]) out.assigned[i] = k;
    }
  }

  // 6: locus loadings and contributions.
  const int m = pca.loci;
  Matrix u(m, p);
  for (int l = 0; l < m; ++l) {
    for (int a = 0; a < p; ++a) u(l, a) = pca.loading(l, a);
  }
  Matrix load = u * scaling;
  out.loadings = row_major(load);
  for (int a = 0; a < fcount; ++a) {
    const double s = load.col(a).squaredNorm();
    if (s < kContributionFloor) {
      load.col(a).setZero();
    } else {
      load.col(a) = load.col(a).array().square() / s;
    }
  }
  out.contributions = row_major(load);
  out.done = true;
  return out;
}

}  // namespace bandscape
