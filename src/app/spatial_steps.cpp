// The steps of genetic structure in space (--coordinates, with a results
// folder): the coordinates are read and matched to the data right after the
// data, so that a faulty file stops the run before its long analyses; the
// analyses come after the trees, from the distances the run has computed.
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "app/run_steps.hpp"
#include "core/format.hpp"
#include "freq/frequency_method.hpp"
#include "input/coordinates_file.hpp"
#include "input/genalex_file.hpp"
#include "report/tables/spatial_results.hpp"
#include "spatial/spatial_analysis.hpp"
#include "stats/band_differences.hpp"
#include "stats/distances.hpp"

namespace bandscape {

// A GenAlEx sheet named as its own coordinates file gives them from its X and
// Y columns; any other file is a coordinates file.
static Coordinates coordinates_of(const RunOptions& options, MessageLog& log) {
  const std::string& file = options.coordinates_file;
  std::error_code ignored;
  if (options.genalex && std::filesystem::equivalent(file, options.input_file, ignored)) {
    return sheet_coordinates(read_genalex_file(file, log), file, log);
  }
  return read_coordinates_file(file, log);
}

void read_places(RunState& run) {
  const std::string& file = run.options.coordinates_file;
  const Coordinates coordinates = coordinates_of(run.options, run.log);
  const Dataset& data = run.data;
  const bool individuals = coordinates.level == CoordinateLevel::individuals;
  std::vector<std::string> names;
  if (individuals) {
    names = data.individual_names;
  } else {
    names.assign(data.population_names.begin(), data.population_names.end());
  }
  const MatchedLocations matched = match_locations(coordinates, names, file);
  for (const std::string& warning : matched.warnings) run.warn(WarningSource::kSpace, warning, "\nWARNING! ");
  if (!matched.complete) {
    run.warn(WarningSource::kSpace, matched.skipped, "\nWARNING! ");
    return;
  }
  RunState::Places places;
  places.kind = coordinates.kind;
  if (individuals) {
    places.individuals = matched.locations;
    std::vector<int> sizes;
    for (int j = 1; j <= data.populations; ++j) sizes.push_back(data.population_bounds[j] - data.population_bounds[j - 1]);
    places.populations = population_means(places.individuals, sizes);
    places.population_means = true;
  } else {
    places.populations = matched.locations;
  }
  run.places = std::move(places);
}

namespace {

// A stored 1..r upper triangle as the packed distances 0..r-1 of `value`.
template <class Value>
PackedDistances packed(int r, Value value) {
  PackedDistances d(r);
  for (int a = 0; a < r; ++a) {
    for (int b = a + 1; b < r; ++b) d.upper(a, b) = value(a, b);
  }
  return d;
}

// The populations' genetic distances that the Mantel tests take: Nei's
// distance, Fst / (1 - Fst) (Rousset 1997), Reynolds' distance and PhiPT /
// (1 - PhiPT), NaN where a value is undefined.
std::vector<GeneticMatrix> population_matrices(const RunState& run) {
  const int r = run.populations();
  std::vector<GeneticMatrix> matrices;
  if (r < 2 || run.results_nei.empty()) return matrices;
  const FMatrix& nei = run.results_nei;
  const FMatrix& fst = run.pairwise_fst;
  const auto linearised = [](double x) { return x < 1.0 ? x / (1.0 - x) : std::nan(""); };
  matrices.push_back({"nei", packed(r, [&](int a, int b) { return distance_value(nei[a + 1][b + 1]); })});
  matrices.push_back(
      {"fst_linearised", packed(r, [&](int a, int b) { return linearised(distance_value(fst[a + 1][b + 1])); })});
  matrices.push_back({"reynolds", packed(r, [&](int a, int b) { return reynolds_distance(fst[a + 1][b + 1]); })});
  if (run.amova && run.amova->pairs) {
    const PairwisePhiPT& phi = *run.amova->pairs;
    matrices.push_back({"phipt_linearised", packed(r, [&](int a, int b) { return linearised(phi.phi_pt(a, b)); })});
  }
  return matrices;
}

// The kinship's inbreeding coefficient: the run's Fis, 0 for the method that
// assumes none and for a Fis outside 0..1 (said so).
double kinship_fis(RunState& run) {
  const RunOptions& options = run.options;
  if (options.method == kFragmentFrequencies) return 0.0;
  if (options.fis >= 0.0f && options.fis < 1.0f) return options.fis;
  run.warn(WarningSource::kSpace, format("the kinship takes Fis 0 (the run's Fis %.3f is outside 0 to 1)",
                                         static_cast<double>(options.fis)),
           "\nWARNING! ");
  return 0.0;
}

RunRecord::Json spatial_record(const SpatialAnalysis& a, const RunState& run) {
  RunRecord::Json mantel = RunRecord::Json::array();
  for (const MantelRow& row : a.mantel) {
    mantel.push_back({{"level", row.level}, {"genetic", row.genetic}, {"geographic", row.geographic},
                      {"pairs", row.test.pairs}, {"r", row.test.r}, {"p_value", row.test.p_value}});
  }
  RunRecord::Json section;
  section["coordinates"] = RunRecord::file_entry(run.options.coordinates_file);
  section["mantel_permutations"] = run.command_line.mantel_permutations;
  section["distance_classes"] = run.command_line.distance_classes;
  section["population_locations"] = a.locations_are_means ? "means of the individuals" : "given";
  section["mantel"] = std::move(mantel);
  if (a.kinship) {
    section["kinship"] = {{"b", a.kinship->b}, {"F1", a.kinship->f1}, {"Sp", a.kinship->sp},
                          {"se_Sp", a.kinship->se_sp}, {"p_value", a.kinship->p_value}};
  }
  section["warnings"] = a.warnings;
  return section;
}

}  // namespace

void spatial_structure(RunState& run) {
  if (!run.places) return;
  run.console.print("\n\nStarting the analyses of genetic structure in space...");
  const Dataset& data = run.data;
  const RunState::Places& places = *run.places;
  SpatialData input;
  input.kind = places.kind;
  input.population_locations = places.populations;
  input.locations_are_means = places.population_means;
  input.population_matrices = population_matrices(run);
  std::optional<BandDifferences> differences;
  if (!places.individuals.empty()) {
    input.individual_locations = places.individuals;
    if (!run.amova) {
      differences = band_differences(data.band_scores, data.individuals, data.loci, run.command_line.threads,
                                     run.command_line.amova_missing_millionths);
    }
    input.band_differences = run.amova ? &run.amova->differences.distances : &differences->distances;
    input.scores = &data.band_scores;
    input.m = data.loci;
    input.fis = kinship_fis(run);
  }
  input.class_limits = run.command_line.distance_classes;
  input.mantel_permutations = run.command_line.mantel_permutations;
  input.seed = run.seed;
  input.threads = run.command_line.threads;
  const SpatialAnalysis analysis = analyse_space(input);
  for (const std::string& warning : analysis.warnings) run.warn(WarningSource::kSpace, warning, "\nWARNING! ");
  run.summary.sections.push_back(
      write_spatial_results(run.files.results, analysis, run.population_list, data.individual_names));
  run.record.add_section("spatial", spatial_record(analysis, run));
  run.record.step("spatial");
}

}  // namespace bandscape
