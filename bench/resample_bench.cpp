// Cost of the resampling tests on a data set of 20 populations x 20
// individuals x 500 loci: seconds per 1,000 permutations (each method, Fis 0
// and 0.3) and per 1,000 bootstraps, on 1 and 2 threads.  The estimation-only
// runs (band counts and the estimator, no statistics) give, against the full
// permutations, the share of time spent integrating with Fis 0.3.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/run_files.hpp"
#include "freq/bayes_estimator.hpp"
#include "freq/sqrt_estimator.hpp"
#include "resample/bootstrap.hpp"
#include "resample/permutation_test.hpp"
#include "report/classic/bootstrap_files.hpp"
#include "report/classic/permutation_files.hpp"

namespace bandscape {
namespace {

constexpr int kPops = 20, kInds = 20, kLoci = 500;

struct NullLog : MessageLog {
  void echo(const std::string&) override {}
  void append(const std::string&) override {}
  void console(const std::string&) override {}
};

struct Data {
  int r = kPops, m = kLoci, ntot = kPops * kInds;
  ScoreMatrix scores = score_matrix(0, kPops* kInds - 1, 0, kLoci - 1);
  IVector bounds = int_vector(0, kPops);
  IMatrix N = int_matrix(1, kPops, 1, kLoci);
  FMatrix p = float_matrix(0, kPops - 1, 0, kLoci - 1), v = float_matrix(0, kPops - 1, 0, kLoci - 1);
  NameList names = name_list(1, kPops);
};

// Band frequencies per locus drawn around a locus mean with population
// deviations; 2% of the scores missing.  A fixed linear congruential stream.
const Data& data() {
  static const Data d = [] {
    Data d;
    std::uint64_t s = 2024;
    auto next = [&s] {
      s = s * 6364136223846793005ULL + 1442695040888963407ULL;
      return static_cast<double>(s >> 11) / 9007199254740992.0;
    };
    for (int i = 0; i < kLoci; ++i) {
      const double mean = 0.1 + 0.8 * next();
      for (int j = 0; j < kPops; ++j) {
        double f = mean + 0.3 * (next() - 0.5);
        f = f < 0.02 ? 0.02 : (f > 0.98 ? 0.98 : f);
        for (int k = 0; k < kInds; ++k) {
          const int row = j * kInds + k;
          d.scores[row][i] = next() < 0.02 ? 9 : (next() < f ? 1 : 0);
        }
      }
    }
    for (int j = 1; j <= kPops; ++j) {
      d.bounds[j] = j * kInds;
      d.names[j] = "pop" + std::to_string(j);
      for (int i = 1; i <= kLoci; ++i) {
        int scored = 0, present = 0;
        for (int k = d.bounds[j - 1]; k < d.bounds[j]; ++k) {
          scored += d.scores[k][i - 1] < 9;
          present += d.scores[k][i - 1] == 1;
        }
        d.N[j][i] = scored;
        d.p[j - 1][i - 1] = scored ? static_cast<float>(static_cast<double>(present) / scored) : 0.0f;
        d.v[j - 1][i - 1] = scored ? static_cast<float>(d.p[j - 1][i - 1] * (1.0 - d.p[j - 1][i - 1]) / scored) : 0.0f;
      }
    }
    return d;
  }();
  return d;
}

// Side files go to a private folder.
void enter_scratch_folder() {
  static const bool done = [] {
    const auto dir = std::filesystem::temp_directory_path() / ("bandscape_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);
    return true;
  }();
  (void)done;
}

// Args: method, Fis x 10, threads.
void BM_Permutations1000(benchmark::State& state) {
  enter_scratch_folder();
  const Data& d = data();
  const int method = static_cast<int>(state.range(0));
  const float fis = static_cast<float>(state.range(1)) / 10.0f;
  NullLog log;
  RunFiles files = run_files("");
  files.report = "report.txt";
  for (auto _ : state) {
    RandomState random;
    random.word = -2436;
    PermutationResult result = permutation_test_fst(1000, method, d.r, d.m, d.ntot, d.scores, d.bounds, fis, 0.05f,
                                                    random, log, static_cast<int>(state.range(2)));
    write_permutation_files(files, 1000, result, log);
    std::filesystem::remove("report.txt");
  }
}
BENCHMARK(BM_Permutations1000)
    ->ArgNames({"method", "fis10", "threads"})
    ->ArgsProduct({{1, 2, 3, 4}, {0, 3}, {1, 2}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// The band counts and the estimator alone over the same 1,000 permutations
// (one cache kept across them, as in the test).
void BM_PermutationEstimation1000(benchmark::State& state) {
  const Data& d = data();
  const int method = static_cast<int>(state.range(0));
  const float fis = static_cast<float>(state.range(1)) / 10.0f;
  const int r = d.r, m = d.m;
  IVector perm = int_vector(0, d.ntot - 1);
  IMatrix N = int_matrix(1, r, 1, m), X = int_matrix(0, r - 1, 0, m - 1);
  FMatrix f = float_matrix(0, r - 1, 0, m - 1), v = float_matrix(0, r - 1, 0, m - 1),
          e = float_matrix(0, r - 1, 0, m - 1);
  DVector alpha = double_vector(0, r - 1), beta = double_vector(0, r - 1);
  NullLog log;
  for (auto _ : state) {
    EstimateCache cache(method, fis);
    RandomState random;
    random.word = -2436;
    fill_identity(perm, 0, d.ntot - 1);
    for (int i = 0; i < 1000; ++i) {
      shuffle_range(perm, 0, d.ntot - 1, random);
      compute_freq_frag_permuted(r, d.scores, d.bounds, perm, m, N, X, f, v, log);
      if (method == 2) compute_freq_allele_sqrt(r, m, f, N, fis, e, v, log, cache);
      if (method == 3) estimate_bayes_uniform_prior(r, m, X, fis, N, e, v, log, cache);
      if (method == 4) estimate_bayes_fitted_prior(r, m, X, fis, N, alpha, beta, e, v, log);
    }
  }
}
BENCHMARK(BM_PermutationEstimation1000)
    ->ArgNames({"method", "fis10"})
    ->ArgsProduct({{2, 3, 4}, {3}})
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

void BM_Bootstraps1000(benchmark::State& state) {
  enter_scratch_folder();
  const Data& d = data();
  NullLog log;
  const RunFiles files = run_files("");
  for (auto _ : state) {
    RandomState random;
    random.word = -2436;
    BootstrapFiles out(files, d.names, d.r, log);
    bootstrap_distance(1000, d.r, d.m, d.N, d.p, d.v, random, log, static_cast<int>(state.range(0)),
                       [&](int, const FMatrix& nei, const FMatrix& fst) { out.add(nei, fst); });
  }
}
BENCHMARK(BM_Bootstraps1000)->ArgNames({"threads"})->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace bandscape
