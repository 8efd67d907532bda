#include "app/amova_step.hpp"

#include "ordination/ordinations.hpp"
#include "stats/distances.hpp"

namespace bandscape {

AmovaStep amova_step(const std::string& folder, const AmovaData& data, const AmovaLabels& labels,
                     const FMatrix& nei, const FMatrix& fst, int permutations, long seed, int threads,
                     const ChosenDistance* individual_distance) {
  AmovaStep step;
  step.analysis = analyse_amova(data, permutations, seed, threads);
  const AmovaAnalysis& analysis = step.analysis;
  const std::vector<std::string>& names = *labels.populations;
  const int r = static_cast<int>(names.size());
  Ordinations ordinations;
  if (individual_distance) {
    ordinations.individuals = individual_ordination(individual_distance->distances, threads);
    ordinations.individual_distance = std::string("square root of ") + coefficient_title(individual_distance->coefficient);
  } else if (analysis.result) {
    ordinations.individuals = individual_ordination(analysis.differences.distances, threads);
  }
  for (const PopulationDistance which : kPopulationDistances) {
    add_population_ordination(matrix_key(which), matrix_title(which),
                              population_distance_matrix(which, r, nei, fst), names, ordinations);
  }
  if (analysis.pairs) {
    add_population_ordination("phipt", "the pairwise ΦPT", phipt_distances(*analysis.pairs), names, ordinations);
  }
  step.warnings = analysis.warnings;
  step.warnings.insert(step.warnings.end(), ordinations.warnings.begin(), ordinations.warnings.end());
  step.page = write_amova_results(folder, analysis, ordinations, labels);
  return step;
}

}  // namespace bandscape
