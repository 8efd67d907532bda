// Jaccard, Dice and simple-matching distances between band profiles.
#include "quality/binary_distances.hpp"

#include <cmath>

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
