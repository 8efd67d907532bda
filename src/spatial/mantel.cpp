// Mantel tests (Mantel 1967): exact observed statistics in two passes,
// permutations in one pass over the pairs for all matrices at once.
#include "spatial/mantel.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#if defined(__SSE2__)
#include <emmintrin.h>  // two matrices' values side by side
#endif
#if defined(__x86_64__)
#include <immintrin.h>  // four permutations side by side (AVX2)
#endif

#include "core/format.hpp"

namespace bandscape {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A geographic variable centred over its pairs: xc = x - mean x (0 for pairs
// left out), with the weights (1 in, 0 out) when some pairs are left out.
struct CentredVariable {
  std::vector<double> xc;
  std::vector<double> weight;  // empty: every pair takes part
  std::size_t pairs = 0;
  double mean = kNaN;
  double sxx = kNaN;
};

CentredVariable centre(const std::vector<double>& x) {
  CentredVariable v;
  double sum = 0.0;
  for (double value : x) {
    if (std::isnan(value)) continue;
    sum += value;
    ++v.pairs;
  }
  v.mean = v.pairs == 0 ? kNaN : sum / static_cast<double>(v.pairs);
  v.xc.resize(x.size());
  const bool all = v.pairs == x.size();
  if (!all) v.weight.resize(x.size());
  double sxx = 0.0;
  for (std::size_t p = 0; p < x.size(); ++p) {
    const bool in = !std::isnan(x[p]);
    v.xc[p] = in ? x[p] - v.mean : 0.0;
    if (!all) v.weight[p] = in ? 1.0 : 0.0;
    sxx += v.xc[p] * v.xc[p];
  }
  v.sxx = sxx;
  return v;
}

// The statistic of one (genetic, geographic) combination from its sums.
double pearson(double sgx, double sgg, double sxx, std::size_t pairs) {
  if (pairs < 3 || !(sgg > 0.0) || !(sxx > 0.0)) return kNaN;
  return sgx / std::sqrt(sgg * sxx);
}

// The permutations: kBatch of them per pass over the pairs (the geographic
// values read once for all), every genetic matrix and geographic variable of
// the call in the same pass.
constexpr int kBatch = 4;
constexpr int kMostMatrices = 4;
constexpr int kMostVariables = 2;

// A variable with pairs left out (x = 0 there) needs the sum and the sum of
// squares of the permuted genetic values over the pairs it keeps: those over
// all pairs (which a permutation does not change) less those over the pairs
// left out, which are few (pairs at 0 km for ln km).
struct PermutationInput {
  int n = 0, matrices = 0, variables = 0;
  std::vector<float> square;           // the genetic matrices side by side, centred
  std::vector<double> sum, sgg;        // per matrix, the sum and sum of squares of its centred values
  std::vector<float> x[kMostVariables];  // centred geographic values per pair, 0 for a pair left out
  std::vector<std::pair<int, int>> left_out[kMostVariables];  // the pairs (i < j) a variable leaves out
};

// Per permutation of the batch, matrix and variable: the cross products over
// all pairs, and the sum and sum of squares over the pairs left out.
struct BatchSums {
  double values[kBatch][kMostMatrices][kMostVariables][3] = {};
  double* at(int b, int m, int k) { return values[b][m][k]; }
};

// The sums over the pairs a variable leaves out, for each permutation of the
// batch and each matrix.
void left_out_sums(const PermutationInput& in, const std::vector<int> (&order)[kBatch], BatchSums& sums) {
  const auto n = static_cast<std::size_t>(in.n);
  const auto M = static_cast<std::size_t>(in.matrices);
  for (int k = 0; k < in.variables; ++k) {
    for (const auto& [i, j] : in.left_out[k]) {
      for (int b = 0; b < kBatch; ++b) {
        const float* cell = in.square.data() + (static_cast<std::size_t>(order[b][static_cast<std::size_t>(i)]) * n +
                                                static_cast<std::size_t>(order[b][static_cast<std::size_t>(j)])) * M;
        for (std::size_t m = 0; m < M; ++m) {
          const double g = cell[m];
          double* s = sums.at(b, static_cast<int>(m), k);
          s[1] += g;
          s[2] += g * g;
        }
      }
    }
  }
}

// One pass over the pairs row by row for M matrices and K variables, each
// sum taken over j in order within a row and the rows added in order, so a
// matrix's sums do not depend on the others of the call.
template <int M, int K>
void permuted_rows(const PermutationInput& in, const std::vector<int> (&order)[kBatch], BatchSums& sums) {
  const int n = in.n;
  const std::size_t row_bytes = static_cast<std::size_t>(n) * M * sizeof(float);
  for (int i = 0; i < n - 1; ++i) {
    // Pairs (i, i+1..n-1) follow each other from their row's first.
    const std::size_t row_start = static_cast<std::size_t>(i) * (2 * static_cast<std::size_t>(n) - i - 1) / 2;
    const int length = n - i - 1;
    // The rows of the next individual are read in random order: ask for
    // them now (into the second-level cache, without crowding the first),
    // while this one is summed.
    if (i + 2 < n) {
      for (int b = 0; b < kBatch; ++b) {
        const char* next = reinterpret_cast<const char*>(
            in.square.data() + static_cast<std::size_t>(order[b][static_cast<std::size_t>(i + 1)]) * n * M);
        for (std::size_t byte = 0; byte < row_bytes; byte += 64) __builtin_prefetch(next + byte, 0, 1);
      }
    }
    const float* row[kBatch];
    const int* partner[kBatch];
    for (int b = 0; b < kBatch; ++b) {
      row[b] = in.square.data() + static_cast<std::size_t>(order[b][static_cast<std::size_t>(i)]) * n * M;
      partner[b] = order[b].data() + i + 1;
    }
    const float* x[K];
    for (int k = 0; k < K; ++k) x[k] = in.x[k].data() + row_start;
#if defined(__SSE2__)
    if constexpr (M == 2) {
      // Two matrices: a cell's two values are read and widened together, and
      // their products summed side by side (each lane as the scalar code
      // sums it).
      __m128d both[kBatch][K];
      for (int b = 0; b < kBatch; ++b) {
        for (int k = 0; k < K; ++k) both[b][k] = _mm_setzero_pd();
      }
      for (int j = 0; j < length; ++j) {
        __m128d g[kBatch];
        for (int b = 0; b < kBatch; ++b) {
          const float* cell = row[b] + static_cast<std::size_t>(partner[b][j]) * 2;
          g[b] = _mm_cvtps_pd(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(cell))));
        }
        for (int k = 0; k < K; ++k) {
          const __m128d xk = _mm_set1_pd(static_cast<double>(x[k][j]));
          for (int b = 0; b < kBatch; ++b) both[b][k] = _mm_add_pd(both[b][k], _mm_mul_pd(g[b], xk));
        }
      }
      for (int b = 0; b < kBatch; ++b) {
        for (int k = 0; k < K; ++k) {
          double lanes[2];
          _mm_storeu_pd(lanes, both[b][k]);
          sums.at(b, 0, k)[0] += lanes[0];
          sums.at(b, 1, k)[0] += lanes[1];
        }
      }
      continue;
    }
#endif
    double cross[kBatch][M][K] = {};
    for (int j = 0; j < length; ++j) {
      double g[kBatch][M];
      for (int b = 0; b < kBatch; ++b) {
        const float* cell = row[b] + static_cast<std::size_t>(partner[b][j]) * M;
        for (int m = 0; m < M; ++m) g[b][m] = cell[m];
      }
      for (int k = 0; k < K; ++k) {
        const double xk = x[k][j];
        for (int b = 0; b < kBatch; ++b) {
          for (int m = 0; m < M; ++m) cross[b][m][k] += g[b][m] * xk;
        }
      }
    }
    for (int b = 0; b < kBatch; ++b) {
      for (int m = 0; m < M; ++m) {
        for (int k = 0; k < K; ++k) sums.at(b, m, k)[0] += cross[b][m][k];
      }
    }
  }
}

