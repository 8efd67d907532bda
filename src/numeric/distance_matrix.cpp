#include "numeric/distance_matrix.hpp"

#include <cmath>

namespace bandscape {

std::optional<std::pair<int, int>> first_undefined_distance(const DistanceMatrix& d) {
  for (int i = 0; i < d.n; ++i) {
    for (int j = i + 1; j < d.n; ++j) {
      if (!std::isfinite(d.at(i, j))) return std::make_pair(i, j);
    }
  }
  return std::nullopt;
}

}  // namespace bandscape
