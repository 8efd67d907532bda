#include "ordination/ordinations.hpp"

#include <cmath>

#include "core/format.hpp"

namespace bandscape {

PrincipalCoordinates individual_ordination(const PackedDistances& squared_distances, int threads) {
  return principal_coordinates(
      squared_distances.size(), [&squared_distances](int i, int j) { return std::sqrt(squared_distances(i, j)); },
      kOrdinationAxes, EigenRoute::kAutomatic, threads);
}

void add_population_ordination(const char* matrix, const char* title, const DistanceMatrix& d,
                               const std::vector<std::string>& names, Ordinations& ordinations) {
  if (const auto pair = first_undefined_distance(d)) {
    ordinations.warnings.push_back(format("no principal coordinates of %s: the distance between %s and %s is undefined",
                                          matrix, names[static_cast<std::size_t>(pair->first)].c_str(),
                                          names[static_cast<std::size_t>(pair->second)].c_str()));
    return;
  }
  ordinations.populations.push_back({matrix, title, principal_coordinates(d, kOrdinationAxes)});
}

}  // namespace bandscape
