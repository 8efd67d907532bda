// Mantel tests: exact observed statistics in two passes, permutations in one
// pass over the pairs for all matrices at once.
#include "spatial/mantel.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

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

  // Observed statistics, two passes: the genetic mean over the variable's
  // pairs, then the centred sums.
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
      t.permutations = settings.permutations;
      tests.push_back(t);
    }
  }
  const int count = settings.permutations;
  if (count <= 0 || n < 3) return tests;

  // The permutations read single-precision copies of the centred values,
  // summed in double precision: a permuted r then differs from its value in
  // double precision by about 1e-7 / sqrt(pairs), far below the tolerance of
  // 1.49e-8 with which it is compared (the identity permutation still counts
  // as equal to the observed r).  Halving the bytes halves the traffic of the
  // rows read in random order, which bounds the speed.
  // Square matrices centred by their mean over all pairs (permutation
  // invariant), so that permuted rows are read contiguously.
  std::vector<std::vector<float>> square(M);
  std::vector<double> sgg_all(M, 0.0);
  for (std::size_t m = 0; m < M; ++m) {
    const std::vector<double>& g = genetic[m]->values();
    double sum = 0.0;
    for (double v : g) sum += v;
    const double mean = sum / static_cast<double>(P);
    square[m].assign(static_cast<std::size_t>(n) * n, 0.0f);
    double sgg = 0.0;
    for (int i = 0; i < n; ++i) {
      for (int j = i + 1; j < n; ++j) {
        const float gc = static_cast<float>(g[genetic[m]->index(i, j)] - mean);
        square[m][static_cast<std::size_t>(i) * n + j] = gc;
        square[m][static_cast<std::size_t>(j) * n + i] = gc;
        sgg += static_cast<double>(gc) * gc;
      }
    }
    sgg_all[m] = sgg;
  }
  std::vector<std::vector<float>> xf(K), wf(K);
  for (std::size_t k = 0; k < K; ++k) {
    xf[k].assign(x[k].xc.begin(), x[k].xc.end());
    wf[k].assign(x[k].weight.begin(), x[k].weight.end());
  }

  // Two permutations per pass over the pairs (the geographic values are read
  // once for both); permutation q's sums depend on q alone.
  constexpr int kBatch = 2;
  const int batches = (count + kBatch - 1) / kBatch;
  const std::size_t T = M * K;
  std::vector<double> permuted(T * static_cast<std::size_t>(count));
  const std::size_t row_bytes = static_cast<std::size_t>(n) * sizeof(float);
  for_each_replicate(batches, settings.threads, [&](int batch) {
    const int q0 = batch * kBatch;
    const int in_batch = std::min(kBatch, count - q0);
    std::vector<int> order[kBatch];
    for (int b = 0; b < kBatch; ++b) {
      order[b].resize(static_cast<std::size_t>(n));
      // A batch short of permutations repeats its first one.
      spatial_permutation(order[b], settings.seed, SpatialStream::mantel, q0 + std::min(b, in_batch - 1));
    }
    // sums[(b * T + t) * 3 + 0..2]: cross products, sums and sums of squares.
    std::vector<double> sums(kBatch * T * 3, 0.0);
    for (int i = 0; i < n - 1; ++i) {
      const std::size_t row_start = genetic[0]->index(i, i + 1);
      const int length = n - i - 1;
      // The rows of the next individual are read in random order: ask for
      // them now, while this one is summed.
      if (i + 2 < n) {
        for (std::size_t m = 0; m < M; ++m) {
          for (int b = 0; b < kBatch; ++b) {
            const char* next = reinterpret_cast<const char*>(
                square[m].data() + static_cast<std::size_t>(order[b][static_cast<std::size_t>(i + 1)]) * n);
            for (std::size_t byte = 0; byte < row_bytes; byte += 64) __builtin_prefetch(next + byte);
          }
        }
      }
      const int* p0 = order[0].data() + i + 1;
      const int* p1 = order[1].data() + i + 1;
      for (std::size_t m = 0; m < M; ++m) {
        const float* r0 = square[m].data() + static_cast<std::size_t>(order[0][static_cast<std::size_t>(i)]) * n;
        const float* r1 = square[m].data() + static_cast<std::size_t>(order[1][static_cast<std::size_t>(i)]) * n;
        for (std::size_t k = 0; k < K; ++k) {
          const float* xc = xf[k].data() + row_start;
          double* s0 = sums.data() + (0 * T + m * K + k) * 3;
          double* s1 = sums.data() + (1 * T + m * K + k) * 3;
          if (wf[k].empty()) {
            double a0 = 0.0, a1 = 0.0, b0 = 0.0, b1 = 0.0;
            int j = 0;
            for (; j + 2 <= length; j += 2) {
              const double x0 = xc[j], x1 = xc[j + 1];
              a0 += static_cast<double>(r0[p0[j]]) * x0;
              a1 += static_cast<double>(r0[p0[j + 1]]) * x1;
              b0 += static_cast<double>(r1[p1[j]]) * x0;
              b1 += static_cast<double>(r1[p1[j + 1]]) * x1;
            }
            if (j < length) {
              a0 += static_cast<double>(r0[p0[j]]) * xc[j];
              b0 += static_cast<double>(r1[p1[j]]) * xc[j];
            }
            s0[0] += a0 + a1;
            s1[0] += b0 + b1;
          } else {
            const float* w = wf[k].data() + row_start;
            double c0 = 0.0, g0 = 0.0, h0 = 0.0, c1 = 0.0, g1 = 0.0, h1 = 0.0;
            for (int j = 0; j < length; ++j) {
              const double x0 = xc[j], w0 = w[j];
              const double u = r0[p0[j]], v = r1[p1[j]];
              c0 += u * x0;
              g0 += w0 * u;
              h0 += w0 * u * u;
              c1 += v * x0;
              g1 += w0 * v;
              h1 += w0 * v * v;
            }
            s0[0] += c0;
            s0[1] += g0;
            s0[2] += h0;
            s1[0] += c1;
            s1[1] += g1;
            s1[2] += h1;
          }
        }
      }
    }
    for (int b = 0; b < in_batch; ++b) {
      for (std::size_t m = 0; m < M; ++m) {
        for (std::size_t k = 0; k < K; ++k) {
          const std::size_t t = m * K + k;
          const double* sum = sums.data() + (static_cast<std::size_t>(b) * T + t) * 3;
          const CentredVariable& v = x[k];
          const double ss = v.weight.empty() ? sgg_all[m] : sum[2] - sum[1] * sum[1] / static_cast<double>(v.pairs);
          permuted[t * static_cast<std::size_t>(count) + static_cast<std::size_t>(q0 + b)] =
              pearson(sum[0], ss, v.sxx, v.pairs);
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
