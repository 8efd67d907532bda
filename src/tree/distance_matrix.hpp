// Distances between taxa, the input of the tree builders.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace bandscape {

// A full n x n matrix of distances between the taxa 0..n-1, row after row.
// The tree builders read both triangles (a pair's distance is the mean of its
// two cells) and never the diagonal.  Taxon names are the caller's business.
struct DistanceMatrix {
  int n = 0;
  std::vector<double> cells;

  DistanceMatrix() = default;
  explicit DistanceMatrix(int taxa) : n(taxa), cells(static_cast<std::size_t>(taxa) * taxa, 0.0) {}
  double& operator()(int i, int j) { return cells[static_cast<std::size_t>(i) * n + j]; }
  double operator()(int i, int j) const { return cells[static_cast<std::size_t>(i) * n + j]; }
  // Sets the distance of the pair in both cells.
  void set(int i, int j, double d) { (*this)(i, j) = (*this)(j, i) = d; }
};

struct TaxonPair {
  int i = 0;
  int j = 0;
  bool operator==(const TaxonPair&) const = default;
};

// The first pair (i < j, row by row) with a distance that is not a finite
// number in either cell, or none.  No tree is built from such a matrix.
std::optional<TaxonPair> first_undefined_pair(const DistanceMatrix& distances);

}  // namespace bandscape
