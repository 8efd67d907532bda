// Neighbour joining and UPGMA on 1,000 to 5,000 taxa: distances between
// random points in 5 dimensions (a fixed linear congruential stream), integer
// distances like the band-difference counts of DArT individuals, where the
// criterion ties often, and the individuals' 1 - r distances (Lynch &
// Milligan relatedness) of dominant data generated as population samples,
// the trees a run draws.  The target is the neighbour-joining tree of 5,000
// individuals in under 10 s on one core.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <vector>

#include "numeric/keyed_random.hpp"
#include "stats/relatedness.hpp"
#include "tree/distance_trees.hpp"
#include "tree/run_trees.hpp"

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

// Dominant scores of `populations` samples of `individuals`, `loci` loci and
// 2% missing scores: each locus's null-allele frequency is drawn from
// Beta(1.2, 1.2) and each population's around it from the Balding-Nichols
// distribution with F = 0.1; a band is present unless both alleles are null.
// Returns the 1 - r distances between the individuals.
DistanceMatrix relatedness_matrix(int populations, int individuals, int loci) {
  KeyedStream stream(stream_key(8, 1, 0, 0));
  const auto uniform = [&stream] { return (static_cast<double>(stream.next() >> 11) + 0.5) * 0x1.0p-53; };
  const auto normal = [&] {
    for (;;) {
      const double u = 2.0 * uniform() - 1.0, v = 2.0 * uniform() - 1.0, s = u * u + v * v;
      if (s < 1.0 && s > 0.0) return u * std::sqrt(-2.0 * std::log(s) / s);
    }
  };
  // Marsaglia & Tsang (2000), with the boost for shapes below 1.
  const auto gamma = [&](double shape) {
    const double boost = shape < 1.0 ? std::pow(uniform(), 1.0 / shape) : 1.0;
    const double d = (shape < 1.0 ? shape + 1.0 : shape) - 1.0 / 3.0, c = 1.0 / std::sqrt(9.0 * d);
    for (;;) {
      const double x = normal();
      double v = 1.0 + c * x;
      if (v <= 0.0) continue;
      v = v * v * v;
      if (std::log(uniform()) < 0.5 * x * x + d * (1.0 - v + std::log(v))) return boost * d * v;
    }
  };
  const auto beta = [&](double a, double b) {
    const double x = gamma(a), y = gamma(b);
    return x / (x + y);
  };
  const int ntot = populations * individuals;
  const double shape = (1.0 - 0.1) / 0.1;
  ScoreMatrix scores = score_matrix(0, ntot - 1, 0, loci - 1);
  for (int l = 0; l < loci; ++l) {
    const double q0 = beta(1.2, 1.2);
    for (int k = 0; k < populations; ++k) {
      const double q = beta(q0 * shape, (1.0 - q0) * shape);
      for (int x = k * individuals; x < (k + 1) * individuals; ++x) {
        const bool band = !(uniform() < q && uniform() < q);
        scores[x][l] = uniform() < 0.02 ? 9 : (band ? 1 : 0);
      }
    }
  }
  FVector p = float_vector(0, loci - 1), S = float_vector(0, loci - 1), VarS = float_vector(0, loci - 1);
  compute_overall_freq(scores, ntot, loci, p, S, VarS);
  RelatednessTriangle rel(ntot);
  compute_relatedness(scores, ntot, loci, S, VarS, rel);
  return individual_distances(rel);
}

// 1 - r of 10, 20 and 50 populations of 100 individuals at 500 loci.
const DistanceMatrix& relatedness_sample(int individuals) {
  static std::map<int, DistanceMatrix> made;
  auto it = made.find(individuals);
  if (it == made.end()) it = made.emplace(individuals, relatedness_matrix(individuals / 100, 100, 500)).first;
  return it->second;
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

void BM_NeighborJoiningRelatedness(benchmark::State& state) {
  const DistanceMatrix& d = relatedness_sample(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(neighbor_joining(d));
}
BENCHMARK(BM_NeighborJoiningRelatedness)->Arg(1000)->Arg(2000)->Arg(5000)->Unit(benchmark::kSecond)->Iterations(1);

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

void BM_UpgmaRelatedness(benchmark::State& state) {
  const DistanceMatrix& d = relatedness_sample(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(upgma(d));
}
BENCHMARK(BM_UpgmaRelatedness)->Arg(1000)->Arg(5000)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
}  // namespace bandscape
