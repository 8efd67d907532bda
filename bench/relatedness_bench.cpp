// Relatedness between individuals: the O(ntot^2 m) pair computation and the
// ntot(ntot - 1)-line Table 6, for 2,000 individuals and 1,000 loci.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "numeric/array.hpp"
#include "report/classic/relatedness_report.hpp"
#include "stats/relatedness.hpp"

namespace {

using namespace bandscape;

constexpr int kIndividuals = 2000;
constexpr int kLoci = 1000;
constexpr int kPopulations = 20;

// Deterministic scores: each locus has its own band frequency, about 3% of
// the scores are missing.
ScoreMatrix make_scores(int ntot, int m) {
  ScoreMatrix scores = score_matrix(0, ntot - 1, 0, m - 1);
  std::uint64_t state = 88172645463325252ull;
  auto next = [&state]() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<double>(state >> 11) * (1.0 / 9007199254740992.0);
  };
  FVector freq = float_vector(0, m - 1);
  for (int l = 0; l < m; ++l) freq[l] = static_cast<float>(0.05 + 0.9 * next());
  for (int x = 0; x < ntot; ++x) {
    for (int l = 0; l < m; ++l) {
      scores[x][l] = next() < 0.03 ? 9 : (next() < freq[l] ? 1 : 0);
    }
  }
  return scores;
}

struct Sample {
  ScoreMatrix scores = make_scores(kIndividuals, kLoci);
  FVector p = float_vector(0, kLoci - 1);
  FVector S = float_vector(0, kLoci - 1);
  FVector VarS = float_vector(0, kLoci - 1);
  Sample() { compute_overall_freq(scores, kIndividuals, kLoci, p, S, VarS); }
};

const Sample& sample() {
  static const Sample s;
  return s;
}

// Argument: worker threads (1 is the sequential path); compare wall times.
void BM_ComputeRelatedness(benchmark::State& state) {
  const Sample& s = sample();
  RelatednessTriangle rel(kIndividuals);
  const int threads = static_cast<int>(state.range(0));
  for (auto _ : state) {
    compute_relatedness(s.scores, kIndividuals, kLoci, s.S, s.VarS, rel, threads);
    benchmark::DoNotOptimize(rel.row(0));
  }
  // Locus-pair steps: every pair x < y visits every locus once.
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rel.pair_count()) * kLoci);
}
BENCHMARK(BM_ComputeRelatedness)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// One thread, one kernel, in CPU time, which stays meaningful when other work
// shares the machine: locus-pair steps per second of each inner loop
// ("automatic" names the one it runs in the label; a version the processor
// lacks runs the portable loop and says so).
const char* kernel_name(RelatednessKernel kernel) {
  switch (kernel) {
    case RelatednessKernel::automatic:
      return "automatic";
    case RelatednessKernel::portable:
      return "portable";
    case RelatednessKernel::avx2:
      return "avx2";
    case RelatednessKernel::avx512:
      return "avx512";
  }
  return "";
}

void BM_RelatednessKernel(benchmark::State& state, RelatednessKernel kernel) {
  const Sample& s = sample();
  RelatednessTriangle rel(kIndividuals);
  if (kernel == RelatednessKernel::automatic)
    state.SetLabel(kernel_name(relatedness_automatic_kernel()));
  else if (!relatedness_kernel_available(kernel))
    state.SetLabel("not available: portable");
  for (auto _ : state) {
    compute_relatedness(s.scores, kIndividuals, kLoci, s.S, s.VarS, rel, 1, kernel);
    benchmark::DoNotOptimize(rel.row(0));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rel.pair_count()) * kLoci);
}
BENCHMARK_CAPTURE(BM_RelatednessKernel, automatic, RelatednessKernel::automatic)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_RelatednessKernel, avx512, RelatednessKernel::avx512)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_RelatednessKernel, avx2, RelatednessKernel::avx2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_RelatednessKernel, portable, RelatednessKernel::portable)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_WriteTable6(benchmark::State& state) {
  const Sample& s = sample();
  RelatednessTriangle rel(kIndividuals);
  compute_relatedness(s.scores, kIndividuals, kLoci, s.S, s.VarS, rel);
  NameList names = name_list(1, kPopulations);
  IVector bounds = int_vector(0, kPopulations);
  for (int k = 1; k <= kPopulations; ++k) {
    names[k] = "population_" + std::to_string(k);
    bounds[k] = k * kIndividuals / kPopulations;
  }
  const std::string file = (std::filesystem::temp_directory_path() / "bandscape_bench_table6.txt").string();
  std::int64_t bytes = 0;
  for (auto _ : state) {
    std::remove(file.c_str());
    write_relatedness_table(file, kIndividuals, rel, kPopulations, names, bounds);
    bytes += static_cast<std::int64_t>(std::filesystem::file_size(file));
  }
  std::remove(file.c_str());
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_WriteTable6)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WriteRelatednessMatrices(benchmark::State& state) {
  const Sample& s = sample();
  RelatednessTriangle rel(kIndividuals);
  compute_relatedness(s.scores, kIndividuals, kLoci, s.S, s.VarS, rel);
  const std::string file = (std::filesystem::temp_directory_path() / "bandscape_bench_phylip.txt").string();
  std::int64_t bytes = 0;
  for (auto _ : state) {
    std::remove(file.c_str());
    write_relatedness_matrices(file, kIndividuals, rel);
    bytes += static_cast<std::int64_t>(std::filesystem::file_size(file));
  }
  std::remove(file.c_str());
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_WriteRelatednessMatrices)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
