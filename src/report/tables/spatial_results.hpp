// The files of genetic structure in space in the results folder:
// geographic_distances.tsv, mantel.tsv, autocorrelation.tsv,
// kinship_classes.tsv and kinship_sp.tsv, the isolation-by-distance scatters
// of the populations' Mantel tests, the correlogram and the kinship curve; and
// the page's section "Genetic structure in space".
#pragma once

#include <string>
#include <vector>

#include "report/page/summary_page.hpp"
#include "spatial/spatial_analysis.hpp"

namespace bandscape {

// names: the populations (and the individuals, when they were located), from 0.
PageSection write_spatial_results(const std::string& folder, const SpatialAnalysis& analysis,
                                  const std::vector<std::string>& population_names,
                                  const std::vector<std::string>& individual_names);

}  // namespace bandscape
