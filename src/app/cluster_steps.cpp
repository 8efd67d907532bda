// The step of clusters and assignment (--clusters, with a results folder):
// genetic clusters without the population labels, the DAPC and the
// assignment test, from the band scores of the analysed individuals.
#include <string>
#include <vector>

#include "app/run_steps.hpp"
#include "clusters/cluster_analysis.hpp"
#include "report/tables/cluster_results.hpp"

namespace bandscape {

void cluster_structure(RunState& run) {
  run.console.print("\n\nStarting genetic clusters, DAPC and the assignment test...");
  const Dataset& data = run.data;
  std::vector<int> sizes;
  for (int j = 1; j <= data.populations; ++j) sizes.push_back(data.population_bounds[j] - data.population_bounds[j - 1]);
  const ClusterAnalysis analysis =
      analyse_clusters(band_profiles(data.band_scores, data.individuals, data.loci), sizes,
                       run.command_line.cluster_options, run.seed, run.command_line.threads);
  for (const std::string& warning : analysis.warnings) run.warn(WarningSource::kClusters, warning, "\nWARNING! ");
  const std::vector<std::string> loci(run.result_loci.begin(), run.result_loci.end());
  run.summary.sections.push_back(write_cluster_results(run.files.results, analysis, run.population_list,
                                                       data.individual_names, loci, data.population_of));
  const ClusterOptions& o = run.command_line.cluster_options;
  RunRecord::Json section;
  section["method"] = o.method == ClusterMethod::kWard ? "ward" : "kmeans";
  section["components"] = analysis.components.components;
  section["components_by_variance_share"] = analysis.components.by_variance_share;
  section["max_clusters"] = analysis.clusters.solutions.size();
  section["starts"] = o.starts;
  section["chosen_clusters"] = analysis.clusters.chosen;
  section["given_clusters"] = o.given_clusters > 0 ? RunRecord::Json(o.given_clusters) : RunRecord::Json(nullptr);
  section["lowest_bic_clusters"] = analysis.clusters.lowest_bic;
  section["dapc_components"] = analysis.populations_dapc.components;
  section["assignment_correct"] = analysis.assignment.correct;
  section["assignment_individuals"] = analysis.assignment.individuals;
  section["warnings"] = analysis.warnings;
  run.record.add_section("clusters", std::move(section));
  run.record.step("clusters");
}

}  // namespace bandscape
