// Distances between sampling locations in km: geodesic distances on the WGS84
// ellipsoid for latitudes and longitudes, solved by GeographicLib's inverse
// geodesic problem (Karney 2013, J. Geodesy 87:43-55), accurate to nanometres;
// Euclidean distances for planar coordinates (already in km).
#pragma once

#include <vector>

#include "input/coordinates_file.hpp"
#include "stats/band_differences.hpp"

namespace bandscape {

// The geodesic distance in km between two points given in decimal degrees.
double geodesic_km(const Location& a, const Location& b);

// All pairs of `locations`; rows are spread over `threads` workers (0: one per
// core), each value computed alone, so the result does not depend on them.
PackedDistances geographic_distances(const std::vector<Location>& locations, CoordinateKind kind, int threads = 1);

}  // namespace bandscape
