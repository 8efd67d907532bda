#include "tree/distance_matrix.hpp"

#include <cmath>

namespace bandscape {

std::optional<TaxonPair> first_undefined_pair(const DistanceMatrix& distances) {
  for (int i = 0; i < distances.n; ++i) {
    for (int j = i + 1; j < distances.n; ++j) {
      if (!std::isfinite(distances(i, j)) || !std::isfinite(distances(j, i))) return TaxonPair{i, j};
    }
  }
  return std::nullopt;
}

}  // namespace bandscape
