// Results shared between cells of equal counts, within a call and across calls,
// must be bit-identical to computing every cell on its own.
#include "freq/estimate_cache.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "freq/bayes_estimator.hpp"
#include "test_util.hpp"
#include "freq/sqrt_estimator.hpp"

namespace bandscape {
namespace {

constexpr int kR = 3, kM = 40;

// Counts drawn from a fixed linear congruential sequence: N in 6..12 (one locus
// in ten unscored), X in 0..N, so that equal counts recur as in permuted data.
struct DataSet {
  IMatrix absent = int_matrix(0, kR - 1, 0, kM - 1), scored = int_matrix(1, kR, 1, kM);
  FMatrix fraction = float_matrix(0, kR - 1, 0, kM - 1);
  explicit DataSet(std::uint32_t s) {
    auto next = [&s](int range) { return static_cast<int>(((s = s * 1664525u + 1013904223u) >> 8) % range); };
    for (int j = 0; j < kR; ++j) {
      for (int i = 0; i < kM; ++i) {
        const int n = next(10) == 0 ? 0 : 6 + next(7);
        absent[j][i] = n == 0 ? 0 : next(n + 1);
        scored[j + 1][i + 1] = n;
        fraction[j][i] = n == 0 ? 0.0f : static_cast<float>(static_cast<double>(n - absent[j][i]) / n);
      }
    }
  }
};

// Estimates and variances of one method, concatenated, as raw bytes.
std::string run(int method, float fis, const DataSet& d, CellSharing sharing, EstimateCache* cache) {
  FMatrix est = float_matrix(0, kR - 1, 0, kM - 1), var = float_matrix(0, kR - 1, 0, kM - 1);
  DVector alpha = double_vector(0, kR - 1), beta = double_vector(0, kR - 1);
  testing::RecordingLog log;
  if (method == 2 && cache) compute_freq_allele_sqrt(kR, kM, d.fraction, d.scored, fis, est, var, log, *cache);
  if (method == 2 && !cache) compute_freq_allele_sqrt(kR, kM, d.fraction, d.scored, fis, est, var, log, sharing);
  if (method == 3 && cache) estimate_bayes_uniform_prior(kR, kM, d.absent, fis, d.scored, est, var, log, *cache);
  if (method == 3 && !cache) estimate_bayes_uniform_prior(kR, kM, d.absent, fis, d.scored, est, var, log, sharing);
  if (method == 4) {
    estimate_bayes_fitted_prior(kR, kM, d.absent, fis, d.scored, alpha, beta, est, var, log, sharing);
  }
  std::string bytes(reinterpret_cast<const char*>(est.data()), est.element_count() * sizeof(float));
  bytes.append(reinterpret_cast<const char*>(var.data()), var.element_count() * sizeof(float));
  bytes.append(reinterpret_cast<const char*>(alpha.begin()), kR * sizeof(double));
  return bytes + log.echoed;
}

// Two data sets estimated in turn with one kept cache (as two permutations are),
// against calls with sharing inside the call and with every cell on its own.
class SharedEstimates : public ::testing::TestWithParam<std::tuple<int, float>> {};

TEST_P(SharedEstimates, BitIdenticalToPerCell) {
  const auto [method, fis] = GetParam();
  EstimateCache cache(method, fis);
  for (std::uint32_t seed : {11u, 12u}) {
    const DataSet d(seed);
    const std::string per_cell = run(method, fis, d, CellSharing::kPerCell, nullptr);
    EXPECT_EQ(run(method, fis, d, CellSharing::kShared, nullptr), per_cell);
    if (method != 4) {
      EXPECT_EQ(run(method, fis, d, CellSharing::kShared, &cache), per_cell);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(MethodsAndFis, SharedEstimates,
                         ::testing::Combine(::testing::Values(2, 3, 4), ::testing::Values(0.0f, 0.3f)));

TEST(EstimateCacheUse, RefusesAnotherMethodOrFis) {
  const DataSet d(5u);
  EstimateCache for_sqrt(2, 0.3f);
  EXPECT_THROW(run(3, 0.3f, d, CellSharing::kShared, &for_sqrt), std::invalid_argument);
  EXPECT_THROW(run(2, 0.25f, d, CellSharing::kShared, &for_sqrt), std::invalid_argument);
  EXPECT_EQ(for_sqrt.size(), 0u);
}

// A kept cell whose computation gave a console note (an integral that did not
// converge) shows it again at every reuse, as computing it again would: the
// console must not depend on which cells a worker's cache already holds.
TEST(EstimateCacheUse, ReusedCellRepeatsItsConsoleNotes) {
  CellMemo memo;
  testing::RecordingLog log;
  int computed = 0;
  float e = 0, v = 0;
  for (int absent : {3, 2, 3, 2}) {
    memoised_cell(memo, cell_key(8, absent), log, e, v, [&](MessageLog& out, float& estimate, float& variance) {
      ++computed;
      if (absent == 3) out.console("\ntoo many steps in integration routine qromb");
      estimate = variance = 0.25f * absent;
    });
  }
  EXPECT_EQ(computed, 2);
  EXPECT_EQ(e, 0.5f);
  EXPECT_EQ(log.entries, std::vector<std::string>(2, "C:\ntoo many steps in integration routine qromb"));
}

}  // namespace
}  // namespace bandscape
