// Principal coordinates analysis (Gower 1966) of n objects from their distances.
//
// The matrix A = -d²/2 is double-centred, B = (I - J/n) A (I - J/n), and B is
// eigen-decomposed.  Every eigenvalue is kept, negative ones included (no
// correction for non-Euclidean distances), each also as a share of their sum,
// the trace of B, and as a share of the sum of the positive eigenvalues (the
// variation the Euclidean axes represent, Legendre & Legendre 2012):
// with negative eigenvalues the trace is smaller than that sum and the trace
// shares of the leading axes can exceed 1.  The coordinates of the objects on axis a are the unit
// eigenvector of the a-th largest eigenvalue times its square root, on the
// leading positive axes only.
//
// Eigenvalues whose magnitude is at most sqrt(DBL_EPSILON) times the largest
// magnitude are rounding noise around 0 (B always has the eigenvalue 0 of the
// constant vector) and are reported as exactly 0; they never give an axis.
//
// Sign of an axis: an eigenvector is defined up to its sign.  Each axis is
// turned so that the first object (in input order) whose coordinate is clearly
// non-zero, at least 1e-6 times the largest magnitude on that axis, has a
// positive coordinate.  Objects keep their order, so the same data give the
// same axes on every run and machine.  When eigenvalues coincide, the axes
// within their common eigenspace are not unique: any rotation of them fits the
// distances equally well.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "numeric/distance_matrix.hpp"

namespace bandscape {

// How the eigenvectors of the leading axes are obtained.  Both give the same
// axes up to rounding; the choice is a matter of speed.
enum class EigenRoute {
  kAutomatic,    // kDense up to kDenseRouteLimit objects, kLeadingAxes above
  kDense,        // one full decomposition, eigenvalues and every eigenvector
  kLeadingAxes,  // every eigenvalue without eigenvectors, then an implicitly
                 // restarted Lanczos iteration for the leading eigenvectors only;
                 // kDense when the iteration fails or misses one of the leading
                 // eigenvalues (which a repeated eigenvalue can cause)
};
inline constexpr int kDenseRouteLimit = 200;

struct PrincipalCoordinates {
  int n = 0;     // objects
  int axes = 0;  // columns of `coordinates`: min(max_axes, n - 1, number of positive eigenvalues)
  double trace = 0.0;                        // trace of B, the sum of all eigenvalues
  std::vector<double> eigenvalues;           // all n, largest first
  std::vector<double> relative_eigenvalues;  // eigenvalue / trace (all NaN when the trace is 0)
  double positive_sum = 0.0;                 // sum of the positive eigenvalues
  // eigenvalue / positive_sum for the eigenvalues >= 0, each in [0, 1]; NaN
  // for a negative eigenvalue (no axis) and for all when positive_sum is 0.
  std::vector<double> positive_shares;
  bool has_negative_eigenvalues() const { return !eigenvalues.empty() && eigenvalues.back() < 0.0; }
  std::vector<double> coordinates;           // n x axes, row after row

  double coordinate(int object, int axis) const {
    return coordinates[static_cast<std::size_t>(object) * axes + axis];
  }
};

// Principal coordinates of the objects of `d` on at most `max_axes` axes.
// Throws std::invalid_argument for a distance that is not finite (check with
// first_undefined_distance first), a cell count other than n², or a negative
// max_axes.  n = 0 gives an empty result; n = 1 the single eigenvalue 0.
// `threads` share the eigenvalues of the leading-axes route (0: one per
// core); the result is the same for every number.
PrincipalCoordinates principal_coordinates(const DistanceMatrix& d, int max_axes = 10,
                                           EigenRoute route = EigenRoute::kAutomatic, int threads = 1);

// The distance between objects i < j.
using DistanceOf = std::function<double(int i, int j)>;

// The same from distances computed as they are needed (read twice on the
// leading-axes route), so that no n x n copy of them is held beside B.
// Throws std::invalid_argument for a distance that is not finite.
PrincipalCoordinates principal_coordinates(int n, const DistanceOf& distance, int max_axes, EigenRoute route,
                                           int threads);

}  // namespace bandscape
