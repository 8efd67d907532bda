// The files of clusters and assignment in the results folder: clusters_bic.tsv,
// clusters.tsv, dapc_eigenvalues.tsv, dapc_individuals.tsv,
// dapc_loadings.tsv, assignment.tsv, assignment_rates.tsv, the BIC curve
// (clusters_bic.svg), the individuals on the discriminant functions
// (dapc_scatter.svg, dapc_clusters_scatter.svg), the membership bar plot
// (membership.svg) and the assignment plot (assignment.svg); and the page's
// section "Clusters and assignment".
#pragma once

#include <string>
#include <vector>

#include "clusters/cluster_analysis.hpp"
#include "report/page/summary_page.hpp"

namespace bandscape {

// Names from 0: the populations, the individuals (in row order), the loci;
// population_of: each individual's population.
PageSection write_cluster_results(const std::string& folder, const ClusterAnalysis& analysis,
                                  const std::vector<std::string>& population_names,
                                  const std::vector<std::string>& individual_names,
                                  const std::vector<std::string>& locus_names, const std::vector<int>& population_of);

}  // namespace bandscape
