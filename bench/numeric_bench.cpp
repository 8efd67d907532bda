// Micro-benchmarks of the numerical toolkit's inner kernels.
#include <benchmark/benchmark.h>

#include <cmath>

#include "numeric/special.hpp"

namespace {

using namespace bandscape;

// Posterior moment integrand of the Bayesian estimator with inbreeding:
// g(q) = h^(X+a-1) (1-h)^(N-X+b-1) h', h = (1-F) q^2 + F q.
void BM_QrombBayesIntegrand(benchmark::State& st) {
  const double f = 0.3, x = 5.0, n = 20.0, alpha = 0.5, beta = 1.0;
  auto g = [=](float q) -> double {
    const double h = (1.0 - f) * q * q + f * q;
    const double dh = 2.0 * q * (1.0 - f) + f;
    return std::pow(h, x + alpha - 1.0) * std::pow(1.0 - h, n - x + beta - 1.0) * dh;
  };
  for (auto _ : st) benchmark::DoNotOptimize(qromb(g, 0.0f, 1.0f));
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
