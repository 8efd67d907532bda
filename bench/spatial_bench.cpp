// Isolation by distance and spatial structure: the Mantel test of one genetic
// matrix against km with 999 permutations on 2,000 individuals (the case
// bench/mantel_vs_vegan.sh times against vegan::mantel on the same matrices),
// the individual-level set of four tests in one pass, the correlogram, and
// the kinship with its jackknife.  Times are wall-clock (UseRealTime) with the
// worker threads given as the last argument.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "numeric/keyed_random.hpp"
#include "spatial/autocorrelation.hpp"
#include "spatial/geographic_distances.hpp"
#include "spatial/kinship.hpp"
#include "spatial/mantel.hpp"

namespace {

using namespace bandscape;

// The matrices of bench/mantel_vs_vegan.sh, by formula so that R builds the
// same: individual i at x = (37 i mod 1000) / 10, y = (91 i mod 1000) / 10 km;
// genetic distance g_ij = |sin i - sin j| + km_ij / 100.
std::vector<Location> places(int n) {
  std::vector<Location> p;
  for (int i = 0; i < n; ++i) p.push_back({((91 * i) % 1000) / 10.0, ((37 * i) % 1000) / 10.0});
  return p;
}

PackedDistances genetic(const PackedDistances& km) {
  const int n = km.size();
  PackedDistances g(n);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) g.upper(i, j) = std::fabs(std::sin(i) - std::sin(j)) + km(i, j) / 100.0;
  }
  return g;
}

SpatialSettings settings(int permutations, int threads) {
  SpatialSettings s;
  s.permutations = permutations;
  s.bootstraps = permutations;
  s.seed = 42;
  s.threads = threads;
  return s;
}

// Arguments: individuals, threads.
void BM_MantelOneTest(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const PackedDistances km = geographic_distances(places(n), CoordinateKind::planar);
  const PackedDistances g = genetic(km);
  for (auto _ : state) {
    benchmark::DoNotOptimize(mantel_tests({&g}, {km.values()}, settings(999, static_cast<int>(state.range(1)))));
  }
}
BENCHMARK(BM_MantelOneTest)->Args({2000, 1})->Args({2000, 2})->Unit(benchmark::kMillisecond)->UseRealTime();

// Two genetic matrices against km and ln km, with 0-km pairs (individuals
// sharing their site: 10 per site), 999 permutations.
void BM_MantelIndividuals(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<Location> p = places(n);
  for (int i = 0; i < n; ++i) p[static_cast<std::size_t>(i)] = p[static_cast<std::size_t>(i - i % 10)];
  const PackedDistances km = geographic_distances(p, CoordinateKind::planar);
  const PackedDistances g1 = genetic(km), g2 = genetic(genetic(km));
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        isolation_by_distance({&g1, &g2}, km, settings(999, static_cast<int>(state.range(1)))));
  }
}
BENCHMARK(BM_MantelIndividuals)->Args({2000, 2})->Unit(benchmark::kMillisecond)->UseRealTime();

// Ten equal-count classes, 999 permutations and 999 bootstraps.
void BM_Autocorrelation(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const PackedDistances km = geographic_distances(places(n), CoordinateKind::planar);
  const PackedDistances g = genetic(km);
  const DistanceClasses classes = equal_count_classes(km);
  for (auto _ : state) {
    benchmark::DoNotOptimize(spatial_autocorrelation(g, classes, settings(999, static_cast<int>(state.range(1)))));
  }
}
BENCHMARK(BM_Autocorrelation)->Args({2000, 2})->Unit(benchmark::kMillisecond)->UseRealTime();

// Kinship of random scores (2% missing) and the regression with its
// jackknife over loci and 999 permutations.  Arguments: individuals, loci,
// threads.
void BM_Kinship(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0)), m = static_cast<int>(state.range(1));
  const int threads = static_cast<int>(state.range(2));
  ScoreMatrix scores = score_matrix(0, n - 1, 0, m - 1);
  KeyedStream stream(7);
  for (int i = 0; i < n; ++i) {
    for (int l = 0; l < m; ++l) {
      const std::uint32_t u = stream.below(100);
      scores[i][l] = u < 2 ? 9 : (u < 51 ? 1 : 0);
    }
  }
  std::vector<int> loci(static_cast<std::size_t>(m));
  for (int l = 0; l < m; ++l) loci[static_cast<std::size_t>(l)] = l;
  const PackedDistances km = geographic_distances(places(n), CoordinateKind::planar);
  const DistanceClasses classes = equal_count_classes(km);
  for (auto _ : state) {
    const DominantKinship k = dominant_kinship(scores, n, loci, 0.0, threads);
    benchmark::DoNotOptimize(kinship_distance(k, scores, km, classes, settings(999, threads)));
  }
}
BENCHMARK(BM_Kinship)->Args({500, 1000, 2})->Args({2000, 5000, 2})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
