// Sorting and percentile summaries of resampled values.
#include "numeric/resample_summary.hpp"

#include <cmath>
#include <limits>

#include "core/output_file.hpp"

namespace bandscape {
namespace {

// Strict order for the sort: numbers by value, NaN after every number.
inline bool sorts_after(float x, float v) {
  if (std::isnan(x)) return !std::isnan(v);
  return x > v;
}

// trunc(n * fraction) with n and the fraction in single precision and the
// product exact in double.
inline int truncated_position(float n, float fraction) {
  return static_cast<int>(static_cast<double>(n) * static_cast<double>(fraction));
}

}  // namespace

void shell_sort(unsigned long n, float* a) {
  unsigned long inc = 1;
  do {
    inc = 3 * inc + 1;
  } while (inc <= n);
  do {
    inc /= 3;
    for (unsigned long i = inc + 1; i <= n; ++i) {
      const float v = a[i];
      unsigned long j = i;
      while (sorts_after(a[j - inc], v)) {
        a[j] = a[j - inc];
        j -= inc;
        if (j <= inc) break;
      }
      a[j] = v;
    }
  } while (inc > 1);
}

PercentilePositions percentile_positions(int n) {
  const float nf = static_cast<float>(n);
  PercentilePositions k{};
  k.k025 = truncated_position(nf, 0.025f);
  k.k975 = truncated_position(nf, 0.975f) + 1;
  if (k.k975 > n - 1) k.k975 = n - 1;
  k.k005 = truncated_position(nf, 0.005f);
  k.k995 = truncated_position(nf, 0.995f) + 1;
  if (k.k995 > n - 1) k.k995 = n - 1;
  return k;
}

double permutation_p(int at_least_as_extreme, int permutations) {
  if (permutations <= 0) return std::numeric_limits<double>::quiet_NaN();
  return (static_cast<double>(at_least_as_extreme) + 1.0) / (static_cast<double>(permutations) + 1.0);
}

void resample_summary(FVector& values, int last, ResampleSummary& summary, float observed) {
  const int n = last + 1;
  float* sorted = &values[0];  // sorted[k], k = 0..n-1
  shell_sort(static_cast<unsigned long>(n), sorted - 1);

  const PercentilePositions k = percentile_positions(n);
  summary.lower95 = n >= 40 ? sorted[k.k025] : 0.0f;
  summary.upper95 = n >= 40 ? sorted[k.k975] : 0.0f;
  summary.lower99 = n >= 200 ? sorted[k.k005] : 0.0f;
  summary.upper99 = n >= 200 ? sorted[k.k995] : 0.0f;

  // L: values <= observed, from the smallest up.
  int below = 0;
  while (below < n && sorted[below] <= observed) ++below;
  // G: values >= observed, from the largest number down (NaN sit above it).
  int top = n - 1;
  while (top >= 0 && std::isnan(sorted[top])) --top;
  int above = 0;
  while (top - above >= 0 && sorted[top - above] >= observed) ++above;

  summary.permutations = n;
  summary.at_most = below;
  summary.at_least = above;
  const double denominator = static_cast<double>(n) + 1.0;
  summary.p_low = below == 0 ? 0.0f : static_cast<float>((static_cast<double>(below) + 1.0) / denominator);
  summary.p_high = above == 0 ? 0.0f : static_cast<float>((static_cast<double>(above) + 1.0) / denominator);
}

}  // namespace bandscape
