#include "spatial/spatial_analysis.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdint>
#include <stdexcept>

#include "core/format.hpp"
#include "numeric/keyed_random.hpp"
#include "spatial/geographic_distances.hpp"

namespace bandscape {

namespace {

// The spatial streams are keyed by stream_key(run seed, this tag, 0, 0)
// ("SPACE" in ASCII), apart from those of every other analysis.
constexpr std::uint64_t kSpatialStreamTag = 0x5350414345ULL;

bool complete(const PackedDistances& d) {
  for (double v : d.values()) {
    if (!std::isfinite(v)) return false;
  }
  return true;
}

std::size_t undefined_pairs(const PackedDistances& d) {
  std::size_t n = 0;
  for (double v : d.values()) n += std::isfinite(v) ? 0 : 1;
  return n;
}

// The warnings of an analysis as sentences of the run's warnings.
void add_warnings(const std::vector<std::string>& from, std::vector<std::string>& to) {
  for (const std::string& w : from) to.push_back(w.substr(std::min(w.find_first_not_of('\n'), w.size())));
}

// The geographic variables of the tests: km, and ln km with the pairs at 0 km
// left out (NaN), with a warning naming how many.
std::vector<std::vector<double>> geographic_variables(const PackedDistances& km, const char* pairs_of,
                                                      std::vector<std::string>& warnings) {
  std::vector<double> ln(km.values().size());
  std::size_t zero = 0;
  for (std::size_t k = 0; k < ln.size(); ++k) {
    const double x = km.values()[k];
    ln[k] = x > 0.0 ? std::log(x) : std::numeric_limits<double>::quiet_NaN();
    zero += x > 0.0 ? 0 : 1;
  }
  if (zero > 0) {
    warnings.push_back(format("%zu pairs of %s at 0 km are left out of the Mantel tests against ln(km)", zero,
                              pairs_of));
  }
  return {km.values(), std::move(ln)};
}

// The Mantel tests of every complete matrix against km and ln km, in the
// order of the matrices; an incomplete matrix is left out with a warning.
// With `decrease`, a matrix is tested for a decrease with distance (kinship):
// its negative is tested and the signs of r, slope and intercept put back.
void mantel_rows(const char* level, const std::vector<const GeneticMatrix*>& matrices,
                 const std::vector<bool>& decrease, const PackedDistances& km, SpatialSettings settings,
                 SpatialAnalysis& out) {
  const std::vector<std::vector<double>> geographic = geographic_variables(km, level, out.warnings);
  const char* const keys[] = {"km", "ln_km"};
  // The complete matrices are tested in one call, so that each permutation
  // is one pass over the pairs for all of them.
  std::vector<std::size_t> tested_of;  // the matrices tested, by their place in the call
  std::vector<PackedDistances> negated;
  negated.reserve(matrices.size());
  std::vector<const PackedDistances*> tested;
  for (std::size_t g = 0; g < matrices.size(); ++g) {
    const GeneticMatrix& matrix = *matrices[g];
    if (!complete(matrix.values)) {
      out.warnings.push_back(format("%s is undefined for %zu pairs of %s: its Mantel tests are left out",
                                    matrix.key.c_str(), undefined_pairs(matrix.values), level));
      continue;
    }
    if (decrease[g]) {
      PackedDistances& minus = negated.emplace_back(matrix.values);
      for (int i = 0; i < minus.size(); ++i) {
        for (int j = i + 1; j < minus.size(); ++j) minus.upper(i, j) = -minus.upper(i, j);
      }
      tested.push_back(&minus);
    } else {
      tested.push_back(&matrix.values);
    }
    tested_of.push_back(g);
  }
  if (tested.empty()) return;
  for (MantelTest test : mantel_tests(tested, geographic, settings)) {
    const std::size_t g = tested_of[static_cast<std::size_t>(test.genetic)];
    test.genetic = static_cast<int>(g);
    if (decrease[g]) {
      test.r = -test.r;
      test.slope = -test.slope;
      test.intercept = -test.intercept;
    }
    out.mantel.push_back({level, matrices[g]->key, keys[test.geographic], test});
  }
}

// The individuals' analyses: Mantel tests of the band differences and the
// kinship, the autocorrelogram, the kinship classes and Sp.
void analyse_individuals(const SpatialData& data, const SpatialSettings& settings, SpatialAnalysis& out) {
  const PackedDistances& km = *out.individual_km;
  const PackedDistances& differences = *data.band_differences;
  const int ntot = differences.size();
  std::vector<int> loci(static_cast<std::size_t>(data.m));
  for (int i = 0; i < data.m; ++i) loci[static_cast<std::size_t>(i)] = i;
  const DominantKinship kinship = dominant_kinship(*data.scores, ntot, loci, data.fis, data.threads);
  const GeneticMatrix band{"band_differences", differences};
  const GeneticMatrix kin{"kinship", kinship.kinship};
  mantel_rows("individuals", {&band, &kin}, {false, true}, km, settings, out);

  const DistanceClasses classes =
      data.class_limits.empty() ? equal_count_classes(km, 10) : distance_classes(km, data.class_limits);
  SpatialSettings class_settings = settings;
  class_settings.permutations = data.class_permutations;
  class_settings.bootstraps = data.bootstraps;
  if (complete(differences)) {
    out.autocorrelation = spatial_autocorrelation(differences, classes, class_settings);
    add_warnings(out.autocorrelation->warnings, out.warnings);
  } else {
    out.warnings.push_back(format("band differences are undefined for %zu pairs of individuals: the spatial "
                                  "autocorrelation is left out",
                                  undefined_pairs(differences)));
  }
  out.kinship = kinship_distance(kinship, *data.scores, km, classes, class_settings);
  add_warnings(out.kinship->warnings, out.warnings);
}

}  // namespace

SpatialAnalysis analyse_space(const SpatialData& data) {
  SpatialAnalysis out;
  out.kind = data.kind;
  out.locations_are_means = data.locations_are_means;
  SpatialSettings settings;
  settings.permutations = data.mantel_permutations;
  settings.seed = stream_key(static_cast<std::uint64_t>(data.seed), kSpatialStreamTag, 0, 0);
  settings.threads = data.threads;

  out.population_km = geographic_distances(data.population_locations, data.kind, data.threads);
  out.population_matrices = data.population_matrices;
  std::vector<const GeneticMatrix*> matrices;
  for (const GeneticMatrix& m : data.population_matrices) matrices.push_back(&m);
  mantel_rows("populations", matrices, std::vector<bool>(matrices.size(), false), out.population_km, settings, out);

  if (!data.individual_locations.empty() && data.band_differences != nullptr && data.scores != nullptr) {
    out.individual_km = geographic_distances(data.individual_locations, data.kind, data.threads);
    analyse_individuals(data, settings, out);
  }
  return out;
}

}  // namespace bandscape
