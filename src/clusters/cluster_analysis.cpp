#include "clusters/cluster_analysis.hpp"

#include <algorithm>
#include <cstdint>

#include "numeric/keyed_random.hpp"

namespace bandscape {

namespace {

// The cluster streams are keyed by stream_key(run seed, this tag, 0, 0)
// ("CLUST" in ASCII), apart from those of every other analysis.
constexpr std::uint64_t kClusterStreamTag = 0x434C555354ULL;

void add_warnings(const std::vector<std::string>& from, std::vector<std::string>& to) {
  for (const std::string& w : from) to.push_back(w.substr(std::min(w.find_first_not_of('\n'), w.size())));
}

}  // namespace

ClusterAnalysis analyse_clusters(const BandProfiles& profiles, const std::vector<int>& population_sizes,
                                 const ClusterOptions& options, long seed, int threads) {
  ClusterAnalysis a;
  const int n = profiles.individuals;
  a.components = principal_components(profiles, {options.cluster_components, 0.9, threads});
  add_warnings(a.components.warnings, a.warnings);

  ClusterSettings settings;
  settings.method = options.method;
  settings.max_clusters = options.max_clusters > 0 ? std::min(options.max_clusters, n) : default_max_clusters(n);
  settings.starts = options.starts;
  settings.given_clusters = options.given_clusters;
  settings.seed = stream_key(static_cast<std::uint64_t>(seed), kClusterStreamTag, 0, 0);
  settings.threads = threads;
  a.clusters = find_clusters(a.components, settings);
  add_warnings(a.clusters.warnings, a.warnings);

  // The discriminant analysis takes its own number of components.
  const int dapc_components = options.dapc_components > 0 ? options.dapc_components : default_dapc_components(n);
  const PrincipalComponents dapc_pca = dapc_components == a.components.components
                                           ? a.components
                                           : principal_components(profiles, {dapc_components, 0.9, threads});
  std::vector<int> population;
  for (std::size_t p = 0; p < population_sizes.size(); ++p) {
    population.insert(population.end(), static_cast<std::size_t>(population_sizes[p]), static_cast<int>(p));
  }
  const int groups = static_cast<int>(population_sizes.size());
  if (groups >= 2) {
    a.populations_dapc = dapc(dapc_pca, population, groups, {dapc_components, 0});
    add_warnings(a.populations_dapc.warnings, a.warnings);
  }
  if (a.clusters.chosen >= 2) {
    a.clusters_dapc = dapc(dapc_pca, a.clusters.chosen_solution().cluster, a.clusters.chosen, {dapc_components, 0});
    add_warnings(a.clusters_dapc->warnings, a.warnings);
  }
  a.assignment = assignment_test(profiles, population_sizes, threads);
  add_warnings(a.assignment.warnings, a.warnings);
  return a;
}

}  // namespace bandscape
