// Discriminant analysis of principal components (Jombart, Devillard & Balloux
// 2010): a linear discriminant analysis of the individuals' leading principal
// component scores on given groups (populations, or clusters), with the
// definitions of adegenet's dapc and of MASS::lda (method "moment", prior the
// group proportions, tol = 1e-30) that it calls.
//
// With p retained components, n individuals in g groups:
//  1. within-group residuals R = X - (group means); f_j the standard deviation
//     of column j of R (divisor n - 1); a column with f_j < 1e-30 is constant
//     within groups and stops the analysis;
//  2. the singular value decomposition of R diag(1/f) / sqrt(n - g) = U D V'
//     (singular values above 1e-30 kept) gives the whitening
//     W1 = diag(1/f) V D^-1;
//  3. with the overall mean xbar = sum_k (n_k / n) mean_k, the decomposition of
//     the rows sqrt(n_k / (g - 1)) (mean_k - xbar) W1 = U2 D2 V2' (singular
//     values above 1e-30 times the largest kept) gives the scaling
//     W = W1 V2, the discriminant functions;
//  4. the eigenvalues are D2^2, those above 1e-10 kept (adegenet), each also as
//     a share of their sum;
//  5. coordinates (x_i - xbar) W, group centroids m_k = (mean_k - xbar) W;
//     posterior membership by the plug-in rule on the retained functions,
//     P(k | i) proportional to exp(x_i . m_k - |m_k|^2 / 2 + ln(n_k / n));
//     the assigned group has the highest posterior (the first on a tie);
//  6. locus loadings (the principal component loadings times W) and each
//     locus' contribution to a function, its squared loading divided by the
//     sum of squares of the function's loadings (0 when that sum is below 1e-12).
//
// Each function's sign is turned so that the first individual with a clearly
// non-zero coordinate (at least 1e-6 times the largest magnitude) is positive.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "clusters/principal_components.hpp"

namespace bandscape {

struct DapcSettings {
  int components = 0;  // principal components used; 0: default_dapc_components
  int functions = 0;   // discriminant functions kept; 0: all
};

// N/3 of the individuals (at least 1).
inline int default_dapc_components(int individuals) { return individuals / 3 > 1 ? individuals / 3 : 1; }

struct Dapc {
  bool done = false;  // false: see the warnings
  int individuals = 0;
  int groups = 0;
  int loci = 0;
  int components = 0;  // principal components used: min(asked, retained by the PCA, individuals - 1)
  int functions = 0;   // discriminant functions kept
  std::vector<double> eigenvalues;  // every function with eigenvalue above 1e-10, largest first
  std::vector<double> shares;       // eigenvalue / sum of the eigenvalues
  std::vector<double> prior;        // n_k / n
  std::vector<double> coordinates;  // individuals x functions, row after row
  std::vector<double> centroids;    // groups x functions
  std::vector<double> posterior;    // individuals x groups
  std::vector<int> assigned;        // group of highest posterior
  std::vector<double> scaling;      // components x functions: the discriminant functions on the scores
  std::vector<double> loadings;     // loci x functions
  std::vector<double> contributions;  // loci x functions, each column adding up to 1 (or all 0)
  std::vector<std::string> warnings;

  double coordinate(int i, int f) const { return coordinates[static_cast<std::size_t>(i) * functions + f]; }
  double posterior_of(int i, int k) const { return posterior[static_cast<std::size_t>(i) * groups + k]; }
};

// group[i] in 0..groups-1 for every individual, every group used.  Throws
// std::invalid_argument when that does not hold or when `group` does not
// have one entry per individual of the analysis.
Dapc dapc(const PrincipalComponents& pca, const std::vector<int>& group, int groups, const DapcSettings& settings);

}  // namespace bandscape
