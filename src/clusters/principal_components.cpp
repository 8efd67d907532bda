// Principal components of the centred band profiles: cross product over
// blocks, eigen decomposition, scores and loadings.
#include "clusters/principal_components.hpp"

#include <Eigen/Dense>
#include <Spectra/MatOp/DenseSymMatProd.h>
#include <Spectra/SymEigsSolver.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "numeric/parallel.hpp"

namespace bandscape {
namespace {

// Columns of the other dimension per pass, and the side of the square tiles
// of the cross product: every tile is always computed by products of the
// same shapes in the same order, whatever the number of threads.
constexpr int kBlock = 512;
constexpr int kTile = 256;
// Up to this size, or when many components are wanted, the cross product is
// decomposed whole; above it the leading components come from a Lanczos
// iteration.
constexpr int kDenseLimit = 400;

double centred(std::uint8_t s, double mean) { return s == kMissingScore ? 0.0 : static_cast<double>(s) - mean; }

struct Layout {
  const BandProfiles& profiles;
  const std::vector<double>& means;
  bool individuals_side;  // the cross product is C C' (individuals), else C'C (loci)
  int side() const { return individuals_side ? profiles.individuals : profiles.loci; }
  int other() const { return individuals_side ? profiles.loci : profiles.individuals; }

  // block (side x count): columns start..start+count-1 of the other dimension
  // of C (individuals side) or of C' (loci side).
  void fill(int start, int count, Eigen::MatrixXd& block) const {
    block.resize(side(), count);
    if (individuals_side) {
      for (int i = 0; i < profiles.individuals; ++i) {
        const std::uint8_t* row = profiles.row(i) + start;
        for (int j = 0; j < count; ++j) block(i, j) = centred(row[j], means[start + j]);
      }
    } else {
      for (int j = 0; j < count; ++j) {
        const std::uint8_t* row = profiles.row(start + j);
        for (int l = 0; l < profiles.loci; ++l) block(l, j) = centred(row[l], means[l]);
      }
    }
  }
};

Eigen::MatrixXd cross_product(const Layout& layout, int threads) {
  const int d = layout.side(), other = layout.other();
  Eigen::MatrixXd g = Eigen::MatrixXd::Zero(d, d);
  const int tiles = (d + kTile - 1) / kTile;
  std::vector<std::pair<int, int>> pairs;
  for (int a = 0; a < tiles; ++a) {
    for (int b = 0; b <= a; ++b) pairs.emplace_back(a, b);
  }
  Eigen::MatrixXd block;
  for (int start = 0; start < other; start += kBlock) {
    const int count = std::min(kBlock, other - start);
    layout.fill(start, count, block);
    parallel_chunks(static_cast<int>(pairs.size()), 1, threads, [&](int begin, int end) {
      for (int k = begin; k < end; ++k) {
        const int a0 = pairs[k].first * kTile, b0 = pairs[k].second * kTile;
        const int ha = std::min(kTile, d - a0), hb = std::min(kTile, d - b0);
        g.block(a0, b0, ha, hb).noalias() += block.middleRows(a0, ha) * block.middleRows(b0, hb).transpose();
      }
    });
  }
  g.triangularView<Eigen::StrictlyUpper>() = g.transpose();
  return g;
}

struct Decomposition {
  std::vector<double> values;  // largest first
  Eigen::MatrixXd vectors;     // the leading ones, one column each
  bool all = false;
};

Decomposition dense(const Eigen::MatrixXd& g, int wanted) {
  const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(g, Eigen::ComputeEigenvectors);
  if (solver.info() != Eigen::Success) throw std::runtime_error("principal components: eigen decomposition failed");
  const int d = static_cast<int>(g.rows());
  Decomposition out;
  out.all = true;
  for (int k = d - 1; k >= 0; --k) out.values.push_back(solver.eigenvalues()(k));
  wanted = std::min(wanted, d);
  out.vectors = solver.eigenvectors().rightCols(wanted).rowwise().reverse();
  return out;
}

Decomposition leading(const Eigen::MatrixXd& g, int wanted) {
  const int d = static_cast<int>(g.rows());
  try {
    Spectra::DenseSymMatProd<double> product(g);
    Spectra::SymEigsSolver<Spectra::DenseSymMatProd<double>> lanczos(product, wanted,
                                                                      std::min(d, std::max(2 * wanted + 1, 20)));
    lanczos.init();  // fixed start vector: the iteration is reproducible
    lanczos.compute(Spectra::SortRule::LargestAlge, 1000, 1e-12);
    if (lanczos.info() == Spectra::CompInfo::Successful) {
      Decomposition out;
      for (int k = 0; k < wanted; ++k) out.values.push_back(lanczos.eigenvalues()(k));
      out.vectors = lanczos.eigenvectors();
      return out;
    }
  } catch (const std::runtime_error&) {
    // The iteration broke down: the whole decomposition below.
  }
  return dense(g, wanted);
}

}  // namespace

double PrincipalComponents::retained_share() const {
  double sum = 0.0;
  for (int a = 0; a < components; ++a) sum += eigenvalues[a];
  return total_variance > 0.0 ? sum / total_variance : 0.0;
}

PrincipalComponents principal_components(const BandProfiles& profiles, const ComponentRequest& request) {
  if (request.components < 0) throw std::invalid_argument("principal components: negative number of components");
  if (!(request.variance_share > 0.0 && request.variance_share <= 1.0)) {
    throw std::invalid_argument("principal components: variance share outside (0, 1]");
  }
  PrincipalComponents out;
  const int n = out.individuals = profiles.individuals;
  const int m = out.loci = profiles.loci;
  out.by_variance_share = request.components == 0;
  if (n <= 0 || m <= 0) {
    out.warnings.push_back("no individuals or no loci: no principal components");
    return out;
  }

  out.locus_means.assign(m, 0.0);
  std::vector<int> scored(m, 0);
  for (int i = 0; i < n; ++i) {
    const std::uint8_t* row = profiles.row(i);
    for (int l = 0; l < m; ++l) {
      const std::uint8_t s = row[l];
      if (s == kMissingScore) continue;
      if (s > 1) throw std::invalid_argument("principal components: a score other than 0, 1 or 9");
      out.locus_means[l] += s;
      ++scored[l];
    }
  }
  int unscored = 0;
  for (int l = 0; l < m; ++l) {
    if (scored[l] > 0) {
      out.locus_means[l] /= scored[l];
    } else {
      ++unscored;
    }
  }
  if (unscored > 0) {
    out.warnings.push_back(std::to_string(unscored) + " loci scored in no individual add nothing to the components");
  }

  const Layout layout{profiles, out.locus_means, n <= m};
  const Eigen::MatrixXd g = cross_product(layout, request.threads);
  const int d = layout.side();
  out.total_variance = g.trace() / n;

  const bool whole = out.by_variance_share || d <= kDenseLimit || 3 * request.components >= d;
  const int wanted = out.by_variance_share ? d : std::min(request.components, d);
  Decomposition dec = whole ? dense(g, wanted) : leading(g, wanted);
  out.all_eigenvalues = dec.all;
  const double largest = dec.values.empty() ? 0.0 : dec.values.front() / n;
  for (const double mu : dec.values) {
    const double lambda = mu / n;
    if (largest > 0.0 && lambda > kPositiveEigenvalueRatio * largest) out.eigenvalues.push_back(lambda);
  }
  const int positive = static_cast<int>(out.eigenvalues.size());
  if (positive == 0) {
    out.warnings.push_back("the profiles do not vary: no principal components");
    return out;
  }
  if (out.by_variance_share) {
    // The first count whose cumulative share of the positive eigenvalues
    // reaches the share asked for (adegenet's perc.pca).
    double sum = 0.0, cumulative = 0.0;
    for (const double v : out.eigenvalues) sum += v;
    out.components = positive;
    for (int a = 0; a < positive; ++a) {
      cumulative += out.eigenvalues[a];
      if (100.0 * cumulative / sum >= 100.0 * request.variance_share) {
        out.components = a + 1;
        break;
      }
    }
  } else {
    out.components = std::min(request.components, positive);
    if (out.components < request.components) {
      out.warnings.push_back(std::to_string(request.components) + " components asked for, only " +
                             std::to_string(positive) + " have positive eigenvalues");
    }
  }

  const int k = out.components;
  const Eigen::MatrixXd w = dec.vectors.leftCols(k);
  out.scores.assign(static_cast<std::size_t>(n) * k, 0.0);
  out.loadings.assign(static_cast<std::size_t>(m) * k, 0.0);
  std::vector<double> root(k);
  for (int a = 0; a < k; ++a) root[a] = std::sqrt(out.eigenvalues[a] * n);
  // The other side: loadings = C' u / sqrt(N lambda) from the individuals'
  // unit vectors u, or scores = C v from the loci's unit vectors v.
  const int other = layout.other();
  const int blocks = (other + kBlock - 1) / kBlock;
  parallel_chunks(blocks, 1, request.threads, [&](int begin, int end) {
    Eigen::MatrixXd block, product;
    for (int b = begin; b < end; ++b) {
      const int start = b * kBlock, count = std::min(kBlock, other - start);
      layout.fill(start, count, block);
      product.noalias() = block.transpose() * w;
      for (int j = 0; j < count; ++j) {
        for (int a = 0; a < k; ++a) {
          if (layout.individuals_side) {
            out.loadings[static_cast<std::size_t>(start + j) * k + a] = product(j, a) / root[a];
          } else {
            out.scores[static_cast<std::size_t>(start + j) * k + a] = product(j, a);
          }
        }
      }
    }
  });
  for (int a = 0; a < k; ++a) {
    if (layout.individuals_side) {
      for (int i = 0; i < n; ++i) out.scores[static_cast<std::size_t>(i) * k + a] = w(i, a) * root[a];
    } else {
      for (int l = 0; l < m; ++l) out.loadings[static_cast<std::size_t>(l) * k + a] = w(l, a);
    }
    double big = 0.0;
    for (int i = 0; i < n; ++i) big = std::max(big, std::fabs(out.score(i, a)));
    int first = 0;
    while (first < n - 1 && std::fabs(out.score(first, a)) <= 1e-6 * big) ++first;
    if (out.score(first, a) < 0.0) {
      for (int i = 0; i < n; ++i) out.scores[static_cast<std::size_t>(i) * k + a] *= -1.0;
      for (int l = 0; l < m; ++l) out.loadings[static_cast<std::size_t>(l) * k + a] *= -1.0;
    }
  }
  return out;
}

}  // namespace bandscape
