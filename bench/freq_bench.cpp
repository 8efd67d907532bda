// Allele-frequency estimation on 40 populations x 1,000 loci x 25 individuals,
// every method, Fis 0 and 0.3, with results shared between cells of equal
// counts and with every cell computed on its own.
#include <benchmark/benchmark.h>

#include <random>

#include "freq/band_counts.hpp"
#include "freq/bayes_estimator.hpp"
#include "freq/sqrt_estimator.hpp"

namespace bandscape {
namespace {

constexpr int kPopulations = 40;
constexpr int kLoci = 1000;
constexpr int kPerPopulation = 25;

struct DiscardLog : MessageLog {
  void echo(const std::string&) override {}
  void append(const std::string&) override {}
  void console(const std::string&) override {}
};

// Band scores with a band-present frequency per population and locus drawn
// around a locus mean, and 2% missing scores; then the counts of the reader
// and the fragment frequencies.
struct Data {
  int r = kPopulations, m = kLoci, ntot = kPopulations * kPerPopulation;
  ScoreMatrix scores = score_matrix(0, ntot - 1, 0, m - 1);
  IVector bounds = int_vector(0, r);
  IMatrix scored = int_matrix(1, r, 1, m);
  IMatrix absent = int_matrix(0, r - 1, 0, m - 1);
  FMatrix fraction = float_matrix(0, r - 1, 0, m - 1);
  FMatrix fraction_var = float_matrix(0, r - 1, 0, m - 1);
  Data() {
    std::mt19937 gen(20240601u);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int j = 0; j <= r; ++j) bounds[j] = j * kPerPopulation;
    for (int i = 0; i < m; ++i) {
      const double locus_mean = 0.05 + 0.9 * u(gen);
      for (int j = 0; j < r; ++j) {
        double p = locus_mean + 0.2 * (u(gen) - 0.5);
        p = p < 0.0 ? 0.0 : (p > 1.0 ? 1.0 : p);
        for (int k = bounds[j]; k < bounds[j + 1]; ++k) {
          scores[k][i] = u(gen) < 0.02 ? 9 : (u(gen) < p ? 1 : 0);
          if (scores[k][i] != 9) ++scored[j + 1][i + 1];
        }
      }
    }
    DiscardLog log;
    compute_freq_frag(r, scores, bounds, m, fraction, scored, absent, fraction_var, log);
  }
};

const Data& data() {
  static const Data d;  // built once, read only
  return d;
}

CellSharing sharing_of(const benchmark::State& state) {
  return state.range(1) ? CellSharing::kShared : CellSharing::kPerCell;
}
float fis_of(const benchmark::State& state) { return static_cast<float>(state.range(0)) / 10.0f; }

void BM_FragmentFrequencies(benchmark::State& state) {
  const Data& d = data();
  FMatrix f = float_matrix(0, d.r - 1, 0, d.m - 1), v = float_matrix(0, d.r - 1, 0, d.m - 1);
  IMatrix x = int_matrix(0, d.r - 1, 0, d.m - 1);
  DiscardLog log;
  for (auto _ : state) {
    compute_freq_frag(d.r, d.scores, d.bounds, d.m, f, d.scored, x, v, log);
    benchmark::DoNotOptimize(f.data());
  }
}
BENCHMARK(BM_FragmentFrequencies)->Unit(benchmark::kMillisecond);

void BM_SquareRoot(benchmark::State& state) {
  const Data& d = data();
  FMatrix est = float_matrix(0, d.r - 1, 0, d.m - 1), var = float_matrix(0, d.r - 1, 0, d.m - 1);
  DiscardLog log;
  for (auto _ : state) {
    compute_freq_allele_sqrt(d.r, d.m, d.fraction, d.scored, fis_of(state), est, var, log, sharing_of(state));
    benchmark::DoNotOptimize(est.data());
  }
}
BENCHMARK(BM_SquareRoot)->ArgsProduct({{0, 3}, {0, 1}})->ArgNames({"fis10", "shared"})->Unit(benchmark::kMillisecond);

void BM_BayesUniform(benchmark::State& state) {
  const Data& d = data();
  FMatrix est = float_matrix(0, d.r - 1, 0, d.m - 1), var = float_matrix(0, d.r - 1, 0, d.m - 1);
  DiscardLog log;
  for (auto _ : state) {
    estimate_bayes_uniform_prior(d.r, d.m, d.absent, fis_of(state), d.scored, est, var, log, sharing_of(state));
    benchmark::DoNotOptimize(est.data());
  }
}
BENCHMARK(BM_BayesUniform)->ArgsProduct({{0, 3}, {0, 1}})->ArgNames({"fis10", "shared"})->Unit(benchmark::kMillisecond);

void BM_BayesNonUniform(benchmark::State& state) {
  const Data& d = data();
  FMatrix est = float_matrix(0, d.r - 1, 0, d.m - 1), var = float_matrix(0, d.r - 1, 0, d.m - 1);
  DVector alpha = double_vector(0, d.r - 1), beta = double_vector(0, d.r - 1);
  DiscardLog log;
  for (auto _ : state) {
    estimate_bayes_fitted_prior(d.r, d.m, d.absent, fis_of(state), d.scored, alpha, beta, est, var, log,
                                sharing_of(state));
    benchmark::DoNotOptimize(est.data());
  }
}
BENCHMARK(BM_BayesNonUniform)
    ->ArgsProduct({{0, 3}, {0, 1}})
    ->ArgNames({"fis10", "shared"})
    ->Unit(benchmark::kMillisecond);

// Repeated calls with one cache kept across them, as over permutations: after
// the first call every cell is a lookup.
void BM_CachedAcrossCalls(benchmark::State& state) {
  const Data& d = data();
  const int method = static_cast<int>(state.range(0));
  FMatrix est = float_matrix(0, d.r - 1, 0, d.m - 1), var = float_matrix(0, d.r - 1, 0, d.m - 1);
  DiscardLog log;
  EstimateCache cache(method, 0.3f);
  for (auto _ : state) {
    if (method == 2) {
      compute_freq_allele_sqrt(d.r, d.m, d.fraction, d.scored, 0.3f, est, var, log, cache);
    } else {
      estimate_bayes_uniform_prior(d.r, d.m, d.absent, 0.3f, d.scored, est, var, log, cache);
    }
    benchmark::DoNotOptimize(est.data());
  }
}
BENCHMARK(BM_CachedAcrossCalls)->Arg(2)->Arg(3)->ArgName("method")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bandscape
