// Geodesic and planar distances between sampling locations.
#include "spatial/geographic_distances.hpp"

#include <GeographicLib/Geodesic.hpp>

#include <cmath>

#include "numeric/parallel.hpp"

namespace bandscape {

double geodesic_km(const Location& a, const Location& b) {
  double metres = 0.0;
  GeographicLib::Geodesic::WGS84().Inverse(a.north, a.east, b.north, b.east, metres);
  return metres / 1000.0;
}

PackedDistances geographic_distances(const std::vector<Location>& locations, CoordinateKind kind, int threads) {
  const int n = static_cast<int>(locations.size());
  PackedDistances d(n);
  parallel_chunks(n, 16, threads, [&](int begin, int end) {
    for (int i = begin; i < end; ++i) {
      for (int j = i + 1; j < n; ++j) {
        const Location& a = locations[static_cast<std::size_t>(i)];
        const Location& b = locations[static_cast<std::size_t>(j)];
        d.upper(i, j) = kind == CoordinateKind::geographic ? geodesic_km(a, b)
                                                           : std::hypot(a.north - b.north, a.east - b.east);
      }
    }
  });
  return d;
}

}  // namespace bandscape
