// Distance classes from given limits or of equal numbers of pairs.
#include "spatial/distance_classes.hpp"

#include <algorithm>
#include <stdexcept>

namespace bandscape {

int DistanceClasses::class_of(double km) const {
  const int last = count() - 1;
  if (last < 0 || km > upper_km.back()) return -1;
  // The first class whose upper limit exceeds km; the last class is closed.
  const auto it = std::upper_bound(upper_km.begin(), upper_km.end(), km);
  const int h = static_cast<int>(it - upper_km.begin());
  return std::min(h, last);
}

namespace {

DistanceClasses assign(const PackedDistances& km, std::vector<double> lower, std::vector<double> upper) {
  DistanceClasses c;
  c.lower_km = std::move(lower);
  c.upper_km = std::move(upper);
  c.pairs.assign(c.upper_km.size(), 0);
  c.of_pair.resize(km.values().size());
  for (std::size_t p = 0; p < km.values().size(); ++p) {
    const int h = c.class_of(km.values()[p]);
    c.of_pair[p] = static_cast<std::int16_t>(h);
    if (h < 0) {
      ++c.beyond;
    } else {
      ++c.pairs[static_cast<std::size_t>(h)];
    }
  }
  return c;
}

}  // namespace

DistanceClasses distance_classes(const PackedDistances& km, const std::vector<double>& upper_limits) {
  if (upper_limits.empty() || upper_limits.size() > 1000) throw std::invalid_argument("1 to 1000 class limits");
  std::vector<double> lower{0.0};
  for (std::size_t h = 0; h < upper_limits.size(); ++h) {
    if (!(upper_limits[h] > lower.back()) || (h > 0 && !(upper_limits[h] > upper_limits[h - 1])))
      throw std::invalid_argument("class limits must be positive and increasing");
    if (h + 1 < upper_limits.size()) lower.push_back(upper_limits[h]);
  }
  return assign(km, lower, upper_limits);
}

DistanceClasses equal_count_classes(const PackedDistances& km, int count) {
  std::vector<double> sorted = km.values();
  std::sort(sorted.begin(), sorted.end());
  const std::size_t P = sorted.size();
  if (count > 1000) throw std::invalid_argument("at most 1000 distance classes");
  if (P == 0 || count < 1) return assign(km, {}, {});
  std::vector<double> starts;
  for (int h = 0; h < count; ++h) {
    const double start = h == 0 ? 0.0 : sorted[static_cast<std::size_t>(h) * P / static_cast<std::size_t>(count)];
    if (starts.empty() || start > starts.back()) starts.push_back(start);
  }
  // A class starting at the largest distance would hold only the pairs at it
  // when the last class is closed; it is kept only if the previous one ends
  // below it.
  std::vector<double> upper(starts.begin() + 1, starts.end());
  upper.push_back(sorted.back());
  if (upper.size() >= 2 && upper[upper.size() - 2] == upper.back()) {
    upper.pop_back();
    starts.pop_back();
  }
  return assign(km, starts, upper);
}

}  // namespace bandscape
