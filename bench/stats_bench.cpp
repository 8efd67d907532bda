// Cost of one between-population diversity pass (compute_Hb), the step that the
// permutation test and the bootstrap repeat on every replicate.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "stats/diversity.hpp"
#include "stats/structure.hpp"

namespace bandscape {
namespace {

struct HbInput {
  int r, m;
  IMatrix N;
  FMatrix q, Vq, Hloc, VHloc;
  IVector L;
  FVector Hj, VarHj, VarIHj, VarLHj;
};

// Deterministic frequencies (linear congruential stream); about 2% of the
// population x locus cells have no data.
HbInput make_input(int r, int m) {
  HbInput in{r,
             m,
             int_matrix(1, r, 1, m),
             float_matrix(1, r, 1, m),
             float_matrix(1, r, 1, m),
             float_matrix(1, r, 1, m),
             float_matrix(1, r, 1, m),
             int_vector(1, r),
             float_vector(1, r),
             float_vector(1, r),
             float_vector(1, r),
             float_vector(1, r)};
  std::uint64_t s = 12345;
  auto next = [&s] {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(s >> 11) / 9007199254740992.0;
  };
  for (int j = 1; j <= r; ++j) {
    for (int i = 1; i <= m; ++i) {
      in.N[j][i] = next() < 0.02 ? 0 : 20;
      in.q[j][i] = static_cast<float>(next());
      in.Vq[j][i] = static_cast<float>(0.01 * next());
      if (in.N[j][i] != 0) ++in.L[j];
    }
  }
  BufferedLog log;
  compute_Hj(r, m, in.N, in.q, in.Vq, in.L, in.Hloc, in.VHloc, in.Hj, in.VarHj, in.VarIHj, in.VarLHj, log);
  return in;
}

void BM_compute_Hb(benchmark::State& state) {
  const int r = static_cast<int>(state.range(0));
  const int m = static_cast<int>(state.range(1));
  HbInput in = make_input(r, m);
  FMatrix D = float_matrix(1, r, 1, r), VarD = float_matrix(1, r, 1, r), HbPair = float_matrix(1, r, 1, r);
  IMatrix nPair = int_matrix(1, r, 1, r);
  FVector work = float_vector(1, m);
  float Hb = 0.0f, VarHb = 0.0f;
  BufferedLog log;
  for (auto _ : state) {
    compute_Hb(r, m, in.N, in.q, in.Hloc, D, VarD, HbPair, nPair, Hb, VarHb, work, log);
    benchmark::DoNotOptimize(Hb);
    benchmark::DoNotOptimize(VarHb);
  }
  state.counters["pair_loci"] = benchmark::Counter(static_cast<double>(r) * (r - 1) / 2 * m,
                                                   benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_compute_Hb)->Args({100, 2000})->Args({20, 500})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace bandscape
