// One-sided permutation P values, the spatial permutations and quantiles.
#include "spatial/permutations.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace bandscape {

double one_sided_p_value(double observed, const std::vector<double>& permuted, bool lower) {
  if (permuted.empty() || std::isnan(observed)) return std::numeric_limits<double>::quiet_NaN();
  std::size_t k = 0;
  for (double v : permuted) {
    if (lower ? v <= observed + kPermutationTolerance : v >= observed - kPermutationTolerance) ++k;
  }
  return static_cast<double>(k + 1) / static_cast<double>(permuted.size() + 1);
}

void spatial_permutation(std::vector<int>& order, std::uint64_t seed, SpatialStream statistic, int index) {
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  KeyedStream stream(stream_key(seed, static_cast<std::uint64_t>(statistic), 0, static_cast<std::uint64_t>(index)));
  shuffle(order.data(), static_cast<int>(order.size()), stream);
}

double quantile_type7(std::vector<double> values, double p) {
  values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return std::isnan(v); }), values.end());
  if (values.empty()) return std::numeric_limits<double>::quiet_NaN();
  std::sort(values.begin(), values.end());
  const double h = static_cast<double>(values.size() - 1) * p;
  const auto lo = static_cast<std::size_t>(std::floor(h));
  if (lo + 1 >= values.size()) return values.back();
  return values[lo] + (h - static_cast<double>(lo)) * (values[lo + 1] - values[lo]);
}

}  // namespace bandscape
