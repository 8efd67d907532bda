// Neighbour joining and UPGMA on 500 to 2,000 taxa: distances between random
// points in 5 dimensions (a fixed linear congruential stream).  The target is
// the neighbour-joining tree of 2,000 individuals in under 10 s of CPU time.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "tree/distance_trees.hpp"

namespace bandscape {
namespace {

DistanceMatrix points_matrix(int n) {
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
      d.at(i, j) = std::sqrt(sum);
    }
  }
  return d;
}

void BM_NeighborJoining(benchmark::State& state) {
  const DistanceMatrix d = points_matrix(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(neighbor_joining(d));
}
BENCHMARK(BM_NeighborJoining)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kSecond)->Iterations(1);

void BM_Upgma(benchmark::State& state) {
  const DistanceMatrix d = points_matrix(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(upgma(d));
}
BENCHMARK(BM_Upgma)->Arg(2000)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace bandscape