using PermutedRows = void (*)(const PermutationInput&, const std::vector<int> (&)[kBatch], BatchSums&);

// One or two genetic matrices in 16 bits: g = step q + e, |e| <= error,
// each matrix with its own step. The rows read in random order are then
// half the bytes of single precision, and these bytes, brought in from the
// last-level cache, bound the speed.
constexpr int kMostQuantised = 2;

struct QuantisedMatrices {
  int matrices = 0;
  std::vector<std::int16_t> square;  // cell (i, j) of matrix m at (i n + j) M + m
  double step[kMostQuantised] = {};
  double error[kMostQuantised] = {};    // the largest |g - step q|
  double largest[kMostQuantised] = {};  // the largest |g|
};

// No copy (empty square) for more matrices than two or for a matrix of zeros.
QuantisedMatrices quantise(const std::vector<float>& square, int matrices) {
  QuantisedMatrices q;
  if (matrices > kMostQuantised) return q;
  q.matrices = matrices;
  const auto M = static_cast<std::size_t>(matrices);
  for (std::size_t c = 0; c < square.size(); ++c) {
    q.largest[c % M] = std::max(q.largest[c % M], std::fabs(static_cast<double>(square[c])));
  }
  for (std::size_t m = 0; m < M; ++m) {
    // An all-zero (or overflowing) matrix has no step: the float pass alone.
    if (!(q.largest[m] > 0.0) || !std::isfinite(q.largest[m])) return q;
    q.step[m] = q.largest[m] / 32767.0;
  }
  q.square.resize(square.size());
  for (std::size_t c = 0; c < square.size(); ++c) {
    const double g = square[c], step = q.step[c % M];
    const double level = std::clamp(std::nearbyint(g / step), -32767.0, 32767.0);
    q.square[c] = static_cast<std::int16_t>(level);
    q.error[c % M] = std::max(q.error[c % M], std::fabs(g - step * level));
  }
  return q;
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(_WIN32)
#define BANDSCAPE_MANTEL_AVX 1
// The batch's cross products sum q x (in units of each matrix's step), in
// any order: they are only bounded approximations of the single-precision
// sums. Products of a 16-bit integer and a float are exact in double
// precision. (Without AVX2 the single-precision pass alone is faster than
// 16-bit values widened one by one.)

// Partner j's cells in each of the batch's four permuted rows, widened: one
// register of four permutations per matrix (two matrices: a cell's two
// 16-bit values read as one 32-bit word and split).
template <int M>
[[gnu::target("avx2")]] inline void quantised_cells(const std::int16_t* const (&row)[kBatch],
                                                    const int* const (&partner)[kBatch], int j, __m256d (&g)[M]) {
  if constexpr (M == 1) {
    g[0] = _mm256_cvtepi32_pd(
        _mm_set_epi32(row[3][partner[3][j]], row[2][partner[2][j]], row[1][partner[1][j]], row[0][partner[0][j]]));
  } else {
    const auto word = [&](int b) {
      std::int32_t w;
      std::memcpy(&w, row[b] + static_cast<std::size_t>(partner[b][j]) * 2, sizeof w);
      return w;
    };
    const __m128i both = _mm_set_epi32(word(3), word(2), word(1), word(0));
    g[0] = _mm256_cvtepi32_pd(_mm_srai_epi32(_mm_slli_epi32(both, 16), 16));
    g[1] = _mm256_cvtepi32_pd(_mm_srai_epi32(both, 16));
  }
}

// The batch's four permutations side by side in one register per matrix,
// even and odd partners in two sums so that the additions need not wait on
// each other.
template <int M, int K>
[[gnu::target("avx2")]] void quantised_rows_avx(const QuantisedMatrices& q, const PermutationInput& in,
                                               const std::vector<int> (&order)[kBatch], BatchSums& sums) {
  static_assert(kBatch == 4);
  const int n = in.n;
  const std::size_t row_bytes = static_cast<std::size_t>(n) * M * sizeof(std::int16_t);
  for (int i = 0; i < n - 1; ++i) {
    if (i + 2 < n) {
      for (int b = 0; b < kBatch; ++b) {
        const char* next = reinterpret_cast<const char*>(
            q.square.data() + static_cast<std::size_t>(order[b][static_cast<std::size_t>(i + 1)]) * n * M);
        for (std::size_t byte = 0; byte < row_bytes; byte += 64) __builtin_prefetch(next + byte, 0, 1);
      }
    }
    const std::size_t row_start = static_cast<std::size_t>(i) * (2 * static_cast<std::size_t>(n) - i - 1) / 2;
    const int length = n - i - 1;
    const std::int16_t* row[kBatch];
    const int* partner[kBatch];
    for (int b = 0; b < kBatch; ++b) {
      row[b] = q.square.data() + static_cast<std::size_t>(order[b][static_cast<std::size_t>(i)]) * n * M;
      partner[b] = order[b].data() + i + 1;
    }
    const float* x[K];
    for (int k = 0; k < K; ++k) x[k] = in.x[k].data() + row_start;
    __m256d even[M][K], odd[M][K];
    for (int m = 0; m < M; ++m) {
      for (int k = 0; k < K; ++k) even[m][k] = odd[m][k] = _mm256_setzero_pd();
    }
    int j = 0;
    for (; j + 1 < length; j += 2) {
      __m256d g0[M], g1[M];
      quantised_cells<M>(row, partner, j, g0);
      quantised_cells<M>(row, partner, j + 1, g1);
      for (int k = 0; k < K; ++k) {
        const __m256d x0 = _mm256_set1_pd(static_cast<double>(x[k][j]));
        const __m256d x1 = _mm256_set1_pd(static_cast<double>(x[k][j + 1]));
        for (int m = 0; m < M; ++m) {
          even[m][k] = _mm256_add_pd(even[m][k], _mm256_mul_pd(g0[m], x0));
          odd[m][k] = _mm256_add_pd(odd[m][k], _mm256_mul_pd(g1[m], x1));
        }
      }
    }
    if (j < length) {
      __m256d g0[M];
      quantised_cells<M>(row, partner, j, g0);
      for (int k = 0; k < K; ++k) {
        const __m256d x0 = _mm256_set1_pd(static_cast<double>(x[k][j]));
        for (int m = 0; m < M; ++m) even[m][k] = _mm256_add_pd(even[m][k], _mm256_mul_pd(g0[m], x0));
      }
    }
    for (int m = 0; m < M; ++m) {
      for (int k = 0; k < K; ++k) {
        double lanes[kBatch];
        _mm256_storeu_pd(lanes, _mm256_add_pd(even[m][k], odd[m][k]));
        for (int b = 0; b < kBatch; ++b) sums.at(b, m, k)[0] += lanes[b];
      }
    }
  }
}
#endif

using QuantisedRows = void (*)(const QuantisedMatrices&, const PermutationInput&, const std::vector<int> (&)[kBatch],
                               BatchSums&);

// The 16-bit pass where AVX2 runs it, none otherwise.
QuantisedRows pick_quantised_rows(int matrices, int variables) {
#if defined(BANDSCAPE_MANTEL_AVX)
  if (__builtin_cpu_supports("avx2")) {
    if (matrices == 1) return variables == 1 ? quantised_rows_avx<1, 1> : quantised_rows_avx<1, 2>;
    return variables == 1 ? quantised_rows_avx<2, 1> : quantised_rows_avx<2, 2>;
  }
#endif
  (void)matrices;
  (void)variables;
  return nullptr;
}

// How far a cross product of matrix m from the 16-bit sums can lie from the
// single-precision one: error sum |x| for the rounding to 16 bits, and for
// the rounding of each of the two sums over P terms at most 4 P u sum |term|
// (generously: Higham's bound for any order of summation is (P - 1) u).
double cross_product_bound(const QuantisedMatrices& q, int m, const std::vector<float>& x) {
  double absolute = 0.0;
  for (float v : x) absolute += std::fabs(static_cast<double>(v));
  const double rounding = 4.0 * static_cast<double>(x.size()) * std::numeric_limits<double>::epsilon();
  return absolute * (q.error[m] + rounding * (2.0 * q.largest[m] + q.step[m])) * (1.0 + 1e-6);
}

template <int M>
PermutedRows rows_of(int variables) {
  return variables == 1 ? permuted_rows<M, 1> : permuted_rows<M, 2>;
}

PermutedRows pick_rows(int matrices, int variables) {
  switch (matrices) {
    case 1: return rows_of<1>(variables);
    case 2: return rows_of<2>(variables);
    case 3: return rows_of<3>(variables);
    default: return rows_of<4>(variables);
  }
}

// The observed statistics of every matrix against every variable, two passes:
// the genetic mean over the variable's pairs, then the centred sums.
std::vector<MantelTest> observed_tests(const std::vector<const PackedDistances*>& genetic,
                                       const std::vector<CentredVariable>& x, int permutations) {
  const std::size_t M = genetic.size(), K = x.size();
  const std::size_t P = genetic[0]->pair_count();
  std::vector<MantelTest> tests;
  for (std::size_t m = 0; m < M; ++m) {
    const std::vector<double>& g = genetic[m]->values();
    for (std::size_t k = 0; k < K; ++k) {
      const CentredVariable& v = x[k];
      const bool weighted = !v.weight.empty();
      double sum = 0.0;
      for (std::size_t p = 0; p < P; ++p) sum += weighted ? v.weight[p] * g[p] : g[p];
      const double gmean = v.pairs == 0 ? kNaN : sum / static_cast<double>(v.pairs);
      double sgg = 0.0, sgx = 0.0;
      for (std::size_t p = 0; p < P; ++p) {
        if (weighted && v.weight[p] == 0.0) continue;
        const double gc = g[p] - gmean;
        sgg += gc * gc;
        sgx += gc * v.xc[p];
      }
      MantelTest t;
      t.genetic = static_cast<int>(m);
      t.geographic = static_cast<int>(k);
      t.pairs = v.pairs;
      t.r = pearson(sgx, sgg, v.sxx, v.pairs);
      const bool line = v.pairs >= 2 && v.sxx > 0.0;
      t.slope = line ? sgx / v.sxx : kNaN;
      t.intercept = line ? gmean - t.slope * v.mean : kNaN;
      t.p_value = kNaN;
      t.permutations = permutations;
      tests.push_back(t);
    }
  }
  return tests;
}

// The permutations read single-precision copies of the centred values,
// summed in double precision: a permuted r then differs from its value in
// double precision by about 1e-7 / sqrt(pairs), far below the tolerance of
// 1.49e-8 with which it is compared (the identity permutation still counts
// as equal to the observed r).  Halving the bytes halves the traffic of the
// rows read in random order, which bounds the speed.
// One square matrix holds the genetic matrices side by side (cell (i, j)
// of matrix m at (i n + j) M + m), centred by their mean over all pairs
// (permutation invariant), so that a permuted row of all of them is read
// contiguously and each permuted partner once. One or two matrices are
// first read from a 16-bit copy (below), with the single-precision sums as
// the reference its bound refers to.
PermutationInput permutation_input(const std::vector<const PackedDistances*>& genetic,
                                   const std::vector<CentredVariable>& x) {
  const std::size_t M = genetic.size(), K = x.size();
  const int n = genetic[0]->size();
  const std::size_t P = genetic[0]->pair_count();
  PermutationInput in;
  in.n = n;
  in.matrices = static_cast<int>(M);
  in.variables = static_cast<int>(K);
  in.square.assign(static_cast<std::size_t>(n) * n * M, 0.0f);
  in.sum.assign(M, 0.0);
  in.sgg.assign(M, 0.0);
  for (std::size_t m = 0; m < M; ++m) {
    const std::vector<double>& g = genetic[m]->values();
    double sum = 0.0;
    for (double v : g) sum += v;
    const double mean = sum / static_cast<double>(P);
    double sgc = 0.0, sgg = 0.0;
    for (int i = 0; i < n; ++i) {
      for (int j = i + 1; j < n; ++j) {
        const float gc = static_cast<float>(g[genetic[m]->index(i, j)] - mean);
        in.square[(static_cast<std::size_t>(i) * n + j) * M + m] = gc;
        in.square[(static_cast<std::size_t>(j) * n + i) * M + m] = gc;
        sgc += gc;
        sgg += static_cast<double>(gc) * gc;
      }
    }
    in.sum[m] = sgc;
    in.sgg[m] = sgg;
  }
  for (std::size_t k = 0; k < K; ++k) {
    in.x[k].assign(x[k].xc.begin(), x[k].xc.end());
    if (x[k].weight.empty()) continue;
    for (int i = 0; i < n; ++i) {
      for (int j = i + 1; j < n; ++j) {
        if (x[k].weight[genetic[0]->index(i, j)] == 0.0) in.left_out[k].emplace_back(i, j);
      }
    }
  }
  return in;
}

}  // namespace

