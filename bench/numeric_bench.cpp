// Micro-benchmarks of the numerical toolkit's inner kernels.
#include <benchmark/benchmark.h>

#include <cmath>

#include "numeric/random.hpp"
#include "numeric/special.hpp"

namespace {

using namespace bandscape;

void BM_UniformRandom(benchmark::State& st) {
  RandomState state;
  state.word = -2436;
  for (auto _ : st) benchmark::DoNotOptimize(uniform_random(state));
  st.SetItemsProcessed(st.iterations());
}
BENCHMARK(BM_UniformRandom);

// One permutation of ntot individuals, reported per element.
void BM_ShuffleRange(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  IVector v = int_vector(0, n - 1);
  fill_identity(v, 0, n - 1);
  RandomState state;
  state.word = -2436;
  for (auto _ : st) {
    shuffle_range(v, 0, n - 1, state);
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * n);
}
BENCHMARK(BM_ShuffleRange)->Arg(100)->Arg(1000)->Arg(100000);

// Posterior moment integrand of the Bayesian estimator with inbreeding:
// g(q) = h^(X+a-1) (1-h)^(N-X+b-1) h', h = (1-F) q^2 + F q.
void BM_QrombBayesIntegrand(benchmark::State& st) {
  const double f = 0.3, x = 5.0, n = 20.0, alpha = 0.5, beta = 1.0;
  auto g = [=](float q) -> double {
    const double h = (1.0 - f) * q * q + f * q;
    const double dh = 2.0 * q * (1.0 - f) + f;
    return std::pow(h, x + alpha - 1.0) * std::pow(1.0 - h, n - x + beta - 1.0) * dh;
  };
  BufferedLog log;
  for (auto _ : st) benchmark::DoNotOptimize(qromb(g, 0.0f, 1.0f, log));
}
BENCHMARK(BM_QrombBayesIntegrand);

void BM_BetaFunction(benchmark::State& st) {
  float z = 5.5f;
  for (auto _ : st) {
    benchmark::DoNotOptimize(z);
    benchmark::DoNotOptimize(beta_function(z, 16.0f));
  }
}
BENCHMARK(BM_BetaFunction);

}  // namespace
