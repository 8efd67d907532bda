// Clusters and assignment for one run: the principal components of the
// individuals' band profiles, the genetic clusters they form without the
// population labels (K-means or Ward, K by BIC or given; Jombart, Devillard & Balloux
// 2010), the discriminant analysis of principal components on the
// populations and on the clusters found, and the assignment test of each
// individual to the populations (Paetkau et al. 1995; Duchesne & Bernatchez
// 2002).  The value holds every result with its warnings; the writers
// (report/tables/cluster_results) only lay it out.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "clusters/assignment.hpp"
#include "clusters/band_profiles.hpp"
#include "clusters/dapc.hpp"
#include "clusters/genetic_clusters.hpp"
#include "clusters/principal_components.hpp"

namespace bandscape {

struct ClusterOptions {
  int cluster_components = 0;  // principal components of the clustering; 0: those explaining 90% of the variance
  int max_clusters = 0;        // Kmax; 0: 10, or the individuals when fewer
  int given_clusters = 0;      // the K of the clusters and of their DAPC; 0: that of the lowest BIC
  int starts = 50;             // K-means starts per K
  ClusterMethod method = ClusterMethod::kKMeans;
  int dapc_components = 0;     // 0: a third of the individuals
};

struct ClusterAnalysis {
  PrincipalComponents components;  // of the clustering
  ClusterResult clusters;
  Dapc populations_dapc;
  std::optional<Dapc> clusters_dapc;  // when more than one cluster was found
  AssignmentTest assignment;
  std::vector<std::string> warnings;
};

// population_sizes: consecutive individuals of each population; `seed` the
// run's seed.
ClusterAnalysis analyse_clusters(const BandProfiles& profiles, const std::vector<int>& population_sizes,
                                 const ClusterOptions& options, long seed, int threads);

}  // namespace bandscape
