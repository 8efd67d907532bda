// Jaccard, Dice and simple-matching distances between band profiles.
#include "quality/binary_distances.hpp"

#include <cmath>
#include <limits>

namespace bandscape {

BandMatches band_matches(const ScoreTable& table, int i, int j) {
  BandMatches counts;
  const int m = table.locus_count();
  for (int u = 0; u < m; ++u) {
    const std::uint8_t x = table.score(i, u), y = table.score(j, u);
    if (x == kMissingScore || y == kMissingScore) continue;
    if (x == 1 && y == 1) {
      ++counts.both;
    } else if (x == 1) {
      ++counts.first;
    } else if (y == 1) {
      ++counts.second;
    } else {
      ++counts.neither;
    }
  }
  return counts;
}

double binary_distance(const BandMatches& k, BinaryCoefficient coefficient) {
  const double a = k.both, bc = static_cast<double>(k.first) + k.second, d = k.neither;
  double numerator = 0.0, denominator = 0.0;
  switch (coefficient) {
    case BinaryCoefficient::jaccard:
      numerator = a;
      denominator = a + bc;
      break;
    case BinaryCoefficient::dice:
      numerator = 2.0 * a;
      denominator = 2.0 * a + bc;
      break;
    case BinaryCoefficient::simple_matching:
      numerator = a + d;
      denominator = a + bc + d;
      break;
  }
  if (denominator == 0.0) return std::numeric_limits<double>::quiet_NaN();
  // 1 - S as (denominator - numerator) / denominator: exactly 0 for identical profiles.
  return (denominator - numerator) / denominator;
}

DistanceMatrix binary_distances(const ScoreTable& table, BinaryCoefficient coefficient, bool square_root) {
  const int n = table.individual_count();
  DistanceMatrix distances(n);
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      double value = binary_distance(band_matches(table, i, j), coefficient);
      if (square_root) value = std::sqrt(value);
      distances.at(i, j) = value;
      distances.at(j, i) = value;
    }
  }
  return distances;
}

}  // namespace bandscape
