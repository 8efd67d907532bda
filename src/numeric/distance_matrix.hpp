// Distances between n objects (populations, individuals), the input of the
// analyses that work from distances alone: principal coordinates and trees.
#pragma once

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace bandscape {

// A square matrix of distances between n objects, row after row.  Only the
// cells above the diagonal, (i, j) with i < j, are read: the distance is
// symmetric and an object is at distance 0 from itself.
struct DistanceMatrix {
  int n = 0;
  std::vector<double> cells;  // n * n

  explicit DistanceMatrix(int objects = 0)
      : n(objects), cells(static_cast<std::size_t>(objects) * static_cast<std::size_t>(objects), 0.0) {}
  double& at(int i, int j) { return cells[static_cast<std::size_t>(i) * n + j]; }
  double at(int i, int j) const { return cells[static_cast<std::size_t>(i) * n + j]; }
};

// The first pair (i, j), i < j, 0-based in row order, whose distance is not a
// finite number; none when every distance is defined.  No analysis is made
// of a matrix with such a pair.
std::optional<std::pair<int, int>> first_undefined_distance(const DistanceMatrix& d);

}  // namespace bandscape
