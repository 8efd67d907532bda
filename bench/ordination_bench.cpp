// Cost of the principal coordinates of individuals (distance: square root of
// the number of differing bands over 1,000 loci) on both eigen routes, and of
// the band patterns of 2,000 individuals x 5,000 loci in 20 populations.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bands/band_patterns.hpp"
#include "ordination/pcoa.hpp"

namespace bandscape {
namespace {

// Deterministic 0/1 scores (linear congruential stream); the band frequency of
// an individual's population varies from 0.1 to 0.7 so that the axes separate.
std::vector<int> profiles(int n, int loci, int populations) {
  std::vector<int> x(static_cast<std::size_t>(n) * loci);
  std::uint64_t s = 4242;
  for (int k = 0; k < n; ++k) {
    const double p = 0.1 + 0.6 * (k % populations) / populations;
    for (int l = 0; l < loci; ++l) {
      s = s * 6364136223846793005ULL + 1442695040888963407ULL;
      x[static_cast<std::size_t>(k) * loci + l] = static_cast<double>(s >> 11) / 9007199254740992.0 < p;
    }
  }
  return x;
}

DistanceMatrix band_distances(int n, int loci) {
  const std::vector<int> x = profiles(n, loci, 20);
  DistanceMatrix d(n);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      int differences = 0;
      for (int l = 0; l < loci; ++l) differences += x[i * loci + l] != x[j * loci + l];
      d.at(i, j) = d.at(j, i) = std::sqrt(differences);
    }
  }
  return d;
}

void BM_principal_coordinates(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const auto route = static_cast<EigenRoute>(state.range(1));
  const int threads = static_cast<int>(state.range(2));
  const DistanceMatrix d = band_distances(n, 1000);
  for (auto _ : state) {
    const PrincipalCoordinates pc = principal_coordinates(d, 10, route, threads);
    benchmark::DoNotOptimize(pc.coordinates.data());
  }
}
BENCHMARK(BM_principal_coordinates)
    ->ArgNames({"n", "route", "threads"})
    ->Args({500, static_cast<int>(EigenRoute::kDense), 1})
    ->Args({500, static_cast<int>(EigenRoute::kLeadingAxes), 1})
    ->Args({2000, static_cast<int>(EigenRoute::kDense), 1})
    ->Args({2000, static_cast<int>(EigenRoute::kLeadingAxes), 1})
    ->Args({2000, static_cast<int>(EigenRoute::kLeadingAxes), 2})
    ->Args({5000, static_cast<int>(EigenRoute::kLeadingAxes), 1})
    ->Args({5000, static_cast<int>(EigenRoute::kLeadingAxes), 2})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

void BM_band_patterns(benchmark::State& state) {
  const int n = 2000, m = 5000, r = 20;
  const std::vector<int> x = profiles(n, m, r);
  ScoreMatrix scores = score_matrix(0, n - 1, 0, m - 1);
  IVector bounds = int_vector(0, r);
  FMatrix f = float_matrix(0, r - 1, 0, m - 1);
  for (int j = 0; j <= r; ++j) bounds[j] = j * n / r;
  for (int j = 0; j < r; ++j) {
    for (int k = bounds[j]; k < bounds[j + 1]; ++k) {
      for (int i = 0; i < m; ++i) scores[k][i] = x[static_cast<std::size_t>(k) * m + i];
    }
  }
  for (int k = 0; k < n; ++k) {
    for (int i = 0; i < m; ++i) f[k * r / n][i] += static_cast<float>(scores[k][i]) * r / n;
  }
  for (auto _ : state) benchmark::DoNotOptimize(band_patterns(r, m, scores, bounds, f, f).data());
}
BENCHMARK(BM_band_patterns)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bandscape
