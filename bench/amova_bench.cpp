// AMOVA: the band-profile distances and the analysis with 999 permutations
// per test on 500 individuals x 1,000 loci in 20 populations (4 groups), and
// the distances of 2,000 individuals x 5,000 loci; the cost of one
// permutation at 5,000 individuals (12.5 million pairs).  Times are process
// CPU time on one worker thread.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "amova/amova.hpp"
#include "numeric/array.hpp"
#include "numeric/keyed_random.hpp"
#include "stats/band_differences.hpp"

namespace {

using namespace bandscape;

constexpr int kPopulations = 20;

// Deterministic structured scores: each population has its own band
// frequency at each locus around the locus's overall one; 2% missing.
ScoreMatrix make_scores(int ntot, int m) {
  ScoreMatrix scores = score_matrix(0, ntot - 1, 0, m - 1);
  KeyedStream stream(20240615);
  auto next = [&stream]() { return static_cast<double>(stream.next() >> 11) * 0x1.0p-53; };
  std::vector<double> base(static_cast<std::size_t>(m));
  for (double& b : base) b = 0.1 + 0.8 * next();
  std::vector<double> freq(static_cast<std::size_t>(m));
  for (int x = 0; x < ntot; ++x) {
    if (x % (ntot / kPopulations) == 0) {
      for (int l = 0; l < m; ++l) freq[l] = 0.8 * base[l] + 0.2 * next();
    }
    for (int l = 0; l < m; ++l) scores[x][l] = next() < 0.02 ? 9 : (next() < freq[l] ? 1 : 0);
  }
  return scores;
}

AmovaDesign design(int ntot, bool groups) {
  AmovaDesign d;
  d.population_sizes.assign(kPopulations, ntot / kPopulations);
  if (groups) {
    for (int p = 0; p < kPopulations; ++p) d.groups.push_back(p / 5);
  }
  return d;
}

// Arguments: individuals, loci.
void BM_BandDifferences(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0)), m = static_cast<int>(state.range(1));
  const ScoreMatrix scores = make_scores(n, m);
  for (auto _ : state) benchmark::DoNotOptimize(band_differences(scores, n, m, 1));
}
BENCHMARK(BM_BandDifferences)
    ->Args({500, 1000})
    ->Args({2000, 5000})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(3);

// Argument: 0 two levels (two tests: PhiPT and the within component), 1 three
// levels (four tests).  Distances included.
void BM_AmovaWith999Permutations(benchmark::State& state) {
  const int n = 500, m = 1000;
  const ScoreMatrix scores = make_scores(n, m);
  const AmovaDesign d = design(n, state.range(0) == 1);
  for (auto _ : state) {
    const BandDifferences b = band_differences(scores, n, m, 1);
    benchmark::DoNotOptimize(amova(b.distances, d, {999, 12345, 1}));
  }
}
BENCHMARK(BM_AmovaWith999Permutations)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(3);

// All 190 pairs of the 20 populations, 999 permutations each.
void BM_PairwisePhiPT(benchmark::State& state) {
  const int n = 500, m = 1000;
  const ScoreMatrix scores = make_scores(n, m);
  const BandDifferences b = band_differences(scores, n, m, 1);
  const AmovaDesign d = design(n, false);
  for (auto _ : state) benchmark::DoNotOptimize(pairwise_phi_pt(b.distances, d, {999, 12345, 1}));
}
BENCHMARK(BM_PairwisePhiPT)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Iterations(3);

// Argument: permutations (0 or 10) of the two-level analysis of 5,000
// individuals in 20 populations, on integer distances 0..999 (band-difference
// counts) drawn from a fixed stream.  The time of one permutation is the
// difference of the two divided by 10; the counter gives it per pair.
void BM_AmovaPermutationsAt5000(benchmark::State& state) {
  const int n = 5000;
  PackedDistances d(n);
  KeyedStream stream(7);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) d.upper(i, j) = static_cast<double>(stream.next() % 1000);
  }
  const AmovaDesign des = design(n, false);
  const int permutations = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(amova(d, des, {permutations, 12345, 1}));
  state.counters["pairs"] = static_cast<double>(d.pair_count());
}
BENCHMARK(BM_AmovaPermutationsAt5000)
    ->Arg(0)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(1);

// Argument: permutations (0 or 100) of the pairwise PhiPT of 5,000 individuals
// in 50 populations of 100 (1,225 pairs) on the same kind of distances.  The
// counter gives the pairs of individuals one permutation of every population
// pair sums: 1,225 x 2 x 100 x 99 / 2.
void BM_PairwisePhiPTAt5000(benchmark::State& state) {
  const int n = 5000;
  PackedDistances d(n);
  KeyedStream stream(7);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) d.upper(i, j) = static_cast<double>(stream.next() % 1000);
  }
  AmovaDesign des;
  des.population_sizes.assign(50, 100);
  const int permutations = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(pairwise_phi_pt(d, des, {permutations, 12345, 1}));
  state.counters["pairs"] = 1225.0 * 2 * 100 * 99 / 2;
}
BENCHMARK(BM_PairwisePhiPTAt5000)
    ->Arg(0)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(1);

}  // namespace
