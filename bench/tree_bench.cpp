// Neighbour joining and UPGMA on 1,000 to 5,000 taxa: distances between
// random points in 5 dimensions (a fixed linear congruential stream), and
// integer distances like the band-difference counts of DArT individuals,
// where the criterion ties often.  The target is the neighbour-joining tree
// of 5,000 individuals in under 10 s on one core.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "tree/distance_trees.hpp"

namespace bandscape {
namespace {

// Points in 5 dimensions; `integer`: the squared distances scaled to 0..~500
// and rounded, so that many pairs share a distance.
DistanceMatrix points_matrix(int n, bool integer = false) {
  std::uint64_t s = 14;
  auto next = [&s] {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(s >> 11) / 9007199254740992.0;
  };
  std::vector<double> x(static_cast<std::size_t>(n) * 5);
  for (double& c : x) c = next();
  DistanceMatrix d(n);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 5; ++k) sum += (x[i * 5 + k] - x[j * 5 + k]) * (x[i * 5 + k] - x[j * 5 + k]);
      d.at(i, j) = integer ? std::round(100.0 * sum) : std::sqrt(sum);
    }
  }
  return d;
}

void BM_NeighborJoining(benchmark::State& state) {
  const DistanceMatrix d = points_matrix(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(neighbor_joining(d));
}
BENCHMARK(BM_NeighborJoining)->Arg(1000)->Arg(2000)->Arg(5000)->Unit(benchmark::kSecond)->Iterations(1);

void BM_NeighborJoiningIntegerDistances(benchmark::State& state) {
  const DistanceMatrix d = points_matrix(static_cast<int>(state.range(0)), true);
  for (auto _ : state) benchmark::DoNotOptimize(neighbor_joining(d));
}
BENCHMARK(BM_NeighborJoiningIntegerDistances)->Arg(2000)->Arg(5000)->Unit(benchmark::kSecond)->Iterations(1);

void BM_Upgma(benchmark::State& state) {
  const DistanceMatrix d = points_matrix(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(upgma(d));
}
BENCHMARK(BM_Upgma)->Arg(1000)->Arg(2000)->Arg(5000)->Unit(benchmark::kSecond)->Iterations(1);

void BM_UpgmaIntegerDistances(benchmark::State& state) {
  const DistanceMatrix d = points_matrix(static_cast<int>(state.range(0)), true);
  for (auto _ : state) benchmark::DoNotOptimize(upgma(d));
}
BENCHMARK(BM_UpgmaIntegerDistances)->Arg(5000)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace bandscape
