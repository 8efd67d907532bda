// The autocorrelogram of Smouse & Peakall (1999) with its permutation and
// bootstrap intervals.
#include "spatial/autocorrelation.hpp"

#include <cmath>
#include <limits>
#include <stdexcept>

#include "core/format.hpp"

namespace bandscape {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double ratio(double numerator, double denominator) {
  return denominator != 0.0 ? 2.0 * numerator / denominator : kNaN;
}

}  // namespace

std::vector<double> centred_similarities(const PackedDistances& d) {
  const int n = d.size();
  const auto N = static_cast<std::size_t>(n);
  std::vector<double> row_mean(N, 0.0);
  double grand = 0.0;
  for (int i = 0; i < n; ++i) {
    double sum = 0.0;
    for (int j = 0; j < n; ++j) sum += d(i, j);
    row_mean[static_cast<std::size_t>(i)] = sum / n;
    grand += sum;
  }
  grand /= static_cast<double>(N * N);
  std::vector<double> c(N * N);
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      c[static_cast<std::size_t>(i) * N + j] =
          -0.5 * (d(i, j) - row_mean[static_cast<std::size_t>(i)] - row_mean[static_cast<std::size_t>(j)] + grand);
    }
  }
  return c;
}

Autocorrelation spatial_autocorrelation(const PackedDistances& d, const DistanceClasses& classes,
                                        const SpatialSettings& settings) {
  const int n = d.size();
  const auto N = static_cast<std::size_t>(n);
  if (classes.of_pair.size() != d.pair_count()) throw std::invalid_argument("classes do not match the pairs");
  for (double v : d.values()) {
    if (!std::isfinite(v)) throw std::invalid_argument("a distance between individuals is not a number");
  }
  const int H = classes.count();
  const std::vector<double> c = centred_similarities(d);
  // Per pair: c_ij and c_ii + c_jj.
  std::vector<double> cij(d.pair_count()), cdiag(d.pair_count());
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      const std::size_t p = d.index(i, j);
      cij[p] = c[static_cast<std::size_t>(i) * N + j];
      cdiag[p] = c[static_cast<std::size_t>(i) * (N + 1)] + c[static_cast<std::size_t>(j) * (N + 1)];
    }
  }

  Autocorrelation result;
  result.permutations = std::max(settings.permutations, 0);
  result.bootstraps = std::max(settings.bootstraps, 0);
  std::vector<double> num(static_cast<std::size_t>(H), 0.0), den(static_cast<std::size_t>(H), 0.0);
  for (std::size_t p = 0; p < cij.size(); ++p) {
    const int h = classes.of_pair[p];
    if (h < 0) continue;
    num[static_cast<std::size_t>(h)] += cij[p];
    den[static_cast<std::size_t>(h)] += cdiag[p];
  }
  if (classes.beyond > 0) {
    result.warnings.push_back(format("\n%zu pair%s farther than the last distance class (%g km) %s left out of the "
                                     "autocorrelation",
                                     classes.beyond, classes.beyond == 1 ? "" : "s", classes.upper_km.back(),
                                     classes.beyond == 1 ? "is" : "are"));
  }

  // Permutations of individuals among locations: the pair (i, j) of
  // individuals takes the class of the locations (order^-1) it was moved to;
  // equivalently the locations' pair (i, j) receives individuals order[i],
  // order[j].  The class of every pair of locations is looked up in a square.
  const int count = result.permutations;
  std::vector<double> permuted(static_cast<std::size_t>(H) * static_cast<std::size_t>(count));
  std::vector<double> diagonal(N);
  for (std::size_t i = 0; i < N; ++i) diagonal[i] = c[i * (N + 1)];
  if (count > 0 && n >= 2) {
    for_each_replicate(count, settings.threads, [&](int q) {
      std::vector<int> order(N);
      spatial_permutation(order, settings.seed, SpatialStream::autocorrelation_permutation, q);
      // Four interleaved sets of class sums (pair j goes to set j mod 4), so
      // that successive pairs of one class do not wait on each other.
      const std::size_t stride = static_cast<std::size_t>(H);
      std::vector<double> pn(4 * stride, 0.0), pd(4 * stride, 0.0);
      for (int i = 0; i < n - 1; ++i) {
        const int a = order[static_cast<std::size_t>(i)];
        const double* crow = c.data() + static_cast<std::size_t>(a) * N;
        if (i + 2 < n) {
          const char* next = reinterpret_cast<const char*>(c.data() + static_cast<std::size_t>(order[static_cast<std::size_t>(i + 1)]) * N);
          // Into the second-level cache, without crowding the first.
          for (std::size_t byte = 0; byte < N * sizeof(double); byte += 64) __builtin_prefetch(next + byte, 0, 1);
        }
        const double caa = diagonal[static_cast<std::size_t>(a)];
        const std::int16_t* cls = classes.of_pair.data() + d.index(i, i + 1);
        const int* partner = order.data() + i + 1;
        const int length = n - i - 1;
        for (int j = 0; j < length; ++j) {
          const int h = cls[j];
          if (h < 0) continue;
          const int b = partner[j];
          const std::size_t slot = static_cast<std::size_t>(j & 3) * stride + static_cast<std::size_t>(h);
          pn[slot] += crow[b];
          pd[slot] += caa + diagonal[static_cast<std::size_t>(b)];
        }
      }
      for (int h = 0; h < H; ++h) {
        const auto u = static_cast<std::size_t>(h);
        const double sn = (pn[u] + pn[stride + u]) + (pn[2 * stride + u] + pn[3 * stride + u]);
        const double sd = (pd[u] + pd[stride + u]) + (pd[2 * stride + u] + pd[3 * stride + u]);
        permuted[u * static_cast<std::size_t>(count) + static_cast<std::size_t>(q)] = ratio(sn, sd);
      }
    });
  }

  // Bootstrap over the pairs of each class; the class's values are copied
  // together so that the draws read a block of their own, c_ij beside
  // c_ii + c_jj so that one draw reads one place.
  struct PairTerms {
    double c, diagonal;
  };
  std::vector<std::vector<PairTerms>> class_terms(static_cast<std::size_t>(H));
  for (std::size_t p = 0; p < cij.size(); ++p) {
    const int h = classes.of_pair[p];
    if (h < 0) continue;
    class_terms[static_cast<std::size_t>(h)].push_back({cij[p], cdiag[p]});
  }
  const int B = result.bootstraps;
  std::vector<double> boot(static_cast<std::size_t>(H) * static_cast<std::size_t>(B));
  if (B > 0) {
    for_each_replicate(B, settings.threads, [&](int b) {
      for (int h = 0; h < H; ++h) {
        const auto u = static_cast<std::size_t>(h);
        const std::vector<PairTerms>& terms = class_terms[u];
        double bn = 0.0, bd = 0.0;
        if (!terms.empty()) {
          KeyedStream stream(stream_key(settings.seed, static_cast<std::uint64_t>(SpatialStream::autocorrelation_bootstrap),
                                        static_cast<std::uint64_t>(h), static_cast<std::uint64_t>(b)));
          const auto size = static_cast<std::uint32_t>(terms.size());
          for (std::uint32_t k = 0; k < size; ++k) {
            const PairTerms& drawn = terms[stream.below(size)];
            bn += drawn.c;
            bd += drawn.diagonal;
          }
        }
        boot[u * static_cast<std::size_t>(B) + static_cast<std::size_t>(b)] = terms.empty() ? kNaN : ratio(bn, bd);
      }
    });
  }

  for (int h = 0; h < H; ++h) {
    const auto H_ = static_cast<std::size_t>(h);
    AutocorrelationClass k;
    k.lower_km = classes.lower_km[H_];
    k.upper_km = classes.upper_km[H_];
    k.pairs = classes.pairs[H_];
    k.r = k.pairs == 0 ? kNaN : ratio(num[H_], den[H_]);
    const auto pbegin = permuted.begin() + static_cast<std::ptrdiff_t>(H_ * static_cast<std::size_t>(count));
    const std::vector<double> perm(pbegin, pbegin + count);
    const auto bbegin = boot.begin() + static_cast<std::ptrdiff_t>(H_ * static_cast<std::size_t>(B));
    const std::vector<double> reps(bbegin, bbegin + B);
    k.null_lower = quantile_type7(perm, 0.025);
    k.null_upper = quantile_type7(perm, 0.975);
    k.boot_lower = quantile_type7(reps, 0.025);
    k.boot_upper = quantile_type7(reps, 0.975);
    k.p_value = count > 0 && !std::isnan(k.r) ? one_sided_p_value(k.r, perm, k.r < 0.0) : kNaN;
    result.classes.push_back(k);
  }
  return result;
}

}  // namespace bandscape
