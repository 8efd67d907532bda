// Genetic clusters without the population labels: K-means or Ward's
// hierarchical clustering of the individuals' principal component scores for
// K = 1..Kmax, and the number of clusters by the Bayesian information
// criterion, as adegenet's find.clusters does (Jombart, Devillard & Balloux
// 2010).
//
// For each K the within-cluster sum of squares WSS(K) is the sum over
// individuals of the squared distance to the mean of its cluster (WSS(1) is
// the total sum of squares), and
//   BIC(K) = N ln(WSS(K) / N) + K ln N.
// The chosen K has the lowest BIC (the smaller K on a tie), unless one is given.
// WSS(K) = 0 (no more distinct points than clusters) leaves BIC(K) undefined
// (NaN; it tends to minus infinity): the smallest such K below the number of
// individuals is chosen, since its clusters hold the individuals exactly; K =
// N, every individual alone, is never chosen.
//
// K-means: S starts per K, each seeded by k-means++ (Arthur & Vassilvitskii
// 2007) from a stream of its own keyed by (seed, 1, K, start), so the result
// is the same for every number of threads.  Each start runs Lloyd's iterations
// until no individual changes cluster, then Hartigan & Wong's single transfers
// (an individual moves when n_b / (n_b + 1) d_b^2 < n_a / (n_a - 1) d_a^2) until
// none lowers WSS: the solution is a local optimum for the Hartigan-Wong
// algorithm that R's kmeans runs.  The start of lowest WSS is kept (the first
// on a tie).
//
// Ward: agglomeration by the Lance-Williams recurrence of Ward's method
//   D(k, i+j) = [(n_i + n_k) D(k, i) + (n_j + n_k) D(k, j) - n_k D(i, j)] / (n_i + n_j + n_k),
// by the nearest-neighbour list algorithm that R's hclust runs (Murtagh
// 1985), equal dissimilarities resolved as there, and cut at K clusters.
// On squared Euclidean distances D = d^2 it is the classical Ward
// criterion (least increase of WSS).  adegenet's find.clusters calls
// hclust(dist(x)^2, "ward.D2"), which squares its input again: the recurrence
// then runs on D = d^4, and WardInput::kAdegenet reproduces it.
//
// Clusters are numbered 0..K-1 in the order of their first individual.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "clusters/principal_components.hpp"

namespace bandscape {

enum class ClusterMethod { kKMeans, kWard };
enum class WardInput {
  kAdegenet,          // D = d^4, as find.clusters(method = "ward")
  kSquaredEuclidean,  // D = d^2, the classical Ward criterion
};

struct ClusterSettings {
  ClusterMethod method = ClusterMethod::kKMeans;
  WardInput ward_input = WardInput::kAdegenet;
  int max_clusters = 10;    // Kmax, at most the number of individuals
  int starts = 50;          // K-means starts per K
  int given_clusters = 0;   // 0: the lowest BIC; otherwise this K (Kmax raised to it if needed)
  std::uint64_t seed = 0;   // the run's seed for the clusters
  int threads = 1;          // 0: one per core
};

struct ClusterSolution {
  int k = 0;
  double wss = 0.0;
  double bic = 0.0;          // NaN when WSS is 0
  std::vector<int> cluster;  // per individual, 0..k-1
  std::vector<double> centres;  // k x dimensions, row after row: the cluster means
};

struct ClusterResult {
  int individuals = 0;
  int dimensions = 0;
  std::vector<ClusterSolution> solutions;  // K = 1..Kmax, in order
  int chosen = 0;                          // the chosen K (0 without individuals)
  int lowest_bic = 0;                      // the K of the lowest BIC (0 when no BIC is defined)
  int given = 0;                           // the K asked for; 0: the chosen K is that of the lowest BIC
  std::vector<std::string> warnings;

  const ClusterSolution& chosen_solution() const { return solutions[static_cast<std::size_t>(chosen - 1)]; }
};

// points: individuals x dimensions, row after row.  Throws
// std::invalid_argument for a size mismatch, Kmax < 1 or starts < 1.
ClusterResult find_clusters(const std::vector<double>& points, int individuals, int dimensions,
                            const ClusterSettings& settings);

// The same on the retained principal component scores.
ClusterResult find_clusters(const PrincipalComponents& pca, const ClusterSettings& settings);

// N ln(wss / N) + k ln N; NaN when wss is not positive.
double cluster_bic(double wss, int k, int individuals);

// Sum over individuals of the squared distance to the mean of its cluster
// (labels 0..k-1).
double within_sum_of_squares(const std::vector<double>& points, int dimensions, const std::vector<int>& cluster,
                             int k);

// The default Kmax: 10, or the number of individuals when smaller.
inline constexpr int kDefaultMaxClusters = 10;
inline int default_max_clusters(int individuals) {
  return individuals < kDefaultMaxClusters ? individuals : kDefaultMaxClusters;
}

}  // namespace bandscape