std::vector<MantelTest> mantel_tests(const std::vector<const PackedDistances*>& genetic,
                                     const std::vector<std::vector<double>>& geographic,
                                     const SpatialSettings& settings) {
  const std::size_t M = genetic.size(), K = geographic.size();
  if (M == 0 || K == 0) return {};
  const int n = genetic[0]->size();
  const std::size_t P = genetic[0]->pair_count();
  for (const PackedDistances* g : genetic) {
    if (g->size() != n) throw std::invalid_argument("genetic matrices of different sizes");
    for (double v : g->values()) {
      if (!std::isfinite(v)) throw std::invalid_argument("a genetic distance is not a number");
    }
  }
  for (const auto& x : geographic) {
    if (x.size() != P) throw std::invalid_argument("a geographic variable does not match the pairs");
  }

  std::vector<CentredVariable> x;
  for (const auto& values : geographic) x.push_back(centre(values));

  std::vector<MantelTest> tests = observed_tests(genetic, x, settings.permutations);
  const int count = settings.permutations;
  if (count <= 0 || n < 3) return tests;

  if (M > kMostMatrices || K > kMostVariables) throw std::invalid_argument("too many matrices for one Mantel call");
  const PermutationInput in = permutation_input(genetic, x);
  const PermutedRows rows = pick_rows(in.matrices, in.variables);
  // One or two matrices: each permuted r first from the 16-bit copy; a
  // permutation whose r that leaves within its bound of the observed r less
  // the tolerance is summed again in single precision, so that every count,
  // and so the P value, is the one of the single-precision sums.
  const QuantisedRows quantised_rows = M <= kMostQuantised ? pick_quantised_rows(in.matrices, in.variables) : nullptr;
  const QuantisedMatrices quantised = quantised_rows ? quantise(in.square, in.matrices) : QuantisedMatrices{};
  const bool use_quantised = !quantised.square.empty();
  double bound[kMostQuantised][kMostVariables] = {};
  for (std::size_t m = 0; use_quantised && m < M; ++m) {
    for (std::size_t k = 0; k < K; ++k) bound[m][k] = cross_product_bound(quantised, static_cast<int>(m), in.x[k]);
  }

  // The centred sum of squares of a permutation's genetic values over the
  // pairs a variable keeps: over all pairs less those left out.
  const auto permuted_squares = [&](const double* sum, std::size_t m, const CentredVariable& v) {
    if (v.weight.empty()) return in.sgg[m];
    const double kept_sum = in.sum[m] - sum[1], kept_squares = in.sgg[m] - sum[2];
    return kept_squares - kept_sum * kept_sum / static_cast<double>(v.pairs);
  };
  const int batches = (count + kBatch - 1) / kBatch;
  const std::size_t T = M * K;
  std::vector<double> permuted(T * static_cast<std::size_t>(count));
  for_each_replicate(batches, settings.threads, [&](int batch) {
    const int q0 = batch * kBatch;
    const int in_batch = std::min(kBatch, count - q0);
    std::vector<int> order[kBatch];
    for (int b = 0; b < kBatch; ++b) {
      order[b].resize(static_cast<std::size_t>(n));
      // A batch short of permutations repeats its first one.
      spatial_permutation(order[b], settings.seed, SpatialStream::mantel, q0 + std::min(b, in_batch - 1));
    }
    BatchSums sums;
    if (use_quantised) {
      quantised_rows(quantised, in, order, sums);
    } else {
      rows(in, order, sums);
    }
    left_out_sums(in, order, sums);
    // The permutations whose r the 16-bit sums leave too close to the
    // observed r less the tolerance to say on which side it falls: these
    // are summed again in single precision.
    bool again[kBatch] = {};
    for (int b = 0; b < in_batch; ++b) {
      for (std::size_t m = 0; m < M; ++m) {
        for (std::size_t k = 0; k < K; ++k) {
          const std::size_t t = m * K + k;
          const double* sum = sums.at(b, static_cast<int>(m), static_cast<int>(k));
          const CentredVariable& v = x[k];
          const double ss = permuted_squares(sum, m, v);
          double& r = permuted[t * static_cast<std::size_t>(count) + static_cast<std::size_t>(q0 + b)];
          if (!use_quantised) {
            r = pearson(sum[0], ss, v.sxx, v.pairs);
            continue;
          }
          r = pearson(quantised.step[m] * sum[0], ss, v.sxx, v.pairs);
          // Against an undefined observed r nothing is counted (P is NA).
          if (std::isnan(r) || std::isnan(tests[t].r)) continue;
          const double within = bound[m][k] / std::sqrt(ss * v.sxx) * (1.0 + 1e-9) + 1e-14 * (1.0 + std::fabs(r));
          const double threshold = tests[t].r - kPermutationTolerance;
          if (!(r - within >= threshold || r + within < threshold)) again[b] = true;
        }
      }
    }
    if (!std::any_of(again, again + in_batch, [](bool a) { return a; })) return;
    // The single-precision sums of a permutation do not depend on the others
    // of its batch: the batch is filled with the first to be summed again.
    std::vector<int> exact_order[kBatch];
    const int first = static_cast<int>(std::find(again, again + in_batch, true) - again);
    for (int b = 0; b < kBatch; ++b) exact_order[b] = order[b < in_batch && again[b] ? b : first];
    BatchSums exact;
    rows(in, exact_order, exact);
    for (int b = 0; b < in_batch; ++b) {
      if (!again[b]) continue;
      for (std::size_t m = 0; m < M; ++m) {
        for (std::size_t k = 0; k < K; ++k) {
          const CentredVariable& v = x[k];
          const double ss = permuted_squares(sums.at(b, static_cast<int>(m), static_cast<int>(k)), m, v);
          permuted[(m * K + k) * static_cast<std::size_t>(count) + static_cast<std::size_t>(q0 + b)] =
              pearson(exact.at(b, static_cast<int>(m), static_cast<int>(k))[0], ss, v.sxx, v.pairs);
        }
      }
    }
  });
  for (std::size_t t = 0; t < tests.size(); ++t) {
    const auto begin = permuted.begin() + static_cast<std::ptrdiff_t>(t * static_cast<std::size_t>(count));
    tests[t].p_value = one_sided_p_value(tests[t].r, std::vector<double>(begin, begin + count));
  }
  return tests;
}

std::vector<double> ln_distances(const PackedDistances& km, std::size_t& zero_pairs) {
  zero_pairs = 0;
  std::vector<double> ln(km.values().size());
  for (std::size_t p = 0; p < ln.size(); ++p) {
    const double d = km.values()[p];
    if (d > 0.0) {
      ln[p] = std::log(d);
    } else {
      ln[p] = kNaN;
      ++zero_pairs;
    }
  }
  return ln;
}

IsolationByDistance isolation_by_distance(const std::vector<const PackedDistances*>& genetic,
                                          const PackedDistances& km, const SpatialSettings& settings) {
  IsolationByDistance result;
  std::size_t zero = 0;
  std::vector<std::vector<double>> geographic{km.values(), ln_distances(km, zero)};
  if (zero > 0) {
    result.warnings.push_back(format("\n%zu pair%s at 0 km %s left out of the Mantel tests against ln(km)", zero,
                                     zero == 1 ? "" : "s", zero == 1 ? "is" : "are"));
  }
  result.tests = mantel_tests(genetic, geographic, settings);
  return result;
}

}  // namespace bandscape
