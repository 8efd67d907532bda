// Results shared between cells of equal counts, within a call and across calls,
// must be bit-identical to computing every cell on its own.
#include "freq/estimate_cache.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "freq/bayes_estimator.hpp"
#include "freq/recording_log.hpp"
#include "freq/sqrt_estimator.hpp"

namespace bandscape {
namespace {

// Counts of r populations x m loci drawn from a fixed linear congruential
// sequence: N in 6..12 (some loci unscored), X in 0..N with repeats, as
// permuted data sets produce them.
struct DataSet {
  int r, m;
  IMatrix absent, scored;
  FMatrix fraction;
  DataSet(int r_, int m_, std::uint32_t seed)
      : r(r_), m(m_), absent(imatrix(0, r_ - 1, 0, m_ - 1)), scored(imatrix(1, r_, 1, m_)),
        fraction(matrix(0, r_ - 1, 0, m_ - 1)) {
    std::uint32_t s = seed;
    auto next = [&s](int range) {
      s = s * 1664525u + 1013904223u;
      return static_cast<int>((s >> 8) % static_cast<std::uint32_t>(range));
    };
    for (int j = 0; j < r; ++j) {
      for (int i = 0; i < m; ++i) {
        const int n = next(10) == 0 ? 0 : 6 + next(7);
        const int x = n == 0 ? 0 : next(n + 1);
        absent[j][i] = x;
        scored[j + 1][i + 1] = n;
        fraction[j][i] = n == 0 ? 0.0f : static_cast<float>(static_cast<double>(n - x) / n);
      }
    }
  }
};

bool same_bits(const FMatrix& a, const FMatrix& b) {
  return a.element_count() == b.element_count() &&
         std::memcmp(a.data(), b.data(), a.element_count() * sizeof(float)) == 0;
}

struct Pair {
  FMatrix est, var;
  explicit Pair(const DataSet& d) : est(matrix(0, d.r - 1, 0, d.m - 1)), var(matrix(0, d.r - 1, 0, d.m - 1)) {}
};

// Two data sets estimated in turn with one kept cache (as two permutations are),
// against plain calls with and without sharing inside the call.
class SharedEstimates : public ::testing::TestWithParam<float> {};

TEST_P(SharedEstimates, SquareRootCachedSharedAndPerCellAgree) {
  const float fis = GetParam();
  EstimateCache cache(2, fis);
  for (std::uint32_t seed : {11u, 12u}) {
    const DataSet d(3, 40, seed);
    Pair per_cell(d), shared(d), cached(d);
    compute_freq_allele_sqrt(d.r, d.m, d.fraction, d.scored, fis, per_cell.est, per_cell.var, CellSharing::kPerCell);
    compute_freq_allele_sqrt(d.r, d.m, d.fraction, d.scored, fis, shared.est, shared.var);
    compute_freq_allele_sqrt(d.r, d.m, d.fraction, d.scored, fis, cached.est, cached.var, cache);
    EXPECT_TRUE(same_bits(per_cell.est, shared.est));
    EXPECT_TRUE(same_bits(per_cell.var, shared.var));
    EXPECT_TRUE(same_bits(per_cell.est, cached.est));
    EXPECT_TRUE(same_bits(per_cell.var, cached.var));
  }
  // At most 7 sample sizes x 13 counts (plus the unscored cell) can be distinct.
  EXPECT_LE(cache.size(), 7u * 13u + 1u);
}

TEST_P(SharedEstimates, UniformPriorCachedSharedAndPerCellAgree) {
  const float fis = GetParam();
  EstimateCache cache(3, fis);
  testing::RecordingLog log;
  for (std::uint32_t seed : {21u, 22u}) {
    const DataSet d(3, 40, seed);
    Pair per_cell(d), shared(d), cached(d);
    compute_freq_allele_Bayes_UNIF(d.r, d.m, d.absent, fis, d.scored, per_cell.est, per_cell.var, log,
                                   CellSharing::kPerCell);
    compute_freq_allele_Bayes_UNIF(d.r, d.m, d.absent, fis, d.scored, shared.est, shared.var, log);
    compute_freq_allele_Bayes_UNIF(d.r, d.m, d.absent, fis, d.scored, cached.est, cached.var, log, cache);
    EXPECT_TRUE(same_bits(per_cell.est, shared.est));
    EXPECT_TRUE(same_bits(per_cell.var, shared.var));
    EXPECT_TRUE(same_bits(per_cell.est, cached.est));
    EXPECT_TRUE(same_bits(per_cell.var, cached.var));
  }
  EXPECT_EQ(log.echoed, "");
}

TEST_P(SharedEstimates, NonUniformPriorSharedAndPerCellAgree) {
  const float fis = GetParam();
  const DataSet d(3, 40, 31u);
  Pair per_cell(d), shared(d);
  DVector a1 = dvector(0, d.r - 1), b1 = dvector(0, d.r - 1), a2 = dvector(0, d.r - 1), b2 = dvector(0, d.r - 1);
  testing::RecordingLog log;
  compute_freq_allele_Bayes_NONUNIF(d.r, d.m, d.absent, fis, d.scored, a1, b1, per_cell.est, per_cell.var, log,
                                    CellSharing::kPerCell);
  compute_freq_allele_Bayes_NONUNIF(d.r, d.m, d.absent, fis, d.scored, a2, b2, shared.est, shared.var, log);
  EXPECT_TRUE(same_bits(per_cell.est, shared.est));
  EXPECT_TRUE(same_bits(per_cell.var, shared.var));
  for (int j = 0; j < d.r; ++j) {
    EXPECT_EQ(a1[j], a2[j]);
    EXPECT_EQ(b1[j], b2[j]);
  }
}

INSTANTIATE_TEST_SUITE_P(HardyWeinbergAndInbred, SharedEstimates, ::testing::Values(0.0f, 0.3f));

TEST(EstimateCacheUse, RefusesAnotherMethodOrFis) {
  const DataSet d(1, 3, 5u);
  Pair out(d);
  testing::RecordingLog log;
  EstimateCache for_sqrt(2, 0.3f);
  EXPECT_THROW(compute_freq_allele_Bayes_UNIF(1, 3, d.absent, 0.3f, d.scored, out.est, out.var, log, for_sqrt),
               std::invalid_argument);
  EXPECT_THROW(compute_freq_allele_sqrt(1, 3, d.fraction, d.scored, 0.25f, out.est, out.var, for_sqrt),
               std::invalid_argument);
  EXPECT_EQ(for_sqrt.size(), 0u);
}

}  // namespace
}  // namespace bandscape
