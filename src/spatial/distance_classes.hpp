// Distance classes of pairs of individuals for the correlogram and the
// kinship curve.
//
// Classes are half-open, [lower, upper), the last one closed; the first starts
// at 0 km.  Given upper limits (increasing, positive), pairs beyond the last
// one belong to no class.  By default the limits are chosen so that `count`
// classes hold about equal numbers of pairs: with the P distances sorted,
// class h (1..count) starts at the distance of rank floor((h-1) P / count)
// (from 0) and ends where the next starts; a pair at a limit goes to the class
// above it, and classes left empty by ties are dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "stats/band_differences.hpp"

namespace bandscape {

struct DistanceClasses {
  std::vector<double> lower_km;
  std::vector<double> upper_km;
  std::vector<std::size_t> pairs;    // pairs in each class
  std::vector<std::int16_t> of_pair; // class of each pair (order of PackedDistances::values()), -1 for none
  std::size_t beyond = 0;            // pairs farther than the last limit
  int count() const { return static_cast<int>(upper_km.size()); }
  // The class of a distance, -1 when it is beyond the last limit.
  int class_of(double km) const;
};

// Classes with the given upper limits; std::invalid_argument unless they are
// positive and strictly increasing (at most 1000 of them).
DistanceClasses distance_classes(const PackedDistances& km, const std::vector<double>& upper_limits);

// About `count` (at most 1000) classes of equal numbers of pairs.
DistanceClasses equal_count_classes(const PackedDistances& km, int count = 10);

}  // namespace bandscape
